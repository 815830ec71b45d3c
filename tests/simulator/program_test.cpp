#include "pty_client.h"
#include "simulator/com_binding.h"
#include "simulator/recorder_memory.h"
#include "simulator/recorder_sim.h"
#include "simulator/sim_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>

namespace {

// Starts recorder-sim and waits for its READY line; the device path or empty.
QString startProgram(QProcess& process, const QStringList& args,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RECORDER_SIM_PROGRAM), args);
    if (!process.waitForStarted(5000)) {
        return {};
    }
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000)) {
            return {};
        }
    }
    const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
    if (!line.startsWith(QStringLiteral("READY "))) {
        return {};
    }
    return line.mid(6);
}

void terminate(QProcess& process) {
    ::kill(pid_t(process.processId()), SIGTERM);
    process.waitForFinished(5000);
}

} // namespace

TEST(SimOptions, ParsesEveryOption) {
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"recorder-sim",
                                 "--com",
                                 "7",
                                 "--generate",
                                 "--events",
                                 "40",
                                 "--sums",
                                 "9",
                                 "--wrapped",
                                 "--event-pointer",
                                 "5000B",
                                 "--sum-pointer",
                                 "0x18000",
                                 "--seed",
                                 "3",
                                 "--silent",
                                 "--bad-checksum",
                                 "--cut-after",
                                 "4",
                                 "--extra-bytes",
                                 "2",
                                 "--byte-delay",
                                 "15",
                                 "--baud",
                                 "1200",
                                 "--fail-address",
                                 "FFFECh",
                                 "--fail-count",
                                 "3",
                                 "--erase-ack-delay",
                                 "1.5",
                                 "--vanish-after",
                                 "10",
                                 "--log",
                                 "--image",
                                 "a.img",
                                 "--save-image",
                                 "b.img"},
                                &o, &error))
        << error.toStdString();
    EXPECT_EQ(o.com, 7);
    EXPECT_TRUE(o.generate);
    EXPECT_EQ(o.generateOptions.events, 40);
    EXPECT_EQ(o.generateOptions.sums, 9);
    EXPECT_TRUE(o.generateOptions.wrapped);
    EXPECT_EQ(o.generateOptions.eventPointer, 0x5000Bu);
    EXPECT_EQ(o.generateOptions.sumPointer, 0x18000u);
    EXPECT_EQ(o.generateOptions.seed, 3u);
    EXPECT_TRUE(o.faults.silent);
    EXPECT_TRUE(o.faults.badChecksum);
    EXPECT_EQ(o.faults.cutAfter, 4);
    EXPECT_EQ(o.faults.extraBytes, 2);
    EXPECT_EQ(o.faults.byteDelayMs, 15);
    EXPECT_EQ(o.faults.baud, 1200);
    EXPECT_EQ(o.failAddress, 0xFFFECu);
    EXPECT_EQ(o.failCount, 3);
    EXPECT_EQ(o.faults.eraseAckDelayMs, 1500);
    EXPECT_EQ(o.faults.vanishAfter, 10);
    EXPECT_TRUE(o.log);
    EXPECT_EQ(o.image, QStringLiteral("a.img"));
    EXPECT_EQ(o.saveImage, QStringLiteral("b.img"));
}

TEST(SimOptions, DefaultsGenerateAHistory) {
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"recorder-sim"}, &o, &error));
    EXPECT_TRUE(o.generate);
    EXPECT_EQ(o.com, -1);
    EXPECT_EQ(o.faults.cutAfter, -1);
    EXPECT_EQ(o.faults.vanishAfter, -1);
    ASSERT_TRUE(ParseSimOptions({"recorder-sim", "--image", "x.img"}, &o, &error));
    EXPECT_FALSE(o.generate); // the image is the content
}

