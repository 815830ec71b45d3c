#include "cli/output_folder.h"

#include "readout/run_folder.h"

#include <QDir>
#include <QFileInfo>

QString EnterOutputFolder(const QString& dir, const QDateTime& now, MessageGateway& messages,
                          bool* made) {
    QString folder;
    if (dir.isEmpty())
        folder = MakeRunFolder(QDir::current(), now);
    else if (QDir().mkpath(dir))
        folder = QDir(dir).absolutePath();
    if (made != nullptr)
        *made = false;
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        const QString named = dir.isEmpty() ? RunFolderName(now) : dir;
        messages.inform(MessageIcon::Error, QStringLiteral("Невозможно создать папку ") +
                                                QDir::toNativeSeparators(named));
        return QString();
    }
    if (made != nullptr)
        *made = dir.isEmpty();
    return folder;
}

EmptyRunFolderSweep::~EmptyRunFolderSweep() {
    if (folder_.isEmpty() || !QDir(folder_).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot))
        return;
    const QFileInfo info(folder_);
    QDir parent = info.dir();
    (void)QDir::setCurrent(parent.absolutePath());
    // rmdir removes only an empty folder, should a file have come meanwhile.
    (void)parent.rmdir(info.fileName());
}
