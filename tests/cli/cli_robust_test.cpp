// zorvan-cli as a process where things go wrong or run side by side: two
// starts at once, Ctrl+C during a replay, images that lack what a replay
// needs, and commands that fail before writing anything.

#include "image/image_file.h"
#include "link/pordt.h"
#include "link/port_finder.h"
#include "tests/cli/cli_fixture.h"

#include <QDateTime>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <tuple>

namespace {

using CliRobustTest = CliProcessTest;

// Waits until a new second has just begun, so that what starts now starts
// within one second.
void WaitForTheStartOfASecond() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QThread::msleep(static_cast<unsigned long>(1000 - now % 1000 + 20));
}

TEST_F(CliRobustTest, TwoStartsInTheSameSecondEachGetARunFolderOfTheirOwn) {
    sim.Generate({});
    const QString image = QDir(outDir.path()).filePath("recorder.img");
    ASSERT_TRUE(sim.SaveImage(image));

    QProcess first;
    QProcess second;
    WaitForTheStartOfASecond();
    Start(first, {"replay", image, "events", "--hex", "-q"});
    Start(second, {"replay", image, "events", "--hex", "-q"});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const QString a = QString::fromUtf8(first.readAllStandardOutput()).trimmed();
    const QString b = QString::fromUtf8(second.readAllStandardOutput()).trimmed();
    ASSERT_NE(a, b);
    // The first keeps the usual name, the second has a suffix.
    const QString name = QFileInfo(a.size() < b.size() ? a : b).fileName();
    EXPECT_EQ(QFileInfo(a.size() < b.size() ? b : a).fileName(), name + "_2");
    for (const QString& folder : {a, b}) {
        EXPECT_EQ(QFileInfo(folder).dir().absolutePath(), QDir(startDir.path()).absolutePath());
        // Each log holds one readout.
        EXPECT_EQ(Bytes(folder, "zorvan.hex"), Bytes(a, "zorvan.hex"));
        EXPECT_EQ(QString::fromLatin1(Bytes(folder, "zorvlog.txt")).count("\r\n"),
                  QString::fromLatin1(Bytes(a, "zorvlog.txt")).count("\r\n"));
    }
}

// The recorder's clock has no time zone: 02:30 on the morning clocks go
// forward in Berlin is a time of the recorder like any other.
TEST_F(CliRobustTest, RecorderTimesInADaylightSavingGapAreTimesLikeAnyOther) {
    extraEnv.insert("TZ", "Europe/Berlin");
    ResetClock();
    const CliRun set = Run({"clock", "--set", "29.03.2026 02:30"});
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, QStringList{"29.03.2026 02:30"});
    ASSERT_FALSE(sim.Requests().empty());
    EXPECT_EQ(sim.Requests().front().frame.mid(5, 5), QByteArray::fromHex("3002290326"));

    GenerateOptions options;
    options.events = 20;
    options.newest = QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC);
    sim.Generate(options);
    const QString image = QDir(startDir.path()).filePath("recorder.img");
    ASSERT_TRUE(sim.SaveImage(image));
    const CliRun replay = Run({"replay", image, "events", "--out", outDir.path(), "-q"});
    EXPECT_EQ(replay.exitCode, 0) << replay.err.toStdString();
    const QString page = QString::fromUtf8(Bytes(outDir.path(), "index.html"));
    EXPECT_TRUE(page.contains(" по 29.03.2026 02:30")) << page.left(3000).toStdString();
}

// Hex5 of the log: five upper-case hex digits.
QString Hex(std::uint32_t address) {
    return QString::number(address, 16).toUpper().rightJustified(5, '0');
}

