// The built zorvan-cli's round over simulated cranes: two on COM numbers, one
// behind a real ser2net, one that is not there; again with nothing new; a
// second round at once; a stop from outside; the push to a throwaway
// PostgreSQL.

#include "tests/fleet/fleet_fixture.h"
#include "tests/fleet/pg_cluster.h"
#include "tests/network/ser2net_fixture.h"

#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <tuple>
#include <unistd.h>

namespace {

auto* const Cluster = ::testing::AddGlobalTestEnvironment(new PgCluster);

constexpr int TimeScale = 20;

struct RoundRun {
    int exitCode = -1;
    QStringList out;
    QString err;
};

class RoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(ports.isValid());
        for (auto& sim : sims)
            ASSERT_TRUE(sim.Start());
        SetTimeScale(TimeScale);
    }

    void TearDown() override {
        ser2net.Kill();
        for (auto& sim : sims)
            sim.Stop();
        SetTimeScale(1);
    }

    void Bind(int com, const QString& device) {
        const QString link = QDir(ports.path()).filePath(QStringLiteral("com%1").arg(com));
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(device, link));
    }

    QString WriteList(const QString& text) {
        const QString path = home.filePath("cranes.ini");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return path;
    }

    void Start(QProcess& process, const QStringList& args, const QString& zorvanDb = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVAN_PORTS", ports.path());
        env.insert("ZORVAN_TIME_SCALE", QString::number(TimeScale));
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.remove("ZORVAN_DB");
        if (!zorvanDb.isEmpty())
            env.insert("ZORVAN_DB", zorvanDb);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());
        process.start(ZORVAN_CLI_PROGRAM, args);
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    static RoundRun Finish(QProcess& process) {
        RoundRun r;
        EXPECT_TRUE(process.waitForFinished(180000));
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
        r.out.removeAll(QString());
        r.out.sort(); // cranes end in any order
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    RoundRun Run(const QStringList& args, const QString& zorvanDb = {}) {
        QProcess process;
        Start(process, args, zorvanDb);
        return Finish(process);
    }

    // The run folders written for a crane, oldest first.
    QStringList RunFolders(const QString& crane) const {
        QDir dir(QDir(out()).filePath(crane));
        QStringList folders;
        for (const QString& name :
             dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time | QDir::Reversed))
            folders << dir.filePath(name);
        return folders;
    }

    static QByteArray Bytes(const QString& folder, const QString& name) {
        QFile f(QDir(folder).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString out() const { return home.filePath("runs"); }

    QTemporaryDir home;
    QTemporaryDir ports;
    RecorderSimulator sims[3];
    Ser2net ser2net;
};

// "events 5 new (21 from the line, 284 from the archive)": the three counts.
std::tuple<int, int, int> Counts(const QString& line, const QString& memory) {
    const QRegularExpression re(memory +
                                " (\\d+) new \\((\\d+) from the line, (\\d+) from the archive\\)");
    const auto m = re.match(line);
    if (!m.hasMatch())
        return {-1, -1, -1};
    return {m.captured(2).toInt(), m.captured(3).toInt(), m.captured(1).toInt()};
}

TEST_F(RoundTest, ReadsEveryCraneAndAgainOnlyWhatIsNewAndPushesItOnce) {
    GenerateOptions options;
    options.events = 300;
    options.sums = 120;
    for (int i = 0; i < 3; ++i) {
        options.seed = 40 + std::uint32_t(i);
        sims[i].Generate(options);
    }
    Bind(1, sims[0].DevicePath());
    Bind(2, sims[1].DevicePath());
    // COM 9 leads to a device that is not there.
    Bind(9, home.filePath("ttyUSB-gone"));
    ASSERT_TRUE(ser2net.Start(sims[2].DevicePath())) << "ser2net did not start";
    const QString list = WriteList(QStringLiteral("[crane 1]\ncom = 1\nread = events\n"
                                                  "[crane 2]\ncom = 2\nread = summator\n"
                                                  "[yard]\nport = %1\n"
                                                  "[gone]\ncom = 9\n")
                                       .arg(ser2net.Telnet()));
    const QString db = PgCluster::Instance()->NewDatabase();

    const RoundRun r = Run({"round", list, "--out", out(), "--jobs", "4"}, db);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 5) << r.out.join('\n').toStdString();
    EXPECT_EQ(r.out[0],
              "crane 1: read, events 300 new (300 from the line, 0 from the archive); pushed");
    EXPECT_EQ(r.out[1],
              "crane 2: read, summator 120 new (120 from the line, 0 from the archive); pushed");
    EXPECT_EQ(r.out[2], "gone: not reachable; not pushed");
    EXPECT_EQ(r.out[3], "round: 4 cranes: 3 read, 1 not reachable; 3 pushed");
    EXPECT_EQ(r.out[4], "yard: read, events 300 new (300 from the line, 0 from the archive), "
                        "summator 120 new (120 from the line, 0 from the archive); pushed");
    // Why a crane failed comes under its name.
    EXPECT_TRUE(r.err.contains("gone: ie_BadId - Specified comport doesn't exist\n"))
        << r.err.toStdString();
    // Each readout has a run folder of its own, with the files of a readout;
    // the crane not reached leaves none.
    EXPECT_EQ(RunFolders("crane 1").size(), 1);
    EXPECT_EQ(RunFolders("yard").size(), 2);
    EXPECT_TRUE(RunFolders("gone").isEmpty());
    EXPECT_NE(Bytes(RunFolders("crane 1").value(0), "zorvan.xls"), "<missing>");
    EXPECT_NE(Bytes(RunFolders("crane 2").value(0), "summator.xls"), "<missing>");
    EXPECT_NE(Bytes(RunFolders("yard").value(0), "index.html"), "<missing>");
    const auto eventRows = [&] {
        return fleet_test::Number(db, "SELECT count(*) FROM zorvan.event_records");
    };
    const auto sumRows = [&] {
        return fleet_test::Number(db, "SELECT count(*) FROM zorvan.sum_records");
    };
    EXPECT_EQ(eventRows(), 600);
    EXPECT_EQ(sumRows(), 240);

    // The cranes worked on: the next round reads what is new and a run of
    // old records, takes the rest from the archive, and pushes only the new.
    sims[0].AppendHistoryToClock(5, 0, 77);
    sims[2].AppendHistoryToClock(0, 3, 78);
    const RoundRun again = Run({"round", list, "--out", out(), "--db", db});
    EXPECT_EQ(again.exitCode, 1) << again.err.toStdString();
    ASSERT_EQ(again.out.size(), 5) << again.out.join('\n').toStdString();
    for (const auto& [line, memory, fresh] :
         {std::tuple{again.out[0], "events", 5}, std::tuple{again.out[1], "summator", 0},
          std::tuple{again.out[4], "events", 0}, std::tuple{again.out[4], "summator", 3}}) {
        SCOPED_TRACE(line.toStdString());
        const auto [fromLine, fromArchive, news] = Counts(line, memory);
        EXPECT_EQ(news, fresh);
        EXPECT_GE(fromLine, 16);
        EXPECT_LT(fromLine, 40);
        EXPECT_GT(fromArchive, 80);
        EXPECT_TRUE(line.endsWith("; pushed"));
    }
    EXPECT_EQ(RunFolders("crane 1").size(), 2);
    EXPECT_EQ(eventRows(), 605);
    EXPECT_EQ(sumRows(), 243);
}

