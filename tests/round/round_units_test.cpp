// The crane list, the steps a round runs and what it says of them.

#include "round/crane_list.h"
#include "round/crane_report.h"
#include "runner/exit_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(CraneList, ReadsEveryKeyCommentsAndWindowsLineEnds) {
    const CraneListParse list = ParseCraneList("# the yard\r\n"
                                               "[КС-45717 № 0457]\r\n"
                                               "com = 3\r\n"
                                               "; night only\r\n"
                                               "[Harbour 2]\n"
                                               "port=rfc2217://yard-nport.local:4001\n"
                                               "baud = 4800\n"
                                               "read = summator, events\n"
                                               "\n"
                                               "[north]\n"
                                               "port = tcp://[fe80::1]:4002\n"
                                               "read = summator\n",
                                               "cranes.ini");
    ASSERT_EQ(list.error, QString());
    ASSERT_EQ(list.cranes.size(), 3u);
    EXPECT_EQ(list.cranes[0].name, QString("КС-45717 № 0457"));
    EXPECT_EQ(list.cranes[0].com, 3);
    EXPECT_EQ(list.cranes[0].reads, (QStringList{"events", "summator"}));
    EXPECT_EQ(list.cranes[0].line, 2);
    EXPECT_EQ(list.cranes[1].port, QString("rfc2217://yard-nport.local:4001"));
    EXPECT_EQ(list.cranes[1].baud, 4800);
    EXPECT_EQ(list.cranes[1].reads, (QStringList{"summator", "events"}));
    EXPECT_EQ(list.cranes[2].reads, (QStringList{"summator"}));
    EXPECT_EQ(list.cranes[2].baud, 0);
}

// Each fault is named with its line; no crane of a faulty list is kept.
TEST(CraneList, RefusesAFaultyListNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"com = 1\n", "l.ini:1: 'com' before the first crane's [NAME]"},
        {"[a]\ncom = 1\n[b\n", "l.ini:3: a section header ends with ]"},
        {"[a]\ncom = 1\n[ ]\n", "l.ini:3: a crane needs a name: [NAME]"},
        {"[a/b]\ncom = 1\n",
         "l.ini:1: 'a/b' cannot be a folder's name: no / \\ : * ? \" < > | in it"},
        {"[..]\ncom = 1\n", "l.ini:1: '..' cannot be a folder's name"},
        {"[a]\ncom = 1\n\n[A]\ncom = 2\n", "l.ini:4: crane 'A' is listed already (line 1)"},
        {"[a]\ncom = 0\n", "l.ini:2: com takes a number from 1 to 99, not '0'"},
        {"[a]\ncom = 100\n", "l.ini:2: com takes a number from 1 to 99, not '100'"},
        {"[a]\ncom = 99\ncom = 98\n", "l.ini:3: 'com' is given twice"},
        {"[a]\nport = ftp://x:1\n",
         "l.ini:2: port takes tcp://HOST:PORT or rfc2217://HOST:PORT, not 'ftp://x:1'"},
        {"[a]\ncom = 1\nbaud = 19200\n",
         "l.ini:3: baud takes 1200, 2400, 4800 or 9600, not '19200'"},
        {"[a]\ncom = 1\nread = events, sums\n",
         "l.ini:3: read takes events, summator or both, not 'sums'"},
        {"[a]\ncom = 1\nread = events,events\n", "l.ini:3: read names events twice"},
        {"[a]\ncom = 1\nread = events\nread = summator\n", "l.ini:4: 'read' is given twice"},
        {"[a]\ncom = 1\nprot = tcp://x:1\n", "l.ini:3: unknown key 'prot' (com, port, baud, read)"},
        {"[a]\ncom 1\n", "l.ini:2: expected [NAME] or KEY = VALUE, not 'com 1'"},
        {"[a]\nbaud = 9600\n[b]\ncom = 2\n",
         "l.ini:1: crane 'a' needs either com or port, not neither"},
        {"[a]\ncom = 1\nport = tcp://x:1\n",
         "l.ini:1: crane 'a' needs either com or port, not both"},
        {"[a]\ncom = 7\n[b]\ncom = 7\n", "l.ini:3: crane 'b' is on the line of crane 'a' (line 1)"},
        {"[a]\nport = tcp://x:1\n[b]\nport = tcp://x:1 \n",
         "l.ini:3: crane 'b' is on the line of crane 'a' (line 1)"},
        {"# nothing yet\n", "l.ini: no crane listed ([NAME] and its com or port)"},
        {"[a]\ncom = 1\n[\xff]\n", "l.ini: not UTF-8 text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CraneListParse list = ParseCraneList(c.text, "l.ini");
        EXPECT_EQ(list.error.toStdString(), c.error);
        EXPECT_TRUE(list.cranes.empty());
    }
    EXPECT_TRUE(
        ReadCraneList("/nonexistent/cranes.ini").error.startsWith("/nonexistent/cranes.ini: "));
}

TEST(RoundSteps, ReadoutsAndPushAreTheToolsOwnCommands) {
    RoundCrane crane;
    crane.com = 12;
    EXPECT_EQ(ReadoutArguments(crane, "events"),
              (QStringList{"events", "--since-last", "--com", "12", "-q"}));
    crane.com = 0;
    crane.port = "tcp://yard:4001";
    crane.baud = 2400;
    EXPECT_EQ(ReadoutArguments(crane, "summator"),
              (QStringList{"summator", "--since-last", "--port", "tcp://yard:4001", "--baud",
                           "2400", "-q"}));
    EXPECT_EQ(PushArguments({"/r/a", "/r/b"}, ""), (QStringList{"push", "/r/a", "/r/b", "-q"}));
    EXPECT_EQ(PushArguments({"/r/a"}, "host=db"),
              (QStringList{"push", "/r/a", "--db", "host=db", "-q"}));
}