// The folders directly in dir.
QStringList Folders(const QString& dir) {
    return QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

// A copy of the image at path with the part [begin, end) of the memory
// (selector 4) left out, as if never read.
QByteArray ImageWithout(const QString& path, std::uint32_t begin, std::uint32_t end) {
    MemoryImage whole;
    EXPECT_TRUE(LoadMemoryImageFile(path, whole).ok);
    MemoryImage part;
    for (const MemoryImage::Run& run : whole.Runs()) {
        const auto keep = [&](std::uint32_t from, std::uint32_t to) {
            from = std::max(from, run.address);
            to = std::min(to, run.address + std::uint32_t(run.bytes.size()));
            if (from < to)
                part.Record(run.selector, from,
                            reinterpret_cast<const std::uint8_t*>(run.bytes.constData()) +
                                (from - run.address),
                            int(to - from), {});
        };
        if (run.selector != 4) {
            keep(0, 0x1000000);
        } else {
            keep(0, begin);
            keep(end, 0x1000000);
        }
    }
    return ImageFormat::Serialize(part);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST_F(CliRobustTest, CtrlCBreaksAReplayAndKeepsWhatWasWritten) {
    GenerateOptions options;
    options.wrapped = true; // 77,441 records: seconds of replay
    sim.Generate(options);
    const QString image = QDir(startDir.path()).filePath("recorder.img");
    ASSERT_TRUE(sim.SaveImage(image));

    QProcess process;
    Start(process, {"replay", image, "events", "--hex", "--out", outDir.path()});
    const QString hexPath = QDir(outDir.path()).filePath("zorvan.hex");
    // Well into the records, far from their end.
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(hexPath).size() > 2000 * 30; }, 60000));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.endsWith("Чтение данных прервано\n")) << err.toStdString();
    const QByteArray hex = Bytes(outDir.path(), "zorvan.hex");
    EXPECT_TRUE(hex.endsWith("\r\n")) << "every line written whole";
    const qsizetype lines = hex.count("\r\n");
    EXPECT_GE(lines, 1000);
    EXPECT_LT(lines, 77441);
    const QStringList log = LogLines(outDir.path());
    EXPECT_TRUE(log.value(log.size() - 2).startsWith("Прервано чтение данных по адресу "))
        << log.join('|').toStdString();
    EXPECT_TRUE(Bytes(outDir.path(), "index.html").contains("прервано"));
}