// A stop from outside ends the round as a Break ends a readout: each crane's
// records kept, its files and page finished; cranes cut short are not pushed.
// Meanwhile a second round is turned away.
TEST_F(RoundTest, RunsAloneAndAStopFromOutsideEndsItAsABreak) {
    GenerateOptions options;
    options.wrapped = true;
    options.eventPointer = 0x5000B;
    for (int i = 0; i < 3; ++i) {
        options.seed = 50 + std::uint32_t(i);
        sims[i].Generate(options);
        Bind(i + 1, sims[i].DevicePath());
    }
    const QString list = WriteList("[a]\ncom = 1\nread = events\n[b]\ncom = 2\nread = events\n"
                                   "[c]\ncom = 3\nread = summator\n");
    Bind(3, sims[2].DevicePath());
    const QString db = PgCluster::Instance()->NewDatabase();
    // systemd's stop, a closed terminal: to the round alone; Ctrl+C on a
    // terminal, kill -TERM -- -PGID: to its whole process group. Each step
    // is asked once only, as a second signal would end it at once.
    for (const auto& [signal, group] : {std::pair{SIGTERM, false}, std::pair{SIGHUP, false},
                                        std::pair{SIGINT, true}, std::pair{SIGTERM, true}}) {
        SCOPED_TRACE(signal);
        SCOPED_TRACE(group ? "to the process group" : "to the round");
        for (auto& sim : sims)
            sim.ClearRequests();
        QDir(out()).removeRecursively();
        QProcess process;
        // A terminal of its own: the round leads a process group, as a shell's job does.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        // Two at a time: the third crane waits for a place.
        Start(process, {"round", list, "--out", out(), "--jobs", "2", "--push"}, db);
        ASSERT_TRUE(sims[0].WaitForRequests(36 + 3 + 300, 30000));
        ASSERT_TRUE(sims[1].WaitForRequests(36 + 3 + 300, 30000));
        if (signal == SIGTERM && !group) {
            // While the cranes are being read, a second round on the same
            // archive is turned away before it reads anything.
            const RoundRun second = Run({"round", list, "--out", home.filePath("second")});
            EXPECT_EQ(second.exitCode, 2);
            EXPECT_TRUE(second.err.contains(QRegularExpression(
                "^zorvan-cli: another round is running on this archive \\(process \\d+ on "
                ".+\\); this one ends\n$")))
                << second.err.toStdString();
            EXPECT_FALSE(QFileInfo::exists(home.filePath("second")));
        }
        ::kill(group ? -pid_t(process.processId()) : pid_t(process.processId()), signal);
        const RoundRun r = Finish(process);
        EXPECT_EQ(r.exitCode, 130) << r.err.toStdString();
        EXPECT_EQ(r.out,
                  (QStringList{"a: cut short; not pushed", "b: cut short; not pushed",
                               "c: not read: the round was stopped",
                               "round: 3 cranes: 0 read, 2 cut short, 1 not read; 0 pushed"}))
            << r.out.join('\n').toStdString();
        EXPECT_TRUE(r.err.endsWith("zorvan-cli: the round was stopped; what was read is kept\n"))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("a: Чтение данных прервано\n")) << r.err.toStdString();
        for (const char* crane : {"a", "b"}) {
            SCOPED_TRACE(crane);
            const QStringList folders = RunFolders(crane);
            ASSERT_EQ(folders.size(), 1);
            // Every record read before the stop is in the file, the page
            // finished as after a Break.
            EXPECT_GE(Bytes(folders[0], "zorvan.xls").count('\n'), 299);
            EXPECT_TRUE(Bytes(folders[0], "index.html").contains("прервано"));
        }
        EXPECT_TRUE(RunFolders("c").isEmpty());
        EXPECT_FALSE(sims[2].WaitForRequests(1, 0));
        // Not even the tables were made: no push began.
        EXPECT_EQ(fleet_test::Number(db, "SELECT count(*) FROM information_schema.tables WHERE "
                                         "table_schema = 'zorvan'"),
                  0);
    }

    // A round killed outright: its steps still end as after a Break.
    for (auto& sim : sims)
        sim.ClearRequests();
    QDir(out()).removeRecursively();
    QProcess process;
    Start(process, {"round", list, "--out", out(), "--jobs", "2"});
    ASSERT_TRUE(sims[0].WaitForRequests(36 + 3 + 300, 30000));
    process.kill();
    ASSERT_TRUE(process.waitForFinished(10000));
    for (const char* crane : {"a", "b"}) {
        SCOPED_TRACE(crane);
        QByteArray page;
        for (int i = 0; i < 100 && !page.contains("прервано"); ++i) {
            QThread::msleep(100);
            page = Bytes(RunFolders(crane).value(0), "index.html");
        }
        EXPECT_TRUE(page.contains("прервано"));
    }
}

