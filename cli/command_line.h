#pragma once

#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/event_files.h"
#include "settings/settings_file.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BreakSignal;
class Console;

// What a subcommand runs with: its parsed options, the console, and Ctrl+C.
struct Invocation {
    const QCommandLineParser& options;
    Console& console;
    BreakSignal& breakSignal;
};

// One subcommand of the tool: `zorvan-cli NAME [options]`. A new one is one
// more entry in the table (Subcommands) and a file with its two functions.
struct Subcommand {
    QString name;
    QString summary;     // one line for the tool's own help
    QString description; // the head of its --help
    std::function<void(QCommandLineParser&)> addOptions;
    std::function<int(const Invocation&)> run; // the exit code
    int maxArguments = 0;                      // positional arguments it takes
};
[[nodiscard]] const std::vector<Subcommand>& Subcommands();

struct ParsedCommandLine {
    enum Kind {
        Run,   // run `command` with `options`
        Help,  // print `text` on standard output, exit 0
        Usage, // print `text` on standard error, exit 2
    } kind = Usage;
    const Subcommand* command = nullptr;
    std::unique_ptr<QCommandLineParser> options;
    QString text;
};

// arguments[0] is the program. The first argument names the subcommand;
// everything after it is parsed by the subcommand's own parser.
[[nodiscard]] ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The options shared by several subcommands.
void AddLineOptions(QCommandLineParser& p);   // --com, --port, --baud
void AddRatingOptions(QCommandLineParser& p); // --weight, --moment, --max-moment, --max-weight
void AddOutputOptions(QCommandLineParser& p); // --xls, --txt, --hex, --out
void AddQuietOption(QCommandLineParser& p);   // --quiet

// The settings a subcommand runs with: "zorvan.ini" in the current folder,
// read as the window reads it and brought into the ranges of its controls (a
// malformed file is reported through messages, and the defaults stand in for
// what was not read), then every option given in its place. False with the
// error for an option value that is not allowed.
[[nodiscard]] bool ResolveSettings(const QCommandLineParser& p, MessageGateway& messages,
                                   Settings& s, QString& error);

// The network address given by --port (ResolveSettings checked it and set
// the COM number to 0); empty without it.
[[nodiscard]] QString PortAddressOption(const QCommandLineParser& p);

// The files chosen by --xls, --txt and --hex: exactly those given, or the
// spreadsheet file alone (as the window starts) when none is given.
[[nodiscard]] OutputChoice FilesFromOptions(const QCommandLineParser& p);

// "now" (the computer's clock) or "dd.mm.yyyy hh:mm" (leading zeros may be
// left out). Only the years 2000-2099, which the recorder's clock holds.
[[nodiscard]] std::optional<ClockSetting> ParseClockSetting(const QString& text,
                                                            const QDateTime& now);

// Tells a usage error of a subcommand on standard error; the exit code 2.
int UsageFailure(Console& console, const QString& command, const QString& error);

// The exit codes, as --help lists them.
[[nodiscard]] QString ExitCodesHelp();
