// The manual pages against the programs' own --help: every command, option
// and exit code that one names, the other names too, so that they cannot
// drift apart again. The programs are the built ones; the pages are read
// from the source tree.

#include "runner/exit_codes.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using Names = QSet<QString>;

QString Help(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The options a help text lists: the names in the left column of its
// "Options:" block ("  -q, --quiet   ...", "  --com <n>   ...").
Names HelpOptions(const QString& help) {
    static const QRegularExpression name(QStringLiteral(R"((?:^|[\s,])(--?[a-z][a-z0-9-]*))"));
    Names names;
    bool inOptions = false;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Options:")) {
            inOptions = true;
            continue;
        }
        if (!inOptions || !line.startsWith(QLatin1String("  -")))
            continue;
        // The column ends where two spaces part it from its description.
        const QString column = line.mid(2).section(QStringLiteral("  "), 0, 0);
        for (auto it = name.globalMatch(column); it.hasNext();)
            names.insert(it.next().captured(1));
    }
    return names;
}

// "Exit codes:" and its "  N    text" lines (continued by deeper ones).
QMap<int, QString> HelpExitCodes(const QString& help) {
    QMap<int, QString> codes;
    const qsizetype start = help.indexOf(QLatin1String("Exit codes:\n"));
    if (start < 0)
        return codes;
    static const QRegularExpression entry(QStringLiteral(R"(^  (\d+)\s+(.*)$)"));
    int last = -1;
    for (const QString& line : help.mid(start).split(QLatin1Char('\n')).mid(1)) {
        const auto m = entry.match(line);
        if (m.hasMatch()) {
            last = m.captured(1).toInt();
            codes[last] = m.captured(2);
        } else if (line.startsWith(QLatin1String("     ")) && last >= 0) {
            codes[last] += QLatin1Char(' ') + line.trimmed();
        } else {
            break;
        }
    }
    return codes;
}

// A manual page as its sections, each a list of tagged paragraphs (.TP) and
// plain ones (tag empty), the roff markup taken out.
struct ManEntry {
    QString tag;
    QString body;
};
using ManPage = QMap<QString, QList<ManEntry>>;

QString Plain(QString text) {
    static const QList<std::pair<QString, QString>> escapes = {
        {QStringLiteral("\\-"), QStringLiteral("-")},
        {QStringLiteral("\\(dq"), QStringLiteral("\"")},
        {QStringLiteral("\\(mu"), QStringLiteral("×")},
        {QStringLiteral("\\ "), QStringLiteral(" ")},
        {QStringLiteral("\\fB"), QString()},
        {QStringLiteral("\\fI"), QString()},
        {QStringLiteral("\\fR"), QString()},
        {QStringLiteral("\\fP"), QString()},
    };
    for (const auto& [escape, plain] : escapes)
        text.replace(escape, plain);
    return text;
}