TEST(SimOptions, BadValuesAreRefused) {
    const QStringList cases[] = {
        {"recorder-sim", "--com", "0"},
        {"recorder-sim", "--com", "100"}, // the tool's numbers end at 99
        {"recorder-sim", "--com", "x"},
        {"recorder-sim", "--baud", "-5"},
        {"recorder-sim", "--baud", "1234"}, // a speed the tool refuses too
        {"recorder-sim", "--history", "random"},
        {"recorder-sim", "--event-pointer", "XYZ"},
        {"recorder-sim", "--erase-ack-delay", "soon"},
        {"recorder-sim", "--unknown"},
        {"recorder-sim", "stray"},
        {"recorder-sim", "--cut-after"},
    };
    for (const auto& args : cases) {
        SimOptions o;
        QString error;
        EXPECT_FALSE(ParseSimOptions(args, &o, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(SimOptions, HexForms) {
    EXPECT_EQ(ParseHex(QStringLiteral("3000B")), 0x3000Bu);
    EXPECT_EQ(ParseHex(QStringLiteral("0x3000b")), 0x3000Bu);
    EXPECT_EQ(ParseHex(QStringLiteral("3000Bh")), 0x3000Bu);
    EXPECT_FALSE(ParseHex(QStringLiteral("")));
    EXPECT_FALSE(ParseHex(QStringLiteral("h")));
    EXPECT_FALSE(ParseHex(QStringLiteral("123456789")));
}

TEST(RecorderSimProgram, ServesAndBindsAsComN) {
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    const QString folder = ports.filePath(QStringLiteral("sub/ports"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_PORTS"), folder);
    QProcess process;
    const QString device = startProgram(
        process, {"--com", "5", "--events", "3", "--sums", "2", "--generate", "--seed", "9"}, env);
    ASSERT_FALSE(device.isEmpty()) << process.readAllStandardError().toStdString();
    const QString link = folder + QStringLiteral("/com5");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), device);

    PtyClient client(link); // opened through the link, as the port does
    ASSERT_TRUE(client.IsOpen());
    const QByteArray reply = client.Exchange(ReadRequest(0, 8, 6), 11, 2000);
    EXPECT_EQ(Hex(reply.mid(1, 8)), "00 03 00 16 00 01 00 10");

    terminate(process);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

namespace {

// Runs recorder-sim to its end (it is refused); exit code and standard error.
std::pair<int, QString> refusedRun(const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RECORDER_SIM_PROGRAM), args);
    if (!process.waitForFinished(5000)) {
        terminate(process);
        return {-1, QStringLiteral("still running")};
    }
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()); // never READY
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

TEST(RecorderSimProgram, NeverChangesOrRemovesAnEntryItDidNotMake) {
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_PORTS"), ports.path());
    const QString com1 = ports.filePath(QStringLiteral("com1"));
    const QString com3 = ports.filePath(QStringLiteral("com3"));
    const QString com4 = ports.filePath(QStringLiteral("com4"));
    // The user's adapters: one there, one unplugged for now.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), com3));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyUSB97"), com4));
    for (const QString& com : {QStringLiteral("3"), QStringLiteral("4")}) {
        const auto [code, error] = refusedRun({"--com", com}, env);
        EXPECT_EQ(code, 1) << qPrintable(com);
        EXPECT_EQ(error.count(QLatin1Char('\n')), 1) << qPrintable(error);
        EXPECT_TRUE(error.contains(com == QLatin1String("3") ? QStringLiteral("/dev/null")
                                                             : QStringLiteral("/dev/ttyUSB97")))
            << qPrintable(error);
        EXPECT_TRUE(error.contains(QStringLiteral("--com 1"))) << qPrintable(error);
    }
    EXPECT_EQ(QFileInfo(com3).symLinkTarget(), QStringLiteral("/dev/null"));
    EXPECT_EQ(QFileInfo(com4).symLinkTarget(), QStringLiteral("/dev/ttyUSB97"));

    // A second simulator does not steal the first one's number.
    QProcess first;
    const QString device = startProgram(first, {"--com", "1"}, env);
    ASSERT_FALSE(device.isEmpty());
    const auto [code, error] = refusedRun({"--com", "1"}, env);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(error.contains(device) && error.contains(QStringLiteral("--com 2")))
        << qPrintable(error);
    EXPECT_EQ(QFileInfo(com1).symLinkTarget(), device);
    terminate(first);
    EXPECT_FALSE(QFileInfo(com1).isSymLink());
    EXPECT_EQ(QFileInfo(com3).symLinkTarget(), QStringLiteral("/dev/null"));

    // Numbers the tool has not are refused before anything is touched, the
    // range named.
    for (const char* com : {"100", "0"}) {
        const auto [refused, message] = refusedRun({"--com", com}, env);
        EXPECT_EQ(refused, 2) << com;
        EXPECT_EQ(
            message.toStdString(),
            QStringLiteral("recorder-sim: --com takes 1 to 99, not '%1'\n").arg(com).toStdString());
    }
}

TEST(RecorderSimProgram, TakesOverAKilledSimulatorsLinkAndRemovesOnlyItsOwn) {
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_PORTS"), ports.path());
    const QString com2 = ports.filePath(QStringLiteral("com2"));
    // Left by a simulator killed with SIGKILL: its terminal is gone.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/pts/987654"), com2));
    QProcess process;
    const QString device = startProgram(process, {"--com", "2"}, env);
    ASSERT_FALSE(device.isEmpty()) << process.readAllStandardError().toStdString();
    EXPECT_EQ(QFileInfo(com2).symLinkTarget(), device);
    // The user points the number elsewhere meanwhile: that stays.
    ASSERT_TRUE(QFile::remove(com2));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), com2));
    terminate(process);
    EXPECT_EQ(QFileInfo(com2).symLinkTarget(), QStringLiteral("/dev/null"));

    // A killed simulator's terminal may have a new owner by now: the note of
    // who made the link tells whether its maker has ended.
    RecorderSimulator other;
    ASSERT_TRUE(other.Start());
    QProcess ended;
    ended.start(QStringLiteral("true"), QStringList{});
    ASSERT_TRUE(ended.waitForStarted(5000));
    const qint64 endedPid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished(5000));
    for (const auto& [com, maker] :
         {std::pair{3, endedPid}, std::pair{4, qint64(QCoreApplication::applicationPid())}}) {
        const QString link = ports.filePath(QStringLiteral("com%1").arg(com));
        ASSERT_TRUE(QFile::link(other.DevicePath(), link));
        QFile note(OwnerNotePath(ports.path(), com));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(note).absolutePath()));
        ASSERT_TRUE(note.open(QIODevice::WriteOnly));
        note.write(QStringLiteral("%1 %2\n").arg(maker).arg(other.DevicePath()).toLocal8Bit());
        note.close();
        QProcess again;
        const QString served = startProgram(again, {"--com", QString::number(com)}, env);
        if (com == 3) {
            EXPECT_FALSE(served.isEmpty()) << again.readAllStandardError().toStdString();
            EXPECT_EQ(QFileInfo(link).symLinkTarget(), served);
            terminate(again);
            EXPECT_FALSE(QFileInfo(link).isSymLink());
        } else {
            EXPECT_TRUE(served.isEmpty()); // its maker lives: refused
            again.waitForFinished(5000);
            EXPECT_EQ(again.exitCode(), 1);
            EXPECT_EQ(QFileInfo(link).symLinkTarget(), other.DevicePath());
        }
    }
}

