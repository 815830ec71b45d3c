#include "file_fixture.h"
#include "readout/event_files.h"
#include "readout/ident_block.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

const Reply RelayRecord =
    MakeReply({0x07, 0x14, 0x25, 0x12, 0x09, 0x05, 0x0C, 0x01, 0x00, 0x80, 0x41});
const Reply PowerOffRecord =
    MakeReply({0x30, 0x09, 0x01, 0x03, 0x10, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x03});
const Reply ErasedRecord =
    MakeReply({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});

const QString Clock = QStringLiteral("07.12.2026 09:04");

EventLogInput Input(bool withReach, const IdentData& ident = BlankIdent()) {
    EventLogInput input;
    input.withReach = withReach;
    input.clockText = Clock;
    input.texts = MessageTexts::Defaults();
    input.ident = ident;
    return input;
}

// A record of the given day and minute, relay 1 operated, weight and reach set.
Reply NumberedRecord(int n) {
    const auto bcd = [](int v) { return static_cast<std::uint8_t>((v / 10) * 16 + v % 10); };
    return MakeReply({bcd(n % 60), bcd(n / 60 % 24), bcd(n % 28 + 1), 0x06, 0x24, 0x0A, 0x14, 0x00,
                      0x00, 0x00, 0x40});
}

class EventFilesTest : public FileTest {
protected:
    PrintPager pager_;
    EventFiles files_{messages_, pager_};

    void SaveAll(const std::vector<Reply>& records, const EventLogInput& input) {
        std::uint32_t address = 0x3000B + 11 * static_cast<std::uint32_t>(records.size());
        for (const Reply& r : records) {
            address -= 11;
            files_.SaveLog(r, address, input);
        }
    }
};

// ---- Lines of one record, through the files, both radio choices ----

struct LineCase {
    const char* name;
    Reply record;
    bool withReach;
    QString sheet;
    QString print;
};

class EventLineTest : public EventFilesTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(EventLineTest, RecordLinesInBothFiles) {
    const LineCase& c = GetParam();
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.SaveLog(c.record, 0x3000B, Input(c.withReach));
    files_.Finish();
    EXPECT_TRUE(messages_.shown.empty());

    const QStringList sheet = ReadLines(EventFiles::XlsName);
    ASSERT_EQ(sheet.size(), 25);
    EXPECT_EQ(sheet[24], c.sheet);

    // Identification 21, title, clock, empty, two headings, empty, record.
    const QStringList print = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_EQ(print[27], c.print);
}

const QString Tab = QStringLiteral("\t");

INSTANTIATE_TEST_SUITE_P(
    Examples, EventLineTest,
    ::testing::Values(
        LineCase{"RelayWithoutReach", RelayRecord, false,
                 QStringLiteral("25.12.2009\t14:07\t5\t\tСрабатывание реле "
                                "2\t00000001b\t00000000b\t10000000b"),
                 QStringLiteral(" 25.12.2009 14:07  005   + Срабатывание реле 2")},
        LineCase{"RelayWithReach", RelayRecord, true,
                 QStringLiteral("25.12.2009\t14:07\t5\t12\t\tСрабатывание реле "
                                "2\t00000001b\t00000000b\t10000000b"),
                 QStringLiteral(" 25.12.2009 14:07  005   012   + Срабатывание реле 2")},
        // An "other" event shows no measurements, and power off no states.
        LineCase{"PowerOffWithReach", PowerOffRecord, true,
                 QStringLiteral("01.03.2010\t09:30\t\t\t\tОтключение питания"),
                 QStringLiteral(" 01.03.2010 09:30              + Отключение питания")},
        LineCase{"PowerOffWithoutReach", PowerOffRecord, false,
                 QStringLiteral("01.03.2010\t09:30\t\t\tОтключение питания"),
                 QStringLiteral(" 01.03.2010 09:30        + Отключение питания")}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.name); });