TEST(RoundSteps, HowAReadoutEndedIsToldByItsExitCodeAndWhetherRecordsBegan) {
    const QString sources =
        "Чтение данных прервано\nЗаписей прочитано с линии 36, взято из архива 284\n";
    const ReadoutEnd read = ClassifyReadout("events", 0, false, sources);
    EXPECT_EQ(read.outcome, CraneOutcome::Read);
    EXPECT_EQ(read.tally.fromLine, 36);
    EXPECT_EQ(read.tally.fromArchive, 284);
    // From 1 000 on the terminal groups the digits.
    const ReadoutEnd large = ClassifyReadout(
        "events", 0, false, "Записей прочитано с линии 1\u00A0046, взято из архива 19\u00A0984\n");
    EXPECT_EQ(large.tally.fromLine, 1046);
    EXPECT_EQ(large.tally.fromArchive, 19984);
    EXPECT_EQ(ClassifyReadout("events", 1, false, "Регистратор не ответил\n").outcome,
              CraneOutcome::NotReachable);
    EXPECT_EQ(ClassifyReadout("events", 1, false, sources).outcome, CraneOutcome::CutShort);
    EXPECT_EQ(ClassifyReadout("events", 130, false, "").outcome, CraneOutcome::CutShort);
    EXPECT_EQ(ClassifyReadout("events", 3, false, sources).outcome, CraneOutcome::Failed);
    EXPECT_EQ(ClassifyReadout("events", 0, true, "").outcome, CraneOutcome::Failed);
    EXPECT_EQ(ClassifyReadout("events", 0, true, sources).outcome, CraneOutcome::CutShort);
    EXPECT_EQ(ClassifyReadout("events", 0, false, "").tally.fromLine, -1);
    EXPECT_EQ(MessagesToPassOn(sources + "\n  Архив не ведется: x \n"),
              (QStringList{"Чтение данных прервано", "Архив не ведется: x"}));
}

CraneReport Report(const char* name, CraneOutcome outcome, int exitCode = 0,
                   PushOutcome push = PushOutcome::NotAsked, int pushExitCode = 0) {
    CraneReport r;
    r.name = name;
    r.outcome = outcome;
    r.exitCode = exitCode;
    r.push = push;
    r.pushExitCode = pushExitCode;
    return r;
}

TEST(RoundSteps, OneLinePerCraneAndASummary) {
    CraneReport a = Report("a", CraneOutcome::Read, 0, PushOutcome::Pushed);
    a.memories = {{"events", 36, 284, 20}, {"summator", 20, 180, 0}};
    EXPECT_EQ(CraneLine(a), QString("a: read, events 20 new (36 from the line, 284 from the "
                                    "archive), summator 0 new (20 from the line, 180 from the "
                                    "archive); pushed"));
    const CraneReport b = Report("b", CraneOutcome::NotReachable, 1, PushOutcome::NotDone);
    EXPECT_EQ(CraneLine(b), QString("b: not reachable; not pushed"));
    CraneReport c = Report("c", CraneOutcome::CutShort, 130, PushOutcome::NotDone);
    c.memories = {{"events", 400, 0}, {"summator"}};
    EXPECT_EQ(CraneLine(c), QString("c: cut short, events 400 from the line, 0 from the archive, "
                                    "summator; not pushed"));
    const CraneReport d = Report("d", CraneOutcome::Read, 0, PushOutcome::Failed, 4);
    EXPECT_EQ(CraneLine(d), QString("d: read; push failed, nothing pushed"));
    const CraneReport e = Report("e", CraneOutcome::Read, 0, PushOutcome::Failed, 130);
    EXPECT_EQ(CraneLine(e), QString("e: read; push stopped, nothing pushed"));
    EXPECT_EQ(CraneLine(Report("f", CraneOutcome::Failed, 3)), QString("f: failed (exit code 3)"));
    EXPECT_EQ(CraneLine(Report("g", CraneOutcome::NotRead)),
              QString("g: not read: the round was stopped"));
    EXPECT_EQ(SummaryLine({a, b, c, d, e}),
              QString("round: 5 cranes: 3 read, 1 not reachable, 1 cut short; 1 pushed"));
    EXPECT_EQ(SummaryLine({Report("x", CraneOutcome::Failed, 3)}),
              QString("round: 1 crane: 0 read, 1 failed"));
}

TEST(RoundSteps, TheExitCodeIsTheGravestFailure) {
    const CraneReport read = Report("a", CraneOutcome::Read, 0, PushOutcome::Pushed);
    EXPECT_EQ(RoundExitCode({}, false), ExitCode::Success);
    EXPECT_EQ(RoundExitCode({read, read}, false), ExitCode::Success);
    EXPECT_EQ(RoundExitCode({read}, true), ExitCode::Interrupted);
    const CraneReport unreachable = Report("b", CraneOutcome::NotReachable, 1);
    const CraneReport cut = Report("c", CraneOutcome::CutShort, 130);
    const CraneReport files = Report("d", CraneOutcome::Failed, 3);
    const CraneReport push = Report("e", CraneOutcome::Read, 0, PushOutcome::Failed, 4);
    EXPECT_EQ(RoundExitCode({read, unreachable}, false), ExitCode::LinkFailure);
    EXPECT_EQ(RoundExitCode({cut, read}, false), ExitCode::LinkFailure);
    EXPECT_EQ(RoundExitCode({unreachable, files, cut}, false), ExitCode::FileFailure);
    EXPECT_EQ(RoundExitCode({push, files, unreachable}, false), ExitCode::DatabaseFailure);
    EXPECT_EQ(RoundExitCode({files, push}, true), ExitCode::Interrupted);
}

} // namespace
