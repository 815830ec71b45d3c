#include "file_fixture.h"
#include "readout/ident_block.h"
#include "summator/sum_files.h"

#include <gtest/gtest.h>

namespace {

const Reply CycleRecord = MakeReply({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01,
                                     0xF4, 0x00, 0x03, 0xE8, 0x0C, 0x05});
const Reply NoReachRecord = MakeReply({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01,
                                       0xF4, 0x00, 0x03, 0xE8, 0x0C, 0xFF});
const Reply NoCycleRecord = MakeReply({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01,
                                       0xF4, 0x00, 0x03, 0xE8, 0xFF, 0xFF});

const QString Clock = QStringLiteral("07.03.2009 15:00");

SumLogInput Input(bool withMoment) {
    SumLogInput input;
    input.withMoment = withMoment;
    input.clockText = Clock;
    input.ident = BlankIdent();
    return input;
}

// Cycle n: minutes and cycle count follow n, so every line differs.
Reply NumberedRecord(int n) {
    const auto bcd = [](int v) { return static_cast<std::uint8_t>((v / 10) * 16 + v % 10); };
    return MakeReply({bcd(n % 60), bcd(n / 60 % 24), 0x07, 0x03, 0x09, 0x00, 0x00, 0x10, 0x00, 0x01,
                      0x00, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n),
                      0x0A, 0x03});
}

class SumFilesTest : public FileTest {
protected:
    PrintPager pager_;
    SumFiles files_{messages_, pager_};
};

// ---- Lines of one record, through the files, both modes ----

struct SumCase {
    const char* name;
    Reply record;
    bool withMoment;
    QString print;
    QString sheet;
};

class SumLineTest : public SumFilesTest, public ::testing::WithParamInterface<SumCase> {};