// The text a line stands for: a font macro's arguments run together.
QString LineText(const QString& line) {
    static const QRegularExpression fontMacro(
        QStringLiteral(R"(^\.(B|I|BR|BI|RI|IR|RB|IB)\s+(.*)$)"));
    const auto m = fontMacro.match(line);
    if (!m.hasMatch())
        return Plain(line);
    static const QRegularExpression argument(QStringLiteral(R"re("([^"]*)"|(\S+))re"));
    QString text;
    for (auto it = argument.globalMatch(m.captured(2)); it.hasNext();) {
        const auto a = it.next();
        text += a.captured(1).isNull() ? a.captured(2) : a.captured(1);
    }
    // .B and .I take their arguments as words.
    if (m.captured(1).size() == 1)
        text = m.captured(2).remove(QLatin1Char('"'));
    return Plain(text);
}

ManPage ReadMan(const QString& name) {
    QFile file(QStringLiteral(ZORVAN_MAN_DIR "/") + name + QStringLiteral(".1"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    ManPage page;
    QString section;
    bool tagNext = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH "))) {
            section = line.mid(4).remove(QLatin1Char('"'));
            page[section].append(ManEntry{});
        } else if (line == QLatin1String(".TP")) {
            tagNext = true;
        } else if (line == QLatin1String(".PP")) {
            page[section].append(ManEntry{});
        } else if (tagNext) {
            page[section].append(ManEntry{LineText(line), QString()});
            tagNext = false;
        } else if (!line.startsWith(QLatin1String(".TH")) && line != QLatin1String(".br") &&
                   !section.isEmpty()) {
            QString& body = page[section].last().body;
            body += (body.isEmpty() ? QString() : QStringLiteral(" ")) + LineText(line);
        }
    }
    return page;
}

Names OptionsIn(const QString& text) {
    static const QRegularExpression name(QStringLiteral(R"((?:^|[\s,(])(--?[a-z][a-z0-9-]*))"));
    Names names;
    for (auto it = name.globalMatch(text); it.hasNext();)
        names.insert(it.next().captured(1));
    return names;
}

Names TagOptions(const ManPage& page, const QString& section) {
    Names names;
    for (const ManEntry& e : page.value(section))
        names += OptionsIn(e.tag);
    return names;
}

QStringList Sorted(const Names& names) {
    QStringList list(names.cbegin(), names.cend());
    list.sort();
    return list;
}

#define EXPECT_SAME_NAMES(help, man, what)                                                         \
    EXPECT_EQ(Sorted(help).join(' ').toStdString(), Sorted(man).join(' ').toStdString()) << what

// The commands the tool's help lists, in its order.
QStringList ToolCommands(const QString& help) {
    QStringList commands;
    const QStringList lines = help.section(QStringLiteral("Commands:\n"), 1).split('\n');
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("  ")))
            break;
        commands << line.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return commands;
}

// Options every command has, and the tool's own; the page names them once.
const Names Common{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("--help-all")};

TEST(ManualPages, ZorvanCliNamesEveryCommandAndItsOptions) {
    const QString help = Help(QStringLiteral(ZORVAN_CLI_PROGRAM), {QStringLiteral("--help")});
    const ManPage man = ReadMan(QStringLiteral("zorvan-cli"));
    const QStringList commands = ToolCommands(help);
    ASSERT_GE(commands.size(), 9) << help.toStdString();

    Names manCommands;
    for (const ManEntry& e : man.value(QStringLiteral("COMMANDS")))
        if (!e.tag.isEmpty())
            manCommands.insert(e.tag.section(QLatin1Char(' '), 0, 0));
    EXPECT_SAME_NAMES(Names(commands.cbegin(), commands.cend()), manCommands, "commands");

    // Each option's paragraph opens with the commands that take it.
    static const QRegularExpression takers(QStringLiteral(R"(^\(([a-z, ]+)\))"));
    QMap<QString, Names> manOptions;
    for (const ManEntry& e : man.value(QStringLiteral("OPTIONS"))) {
        const auto m = takers.match(e.body);
        if (e.tag.isEmpty() || !m.hasMatch())
            continue;
        for (const QString& c : m.captured(1).split(QStringLiteral(", ")))
            manOptions[c] += OptionsIn(e.tag);
    }
    EXPECT_TRUE(manOptions.value(QStringLiteral("all commands")).contains("--help"));

    // The tool's own options are named in its text ("zorvan-cli --version").
    Names helpOptions = OptionsIn(help.section(QStringLiteral("Exit codes:"), 0, 0));
    for (const QString& command : commands) {
        const QString commandHelp = Help(QStringLiteral(ZORVAN_CLI_PROGRAM), {command, "--help"});
        helpOptions += HelpOptions(commandHelp);
        EXPECT_SAME_NAMES(HelpOptions(commandHelp) - Common, manOptions.value(command),
                          command.toStdString());
        EXPECT_EQ(HelpExitCodes(commandHelp), HelpExitCodes(help)) << command.toStdString();
    }
    // Every option is on the page, and the page names no option the tool lacks.
    const Names allOptions = TagOptions(man, QStringLiteral("OPTIONS"));
    EXPECT_SAME_NAMES(helpOptions - Common - allOptions, Names(), "options not on the page");
    EXPECT_SAME_NAMES(allOptions - helpOptions, Names(), "options of no command");
}

TEST(ManualPages, ZorvanCliExitCodesAreTheToolsOwn) {
    const QMap<int, QString> help =
        HelpExitCodes(Help(QStringLiteral(ZORVAN_CLI_PROGRAM), {QStringLiteral("--help")}));
    const QList<int> codes{
        ExitCode::Success,      ExitCode::LinkFailure,     ExitCode::Usage,
        ExitCode::FileFailure,  ExitCode::DatabaseFailure, ExitCode::SealAltered,
        ExitCode::SealUnsigned, ExitCode::SealOtherKey,    ExitCode::Interrupted};
    EXPECT_EQ(help.keys(), codes);

    QMap<int, QString> man;
    for (const ManEntry& e : ReadMan(QStringLiteral("zorvan-cli")).value("EXIT STATUS"))
        if (!e.tag.isEmpty())
            man[e.tag.toInt()] = e.body;
    EXPECT_EQ(man, help);
}

TEST(ManualPages, TheWindowAndTheSimulatorNameTheirOptions) {
    const struct {
        const char* program;
        const char* page;
    } programs[] = {{ZORVAN_PROGRAM, "zorvan"}, {RECORDER_SIM_PROGRAM, "recorder-sim"}};
    for (const auto& p : programs) {
        const Names help = HelpOptions(Help(QString::fromUtf8(p.program), {"--help"}));
        ASSERT_FALSE(help.isEmpty()) << p.page;
        EXPECT_SAME_NAMES(help, TagOptions(ReadMan(p.page), "OPTIONS"), p.page);
    }
}

TEST(ManualPages, RoffComesOutAsText) {
    EXPECT_EQ(LineText(R"(.BI \-\-com " N")"), "--com N");
    EXPECT_EQ(LineText(R"(.BR \-q ", " \-\-quiet)"), "-q, --quiet");
    EXPECT_EQ(LineText(R"(.B replay \fIIMAGE\fR events|summator)"), "replay IMAGE events|summator");
    EXPECT_EQ(
        HelpOptions("Options:\n  -q, --quiet  No progress --not-this.\n  --com <n>    Port.\n"),
        (Names{"-q", "--quiet", "--com"}));
}

} // namespace
