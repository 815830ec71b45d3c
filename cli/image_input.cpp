#include "cli/image_input.h"

#include "image/image_file.h"

#include <QDir>

bool LoadImageArgument(const QString& path, MemoryImage& image, QString& error) {
    const ImageLoad load = LoadMemoryImageFile(path, image);
    if (!load.ok)
        error = QStringLiteral("cannot load the image %1: %2")
                    .arg(QDir::toNativeSeparators(path), load.error);
    return load.ok;
}
