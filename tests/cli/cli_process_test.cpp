// The built zorvan-cli as a process against the recorder simulator, its files
// compared with those of the window's readout of the same memory.

#include "link/clock_write.h"
#include "link/tick_timer.h"
#include "readout/ident_block.h"
#include "simulator/recorder_sim.h"
#include "tests/cli/cli_fixture.h"

#include <QProcess>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringDecoder>
#include <QUrl>

#include <csignal>

namespace {

TEST_F(CliProcessTest, EventsWritesTheWindowsFilesByteForByte) {
    GenerateOptions options;
    options.eventPointer = 0x4000B; // across a page: 5959 records
    options.seed = 11;
    sim.Generate(options);

    TZorvan& w = OpenWindow();
    w.ETxtBox->setChecked(true);
    w.EHexBox->setChecked(true);
    ResetClock();
    w.ReadMemButton->click();
    ASSERT_EQ(gateway.texts(),
              QStringList{"Данные прочитаны в файлы zorvan.xls, zorvan.txt, zorvan.hex"});

    ResetClock();
    const CliRun cli =
        Run({"events", "--xls", "--txt", "--hex", "--out", outDir.path(), "--quiet"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_EQ(cli.out, QStringList{QDir::toNativeSeparators(outDir.path())});
    EXPECT_EQ(cli.err, "Данные прочитаны в файлы zorvan.xls, zorvan.txt, zorvan.hex\n");
    ExpectSameFiles(w.RunFolder(), outDir.path(), {"zorvan.xls", "zorvan.txt", "zorvan.hex"});
}

// A readout leaves its memory image and summary page; the image replays into
// the same files offline, and a readout of only what is new since then, with
// the rest from the archive, writes them too.
TEST_F(CliProcessTest, ImageReplayAndSinceLastGiveTheSameFiles) {
    GenerateOptions options;
    options.eventPointer = 0x31007; // 374 records on the first page
    options.seed = 12;
    sim.Generate(options);
    const QStringList files{"zorvan.xls", "zorvan.txt"};

    ResetClock();
    const CliRun read = Run({"events", "--xls", "--txt", "--out", outDir.path(), "-q"});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_TRUE(QFileInfo(QDir(outDir.path()).filePath("index.html")).size() > 0);

    QTemporaryDir replayDir;
    const CliRun replay = Run({"replay", QDir(outDir.path()).filePath("recorder.img"), "events",
                               "--xls", "--txt", "--out", replayDir.path(), "-q"});
    EXPECT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    for (const QString& name : files)
        EXPECT_TRUE(Bytes(replayDir.path(), name) == Bytes(outDir.path(), name))
            << name.toStdString();

    QTemporaryDir sinceDir;
    ResetClock();
    const CliRun since =
        Run({"events", "--since-last", "--xls", "--txt", "--out", sinceDir.path(), "-q"});
    EXPECT_EQ(since.exitCode, 0) << since.err.toStdString();
    for (const QString& name : files)
        EXPECT_TRUE(Bytes(sinceDir.path(), name) == Bytes(outDir.path(), name))
            << name.toStdString();
    const QStringList log = LogLines(sinceDir.path());
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].contains("из архива")) << log.join('|').toStdString();
    // What the log says of it, the terminal says too.
    EXPECT_TRUE(since.err.contains(log[log.size() - 2] + "\n")) << since.err.toStdString();
    EXPECT_FALSE(since.err.contains(", взято из архива 0\n"));

    EXPECT_EQ(Run({"replay", QDir(outDir.path()).filePath("zorvan.xls"), "events"}).exitCode, 3);

    // A second readout into the first one's folder would leave a page that
    // contradicts the files beside it: refused, the folder as it was.
    const QByteArray page = Bytes(outDir.path(), "index.html");
    for (const QStringList& args :
         {QStringList{"summator", "--out", outDir.path()},
          QStringList{"replay", QDir(sinceDir.path()).filePath("recorder.img"), "events", "--out",
                      outDir.path()}}) {
        const CliRun again = Run(args);
        EXPECT_EQ(again.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(again.err.contains("holds the files of an earlier readout"))
            << again.err.toStdString();
    }
    EXPECT_TRUE(Bytes(outDir.path(), "index.html") == page);
}

// Two processes read two cranes that identify alike into one archive at
// once: both finish, the database stays whole, and a revisit of either
// writes what its full readout wrote.
TEST_F(CliProcessTest, TwoReadoutsAtOnceShareOneArchiveSoundly) {
    GenerateOptions options;
    options.events = 400;
    options.seed = 31;
    sim.Generate(options);
    RecorderSimulator twin;
    ASSERT_TRUE(twin.Start());
    BindPort(2, twin.DevicePath());
    options.seed = 32;
    options.identSeed = 31;
    twin.Generate(options);

    const QDateTime clock(QDate(2026, 12, 7), QTime(9, 4));
    QTemporaryDir fullDir[2];
    QProcess process[2];
    for (int i = 0; i < 2; ++i) {
        (i == 0 ? sim : twin).SetClock(clock);
        Start(process[i],
              {"events", "--com", QString::number(i + 1), "--out", fullDir[i].path(), "-q"});
    }
    for (QProcess& p : process) {
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        EXPECT_FALSE(err.contains("Архив")) << err.toStdString();
    }
    for (int i = 0; i < 2; ++i) {
        (i == 0 ? sim : twin).SetClock(clock);
        QTemporaryDir sinceDir;
        const CliRun since = Run({"events", "--com", QString::number(i + 1), "--since-last",
                                  "--out", sinceDir.path(), "-q"});
        EXPECT_EQ(since.exitCode, 0) << since.err.toStdString();
        EXPECT_FALSE(since.err.contains("Архив")) << since.err.toStdString();
        EXPECT_TRUE(Bytes(sinceDir.path(), "zorvan.xls") == Bytes(fullDir[i].path(), "zorvan.xls"))
            << "crane " << i + 1;
    }
    twin.Stop();
}

TEST_F(CliProcessTest, SummatorByTheSettingsFileWritesTheWindowsFilesAndTheWordReport) {
    GenerateOptions options;
    options.wrapped = true;
    options.sumPointer = 0x18000;
    options.events = 10;
    options.seed = 5;
    sim.Generate(options);
    WriteIni({"9600", "1", "700", "40", "вес", "1"});

    TZorvan& w = OpenWindow();
    w.TxtBox->setChecked(true);
    ResetClock();
    w.ReadSumButton->click();
    ASSERT_TRUE(w.RadioBec->isChecked());
    ASSERT_EQ(gateway.texts(),
              QStringList{"Данные прочитаны в файлы report.xls, summator.xls, summator.txt"});

    // Out of the way, beside the tool's own run folder.
    const QString windowFiles = QDir(startDir.path()).filePath("window");
    const QString runFolder = w.RunFolder();
    CloseWindow();
    ASSERT_TRUE(QDir().rename(runFolder, windowFiles));

    const QString report = QDir(QFileInfo(ZORVAN_CLI_PROGRAM).path()).filePath("list.doc");
    QFile::remove(report);
    ResetClock();
    // A new run folder in the start directory, as the window makes one.
    const CliRun cli = Run({"summator", "--txt", "--xls", "--word"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    ASSERT_EQ(cli.out.size(), 2);
    EXPECT_EQ(QFileInfo(cli.out[0]).dir().absolutePath(), QDir(startDir.path()).absolutePath());
    EXPECT_EQ(cli.out[1], QDir::toNativeSeparators(report));
    EXPECT_TRUE(QFileInfo(report).size() > 0);
    // The run's page lists the report where it was saved.
    EXPECT_TRUE(Bytes(cli.out[0], "index.html").contains(QUrl::fromLocalFile(report).toEncoded()));
    // Progress went to standard error, a line at a time, not being a terminal.
    EXPECT_TRUE(
        cli.err.endsWith("Данные прочитаны в файлы report.xls, summator.xls, summator.txt\n"))
        << cli.err.toStdString();
    ExpectSameFiles(windowFiles, cli.out[0], {"summator.xls", "summator.txt", "report.xls"});
}

TEST_F(CliProcessTest, InfoPrintsIdentificationClockAndBothMemories) {
    GenerateOptions options;
    options.eventPointer = 0x3000B;
    options.sumPointer = 0x14000; // 1 025 records: the count is grouped as on the page
    sim.Generate(options);
    ResetClock();
    const CliRun cli = Run({"info"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    IdentData ident{};
    const QByteArray area = sim.Bytes(3, 1538, 360);
    std::copy(area.begin(), area.end(), ident.begin());
    QStringList expected = KranLines(ident);
    expected.removeAll(QString());
    expected << "Время регистратора: 07.12.2026 09:04"
             << "Указатель событий: 3000Bh"
             << "Записей событий: 2"
             << "Память событий переполнена: нет"
             << "Указатель сумматора: 14000h"
             << "Записей сумматора: 1\u00A0025"
             << "Память сумматора переполнена: нет";
    EXPECT_EQ(cli.out, expected);
    EXPECT_TRUE(cli.err.isEmpty()) << cli.err.toStdString();
}

TEST_F(CliProcessTest, ClockSetWritesTheClockAndReadsItBack) {
    ResetClock();
    const CliRun cli = Run({"clock", "--set", "01.02.2027 10:20"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_EQ(cli.err, "Время установлено!\n");
    EXPECT_EQ(cli.out, QStringList{"01.02.2027 10:20"});
    std::vector<std::pair<std::uint8_t, std::uint32_t>> requests;
    for (const auto& r : sim.Requests())
        requests.emplace_back(r.command, r.address);
    // The write, then the newest event and the clock, as the clock dialog does.
    EXPECT_EQ(requests,
              (std::vector<std::pair<std::uint8_t, std::uint32_t>>{{5, 0}, {4, 120}, {4, 0}}));
    EXPECT_EQ(sim.Requests().front().frame.mid(5, 5), QByteArray::fromHex("2010010227"));
}

// The clock write both front ends share: the event is taken from the reply
// before the clock read overwrites it.
TEST_F(CliProcessTest, ClockWriteHandsOverTheNewestEventBeforeReadingTheClock) {
    sim.Generate({});
    Pordt port;
    ASSERT_TRUE(port.SetOpen(true)) << port.LastError().toStdString();
    bool breakRequested = false;
    DTrans link(port, breakRequested);
    AnsweringGateway messages;
    RecorderRequests requests(link, messages);
    QByteArray event;
    QString clock;
    const ClockWriteOutcome outcome =
        WriteClockAndReadBack(requests, messages, {2027, 2, 1, 10, 20}, clock, [&] {
            event = QByteArray(reinterpret_cast<const char*>(&link.RxBuffer[1]), 11);
        });
    EXPECT_TRUE(outcome.written);
    EXPECT_TRUE(outcome.clockRead);
    EXPECT_EQ(clock, "01.02.2027 10:20");
    EXPECT_EQ(event.toHex(), sim.Bytes(4, 120, 11).toHex());
    EXPECT_EQ(messages.texts(), QStringList{"Время установлено!"});
}

TEST_F(CliProcessTest, ExitCodesForUsageFileAndLinkFailures) {
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"events", "--baud", "5000"}).exitCode, 2);
    EXPECT_EQ(Run({"clock", "--set", "32.01.2026 10:00"}).exitCode, 2);
    EXPECT_EQ(Run({"summator", "--help"}).exitCode, 0);

    QFile blocker(QDir(startDir.path()).filePath("taken"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const CliRun noFolder = Run({"events", "--out", blocker.fileName()});
    EXPECT_EQ(noFolder.exitCode, 3);
    EXPECT_TRUE(noFolder.err.startsWith("Невозможно создать папку ")) << noFolder.err.toStdString();

    // A folder where the spreadsheet file should go: the readout cannot open it.
    ASSERT_TRUE(QDir(outDir.path()).mkdir("zorvan.xls"));
    const CliRun noFile = Run({"events", "--out", outDir.path()});
    EXPECT_EQ(noFile.exitCode, 3);
    EXPECT_TRUE(noFile.err.contains("Невозможно открыть файл zorvan.xls\n"))
        << noFile.err.toStdString();

    const CliRun noPort = Run({"info", "--com", "97"});
    EXPECT_EQ(noPort.exitCode, 1);
    EXPECT_TRUE(noPort.err.startsWith("ie_BadId - Specified comport doesn't exist\n"))
        << noPort.err.toStdString();

    sim.SetFaults({.silent = true});
    const CliRun silent = Run({"clock"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_TRUE(silent.err.contains("Не удалось прочитать время\nРегистратор не ответил"))
        << silent.err.toStdString();
}

TEST_F(CliProcessTest, CtrlCAndAStopFromOutsideAreTheBreakButtonAndKeepWhatWasRead) {
    GenerateOptions options;
    options.wrapped = true;
    options.eventPointer = 0x5000B;
    sim.Generate(options);
    // Ctrl+C; systemd's and a shutdown's stop; a closed terminal.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        QTemporaryDir out;
        ASSERT_TRUE(out.isValid());
        sim.ClearRequests();
        QProcess process;
        Start(process, {"events", "--hex", "--out", out.path()});
        // Identification, clock, last slot and pointer, then 500 records.
        ASSERT_TRUE(sim.WaitForRequests(36 + 3 + 500, 30000));
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        EXPECT_TRUE(
            QString::fromUtf8(process.readAllStandardError()).endsWith("Чтение данных прервано\n"));
        // The 500th request may still be under way when the signal comes: that
        // exchange gives up, every record before it is in the file.
        const QStringList hex = QString::fromLatin1(Bytes(out.path(), "zorvan.hex")).split("\r\n");
        EXPECT_GE(hex.size(), 499 + 1);
        EXPECT_TRUE(hex.first().startsWith("5000B: "));
        const QStringList log = LogLines(out.path());
        EXPECT_TRUE(log.value(log.size() - 2).startsWith("Прервано чтение данных по адресу "))
            << log.join('|').toStdString();
        // The page is finished as after a Break.
        EXPECT_TRUE(Bytes(out.path(), "index.html").contains("прервано"));
    }
}

} // namespace