namespace {

// What a run of recorder-sim serves: its pointer block, oldest event record,
// current event record and clock, each a reply's data bytes.
struct Served {
    QByteArray pointers, oldest, current, clock;
};

Served serve(const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    const QString device = startProgram(process, args, env);
    EXPECT_FALSE(device.isEmpty()) << process.readAllStandardError().toStdString();
    Served served;
    {
        PtyClient client(device);
        served.pointers = client.Exchange(ReadRequest(0, 8, 6), 11).mid(1, 8);
        served.oldest = client.Exchange(ReadRequest(0x30000, 11, 4), 14).mid(1, 11);
        served.current = client.Exchange(ReadRequest(120, 11, 4), 14).mid(1, 11);
        served.clock = client.Exchange(ReadRequest(0, 5, 7), 8).mid(1, 5);
    }
    terminate(process);
    EXPECT_EQ(process.exitCode(), 0);
    return served;
}

qint64 minutesOf(const QByteArray& time) {
    const QDateTime t = RecorderMemory::TimeOf(time.left(5));
    EXPECT_TRUE(t.isValid()) << Hex(time).constData();
    return t.toSecsSinceEpoch() / 60;
}

} // namespace

TEST(RecorderSimProgram, KeepsItsMemoryFromOneRunToTheNextAsARecorderDoes) {
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_PORTS"), ports.path());
    const QStringList content{"--com", "7", "--events", "30", "--sums", "10"};
    const QStringList fiveMore{"--append-events", "5"};
    // The crane works between the visits: new records after the newest,
    // none dated after the recorder clock.
    const Served first = serve(content + fiveMore, env);
    ASSERT_EQ(first.oldest.size(), 11);
    EXPECT_LE(minutesOf(first.current), minutesOf(first.clock));
    // Started again, it serves what it served.
    const Served again = serve(content, env);
    EXPECT_EQ(Hex(again.pointers), Hex(first.pointers));
    EXPECT_EQ(Hex(again.oldest), Hex(first.oldest));
    EXPECT_EQ(Hex(again.current), Hex(first.current));

    const Served revisit = serve(content + fiveMore, env);
    EXPECT_EQ(Hex(revisit.oldest), Hex(first.oldest));
    const auto eventPointer = [](const QByteArray& p) {
        return std::uint8_t(p[1]) << 16 | std::uint8_t(p[2]) << 8 | std::uint8_t(p[3]);
    };
    EXPECT_EQ(eventPointer(revisit.pointers), eventPointer(first.pointers) + 5 * 11);
    EXPECT_GE(minutesOf(revisit.current), minutesOf(first.current));
    EXPECT_LE(minutesOf(revisit.current), minutesOf(revisit.clock));

    // Other content options: another recorder, with a memory of its own.
    const Served other = serve(content + QStringList{"--seed", "5"}, env);
    EXPECT_NE(Hex(other.oldest), Hex(first.oldest));
}

