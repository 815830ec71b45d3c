#include "cli/output_folder.h"

#include "cli/command_line.h"
#include "cli/console.h"
#include "image/image_recorder.h"
#include "readout/readout_log.h"
#include "readout/run_folder.h"
#include "runner/exit_codes.h"
#include "summary/summary_page.h"

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

bool HoldsAReadout(const QString& dir) {
    if (dir.isEmpty())
        return false;
    const QDir folder(dir);
    for (const QString& name : {ReadoutLog::FileName, ImageRecorder::FileName, SummaryPageName})
        if (QFileInfo::exists(folder.filePath(name)))
            return true;
    return false;
}

QString HoldsAReadoutError(const QString& dir) {
    return QStringLiteral("%1 holds the files of an earlier readout; give a new folder with "
                          "--out, or none for a new run folder")
        .arg(QDir::toNativeSeparators(dir));
}

QString EnterCommandFolder(const Invocation& in, const QString& command, EmptyRunFolderSweep& sweep,
                           int& exitCode) {
    const QString out = in.options.value(QStringLiteral("out"));
    if (HoldsAReadout(out)) {
        exitCode = UsageFailure(in.console, command, HoldsAReadoutError(out));
        return QString();
    }
    bool made = false;
    const QString folder = EnterOutputFolder(out, QDateTime::currentDateTime(), in.console, &made);
    if (folder.isEmpty()) {
        exitCode = ExitCode::FileFailure;
        return QString();
    }
    if (made)
        sweep.Watch(folder, in.console);
    in.console.Out(QDir::toNativeSeparators(folder));
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
    if (parent.rmdir(info.fileName()) && console_ != nullptr)
        console_->Err(QStringLiteral("zorvan-cli: nothing was written; the empty run folder %1 "
                                     "is removed")
                          .arg(QDir::toNativeSeparators(folder_)));
}
