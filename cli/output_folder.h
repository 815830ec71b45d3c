#pragma once

#include "link/message_gateway.h"

#include <QDateTime>
#include <QString>

// Makes the folder a readout writes into and makes it the current directory,
// as the readouts open their files by bare name: dir when given (made when
// missing), else a new run folder in the current directory, named after the
// moment as the window names its run folder. Its absolute path, or empty
// after "Невозможно создать папку " and the folder was told. made tells
// whether a new run folder was made.
[[nodiscard]] QString EnterOutputFolder(const QString& dir, const QDateTime& now,
                                        MessageGateway& messages, bool* made = nullptr);

// --out names a folder that already holds a readout's files (its log, its
// memory image or its page). Each command's page covers its own readout
// only, so such a folder is refused rather than given a page that contradicts
// the files beside it.
[[nodiscard]] bool HoldsAReadout(const QString& dir);
[[nodiscard]] QString HoldsAReadoutError(const QString& dir);

// A run folder made for a command that then failed before writing anything
// is not left behind: when it goes, the folder is removed if still empty
// (and the current directory is its parent again), and standard error says
// so, as the folder's name was printed first.
class EmptyRunFolderSweep;
class Console;
struct Invocation;

// The folder a command writes its files into (--out, else a new run folder,
// never one holding a readout), entered and printed first, so that a script
// knows where to look whatever follows; a new run folder is watched by sweep.
// Empty after the failure was told, with the command's exit code.
[[nodiscard]] QString EnterCommandFolder(const Invocation& in, const QString& command,
                                         EmptyRunFolderSweep& sweep, int& exitCode);

class EmptyRunFolderSweep {
public:
    EmptyRunFolderSweep() = default;
    ~EmptyRunFolderSweep();
    EmptyRunFolderSweep(const EmptyRunFolderSweep&) = delete;
    EmptyRunFolderSweep& operator=(const EmptyRunFolderSweep&) = delete;

    // The run folder to look at; nothing for a folder given with --out.
    void Watch(const QString& folder, Console& console) {
        folder_ = folder;
        console_ = &console;
    }

private:
    QString folder_;
    Console* console_ = nullptr;
};
