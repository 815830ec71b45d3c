#include "file_fixture.h"
#include "readout/event_files.h"
#include "summator/sum_files.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const Reply RelayRecord =
    MakeReply({0x07, 0x14, 0x25, 0x12, 0x09, 0x05, 0x0C, 0x01, 0x00, 0x80, 0x41});
const Reply CycleRecord = MakeReply({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01,
                                     0xF4, 0x00, 0x03, 0xE8, 0x0C, 0x05});

EventLogInput EventInput() {
    EventLogInput input;
    input.withReach = true;
    input.clockText = QStringLiteral("07.12.2026 09:04");
    input.texts = MessageTexts::Defaults();
    input.ident = BlankIdent();
    return input;
}

SumLogInput SumInput() {
    SumLogInput input;
    input.withMoment = true;
    input.clockText = QStringLiteral("07.12.2026 09:04");
    input.ident = BlankIdent();
    return input;
}

// An output file that takes no data: every flush of it fails as on a full disk.
bool MakeFullDisk(const QString& name) {
    return QFile::link(QStringLiteral("/dev/full"), name);
}

class FileErrorTest : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        if (!QFile::exists(QStringLiteral("/dev/full")))
            GTEST_SKIP() << "no /dev/full on this system";
    }

    QStringList ShownTexts() const { return messages_.texts(); }

    PrintPager pager_;
};

TEST_F(FileErrorTest, OpenFailureStopsAtTheFailingFile) {
    // A folder of that name cannot be opened as a file, whoever runs the test.
    ASSERT_TRUE(QDir().mkdir(EventFiles::TxtName));
    EventFiles files(messages_, pager_);
    EXPECT_FALSE(files.Open({.xls = true, .txt = true, .hex = true}));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages_.shown[0].text, QStringLiteral("Невозможно открыть файл zorvan.txt"));
    EXPECT_TRUE(files.Files().IsOpen(OutputKind::Xls));
    EXPECT_FALSE(QFile::exists(EventFiles::HexName));

    // Only the file really opened is closed: no write or close error for the
    // print file that never opened.
    files.Finish();
    EXPECT_EQ(messages_.shown.size(), 1u);
    EXPECT_FALSE(files.Files().AnyOpen());
    EXPECT_TRUE(ReadBytes(EventFiles::XlsName).isEmpty());
    EXPECT_EQ(files.TakeErrors(),
              QStringList{QStringLiteral("Невозможно открыть файл zorvan.txt")});
    EXPECT_TRUE(files.TakeErrors().isEmpty());
}

TEST_F(FileErrorTest, OpenFailureIsNotCarriedIntoTheNextReadout) {
    // The summator keeps one set of files from readout to readout: an open
    // error that no log took must not reach the log of a later readout.
    ASSERT_TRUE(QDir().mkdir(SumFiles::XlsName));
    SumFiles files(messages_, pager_);
    EXPECT_FALSE(files.Open({.xls = true, .txt = false, .hex = false}));
    files.Finish();
    ASSERT_TRUE(QDir().rmdir(SumFiles::XlsName));

    ASSERT_TRUE(files.Open({.xls = true, .txt = false, .hex = false}));
    files.SummLog(CycleRecord, 0x2FFF0, SumInput());
    EXPECT_TRUE(files.TakeErrors().isEmpty());
    files.Finish();
    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("Невозможно открыть файл summator.xls")});
}

TEST_F(FileErrorTest, FinishingTwiceChangesNothing) {
    EventFiles files(messages_, pager_);
    ASSERT_TRUE(files.Open({.xls = true, .txt = true, .hex = false}));
    files.SaveLog(RelayRecord, 0x3000B, EventInput());
    files.Finish();
    const QByteArray print = ReadBytes(EventFiles::TxtName);
    files.Finish();
    EXPECT_EQ(ReadBytes(EventFiles::TxtName), print);
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_FALSE(QFile::exists(EventFiles::HexName));
}

