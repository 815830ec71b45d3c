// A readout in the window leaves its memory image; the image rebuilds the
// window's files byte for byte, offline and through a simulator serving it.

#include "image/image_file.h"
#include "image/image_recorder.h"
#include "image/replay.h"
#include "link/tick_timer.h"
#include "simulator/recorder_sim.h"
#include "tests/window/window_fixture.h"

#include <QCheckBox>
#include <QRadioButton>

namespace {

const QStringList EventFiles{"zorvan.xls", "zorvan.txt", "zorvan.hex"};
const QStringList SumFiles{"summator.xls", "summator.txt", "summator.hex", "report.xls"};

QByteArray fileBytes(const QString& folder, const QString& name) {
    QFile f(QDir(folder).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct Case {
    ReplayKind kind;
    bool wrapped;
    bool moment;
};

class ReplayWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(outDir.isValid());
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        OpenWindow().show();
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
        SetTimeScale(20);
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    // A readout through the window, every file ticked, in the mode given.
    void readOut(ReplayKind kind, bool moment) {
        TZorvan& w = *window;
        for (QCheckBox* box : {w.LogBox, w.TxtBox, w.HexBox, w.ELogBox, w.ETxtBox, w.EHexBox})
            box->setChecked(true);
        (moment ? w.RadioMax : w.RadioBec)->setChecked(true);
        gateway.shown.clear();
        (kind == ReplayKind::Events ? w.ReadMemButton : w.ReadSumButton)->click();
    }

    QString imagePath() const {
        return QDir(window->RunFolder()).filePath(ImageRecorder::FileName);
    }

    ReplayResult replay(const MemoryImage& image, ReplayKind kind, bool moment,
                        const QString& folder, AnsweringGateway& messages) {
        ReplaySettings settings;
        settings.files = {true, true, true};
        settings.withReach = moment;
        settings.basis = moment ? RatingBasis::Moment : RatingBasis::Weight;
        settings.fullScale = moment ? window->MaxMoment : window->MaxWeight;
        QuietReadoutHost quiet;
        return ReplayReadout(image, kind, settings, folder, quiet, messages);
    }

    void expectSameFiles(const QStringList& names, const QString& folder) {
        for (const QString& name : names)
            EXPECT_EQ(fileBytes(folder, name), fileBytes(window->RunFolder(), name))
                << name.toStdString();
    }

    RecorderSimulator sim;
    QTemporaryDir outDir;
};

TEST_F(ReplayWindowTest, ImageOfEachReadoutRebuildsTheWindowsFilesByteForByte) {
    const Case cases[] = {
        {ReplayKind::Summator, false, true}, {ReplayKind::Summator, false, false},
        {ReplayKind::Summator, true, true},  {ReplayKind::Summator, true, false},
        {ReplayKind::Events, false, true},   {ReplayKind::Events, false, false},
        {ReplayKind::Events, true, true},    {ReplayKind::Events, true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << n);
        GenerateOptions options;
        options.seed = 7 + n;
        options.wrapped = c.wrapped;
        options.events = 700;
        options.sums = 600;
        sim.Generate(options);
        // Each readout starts its own image, as in a run folder of its own.
        QFile::remove(imagePath());
        readOut(c.kind, c.moment);
        ASSERT_FALSE(gateway.texts().isEmpty());
        ASSERT_TRUE(gateway.texts().last().startsWith("Данные прочитаны"))
            << gateway.texts().join('|').toStdString();

        MemoryImage image;
        const ImageLoad load = LoadMemoryImageFile(imagePath(), image);
        ASSERT_TRUE(load.ok) << load.error.toStdString();
        const QString folder = outDir.filePath(QString::number(n++));
        AnsweringGateway messages;
        const ReplayResult result = replay(image, c.kind, c.moment, folder, messages);
        EXPECT_EQ(result.status, ReplayStatus::Done);
        EXPECT_EQ(result.readsMissing, 0);
        EXPECT_EQ(messages.texts(), gateway.texts());
        expectSameFiles(c.kind == ReplayKind::Events ? EventFiles : SumFiles, folder);
    }
}

TEST_F(ReplayWindowTest, SimulatorServingTheImageGivesTheSameReadout) {
    GenerateOptions options;
    options.seed = 3;
    options.events = 400;
    options.sums = 300;
    sim.Generate(options);
    readOut(ReplayKind::Summator, true);
    readOut(ReplayKind::Events, true);
    ASSERT_EQ(gateway.texts().size(), 1);
    const QString first = outDir.filePath("first");
    ASSERT_TRUE(QDir().mkpath(first));
    for (const QString& name : EventFiles + SumFiles)
        ASSERT_TRUE(
            QFile::copy(QDir(window->RunFolder()).filePath(name), QDir(first).filePath(name)));

    // Both readouts went into one image; a recorder serving it answers as
    // this one did, with its clock where it stood.
    RecorderSimulator served;
    QString error;
    ASSERT_TRUE(served.LoadImage(imagePath(), &error)) << error.toStdString();
    sim.Stop();
    ASSERT_TRUE(served.Start());
    BindPort(1, served.DevicePath());
    readOut(ReplayKind::Summator, true);
    readOut(ReplayKind::Events, true);
    for (const QString& name : EventFiles + SumFiles)
        EXPECT_EQ(fileBytes(window->RunFolder(), name), fileBytes(first, name))
            << name.toStdString();
}

TEST_F(ReplayWindowTest, ReadoutCutShortLeavesEveryRecordReadInItsImage) {
    GenerateOptions options;
    options.eventPointer = 0x30000 + 11 * 40;
    sim.Generate(options);
    window->Link.ReplyTimeout = 0;
    // Identification, clock, last slot and pointers, then seven records.
    sim.SetFaults({.vanishAfter = 36 + 3 + 7});
    readOut(ReplayKind::Events, true);
    ASSERT_EQ(gateway.texts(), QStringList{"Не удалось прочитать данные"});

    MemoryImage image;
    const ImageLoad load = LoadMemoryImageFile(imagePath(), image);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    for (int k = 0; k < 7; ++k)
        EXPECT_TRUE(image.IsRead(4, 0x30000 + 11 * (40 - k), 11)) << k;
    EXPECT_FALSE(image.IsRead(4, 0x30000 + 11 * 33, 1));
    EXPECT_TRUE(image.IsRead(3, 1538, 360));

    // Replayed, it stops at the same record with the same files.
    AnsweringGateway messages;
    const ReplayResult result = replay(image, ReplayKind::Events, true, outDir.path(), messages);
    EXPECT_EQ(result.status, ReplayStatus::CutShort);
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать данные"});
    expectSameFiles(EventFiles, outDir.path());
}

} // namespace
