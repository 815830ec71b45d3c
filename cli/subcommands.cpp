#include "cli/command_line.h"
#include "cli/commands.h"

namespace {

// What both readouts say about their files, at the head of their --help.
const QString ReadoutFilesHelp =
    QStringLiteral("The files are those of the window, byte for byte, in a new run folder in the\n"
                   "current folder named as the window names it, or in --out. The folder is\n"
                   "printed on standard output. Without --xls, --txt and --hex only the\n"
                   "spreadsheet file is written, as the window starts; giving any of them writes\n"
                   "exactly those.");

} // namespace

const std::vector<Subcommand>& Subcommands() {
    static const std::vector<Subcommand> table = {
        {QStringLiteral("info"),
         QStringLiteral("Reads identification, clock, pointers and memory state."),
         QStringLiteral("Reads the recorder's identification (the lines that head the files), its\n"
                        "clock, both memory pointers, how many records a readout of each memory\n"
                        "reads and whether the memory has wrapped, and prints them."),
         AddInfoOptions, RunInfo, 0},
        {QStringLiteral("clock"), QStringLiteral("Reads the recorder's clock, or sets it."),
         QStringLiteral("Prints the recorder's clock. With --set it first sets the clock, then\n"
                        "reads the newest event and the clock back, as the window's clock dialog\n"
                        "does, and prints the clock read."),
         AddClockOptions, RunClock, 0},
        {QStringLiteral("events"), QStringLiteral("Reads the event memory into the event files."),
         QStringLiteral("Reads the whole event memory, newest record first, into the event files\n"
                        "and the log \"zorvlog.txt\".\n") +
             ReadoutFilesHelp,
         AddEventsOptions, RunEvents, 0},
        {QStringLiteral("summator"),
         QStringLiteral("Reads the summator memory into its files and the report."),
         QStringLiteral("Reads the whole summator memory, newest record first, into the summator\n"
                        "files, the report \"report.xls\" and the log \"zorvlog.txt\".\n") +
             ReadoutFilesHelp,
         AddSummatorOptions, RunSummator, 0},
        {QStringLiteral("replay"),
         QStringLiteral("Rebuilds a readout's files from a memory image, offline."),
         QStringLiteral("Writes the files of an event or summator readout from a memory image\n"
                        "(a run folder's \"recorder.img\") alone, without a serial port, with the\n"
                        "settings given: the files a readout of a recorder holding that memory\n"
                        "writes, byte for byte. What was never read into the image ends the\n"
                        "readout there, as a silent recorder would (exit code 1).\n") +
             ReadoutFilesHelp,
         AddReplayOptions, RunReplay, 2},
        {QStringLiteral("duty"),
         QStringLiteral("Estimates the crane's duty group and design life used (ISO 4301-1)."),
         QStringLiteral("Estimates from a memory image (a run folder's \"recorder.img\" or a\n"
                        "crane's archive), offline, what a summator readout writes as\n"
                        "\"duty.json\": the load spectrum factor Kp of the cycles, the cycles per\n"
                        "year, the actual group by ISO 4301-1 beside the nameplate's, and the\n"
                        "share of the group's design life used. An estimate for the expert, not a\n"
                        "verdict; what cannot be read is named instead of a figure."),
         AddDutyOptions, RunDuty, 1},
        {QStringLiteral("push"),
         QStringLiteral("Sends what was read into the fleet's PostgreSQL database."),
         QStringLiteral("Sends every record of this user's archive (or of the memory images and\n"
                        "run folders given) into the fleet's PostgreSQL database, in one\n"
                        "transaction: all of it or nothing. Records the database holds already\n"
                        "are left as they are. A sealed run folder goes with its seal, and only\n"
                        "as sealed: one that verify finds altered is refused (exit code 10).\n"
                        "Exit code 4: the database cannot be reached, refuses the login, has a\n"
                        "newer schema or failed the push."),
         AddPushOptions, RunPush, 100000},
        {QStringLiteral("fleet"),
         QStringLiteral("Writes the page over every crane of the fleet's database."),
         QStringLiteral("Writes index.html into --out: every crane of the fleet's PostgreSQL\n"
                        "database with its last visit, events of the last 12 months per kind,\n"
                        "cycles per year and duty estimate, those that need attention first,\n"
                        "and charts of life used and events per month. Exit code 4: the\n"
                        "database cannot be reached or used."),
         AddFleetOptions, RunFleet, 0},
        {QStringLiteral("verify"), QStringLiteral("Checks a run folder against its seal."),
         QStringLiteral("Checks the seal of a run folder: the signature over its manifest (with\n"
                        "--key, that it is that engineer's), every file's SHA-256, and every file\n"
                        "written again from the folder's \"recorder.img\" by replaying the sealed\n"
                        "readouts, byte for byte. The log \"zorvlog.txt\" and the page\n"
                        "\"index.html\" carry the computer's time and are checked by their hash\n"
                        "only, as are files no replay writes. A file added after the seal is\n"
                        "named as not sealed and leaves the folder intact. Exit code 0: intact;\n"
                        "10: altered; 11: unsigned; 12: signed with another key."),
         AddVerifyOptions, RunVerify, 1},
        {QStringLiteral("round"),
         QStringLiteral("Reads every crane of a list since its last readout, several at once."),
         QStringLiteral("Reads every crane of the list FILE, each memory asked for as a\n"
                        "--since-last readout into a new run folder under --out/NAME, several\n"
                        "cranes at once (--jobs), and pushes each crane read whole when asked\n"
                        "(--push, --db or ZORVAN_DB). One line per crane on standard output,\n"
                        "then a summary; its steps' messages on standard error under its name.\n"
                        "A crane that failed is read again by the next round. One round at a\n"
                        "time on an archive: a second one ends at once (exit code 2, as for a\n"
                        "malformed list). Exit code: 0 when every crane was read (and pushed),\n"
                        "130 when stopped, otherwise the gravest of its failures (4, 3, 1).\n\n"
                        "The list, an INI file in UTF-8:\n"
                        "  [NAME]                    a crane; its run folders go into --out/NAME\n"
                        "  com = n                   COM n (1-99), or\n"
                        "  port = URL                tcp://HOST:PORT or rfc2217://HOST:PORT\n"
                        "  baud = BD                 optional: 1200, 2400, 4800 or 9600\n"
                        "  read = events, summator   optional: the memories (default: both)\n"
                        "Lines starting with # or ; are comments."),
         AddRoundOptions, RunRound, 1},
        {QStringLiteral("ports"),
         QStringLiteral("Lists the serial ports and the COM numbers that lead to them."),
         QStringLiteral("Lists the serial ports there are, each with the COM number that leads to\n"
                        "it (a link in the port folder, or the COM1-32/33-64/65-96 convention)\n"
                        "and what the system knows of it."),
         AddPortsOptions, RunPorts, 0},
    };
    return table;
}
