// The built zorvan-cli reading through ser2net, raw and by RFC 2217: the
// files of a local readout, a connection that breaks, one that never stands.

#include "seal/seal_check.h"
#include "tests/network/ser2net_fixture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QStringDecoder>

#include <iostream>
#include <string>

namespace {

constexpr int TimeScale = 20;

struct CliRun {
    int exitCode = -1;
    QStringList out;
    QString err;
    qint64 ms = 0;
};

class NetworkReadoutTest : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_TRUE(home.isValid());
        SetTimeScale(TimeScale);
    }

    // A failure's folders stay for a look.
    void TearDown() override {
        if (HasFailure()) {
            home.setAutoRemove(false);
            std::cerr << "kept " << home.path().toStdString() << '\n';
        }
        NetworkTest::TearDown();
    }

    // The tool in a start folder of its own, its archive and settings in a
    // home of the test's.
    void Start(QProcess& process, const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVAN_PORTS", ports.path());
        env.insert("ZORVAN_TIME_SCALE", QString::number(TimeScale));
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());
        process.start(ZORVAN_CLI_PROGRAM, args);
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    CliRun Run(const QStringList& args) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        Start(process, args);
        CliRun result;
        EXPECT_TRUE(process.waitForFinished(120000));
        result.ms = clock.elapsed();
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
        result.out.removeAll(QString());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // A readout into a new folder of its own, the recorder's clock at the
    // start of a minute so that every readout reads the same time.
    QString Readout(const QStringList& args) {
        const QString folder = home.filePath(QStringLiteral("run%1").arg(++runs));
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
        const CliRun run = Run(args + QStringList{"--out", folder, "-q"});
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString() << ": " << run.err.toStdString();
        return folder;
    }

    static QByteArray Bytes(const QString& folder, const QString& name) {
        QFile f(QDir(folder).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // The log without the computer's time, its second line.
    static QStringList LogLines(const QString& folder) {
        QStringList lines = QStringDecoder("windows-1251")(Bytes(folder, "zorvlog.txt"))
                                .
                                operator QString()
                                .split("\r\n");
        if (lines.size() > 1)
            lines.removeAt(1);
        return lines;
    }

    static void ExpectSameFiles(const QString& expected, const QString& got,
                                const QStringList& names) {
        for (const QString& name : names) {
            const QByteArray want = Bytes(expected, name);
            const QByteArray have = Bytes(got, name);
            EXPECT_NE(want, "<missing>") << name.toStdString();
            EXPECT_TRUE(have == want)
                << name.toStdString() << ": "
                << FirstDifference(want, have, QStringLiteral("wanted")).toStdString();
        }
    }

    QTemporaryDir home;
    int runs = 0;
};

TEST_F(NetworkReadoutTest, BothModesWriteTheFilesOfALocalReadout) {
    GenerateOptions options;
    options.events = 400;
    options.sums = 150;
    options.seed = 7;
    sim.Generate(options);
    // COM2 leads to the RFC 2217 port through a text entry.
    WriteEntry(2, ser2net.Telnet());
    const QStringList events{"zorvan.xls", "zorvan.txt", "zorvan.hex"};
    const QStringList sums{"summator.xls", "summator.txt", "report.xls"};

    const QStringList eventArgs{"events", "--xls", "--txt", "--hex"};
    const QStringList sumArgs{"summator", "--xls", "--txt"};
    const QStringList raw{"--port", ser2net.Raw()};
    const QStringList telnet{"--port", ser2net.Telnet()};
    // ser2net lets the device go a moment after a connection closes; until
    // then its other accepter for the same device turns connections away.
    // So the two modes are not used one right after the other.
    const QString local = Readout(eventArgs + QStringList{"--com", "1"});
    const QString rawEvents = Readout(eventArgs + raw);
    const QString rawSums = Readout(sumArgs + raw);
    const QString localSums = Readout(sumArgs + QStringList{"--com", "1"});
    const QString telnetEvents = Readout(eventArgs + telnet);
    const QString entryEvents = Readout(eventArgs + QStringList{"--com", "2"});
    const QString telnetSums = Readout(sumArgs + telnet);

    for (const QString& net : {rawEvents, telnetEvents, entryEvents}) {
        SCOPED_TRACE(net.toStdString());
        ExpectSameFiles(local, net, events);
        EXPECT_EQ(LogLines(net), LogLines(local));
    }
    for (const QString& net : {rawSums, telnetSums}) {
        SCOPED_TRACE(net.toStdString());
        ExpectSameFiles(localSums, net, sums);
        EXPECT_EQ(LogLines(net), LogLines(localSums));
    }
    // The page names no COM number that nothing was read through.
    const QByteArray page = Bytes(telnetSums, "index.html");
    EXPECT_TRUE(page.contains("сетевой порт") && !page.contains("COM0")) << page.left(200).data();
}

TEST_F(NetworkReadoutTest, Ser2netKilledMidReadoutEndsLikeAPulledAdapter) {
    GenerateOptions options;
    options.events = 1500;
    options.seed = 3;
    sim.Generate(options);
    const QString cut = home.filePath("cut");
    QProcess process;
    Start(process, {"events", "--hex", "--port", ser2net.Telnet(), "--out", cut, "-q"});
    // Identification, clock, last slot and pointers, then 300 records.
    ASSERT_TRUE(sim.WaitForRequests(36 + 3 + 300, 60000));
    ser2net.Kill();
    QElapsedTimer sinceKill;
    sinceKill.start();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_LT(sinceKill.elapsed(), 3000) << "limits of a connection that is gone were waited out";
    EXPECT_EQ(process.exitCode(), 1);
    // What failed, why, and what to check: the server, not a COM number.
    const QStringList err = QString::fromUtf8(process.readAllStandardError()).split('\n');
    EXPECT_EQ(err.value(0), "Не удалось прочитать данные");
    EXPECT_EQ(err.value(1),
              QStringLiteral("соединение с 127.0.0.1:%1 разорвано").arg(ser2net.telnetPort));
    EXPECT_TRUE(err.value(2).startsWith("Проверьте: сервер портов")) << err.join('|').toStdString();
    const QStringList hex = QString::fromLatin1(Bytes(cut, "zorvan.hex")).split("\r\n");
    EXPECT_GE(hex.size(), 299);
    const QString lost =
        QStringLiteral("соединение с 127.0.0.1:%1 разорвано").arg(ser2net.telnetPort);
    const QStringList log = LogLines(cut);
    EXPECT_EQ(log.count(lost), 1) << log.join('|').toStdString();
    const qsizetype at = log.indexOf(lost);
    ASSERT_GT(at, 0);
    EXPECT_TRUE(log.value(at + 1).startsWith("Не удалось прочитать данные по адресу "));

    // The device server is back: the files are those of a full readout.
    ASSERT_TRUE(ser2net.Start(sim.DevicePath()));
    const QString since =
        Readout({"events", "--since-last", "--xls", "--hex", "--port", ser2net.Telnet()});
    const QString full = Readout({"events", "--xls", "--hex", "--com", "1"});
    ExpectSameFiles(full, since, {"zorvan.xls", "zorvan.hex"});
}

TEST_F(NetworkReadoutTest, NothingListeningAndAnUnknownNameFailAtOnceInOneLine) {
    const std::uint16_t closed = FreePort();
    const CliRun refused =
        Run({"info", "--port", QStringLiteral("tcp://127.0.0.1:%1").arg(closed)});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, QStringLiteral("соединение с 127.0.0.1:%1 отвергнуто\n").arg(closed));
    EXPECT_LT(refused.ms, 3000) << "the protocol's retries were waited out";

    const CliRun unknown = Run({"events", "--port", "rfc2217://nosuchhost.invalid:2217"});
    EXPECT_EQ(unknown.exitCode, 1);
    // The run folder it made is gone again, and it says so.
    EXPECT_TRUE(unknown.err.startsWith("имя nosuchhost.invalid не найдено\nzorvan-cli: nothing was "
                                       "written"))
        << unknown.err.toStdString();
    EXPECT_LT(unknown.ms, 5000);
    EXPECT_TRUE(sim.Requests().empty());

    const CliRun both = Run({"clock", "--com", "1", "--port", ser2net.Raw()});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_TRUE(both.err.startsWith("zorvan-cli: --com and --port exclude each other\n"));
    const CliRun malformed = Run({"clock", "--port", "tcp://host"});
    EXPECT_EQ(malformed.exitCode, 2);
    EXPECT_TRUE(malformed.err.contains("--port takes tcp://HOST:PORT or rfc2217://HOST:PORT"));

    WriteEntry(5, ser2net.Raw());
    const CliRun list = Run({"ports"});
    EXPECT_TRUE(list.out.contains("COM5 " + ser2net.Raw() + ": сетевой порт, TCP"))
        << list.out.join('|').toStdString();
}

} // namespace