TEST_P(SumLineTest, RecordLinesInBothFiles) {
    const SumCase& c = GetParam();
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.SummLog(c.record, 0x2FFF0, Input(c.withMoment));
    files_.Finish();
    EXPECT_TRUE(messages_.shown.empty());

    // Identification 21, title, clock, header: the record is line 25.
    const QStringList sheet = ReadLines(SumFiles::XlsName);
    ASSERT_EQ(sheet.size(), 25);
    EXPECT_EQ(sheet[24], c.sheet);
    const QStringList print = ReadLines(SumFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_EQ(print[27], c.print);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SumLineTest,
    ::testing::Values(
        SumCase{"CycleMoment", CycleRecord, true,
                QStringLiteral(" 07.03.2009 14:25  00004660 00000500 00001000  012  005  00060"),
                QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12\t5\t60")},
        SumCase{"CycleWeight", CycleRecord, false,
                QStringLiteral(" 07.03.2009 14:25  00004660 00000500 00001000  012"),
                QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12")},
        // The moment is formed from the raw bytes unless both are missing.
        SumCase{"NoReachMoment", NoReachRecord, true,
                QStringLiteral(" 07.03.2009 14:25  00004660 00000500 00001000  012       03060"),
                QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12\t\t3060")}),
    [](const ::testing::TestParamInfo<SumCase>& param) { return std::string(param.param.name); });

TEST(SumLines, DebugLineHoldsAddressAndSixteenBytes) {
    EXPECT_EQ(SumDebugLine(CycleRecord, 0x2FFF0),
              QStringLiteral("2FFF0: 25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05 "));
}

TEST(SumLines, HeadingsHaveTheirWidths) {
    const QStringList moment = SumPrintColumns(true);
    const QStringList weight = SumPrintColumns(false);
    ASSERT_EQ(moment.size(), 2);
    ASSERT_EQ(weight.size(), 2);
    EXPECT_EQ(moment[0].size(), 55);
    EXPECT_EQ(moment[1].size(), 63);
    EXPECT_EQ(weight[0].size(), 59);
    EXPECT_EQ(weight[1].size(), 51);
    EXPECT_EQ(moment[1],
              QStringLiteral("                   ка,часов вес,тонн   циклов  вес вылет момент"));
    EXPECT_EQ(weight[0],
              QStringLiteral("    Дата    Время  Наработ- Поднятый Кол-во    Вес за цикл,"));
}

TEST(SumLines, NoCycleNeedsBothValuesMissing) {
    EXPECT_TRUE(NoCycle(NoCycleRecord));
    EXPECT_FALSE(NoCycle(NoReachRecord));
    EXPECT_FALSE(NoCycle(CycleRecord));
}

// ---- Whole files ----

TEST_F(SumFilesTest, SpreadsheetFileInBothModes) {
    for (const bool withMoment : {true, false}) {
        SCOPED_TRACE(withMoment);
        ASSERT_TRUE(files_.Open({}));
        files_.SummLog(CycleRecord, 0x2FFF0, Input(withMoment));
        files_.Finish();

        QString heading = QStringLiteral("Дата\tВремя\tСуммарная наработка, часов\tПоднятый вес, "
                                         "тонн\tКоличество циклов\tВес за цикл");
        if (withMoment)
            heading += QStringLiteral("\tВылет за цикл\tМомент за цикл");
        QStringList expected = KranLines(BlankIdent());
        expected << QStringLiteral("Содержимое сумматора") << Clock << heading
                 << (withMoment ? QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12\t5\t60")
                                : QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12"));
        EXPECT_EQ(ReadLines(SumFiles::XlsName), expected);
    }
}

TEST_F(SumFilesTest, PrintFileOfOneRecord) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    files_.SummLog(CycleRecord, 0x2FFF0, Input(true));
    files_.Finish();

    QStringList expected = KranLines(BlankIdent());
    expected << QStringLiteral("               Содержимое сумматора")
             << QString(17, QLatin1Char(' ')) + Clock << QString()
             << QStringLiteral("    Дата    Время  Наработ- Поднятый Кол-во    За цикл:")
             << QStringLiteral("                   ка,часов вес,тонн   циклов  вес вылет момент")
             << QString()
             << QStringLiteral(" 07.03.2009 14:25  00004660 00000500 00001000  012  005  00060");
    for (int i = 0; i < 29; ++i)
        expected << QString();
    expected << Footer(1);
    EXPECT_EQ(ReadLines(SumFiles::TxtName), expected);
}

TEST_F(SumFilesTest, NoCycleGoesOnlyToDebugFileAndRows) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = true}));
    files_.SummLog(NoCycleRecord, 0x2FFF0, Input(true));
    files_.SummLog(CycleRecord, 0x2FFE0, Input(true));
    files_.Finish();

    // The first record had no cycle, yet it brought the headings.
    const QStringList sheet = ReadLines(SumFiles::XlsName);
    ASSERT_EQ(sheet.size(), 25);
    EXPECT_EQ(sheet[21], QStringLiteral("Содержимое сумматора"));
    EXPECT_EQ(sheet[24], QStringLiteral("07.03.2009\t14:25\t4660\t500\t1000\t12\t5\t60"));

    const QStringList print = ReadLines(SumFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_TRUE(print[27].endsWith(QStringLiteral("00060")));
    EXPECT_EQ(print[28], QString());

    EXPECT_EQ(
        ReadLines(SumFiles::HexName),
        (QStringList{QStringLiteral("2FFF0: 25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 FF FF "),
                     QStringLiteral("2FFE0: 25 14 07 03 09 00 12 34 00 01 F4 00 03 E8 0C 05 ")}));

    ASSERT_EQ(files_.Rows().Count(), 2);
    const TSum& empty = files_.Rows().Row(1);
    EXPECT_EQ(empty.weight, QString());
    EXPECT_EQ(empty.reach, QString());
    EXPECT_EQ(empty.cycles, QStringLiteral("1000"));
}

TEST_F(SumFilesTest, RowsHoldThePlainForms) {
    ASSERT_TRUE(files_.Open({}));
    files_.SummLog(CycleRecord, 0x2FFF0, Input(false));
    files_.SummLog(NoReachRecord, 0x2FFE0, Input(false));
    files_.Finish();
    ASSERT_EQ(files_.Rows().Count(), 2);
    const TSum& r = files_.Rows().Row(1);
    EXPECT_EQ((QStringList{r.date, r.time, r.hours, r.weightTotal, r.cycles, r.weight, r.reach}),
              (QStringList{QStringLiteral("07.03.2009"), QStringLiteral("14:25"),
                           QStringLiteral("4660"), QStringLiteral("500"), QStringLiteral("1000"),
                           QStringLiteral("12"), QStringLiteral("5")}));
    EXPECT_EQ(files_.Rows().Row(2).reach, QString());
    // The rows outlive the files and are refilled by the next readout only.
    ASSERT_TRUE(files_.Open({}));
    EXPECT_EQ(files_.Rows().Count(), 0);
    files_.Finish();
}

TEST_F(SumFilesTest, RowTableStopsAtItsCapacity) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = false, .hex = true}));
    for (int n = 0; n < SumRows::Capacity + 5; ++n)
        files_.SummLog(NumberedRecord(n % 1000), 0x10000, Input(true));
    files_.Finish();
    EXPECT_EQ(files_.Rows().Count(), SumRows::Capacity);
    // The 9000th record read is the last one kept.
    EXPECT_EQ(files_.Rows().Row(SumRows::Capacity).cycles,
              QString::number((SumRows::Capacity - 1) % 1000));
    EXPECT_EQ(files_.Rows().Row(SumRows::Capacity + 1).date, QString());
    EXPECT_EQ(files_.Rows().Row(0).date, QString());
    // The files still get every record.
    EXPECT_EQ(ReadLines(SumFiles::HexName).size(), SumRows::Capacity + 5);
}