TEST_F(FileErrorTest, WriteErrorIsShownOncePerFileAndTheRestGoesOn) {
    ASSERT_TRUE(MakeFullDisk(EventFiles::XlsName));
    EventFiles files(messages_, pager_);
    ASSERT_TRUE(files.Open({.xls = true, .txt = true, .hex = false}));
    // Enough records that the spreadsheet's writes fail while the readout runs.
    constexpr int Records = 400;
    for (int n = 0; n < Records; ++n)
        files.SaveLog(RelayRecord, 0x3000B, EventInput());
    files.Finish();

    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("Ошибка записи в файл zorvan.xls")});
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Error);
    // The later failures are kept for the log.
    const QStringList errors = files.TakeErrors();
    EXPECT_GT(errors.size(), 1);
    for (const QString& e : errors)
        EXPECT_TRUE(e.endsWith(QStringLiteral(" zorvan.xls"))) << e.toStdString();

    // The print file is whole: 29 records on page 1, 52 on each later page.
    const QStringList print = ReadLines(EventFiles::TxtName);
    const int pages = 1 + (Records - 29 + 51) / 52;
    EXPECT_EQ(print.size(), pages * 58);
    EXPECT_EQ(print.last(), Footer(pages));
    EXPECT_EQ(print.filter(QStringLiteral("Срабатывание реле 2")).size(), Records);
}

TEST_F(FileErrorTest, FullDiskFromTheFirstLineGivesOneDialog) {
    ASSERT_TRUE(MakeFullDisk(EventFiles::HexName));
    EventFiles files(messages_, pager_);
    ASSERT_TRUE(files.Open({.xls = true, .txt = false, .hex = true}));
    for (int n = 0; n < 3; ++n)
        files.SaveLog(RelayRecord, 0x3000B, EventInput());
    files.Finish();
    // Every record failed on the debug file; neither the later records nor the
    // close bring a second dialog.
    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("Ошибка записи в файл zorvan.hex")});
    EXPECT_EQ(files.TakeErrors(),
              QStringList(3, QStringLiteral("Ошибка записи в файл zorvan.hex")));
    EXPECT_EQ(ReadLines(EventFiles::XlsName).size(), 24 + 3);
}

TEST_F(FileErrorTest, EveryReadoutReportsItsOwnFirstError) {
    ASSERT_TRUE(MakeFullDisk(EventFiles::XlsName));
    EventFiles files(messages_, pager_);
    for (int readout = 0; readout < 2; ++readout) {
        ASSERT_TRUE(files.Open({}));
        for (int n = 0; n < 400; ++n)
            files.SaveLog(RelayRecord, 0x3000B, EventInput());
        files.Finish();
    }
    EXPECT_EQ(ShownTexts(), QStringList(2, QStringLiteral("Ошибка записи в файл zorvan.xls")));
}

TEST_F(FileErrorTest, RecordsAreOnDiskWhenTheFilesAreDropped) {
    {
        EventFiles files(messages_, pager_);
        ASSERT_TRUE(files.Open({.xls = true, .txt = false, .hex = true}));
        for (int n = 0; n < 3; ++n)
            files.SaveLog(RelayRecord, 0x3000B, EventInput());
    }
    EXPECT_EQ(ReadLines(EventFiles::XlsName).size(), 24 + 3);
    EXPECT_EQ(ReadLines(EventFiles::HexName).size(), 3);
}

TEST_F(FileErrorTest, SummatorWriteErrorIsShownOnce) {
    ASSERT_TRUE(MakeFullDisk(SumFiles::TxtName));
    SumFiles files(messages_, pager_);
    ASSERT_TRUE(files.Open({.xls = true, .txt = true, .hex = false}));
    constexpr int Records = 500;
    for (int n = 0; n < Records; ++n)
        files.SummLog(CycleRecord, 0x2FFF0, SumInput());
    files.Finish();

    EXPECT_EQ(ShownTexts(), QStringList{QStringLiteral("Ошибка записи в файл summator.txt")});
    EXPECT_EQ(ReadLines(SumFiles::XlsName).size(), 24 + Records);
    EXPECT_EQ(files.Rows().Count(), Records);
}

} // namespace