// A stop while a crane's push waits for the server: the push is rolled back,
// the crane's records stay in the archive, and the next round pushes them.
TEST_F(RoundTest, AStopDuringAPushRollsItBack) {
    GenerateOptions options;
    options.events = 300;
    options.seed = 60;
    sims[0].Generate(options);
    Bind(1, sims[0].DevicePath());
    const QString list = WriteList("[a]\ncom = 1\nread = events\n");
    const QString db = PgCluster::Instance()->NewDatabase();
    const auto eventRows = [&] {
        return fleet_test::Number(db, "SELECT count(*) FROM zorvan.event_records");
    };
    ASSERT_EQ(Run({"round", list, "--out", out(), "--push"}, db).exitCode, 0);
    ASSERT_EQ(eventRows(), 300);

    sims[0].AppendHistoryToClock(5, 0, 61);
    PgConnection holder;
    ASSERT_TRUE(holder.Connect(db));
    ASSERT_TRUE(holder.Exec("BEGIN").ok);
    ASSERT_TRUE(holder.Exec("SELECT id FROM zorvan.cranes FOR UPDATE").ok);
    QProcess process;
    Start(process, {"round", list, "--out", out(), "--push"}, db);
    bool waiting = false;
    for (int i = 0; i < 600 && !waiting; ++i) {
        waiting = fleet_test::Number(db, "SELECT count(*) FROM pg_stat_activity WHERE "
                                         "wait_event_type = 'Lock'") == 1;
        if (!waiting)
            QThread::msleep(50);
    }
    ASSERT_TRUE(waiting);
    ::kill(pid_t(process.processId()), SIGTERM);
    const RoundRun r = Finish(process);
    EXPECT_EQ(r.exitCode, 130) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 2) << r.out.join('\n').toStdString();
    EXPECT_TRUE(r.out[0].startsWith("a: read, events "));
    EXPECT_TRUE(r.out[0].endsWith("; push stopped, nothing pushed"));
    EXPECT_EQ(r.out[1], "round: 1 crane: 1 read; 0 pushed");
    EXPECT_TRUE(r.err.contains("a: zorvan-cli: push interrupted; nothing pushed\n"))
        << r.err.toStdString();
    EXPECT_EQ(eventRows(), 300);
    ASSERT_TRUE(holder.Exec("ROLLBACK").ok);

    const RoundRun again = Run({"round", list, "--out", out(), "--push"}, db);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(eventRows(), 305);
}

TEST_F(RoundTest, AFaultyListIsRefusedBeforeAnythingIsRead) {
    Bind(1, sims[0].DevicePath());
    const QString list = WriteList("[a]\ncom = 1\n[b]\ncom = 1x\n");
    const RoundRun r = Run({"round", list, "--out", out()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "zorvan-cli: " + QDir::toNativeSeparators(list) +
                         ":4: com takes a number from 1 to 99, not '1x'\n"
                         "Try 'zorvan-cli round --help'.\n");
    EXPECT_FALSE(sims[0].WaitForRequests(1, 0));
    EXPECT_FALSE(QFileInfo::exists(out()));
    EXPECT_EQ(Run({"round", list, "--jobs", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"round"}).exitCode, 2);
}

} // namespace
