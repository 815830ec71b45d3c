#pragma once

#include <QString>

class MemoryImage;

// A memory image named on the command line into image; false with the line
// that says why it cannot be used ("cannot load the image PATH: ...").
[[nodiscard]] bool LoadImageArgument(const QString& path, MemoryImage& image, QString& error);