TEST(EventLines, DebugLineHoldsAddressAndElevenBytes) {
    EXPECT_EQ(EventDebugLine(RelayRecord, 0x3000B),
              QStringLiteral("3000B: 07 14 25 12 09 05 0C 01 00 80 41 "));
    EXPECT_EQ(EventDebugLine(ErasedRecord, 0xFFFEC),
              QStringLiteral("FFFEC: FF FF FF FF FF FF FF FF FF FF FF "));
    EXPECT_EQ(EventDebugLine(RelayRecord, 0x30000).left(7), QStringLiteral("30000: "));
}

TEST(EventLines, ShortReplyReadsAsErased) {
    const std::uint8_t bytes[] = {0x00, 0x07, 0x14};
    const RecordCopy record = RecordWithFlags(ReplyView(bytes), 0x41);
    EXPECT_EQ(record[1], 0x07);
    EXPECT_EQ(record[2], 0x14);
    EXPECT_EQ(record[3], 0xFF);
    EXPECT_EQ(record[11], 0xFF);
    EXPECT_EQ(record[PresenceFlagsPos], 0x41);
}

// ---- Whole files ----

TEST_F(EventFilesTest, SpreadsheetFileWithoutReach) {
    ASSERT_TRUE(files_.Open({}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false));
    files_.Finish();

    QStringList expected = KranLines(BlankIdent());
    expected << QStringLiteral("Содержимое черного ящика") << Clock
             << QStringLiteral("Дата\tВремя\tВес, тонн\t\tПричина записи\tСостояние реле\t"
                               "Состояние цифровых выходов\tСостояние цифровых входов")
             << QStringLiteral("25.12.2009\t14:07\t5\t\tСрабатывание реле "
                               "2\t00000001b\t00000000b\t10000000b");
    EXPECT_EQ(ReadLines(EventFiles::XlsName), expected);
    EXPECT_FALSE(QFile::exists(EventFiles::TxtName));
    EXPECT_FALSE(QFile::exists(EventFiles::HexName));
}

TEST_F(EventFilesTest, SpreadsheetHeadingWithReach) {
    ASSERT_TRUE(files_.Open({}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(true));
    files_.Finish();
    const QStringList lines = ReadLines(EventFiles::XlsName);
    ASSERT_EQ(lines.size(), 25);
    EXPECT_EQ(lines[23], QStringLiteral("Дата\tВремя\tВес, тонн\tВылет, метров\t\tПричина "
                                        "записи\tСостояние реле\tСостояние цифровых "
                                        "выходов\tСостояние цифровых входов"));
}

TEST_F(EventFilesTest, PrintFileOfOneRecord) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(true));
    files_.Finish();

    QStringList expected = KranLines(BlankIdent());
    expected << QStringLiteral("            Содержимое черного ящика")
             << QString(17, QLatin1Char(' ')) + Clock << QString()
             << QStringLiteral("    Дата    Время  Вес, Вылет, Причина записи")
             << QStringLiteral("                   тонн метров") << QString()
             << QStringLiteral(" 25.12.2009 14:07  005   012   + Срабатывание реле 2");
    // 27 counted lines so far: 29 empty lines reach 56, then the footer.
    for (int i = 0; i < 29; ++i)
        expected << QString();
    expected << Footer(1);
    EXPECT_EQ(ReadLines(EventFiles::TxtName), expected);
}

TEST_F(EventFilesTest, PrintHeadingWithoutReach) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false));
    files_.Finish();
    const QStringList lines = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(lines.size(), 58);
    EXPECT_EQ(lines[24], QStringLiteral("    Дата    Время  Вес,  Причина записи"));
    EXPECT_EQ(lines[25], QStringLiteral("                   тонн"));
}

