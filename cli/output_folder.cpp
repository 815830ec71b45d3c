#include "cli/output_folder.h"

#include "settings/settings_file.h"

#include <QDir>

QString EnterOutputFolder(const QString& dir, const QDateTime& now, MessageGateway& messages) {
    QString folder;
    if (dir.isEmpty())
        folder = MakeRunFolder(QDir::current(), now);
    else if (QDir().mkpath(dir))
        folder = QDir(dir).absolutePath();
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        const QString named = dir.isEmpty() ? RunFolderName(now) : dir;
        messages.inform(MessageIcon::Error, QStringLiteral("Невозможно создать папку ") +
                                                QDir::toNativeSeparators(named));
        return QString();
    }
    return folder;
}