TEST_F(CliRobustTest, ReplayTellsWhereTheImageEndsAndRefusesAMemoryItDoesNotHold) {
    GenerateOptions options;
    options.events = 300; // slots 0x30000 upwards
    options.sums = 40;
    sim.Generate(options);
    const QString saved = QDir(outDir.path()).filePath("saved.img");
    ASSERT_TRUE(sim.SaveImage(saved));

    // The oldest 50 events were never read.
    const QString truncated = QDir(outDir.path()).filePath("truncated.img");
    WriteFile(truncated, ImageWithout(saved, 0x30000, 0x30000 + 11 * 50));
    QTemporaryDir cut;
    const CliRun run = Run({"replay", truncated, "events", "--out", cut.path(), "-q"});
    EXPECT_EQ(run.exitCode, 1);
    const QString line = "zorvan-cli: the image holds nothing at " + Hex(0x30000 + 11 * 49) +
                         "h (selector 4, 11 bytes)\n";
    EXPECT_EQ(run.err.count(line), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Не удалось прочитать данные\n")) << run.err.toStdString();
    EXPECT_TRUE(Bytes(cut.path(), "index.html").contains("<html"));

    const QString noEvents = QDir(outDir.path()).filePath("sums.img");
    WriteFile(noEvents, ImageWithout(saved, 0x30000, 0x100000));
    const QString noSums = QDir(outDir.path()).filePath("events.img");
    WriteFile(noSums, ImageWithout(saved, 0x10000, 0x30000));
    const QStringList before = Folders(startDir.path());
    for (const auto& [image, memory, name] :
         {std::tuple{noEvents, "events", "event"}, std::tuple{noSums, "summator", "summator"}}) {
        const CliRun refused = Run({"replay", image, memory});
        EXPECT_EQ(refused.exitCode, 3) << memory;
        EXPECT_EQ(refused.err, QString("zorvan-cli: the image %1 holds no %2 memory\n")
                                   .arg(QDir::toNativeSeparators(image), QString::fromUtf8(name)));
        EXPECT_TRUE(refused.out.isEmpty());
    }
    EXPECT_EQ(Folders(startDir.path()), before) << "no run folder, no empty files";
    // The other memory of each still replays.
    QTemporaryDir sums;
    EXPECT_EQ(Run({"replay", noEvents, "summator", "--out", sums.path(), "-q"}).exitCode, 0);
}

TEST_F(CliRobustTest, OnFailureTheToolSaysMoreAndLeavesNoEmptyRunFolder) {
    const QStringList before = Folders(startDir.path());
    const CliRun noPort = Run({"events", "--com", "97", "-q"});
    EXPECT_EQ(noPort.exitCode, 1);
    // As the window's status bar: the ports that do exist.
    const QString ports = PortSummary(FindSerialPorts());
    EXPECT_TRUE(ports.startsWith("Есть: COM1 ")) << ports.toStdString();
    // The run folder printed first is gone again, and that is said.
    ASSERT_EQ(noPort.out.size(), 1);
    EXPECT_EQ(noPort.err, "ie_BadId - Specified comport doesn't exist\n" + ports +
                              "\nzorvan-cli: nothing was written; the empty run folder " +
                              noPort.out[0] + " is removed\n");
    EXPECT_EQ(Folders(startDir.path()), before);

    // A folder where the spreadsheet file should go.
    sim.Generate({});
    ASSERT_TRUE(QDir(outDir.path()).mkdir("zorvan.xls"));
    const CliRun noFile = Run({"events", "--out", outDir.path()});
    EXPECT_EQ(noFile.exitCode, 3);
    const QString path = QDir::toNativeSeparators(QDir(outDir.path()).filePath("zorvan.xls"));
    const qsizetype at = noFile.err.indexOf("Невозможно открыть файл zorvan.xls\n");
    ASSERT_GE(at, 0) << noFile.err.toStdString();
    const QString next = noFile.err.mid(at).section('\n', 1, 1);
    EXPECT_TRUE(next.startsWith("zorvan-cli: cannot open " + path + ": ")) << next.toStdString();
    EXPECT_GT(next.size(), QString("zorvan-cli: cannot open " + path + ": ").size());
    // Not being a terminal, the progress is told in lines, the identification too.
    EXPECT_TRUE(noFile.err.contains("чтение идентификации: блок 1 из 36\n"))
        << noFile.err.toStdString();
}

// The window's boxes name what failed; the terminal also tells why, and
// what to check, and shows the tool waiting while the recorder is silent.
TEST_F(CliRobustTest, ALinkFailureTellsItsCauseAndWhatToCheck) {
    const QString device = Pordt::DevicePath(1);
    sim.SetFaults({.silent = true});
    const CliRun silent = Run({"info"});
    EXPECT_EQ(silent.exitCode, 1);
    for (int attempt = 2; attempt <= 5; ++attempt)
        EXPECT_TRUE(
            silent.err.contains(QString("регистратор не отвечает, попытка %1 из 5\n").arg(attempt)))
            << silent.err.toStdString();
    EXPECT_FALSE(silent.err.contains("попытка 1 ")) << "the first try is the usual wait";
    EXPECT_TRUE(silent.err.endsWith(
        "Не удалось прочитать идентификационную информацию\n"
        "Регистратор не ответил ни на один запрос на COM1 (" +
        device +
        ", 9600 бод)\n"
        "Проверьте: кабель, питание регистратора, скорость линии (сейчас 9600, --baud), номер "
        "COM (сейчас COM1, --com; какой номер ведет к адаптеру, покажет zorvan --list-ports)\n"))
        << silent.err.toStdString();

    GenerateOptions options;
    options.events = 100;
    sim.Generate(options);
    // A readout that went well says nothing of the kind.
    sim.SetFaults({});
    QTemporaryDir good;
    const CliRun read = Run({"events", "--out", good.path()});
    EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_FALSE(read.err.contains("попытка") || read.err.contains("Проверьте"))
        << read.err.toStdString();

    // Unplugged in the middle: what the log says, the terminal says too.
    sim.SetFaults({.vanishAfter = 36 + 3 + 7 + 20});
    const CliRun cut = Run({"events", "--out", outDir.path()});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_TRUE(cut.err.contains("Не удалось прочитать данные\n"
                                 "Порт COM1 закрыт: устройство отключено\n"
                                 "Проверьте: кабель и адаптер (вставлен ли), питание "
                                 "регистратора; после переподключения номер COM мог смениться: "
                                 "какой номер ведет к адаптеру, покажет zorvan --list-ports\n"))
        << cut.err.toStdString();
    EXPECT_TRUE(LogLines(outDir.path()).contains("Порт COM1 закрыт: устройство отключено"));
}

TEST_F(CliRobustTest, PortsExplainsADashWhereNoNumberLeads) {
    const CliRun ports = Run({"ports"});
    EXPECT_EQ(ports.exitCode, 0);
    const bool dash = std::any_of(ports.out.cbegin(), ports.out.cend(),
                                  [](const QString& line) { return line.startsWith("— "); });
    // The simulator's link takes COM1 from /dev/ttyS0, where there is one.
    if (!dash)
        GTEST_SKIP() << "no port without a number on this machine";
    EXPECT_TRUE(ports.err.startsWith("«—»: к порту не ведет ни один номер COM"))
        << ports.err.toStdString();
    EXPECT_TRUE(ports.err.contains(QDir::toNativeSeparators(portDir.path()) + "/comN"));
    EXPECT_EQ(ports.err.count('\n'), 1);
}

} // namespace