TEST_F(EventFilesTest, IdentificationOfAnUnprogrammedRecorder) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false));
    files_.Finish();
    for (const QString& name : {EventFiles::XlsName, EventFiles::TxtName}) {
        SCOPED_TRACE(name.toStdString());
        const QStringList lines = ReadLines(name);
        ASSERT_GE(lines.size(), 21);
        EXPECT_EQ(lines[0], QStringLiteral("1)\tИдентификационная информация крана."));
        EXPECT_EQ(lines[1], QStringLiteral("1.1)\tТип и индекс\t") + QString(20, QLatin1Char(' ')));
        EXPECT_EQ(lines[11], QStringLiteral("1.11)\tИсполнение крана по виду грузозахватного "
                                            "органа и стрелового оборудования\t") +
                                 QString(70, QLatin1Char(' ')));
        EXPECT_EQ(lines[12], QString());
        EXPECT_EQ(lines[13],
                  QStringLiteral("2)\tИдентификационная информация регистратора параметров."));
        EXPECT_EQ(lines[19],
                  QStringLiteral("2.6)\tДата установки на кран\t") + QString(10, QLatin1Char(' ')));
        EXPECT_EQ(lines[20], QString());
    }
}

TEST_F(EventFilesTest, IdentificationWithText) {
    IdentData ident{}; // zero bytes read as blanks too
    QStringEncoder encoder("windows-1251");
    const QByteArray type = encoder(QStringLiteral("АБВ-1234"));
    std::copy(type.begin(), type.end(), ident.begin());
    const QByteArray owner = encoder(QStringLiteral("ООО Кран"));
    std::copy(owner.begin(), owner.end(), ident.begin() + 80);

    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false, ident));
    files_.Finish();
    for (const QString& name : {EventFiles::XlsName, EventFiles::TxtName}) {
        SCOPED_TRACE(name.toStdString());
        const QStringList lines = ReadLines(name);
        ASSERT_GE(lines.size(), 21);
        EXPECT_EQ(lines[1],
                  QStringLiteral("1.1)\tТип и индекс\tАБВ-1234") + QString(12, QLatin1Char(' ')));
        EXPECT_EQ(lines[5],
                  QStringLiteral("1.5)\tВладелец крана\tООО Кран") + QString(32, QLatin1Char(' ')));
    }
    // The file holds the code page's bytes: "АБВ" is C0 C1 C2.
    EXPECT_TRUE(ReadBytes(EventFiles::XlsName).contains("\t\xC0\xC1\xC2-1234"));
}

TEST_F(EventFilesTest, DebugFileKeepsEveryRecord) {
    ASSERT_TRUE(files_.Open({.xls = false, .txt = false, .hex = true}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false));
    files_.SaveLog(ErasedRecord, 0x30000, Input(false));
    files_.Finish();
    EXPECT_EQ(ReadLines(EventFiles::HexName),
              (QStringList{QStringLiteral("3000B: 07 14 25 12 09 05 0C 01 00 80 41 "),
                           QStringLiteral("30000: FF FF FF FF FF FF FF FF FF FF FF ")}));
}

TEST_F(EventFilesTest, HundredRecordsArePagedTwentyNineFiftyTwoNineteen) {
    std::vector<Reply> records;
    for (int n = 0; n < 100; ++n)
        records.push_back(NumberedRecord(n));
    ASSERT_TRUE(files_.Open({.xls = false, .txt = true, .hex = false}));
    SaveAll(records, Input(true));
    files_.Finish();

    const QStringList lines = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(lines.size(), 3 * 58);
    const QString formFeed = QStringLiteral("\f");
    EXPECT_EQ(lines.count(formFeed), 2);
    EXPECT_EQ(lines[58], formFeed);
    EXPECT_EQ(lines[116], formFeed);

    const int recordsOnPage[] = {29, 52, 19};
    int next = 0;
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page + 1);
        const QStringList body = lines.mid(page * 58, 58);
        EXPECT_EQ(body[57], Footer(page + 1));
        EXPECT_EQ(body[56], QString());
        const int first = page == 0 ? 27 : 4; // after the headings
        for (int i = 0; i < recordsOnPage[page]; ++i, ++next) {
            const Reply& r = records[static_cast<std::size_t>(next)];
            EXPECT_EQ(body[first + i],
                      EventPrintLine(RecordWithFlags(r, r[11]), MessageTexts::Defaults(), true));
        }
    }
    // Page 3: 3 heading lines and 19 records counted, 34 empty lines to 56.
    EXPECT_EQ(lines.mid(116 + 4 + 19, 34), QStringList(34, QString()));
    // The headings of a later page.
    EXPECT_EQ(lines[59], QStringLiteral("    Дата    Время  Вес, Вылет, Причина записи"));
    EXPECT_EQ(lines[60], QStringLiteral("                   тонн метров"));
    EXPECT_EQ(lines[61], QString());
}