TEST(RecorderSimProgram, LogsRequestsAndSavesItsImage) {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("end.img"));
    QProcess process;
    const QString device = startProgram(process, {"--log", "--save-image", image, "--silent"});
    ASSERT_FALSE(device.isEmpty());
    PtyClient client(device);
    ASSERT_TRUE(client.Send(ReadRequest(0xFFFEC, 11, 4)));
    EXPECT_TRUE(client.Receive(1, 300).isEmpty()); // silent
    terminate(process);
    const QString log = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("command 04 address 0FFFEC length 11 selector 4")))
        << log.toStdString();
    EXPECT_TRUE(QFileInfo::exists(image));

    // The image serves a second run with the same memory.
    QProcess second;
    const QString again = startProgram(second, {"--image", image});
    ASSERT_FALSE(again.isEmpty());
    PtyClient other(again);
    const QByteArray reply = other.Exchange(ReadRequest(0, 8, 6), 11, 2000);
    EXPECT_EQ(reply.size(), 11);
    terminate(second);
}

TEST(RecorderSimProgram, BadOptionsAndMissingImageFail) {
    QProcess process;
    process.start(QStringLiteral(RECORDER_SIM_PROGRAM), {"--baud", "fast"});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 2);
    process.start(QStringLiteral(RECORDER_SIM_PROGRAM), {"--image", "/nonexistent/x.img"});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()); // never READY
    // A file of another kind is refused with the problem named.
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("zorvan.ini"));
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("9600\r\n1\r\n");
    file.close();
    process.start(QStringLiteral(RECORDER_SIM_PROGRAM), {"--image", foreign});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("not a recorder memory image"));
}

namespace {

// One line to the control channel and its answer.
QString control(QProcess& process, const QByteArray& line) {
    process.write(line + '\n');
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(5000)) {
            return {};
        }
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

} // namespace

TEST(RecorderSimProgram, ControlChannelSwitchesFaultsAndReopensTheLine) {
    QTemporaryDir ports;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVAN_PORTS"), ports.path());
    QProcess process;
    const QString device = startProgram(process, {"--control", "--com", "6"}, env);
    ASSERT_FALSE(device.isEmpty());
    const QString link = ports.filePath(QStringLiteral("com6"));
    {
        PtyClient client(link);
        EXPECT_EQ(control(process, "--silent"), QStringLiteral("OK"));
        EXPECT_TRUE(client.Exchange(ReadRequest(0, 8, 6), 11, 300).isEmpty());
        EXPECT_EQ(control(process, "--cut-after 3 --extra-bytes 0"), QStringLiteral("OK"));
        EXPECT_EQ(client.Exchange(ReadRequest(0, 8, 6), 11, 500).size(), 3);
        EXPECT_EQ(control(process, ""), QStringLiteral("OK"));
        EXPECT_EQ(client.Exchange(ReadRequest(0, 8, 6), 11, 1000).size(), 11);
        EXPECT_TRUE(control(process, "--image x.img").startsWith(QStringLiteral("ERROR ")));
        EXPECT_TRUE(control(process, "--cut-after many").startsWith(QStringLiteral("ERROR ")));

        // The old line dies; the COM link leads to the new one, which serves.
        const QString ready = control(process, "reopen");
        ASSERT_TRUE(ready.startsWith(QStringLiteral("READY "))) << ready.toStdString();
        EXPECT_NE(ready.mid(6), device);
        EXPECT_TRUE(client.LineDead(1000));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), ready.mid(6));
    }
    PtyClient again(link);
    EXPECT_EQ(again.Exchange(ReadRequest(0, 8, 6), 11, 1000).size(), 11);

    process.closeWriteChannel(); // no controller left: the simulator ends
    EXPECT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}
