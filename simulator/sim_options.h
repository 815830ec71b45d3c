#pragma once

#include "simulator/recorder_sim.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The command line of recorder-sim, parsed apart from the program so that
// it can be tested.
struct SimOptions {
    int com = -1;          // --com N: bind as COM N
    QString image;         // --image FILE
    QString saveImage;     // --save-image FILE
    bool generate = false; // --generate, or no image given
    // The program's own history is the crane at work (--history).
    GenerateOptions generateOptions;
    // New records after the loaded or generated ones (--append-events N,
    // --append-sums M), the simulator's own, made from --seed.
    int appendEvents = 0;
    int appendSums = 0;
    RecorderSimulator::Faults faults;
    std::optional<std::uint32_t> failAddress;
    int failCount = 1;
    bool log = false;
    QString timingLog;    // --timing FILE
    bool control = false; // --control: faults switched by lines on stdin
    bool help = false;
    bool version = false;
    QString helpText;
};

// False with *error set for options that do not parse; args[0] is the
// program name.
[[nodiscard]] bool ParseSimOptions(const QStringList& args, SimOptions* options, QString* error);

// A number in hexadecimal, with or without "0x" in front or "h" behind.
[[nodiscard]] std::optional<std::uint32_t> ParseHex(const QString& text);

// The folder of COM-port links: $ZORVAN_PORTS when set, else
// ~/.config/zorvan/ports.
[[nodiscard]] QString PortFolder();
