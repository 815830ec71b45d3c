#include "cli/command_line.h"

#include "cli/console.h"
#include "link/net_address.h"
#include "runner/exit_codes.h"
#include "settings/baud_step.h"
#include "settings/readout_settings.h"

#include <QDir>

#include <algorithm>
#include <iterator>

#ifndef ZORVAN_VERSION
#define ZORVAN_VERSION "unknown"
#endif

namespace {

const QString ProgramName = QStringLiteral("zorvan-cli");

QString ToolHelp() {
    QString text = QStringLiteral("Usage: %1 <command> [options]\n\n"
                                  "The service tool's readouts on the command line: the same\n"
                                  "requests, files and messages as the window.\n\nCommands:\n")
                       .arg(ProgramName);
    for (const Subcommand& c : Subcommands())
        text += QStringLiteral("  %1%2\n").arg(c.name, -11).arg(c.summary);
    text += QStringLiteral("\n%1 <command> --help shows the options of a command;\n"
                           "%1 --version the version.\n\n"
                           "Settings come from zorvan.ini in the current folder, read as the\n"
                           "window reads it; options given override them. It is never written.\n\n")
                .arg(ProgramName);
    return text + ExitCodesHelp();
}

// Qt's help begins with the program as it was started; ours names the command.
QString CommandHelp(const Subcommand& c, const QCommandLineParser& p) {
    QString text = p.helpText();
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, lineEnd, QStringLiteral("Usage: %1 %2 [options]").arg(ProgramName, c.name));
    return text + QLatin1Char('\n') + ExitCodesHelp();
}

QString UsageText(const QString& error, const QString& helpCommand) {
    return QStringLiteral("%1: %2\nTry '%3 --help'.").arg(ProgramName, error, helpCommand);
}

bool Given(const QCommandLineParser& p, const QString& name) {
    return p.optionNames().contains(name);
}

// The value of an integer option within range; false with the error.
bool IntegerOption(const QCommandLineParser& p, const QString& name, const SettingRange& range,
                   int& value, QString& error) {
    if (!Given(p, name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || !range.Holds(v)) {
        error = QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                    .arg(name)
                    .arg(range.low)
                    .arg(range.high)
                    .arg(p.value(name));
        return false;
    }
    value = v;
    return true;
}

} // namespace

QString ExitCodesHelp() {
    return QStringLiteral(
        "Exit codes:\n"
        "  0    success\n"
        "  1    link failure: the port cannot be opened, or the recorder did not answer,\n"
        "       answered wrongly or gave an implausible pointer\n"
        "  2    usage error\n"
        "  3    a file could not be read, made, written or closed\n"
        "  4    the fleet database cannot be reached or used (push, fleet)\n"
        "  10   verify, push: the run folder is not as sealed (a file, the image, the\n"
        "       manifest or its signature was changed, or a sealed file is missing)\n"
        "  11   verify: the run folder has no seal that can be checked\n"
        "  12   verify: the seal was made with another key than --key\n"
        "  130  interrupted by Ctrl+C, SIGTERM or SIGHUP (files and log keep what\n"
        "       was read)\n");
}

void AddLineOptions(QCommandLineParser& p) {
    p.addOption({QStringLiteral("com"),
                 QStringLiteral("Serial port number n (COM n), 1-99. Default: the settings' port."),
                 QStringLiteral("n")});
    p.addOption({QStringLiteral("port"),
                 QStringLiteral("A port on the network instead of COM n: tcp://HOST:PORT (a "
                                "device server's raw TCP mode) or rfc2217://HOST:PORT (telnet "
                                "with RFC 2217, which sets the far port's speed)."),
                 QStringLiteral("url")});
    p.addOption({QStringLiteral("baud"),
                 QStringLiteral("Line speed: 1200, 2400, 4800 or 9600. Default: the settings'."),
                 QStringLiteral("bd")});
}

void AddRatingOptions(QCommandLineParser& p) {
    p.addOption({QStringLiteral("moment"),
                 QStringLiteral("Rate by the load moment; the files carry the reach column.")});
    p.addOption({QStringLiteral("weight"),
                 QStringLiteral("Rate by the weight; the files leave out the reach column. "
                                "Default of the two: the settings' choice.")});
    p.addOption({QStringLiteral("max-moment"),
                 QStringLiteral("The 100 % moment, 0-9999. Default: the settings'."),
                 QStringLiteral("value")});
    p.addOption({QStringLiteral("max-weight"),
                 QStringLiteral("The 100 % weight, 0-9999. Default: the settings'."),
                 QStringLiteral("value")});
}

void AddOutputOptions(QCommandLineParser& p) {
    p.addOption({QStringLiteral("xls"), QStringLiteral("Write the spreadsheet file.")});
    p.addOption({QStringLiteral("txt"), QStringLiteral("Write the print file.")});
    p.addOption({QStringLiteral("hex"), QStringLiteral("Write the debug file.")});
    p.addOption({QStringLiteral("out"),
                 QStringLiteral("Write the files into dir (made when missing) instead of a new "
                                "run folder. A folder that already holds a readout's files is "
                                "refused: each readout's summary page covers that readout."),
                 QStringLiteral("dir")});
}