TEST_F(SumFilesTest, HundredRecordsArePagedTwentyNineFiftyTwoNineteen) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    for (int n = 1; n <= 100; ++n)
        files_.SummLog(NumberedRecord(n), 0x10000 + 16 * static_cast<std::uint32_t>(100 - n),
                       Input(false));
    files_.Finish();

    const QStringList lines = ReadLines(SumFiles::TxtName);
    ASSERT_EQ(lines.size(), 3 * 58);
    const QString formFeed = QStringLiteral("\f");
    EXPECT_EQ(lines.count(formFeed), 2);
    const int firstOnPage[] = {1, 30, 82};
    const int lastOnPage[] = {29, 81, 100};
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page + 1);
        const QStringList body = lines.mid(page * 58, 58);
        if (page > 0) {
            EXPECT_EQ(body[0], formFeed);
            EXPECT_EQ(body[1], QStringLiteral(
                                   "    Дата    Время  Наработ- Поднятый Кол-во    Вес за цикл,"));
        }
        const int first = page == 0 ? 27 : 4;
        const int count = lastOnPage[page] - firstOnPage[page] + 1;
        // The cycle count column names the record: 8 digits at columns 37-44.
        EXPECT_EQ(body[first].mid(37, 8).toInt(), firstOnPage[page]);
        EXPECT_EQ(body[first + count - 1].mid(37, 8).toInt(), lastOnPage[page]);
        EXPECT_EQ(body[first + count], QString());
        EXPECT_EQ(body[57], Footer(page + 1));
    }
    EXPECT_EQ(lines.mid(116 + 4 + 19, 34), QStringList(34, QString()));
}

TEST_F(SumFilesTest, StopBeforeFirstRecordLeavesBlankNumberedPage) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    files_.Finish();
    QStringList expected(56, QString());
    expected << Footer(1);
    EXPECT_EQ(ReadLines(SumFiles::TxtName), expected);
}

} // namespace