TEST_F(EventFilesTest, AbsentRecordsOnlyInDebugFile) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = true}));
    SaveAll({RelayRecord, ErasedRecord, PowerOffRecord}, Input(false));
    files_.Finish();

    const QStringList sheet = ReadLines(EventFiles::XlsName);
    ASSERT_EQ(sheet.size(), 26);
    EXPECT_TRUE(sheet[24].startsWith(QStringLiteral("25.12.2009\t14:07")));
    EXPECT_TRUE(sheet[25].startsWith(QStringLiteral("01.03.2010\t09:30")));

    const QStringList print = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_TRUE(print[27].startsWith(QStringLiteral(" 25.12.2009")));
    EXPECT_TRUE(print[28].startsWith(QStringLiteral(" 01.03.2010")));
    EXPECT_EQ(print[29], QString());

    EXPECT_EQ(ReadLines(EventFiles::HexName).size(), 3);
}

TEST_F(EventFilesTest, AllAbsentReadoutWritesHeadingsOnly) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = true}));
    SaveAll({ErasedRecord, ErasedRecord, ErasedRecord}, Input(false));
    files_.Finish();

    EXPECT_EQ(ReadLines(EventFiles::XlsName).size(), 21 + 3);
    const QStringList print = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_EQ(print.mid(27, 30), QStringList(30, QString()));
    EXPECT_EQ(print.last(), Footer(1));
    EXPECT_EQ(ReadLines(EventFiles::HexName).size(), 3);
}

TEST_F(EventFilesTest, StopBeforeFirstRecordLeavesBlankNumberedPage) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.Finish();
    // Exact bytes: 56 empty lines, the footer in code page 1251, CR LF.
    QByteArray expected;
    for (int i = 0; i < 56; ++i)
        expected += "\r\n";
    expected += QByteArray(27, ' ') + "\xD1\xF2\xF0\xE0\xED\xE8\xF6\xE0 1\r\n";
    EXPECT_EQ(ReadBytes(EventFiles::TxtName), expected);
    EXPECT_TRUE(ReadBytes(EventFiles::XlsName).isEmpty());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(EventFilesTest, NextReadoutStartsAfresh) {
    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    for (int n = 0; n < 40; ++n)
        files_.SaveLog(NumberedRecord(n), 0x30000, Input(false));
    files_.Finish();

    ASSERT_TRUE(files_.Open({.xls = true, .txt = true, .hex = false}));
    files_.SaveLog(RelayRecord, 0x3000B, Input(false));
    files_.Finish();
    EXPECT_EQ(ReadLines(EventFiles::XlsName).size(), 25);
    const QStringList print = ReadLines(EventFiles::TxtName);
    ASSERT_EQ(print.size(), 58);
    EXPECT_EQ(print.last(), Footer(1));
}

TEST(EventLines, EachIdentificationFieldHasItsWidth) {
    IdentData ident{};
    ident.fill('x');
    const QStringList lines = KranLines(ident);
    ASSERT_EQ(lines.size(), 21);
    const std::pair<int, int> widths[] = {
        {1, 20},  {2, 20},  {3, 10},  {4, 30},  {5, 40},  {6, 20},  {7, 10},  {8, 10}, {9, 10},
        {10, 20}, {11, 70}, {14, 30}, {15, 10}, {16, 10}, {17, 20}, {18, 20}, {19, 10}};
    for (const auto& [line, width] : widths)
        EXPECT_TRUE(lines[line].endsWith(QLatin1Char('\t') + QString(width, QLatin1Char('x'))))
            << lines[line].toStdString();
    // The commissioning date at 161.
    const QByteArray date("01.02.2020");
    std::copy(date.begin(), date.end(), ident.begin() + 160);
    EXPECT_TRUE(KranLines(ident)[9].endsWith(QStringLiteral("\t01.02.2020")));
}

} // namespace