void AddQuietOption(QCommandLineParser& p) {
    p.addOption({{QStringLiteral("q"), QStringLiteral("quiet")},
                 QStringLiteral("No progress on standard error; messages still go there.")});
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    ParsedCommandLine result;
    QCommandLineParser tool;
    tool.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = tool.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    tool.addOption(version);
    tool.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."));
    if (!tool.parse(arguments)) {
        result.text = UsageText(tool.errorText(), ProgramName);
        return result;
    }
    const QStringList rest = tool.positionalArguments();
    if (tool.isSet(help) && rest.isEmpty()) {
        result.kind = ParsedCommandLine::Help;
        result.text = ToolHelp();
        return result;
    }
    if (tool.isSet(version) && rest.isEmpty()) {
        result.kind = ParsedCommandLine::Help;
        result.text = ProgramName + QStringLiteral(" " ZORVAN_VERSION "\n");
        return result;
    }
    if (rest.isEmpty()) {
        result.text = UsageText(QStringLiteral("no command given"), ProgramName);
        return result;
    }

    const auto& table = Subcommands();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const Subcommand& c) { return c.name == rest.first(); });
    if (found == table.end()) {
        result.text =
            UsageText(QStringLiteral("unknown command '%1'").arg(rest.first()), ProgramName);
        return result;
    }
    result.command = &*found;
    const QString helpCommand = ProgramName + QLatin1Char(' ') + found->name;

    result.options = std::make_unique<QCommandLineParser>();
    QCommandLineParser& p = *result.options;
    p.setApplicationDescription(found->description);
    const QCommandLineOption commandHelp = p.addHelpOption();
    found->addOptions(p);
    if (!p.parse(QStringList{arguments.value(0)} + rest.mid(1))) {
        result.text = UsageText(p.errorText(), helpCommand);
        return result;
    }
    if (p.isSet(commandHelp) || tool.isSet(help)) {
        result.kind = ParsedCommandLine::Help;
        result.text = CommandHelp(*found, p);
        return result;
    }
    if (p.positionalArguments().size() > found->maxArguments) {
        result.text = UsageText(QStringLiteral("unexpected argument '%1'")
                                    .arg(p.positionalArguments().value(found->maxArguments)),
                                helpCommand);
        return result;
    }
    result.kind = ParsedCommandLine::Run;
    return result;
}

bool ResolveSettings(const QCommandLineParser& p, MessageGateway& messages, Settings& s,
                     QString& error) {
    s = Settings{};
    const SettingsLoad load =
        LoadSettings(QDir::current().filePath(QString::fromLatin1(SettingsFileName)), s);
    if (load.status == SettingsLoad::Malformed)
        messages.inform(MessageIcon::Error, load.Message());
    s = SettingsAsShown(s);

    if (Given(p, QStringLiteral("port"))) {
        if (Given(p, QStringLiteral("com"))) {
            error = QStringLiteral("--com and --port exclude each other");
            return false;
        }
        if (!ParseNetAddress(p.value(QStringLiteral("port")))) {
            error = QStringLiteral("--port takes tcp://HOST:PORT or rfc2217://HOST:PORT, not '%1'")
                        .arg(p.value(QStringLiteral("port")));
            return false;
        }
        // No COM number: what was read did not come from one.
        s.ComPortNumber = 0;
    }
    if (!IntegerOption(p, QStringLiteral("com"), ComPortRange, s.ComPortNumber, error) ||
        !IntegerOption(p, QStringLiteral("max-moment"), FullScaleRange, s.MaxMoment, error) ||
        !IntegerOption(p, QStringLiteral("max-weight"), FullScaleRange, s.MaxWeight, error))
        return false;
    if (Given(p, QStringLiteral("baud"))) {
        bool ok = false;
        const int baud = p.value(QStringLiteral("baud")).toInt(&ok);
        if (!ok ||
            std::find(std::begin(LineSpeeds), std::end(LineSpeeds), baud) == std::end(LineSpeeds)) {
            error = QStringLiteral("--baud takes 1200, 2400, 4800 or 9600, not '%1'")
                        .arg(p.value(QStringLiteral("baud")));
            return false;
        }
        s.BaudRate = baud;
    }
    const bool weight = Given(p, QStringLiteral("weight"));
    const bool moment = Given(p, QStringLiteral("moment"));
    if (weight && moment) {
        error = QStringLiteral("--weight and --moment exclude each other");
        return false;
    }
    if (weight || moment)
        s.WeightMode = weight;
    return true;
}

QString PortAddressOption(const QCommandLineParser& p) {
    return Given(p, QStringLiteral("port")) ? p.value(QStringLiteral("port")).trimmed() : QString();
}

OutputChoice FilesFromOptions(const QCommandLineParser& p) {
    const bool xls = Given(p, QStringLiteral("xls"));
    const bool txt = Given(p, QStringLiteral("txt"));
    const bool hex = Given(p, QStringLiteral("hex"));
    if (!xls && !txt && !hex)
        return OutputChoice{};
    return OutputChoice{xls, txt, hex};
}

std::optional<ClockSetting> ParseClockSetting(const QString& text, const QDateTime& now) {
    QDate date = now.date();
    QTime time = now.time();
    if (text != QLatin1String("now")) {
        // A date and a time, never a moment of the computer's time zone: the
        // recorder's clock has none, so a time in a daylight-saving gap is
        // as good as any.
        const QStringList parts = text.simplified().split(QLatin1Char(' '));
        if (parts.size() != 2)
            return std::nullopt;
        date = QDate::fromString(parts[0], QStringLiteral("d.M.yyyy"));
        time = QTime::fromString(parts[1], QStringLiteral("h:mm"));
    }
    if (!date.isValid() || !time.isValid() || date.year() < 2000 || date.year() > 2099)
        return std::nullopt;
    return ClockSetting{date.year(), date.month(), date.day(), time.hour(), time.minute()};
}

int UsageFailure(Console& console, const QString& command, const QString& error) {
    console.Err(UsageText(error, ProgramName + QLatin1Char(' ') + command));
    return ExitCode::Usage;
}
