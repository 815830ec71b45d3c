#pragma once

#include "simulator/recorder_sim.h"

#include <QString>

// The control channel of recorder-sim (--control): while it serves, each
// line on standard input changes what the recorder does.
//   - Fault options as on the command line ("--silent", "--cut-after 5
//     --extra-bytes 2", …) replace every fault; an empty line clears them.
//   - "reopen" gives up the line and serves a new one, the COM link
//     following it: the recorder unplugged and plugged in again.
// Each line is answered on standard output: "OK", "READY <device>" after a
// reopen, or "ERROR <reason>".
struct ControlCommand {
    bool reopen = false;
    RecorderSimulator::Faults faults; // when not a reopen
};

inline const QString ReopenCommand = QStringLiteral("reopen");

// False with *error set for a line that is neither a reopen nor fault
// options alone.
[[nodiscard]] bool ParseControlLine(const QString& line, ControlCommand* command, QString* error);
