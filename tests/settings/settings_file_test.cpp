#include "settings/settings_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <string>

namespace {

// Code page 1251 bytes of a few texts, spelled out byte by byte so the test
// does not rely on the encoder it checks.
const QByteArray WeightBytes("\xE2\xE5\xF1");                      // "вес"
const QByteArray MomentBytes("\xEC\xEE\xEC\xE5\xED\xF2");          // "момент"
const QByteArray CapitalWeightBytes("\xC2\xE5\xF1");               // "Вес"
const QByteArray SensorBreakBytes("\xCE\xE1\xF0\xFB\xE2\x20"       // "Обрыв "
                                  "\xE4\xE0\xF2\xF7\xE8\xEA\xE0"); // "датчика"

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString path(const QString& name = QStringLiteral("zorvan.ini")) const {
        return dir_.filePath(name);
    }

    void writeBytes(const QByteArray& bytes, const QString& name = QStringLiteral("zorvan.ini")) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    // Lines joined with CR LF, each line already in code page 1251 bytes.
    void writeLines(const QList<QByteArray>& lines, const QByteArray& end = "\r\n") {
        QByteArray bytes;
        for (const QByteArray& line : lines)
            bytes += line + end;
        writeBytes(bytes);
    }

    QByteArray readBytes(const QString& name = QStringLiteral("zorvan.ini")) const {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return f.readAll();
    }

    QTemporaryDir dir_;
};

void ExpectEightEach(const MessageTexts& t) {
    EXPECT_EQ(t.other.size(), 8);
    EXPECT_EQ(t.relay.size(), 8);
    EXPECT_EQ(t.digOut.size(), 8);
    EXPECT_EQ(t.digIn.size(), 8);
}

void ExpectSameTexts(const MessageTexts& a, const MessageTexts& b) {
    EXPECT_EQ(a.other, b.other);
    EXPECT_EQ(a.relay, b.relay);
    EXPECT_EQ(a.digOut, b.digOut);
    EXPECT_EQ(a.digIn, b.digIn);
}

// The six leading lines of a valid file, then the 32 texts "t1".."t32".
QList<QByteArray> ValidLines(const QByteArray& line5 = MomentBytes) {
    QList<QByteArray> lines = {"4800", "3", "1200", "75", line5, "5"};
    for (int i = 1; i <= 32; ++i)
        lines << "t" + QByteArray::number(i);
    return lines;
}

// --- Missing or unreadable file ------------------------------------------------

TEST_F(SettingsFileTest, FirstRunWithoutFileTakesTheDefaults) {
    Settings s;
    s.BaudRate = 2400;
    s.ComPortNumber = 7;
    s.RefreshPeriod = 9;
    s.Texts.relay[0] = QStringLiteral("changed");
    const SettingsLoad load = LoadSettings(path(), s);

    EXPECT_EQ(load.status, SettingsLoad::Missing);
    EXPECT_TRUE(load.Message().isEmpty());
    EXPECT_EQ(s.BaudRate, 9600);
    EXPECT_EQ(s.ComPortNumber, 1);
    EXPECT_EQ(s.MaxMoment, 800);
    EXPECT_EQ(s.MaxWeight, 50);
    EXPECT_FALSE(s.WeightMode);
    EXPECT_EQ(s.RefreshPeriod, 1);
    ExpectSameTexts(s.Texts, MessageTexts::Defaults());
    ExpectEightEach(s.Texts);
}

TEST_F(SettingsFileTest, MissingFileKeepsTheControlsOwnValues) {
    // The 100 % values default to what the spins show and the radio keeps its
    // state; only port, speed, period and texts are reset.
    Settings s;
    s.MaxMoment = 1234;
    s.MaxWeight = 77;
    s.WeightMode = true;
    EXPECT_EQ(LoadSettings(path(QStringLiteral("absent.ini")), s).status, SettingsLoad::Missing);
    EXPECT_EQ(s.MaxMoment, 1234);
    EXPECT_EQ(s.MaxWeight, 77);
    EXPECT_TRUE(s.WeightMode);
}

TEST_F(SettingsFileTest, FolderInPlaceOfTheFileCountsAsMissing) {
    Settings s;
    s.BaudRate = 1200;
    EXPECT_EQ(LoadSettings(dir_.path(), s).status, SettingsLoad::Missing);
    EXPECT_EQ(s.BaudRate, 9600);
}

// --- Writing and round trip ----------------------------------------------------

TEST_F(SettingsFileTest, DefaultsAreWrittenAsThirtyEightCp1251Lines) {
    ASSERT_TRUE(SaveSettings(path(), Settings{}));
    const QByteArray bytes = readBytes();
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 38);
    for (const QByteArray& line : lines)
        EXPECT_TRUE(line.endsWith('\r')) << "every line ends in CR LF";
    EXPECT_EQ(lines[0], "9600\r");
    EXPECT_EQ(lines[1], "1\r");
    EXPECT_EQ(lines[2], "800\r");
    EXPECT_EQ(lines[3], "50\r");
    EXPECT_EQ(lines[4], MomentBytes + "\r");
    EXPECT_EQ(lines[5], "1\r");
    EXPECT_EQ(lines[6], SensorBreakBytes + "\r");
    EXPECT_EQ(lines[14], "\xD1\xF0\xE0\xE1\xE0\xF2\xFB\xE2\xE0\xED\xE8\xE5 "
                         "\xF0\xE5\xEB\xE5 1\r"); // "Срабатывание реле 1"
    EXPECT_EQ(lines[37], "\xD6\xE8\xF4\xF0\xEE\xE2\xEE\xE9 "
                         "\xE2\xF5\xEE\xE4 8\r"); // "Цифровой вход 8"
}

TEST_F(SettingsFileTest, FullRoundTripKeepsEveryValue) {
    Settings out;
    out.BaudRate = 2400;
    out.ComPortNumber = 12;
    out.MaxMoment = 0;
    out.MaxWeight = 9999;
    out.WeightMode = true;
    out.RefreshPeriod = 10;
    for (int k = 0; k < 8; ++k) {
        out.Texts.other[k] = QStringLiteral("Событие №%1 «тест»").arg(k);
        out.Texts.relay[k] = QStringLiteral("Реле %1").arg(k);
        out.Texts.digOut[k] = QStringLiteral("Выход %1").arg(k);
        out.Texts.digIn[k] = QStringLiteral("Вход %1").arg(k);
    }
    out.Texts.digIn[3].clear(); // an emptied text is an empty line
    ASSERT_TRUE(SaveSettings(path(), out));

    const QByteArray bytes = readBytes();
    EXPECT_EQ(bytes.count("\r\n"), 38);
    EXPECT_EQ(bytes.count('\n'), 38) << "no lone LF";
    EXPECT_EQ(bytes.split('\n')[4], WeightBytes + "\r");
    EXPECT_EQ(bytes.split('\n')[33], "\r");
    EXPECT_EQ(bytes.split('\n')[6], "\xD1\xEE\xE1\xFB\xF2\xE8\xE5 \xB9"
                                    "0 \xAB\xF2\xE5\xF1\xF2\xBB\r"); // "Событие №0 «тест»"
    EXPECT_EQ(bytes.split('\n')[14], "\xD0\xE5\xEB\xE5 0\r");        // "Реле 0"

    Settings in;
    const SettingsLoad load = LoadSettings(path(), in);
    EXPECT_EQ(load.status, SettingsLoad::Loaded);
    EXPECT_EQ(in.BaudRate, out.BaudRate);
    EXPECT_EQ(in.ComPortNumber, out.ComPortNumber);
    EXPECT_EQ(in.MaxMoment, out.MaxMoment);
    EXPECT_EQ(in.MaxWeight, out.MaxWeight);
    EXPECT_EQ(in.WeightMode, out.WeightMode);
    EXPECT_EQ(in.RefreshPeriod, out.RefreshPeriod);
    ExpectSameTexts(in.Texts, out.Texts);
}

TEST_F(SettingsFileTest, ExactlyThirtyEightLinesWhateverTheListsHold) {
    Settings s;
    s.Texts.other = QStringList{QStringLiteral("one"), QStringLiteral("two\r\nlines")};
    s.Texts.relay.append(QStringLiteral("a ninth text"));
    s.Texts.digOut[0] = QStringLiteral("lone\nfeed");
    ASSERT_TRUE(SaveSettings(path(), s));

    const QByteArray bytes = readBytes();
    EXPECT_EQ(bytes.count('\n'), 38);
    EXPECT_EQ(bytes.count('\r'), 38);
    const QList<QByteArray> lines = bytes.split('\n');
    EXPECT_EQ(lines[6], "one\r");
    EXPECT_EQ(lines[7], "two lines\r");
    EXPECT_EQ(lines[8], "\r");
    EXPECT_EQ(lines[22], "lone feed\r");
    EXPECT_FALSE(bytes.contains("a ninth text"));
}

TEST_F(SettingsFileTest, SaveReportsFailure) {
    EXPECT_FALSE(SaveSettings(dir_.filePath(QStringLiteral("no/such/folder/zorvan.ini")), {}));
    EXPECT_FALSE(SaveSettings(dir_.path(), {})) << "a folder can't be written as a file";
}

// The start folder's file wins; without one, the user's copy when there is one.
TEST_F(SettingsFileTest, TheStartFoldersFileElseTheUsersCopy) {
    const QString start = dir_.filePath(QStringLiteral("start"));
    const QString user = dir_.filePath(QStringLiteral("user.ini"));
    const QString local = start + QStringLiteral("/zorvan.ini");
    ASSERT_TRUE(QDir().mkpath(start));
    EXPECT_EQ(StartSettingsPath(start, user), local) << "no copy yet";
    EXPECT_EQ(StartSettingsPath(start, QString()), local) << "no user folder";
    ASSERT_TRUE(SaveSettings(user, {}));
    EXPECT_EQ(StartSettingsPath(start, user), user);
    ASSERT_TRUE(SaveSettings(local, {}));
    EXPECT_EQ(StartSettingsPath(start, user), local);
}

TEST_F(SettingsFileTest, SaveReplacesAnOlderFile) {
    writeBytes(QByteArray(5000, 'x'));
    ASSERT_TRUE(SaveSettings(path(), Settings{}));
    EXPECT_FALSE(readBytes().contains('x'));
    EXPECT_EQ(readBytes().count('\n'), 38);
}

// --- Line 5 ------------------------------------------------------------------

struct Line5Case {
    const char* name;
    QByteArray bytes;
    bool weight;
};

class Line5Test : public SettingsFileTest, public ::testing::WithParamInterface<Line5Case> {};

TEST_P(Line5Test, OnlyTheExactWordSelectsWeight) {
    writeLines(ValidLines(GetParam().bytes));
    for (const bool before : {false, true}) {
        Settings s;
        s.WeightMode = before;
        EXPECT_EQ(LoadSettings(path(), s).status, SettingsLoad::Loaded);
        EXPECT_EQ(s.WeightMode, GetParam().weight) << "radio before: " << before;
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, Line5Test,
                         ::testing::Values(Line5Case{"weight", WeightBytes, true},
                                           Line5Case{"capitalWeight", CapitalWeightBytes, false},
                                           Line5Case{"moment", MomentBytes, false},
                                           Line5Case{"empty", "", false},
                                           Line5Case{"weightWithBlank", WeightBytes + " ", false},
                                           Line5Case{"latinLookalike", "Bec", false}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- Reading -----------------------------------------------------------------

TEST_F(SettingsFileTest, ValidFileIsReadByPosition) {
    QList<QByteArray> lines = ValidLines();
    lines << "line 39, not read"
          << "line 40";
    writeLines(lines);
    Settings s;
    EXPECT_EQ(LoadSettings(path(), s).status, SettingsLoad::Loaded);
    EXPECT_EQ(s.BaudRate, 4800);
    EXPECT_EQ(s.ComPortNumber, 3);
    EXPECT_EQ(s.MaxMoment, 1200);
    EXPECT_EQ(s.MaxWeight, 75);
    EXPECT_EQ(s.RefreshPeriod, 5);
    ExpectEightEach(s.Texts);
    EXPECT_EQ(s.Texts.other[0], "t1");
    EXPECT_EQ(s.Texts.other[7], "t8");
    EXPECT_EQ(s.Texts.relay[0], "t9");
    EXPECT_EQ(s.Texts.digOut[0], "t17");
    EXPECT_EQ(s.Texts.digIn[0], "t25");
    EXPECT_EQ(s.Texts.digIn[7], "t32");
}

TEST_F(SettingsFileTest, LoneLineFeedsAndMissingFinalLineEndAreAccepted) {
    Settings crlf;
    writeLines(ValidLines(WeightBytes), "\r\n");
    ASSERT_EQ(LoadSettings(path(), crlf).status, SettingsLoad::Loaded);

    Settings lf;
    writeLines(ValidLines(WeightBytes), "\n");
    ASSERT_EQ(LoadSettings(path(), lf).status, SettingsLoad::Loaded);

    Settings unended;
    writeBytes(ValidLines(WeightBytes).join("\r\n"));
    ASSERT_EQ(LoadSettings(path(), unended).status, SettingsLoad::Loaded);

    for (const Settings* s : {&lf, &unended}) {
        EXPECT_EQ(s->BaudRate, crlf.BaudRate);
        EXPECT_EQ(s->RefreshPeriod, crlf.RefreshPeriod);
        EXPECT_TRUE(s->WeightMode);
        ExpectSameTexts(s->Texts, crlf.Texts);
    }
    EXPECT_EQ(crlf.Texts.digIn[7], "t32");
}

TEST_F(SettingsFileTest, CyrillicTextsAreDecodedFromCp1251) {
    QList<QByteArray> lines = ValidLines();
    lines[6] = SensorBreakBytes;
    lines[7] = "\xB8\xA8\xB9"; // "ёЁ№"
    writeLines(lines);
    Settings s;
    ASSERT_EQ(LoadSettings(path(), s).status, SettingsLoad::Loaded);
    EXPECT_EQ(s.Texts.other[0], QStringLiteral("Обрыв датчика"));
    EXPECT_EQ(s.Texts.other[1], QStringLiteral("ёЁ№"));
}

TEST_F(SettingsFileTest, ShortFileGivesEmptyTexts) {
    QList<QByteArray> lines = ValidLines().mid(0, 8);
    writeLines(lines);
    Settings s;
    EXPECT_EQ(LoadSettings(path(), s).status, SettingsLoad::Loaded);
    ExpectEightEach(s.Texts);
    EXPECT_EQ(s.Texts.other[0], "t1");
    EXPECT_EQ(s.Texts.other[1], "t2");
    for (int k = 2; k < 8; ++k)
        EXPECT_TRUE(s.Texts.other[k].isEmpty()) << k;
    for (const QStringList* list : {&s.Texts.relay, &s.Texts.digOut, &s.Texts.digIn}) {
        for (const QString& text : *list)
            EXPECT_TRUE(text.isEmpty());
    }
}

TEST_F(SettingsFileTest, FileEndingBeforeLineSixIsMalformed) {
    // A line past the end reads as empty, and an empty integer line is bad.
    writeLines({"2400", "2", "900", "60"});
    Settings s;
    const SettingsLoad load = LoadSettings(path(), s);
    EXPECT_EQ(load.status, SettingsLoad::Malformed);
    EXPECT_EQ(load.line, 6);
    EXPECT_TRUE(load.content.isEmpty());
    EXPECT_EQ(s.BaudRate, 2400);
    EXPECT_EQ(s.MaxWeight, 60);
    EXPECT_EQ(s.RefreshPeriod, 1);
    ExpectSameTexts(s.Texts, MessageTexts::Defaults());
}

TEST_F(SettingsFileTest, OutOfRangeValuesArePassedThrough) {
    QList<QByteArray> lines = ValidLines();
    lines[0] = "19200";
    lines[1] = "0";
    lines[2] = "-5";
    lines[3] = "100000";
    lines[5] = "0";
    writeLines(lines);
    Settings s;
    EXPECT_EQ(LoadSettings(path(), s).status, SettingsLoad::Loaded);
    EXPECT_EQ(s.BaudRate, 19200);
    EXPECT_EQ(s.ComPortNumber, 0);
    EXPECT_EQ(s.MaxMoment, -5);
    EXPECT_EQ(s.MaxWeight, 100000);
    EXPECT_EQ(s.RefreshPeriod, 0);
}

// --- Malformed integer lines ---------------------------------------------------

struct MalformedCase {
    const char* name;
    int line;
    QByteArray content;
};

class MalformedTest : public SettingsFileTest,
                      public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedTest, StopsAtTheBadLineAndDefaultsTheRest) {
    const MalformedCase& c = GetParam();
    QList<QByteArray> lines = ValidLines(WeightBytes);
    lines[c.line - 1] = c.content;
    writeLines(lines);

    Settings s; // the controls' values: 800, 50, moment
    const SettingsLoad load = LoadSettings(path(), s);
    EXPECT_EQ(load.status, SettingsLoad::Malformed);
    EXPECT_EQ(load.line, c.line);
    EXPECT_EQ(load.content, QString::fromLatin1(c.content));
    EXPECT_EQ(load.fileName, "zorvan.ini");

    // Read before the bad line: from the file. From it on: the defaults.
    EXPECT_EQ(s.BaudRate, c.line > 1 ? 4800 : 9600);
    EXPECT_EQ(s.ComPortNumber, c.line > 2 ? 3 : 1);
    EXPECT_EQ(s.MaxMoment, c.line > 3 ? 1200 : 800);
    EXPECT_EQ(s.MaxWeight, c.line > 4 ? 75 : 50);
    EXPECT_EQ(s.WeightMode, c.line > 5);
    EXPECT_EQ(s.RefreshPeriod, 1);
    ExpectEightEach(s.Texts);
    ExpectSameTexts(s.Texts, MessageTexts::Defaults());

    const QString message = load.Message();
    EXPECT_TRUE(message.contains(QStringLiteral("строка %1").arg(c.line))) << message.toStdString();
    EXPECT_TRUE(
        message.contains(QLatin1Char('"') + QString::fromLatin1(c.content) + QLatin1Char('"')));
    EXPECT_TRUE(message.contains(QStringLiteral("zorvan.ini")));
}

INSTANTIATE_TEST_SUITE_P(Settings, MalformedTest,
                         ::testing::Values(MalformedCase{"baudWord", 1, "abc"},
                                           MalformedCase{"portEmpty", 2, ""},
                                           MalformedCase{"momentLeadingBlank", 3, " 800"},
                                           MalformedCase{"weightTrailingBlank", 4, "50 "},
                                           MalformedCase{"periodFraction", 6, "1.5"},
                                           MalformedCase{"periodHex", 6, "0x10"},
                                           MalformedCase{"baudTooLarge", 1, "2147483648"},
                                           MalformedCase{"portSignOnly", 2, "-"}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- Integer lines -------------------------------------------------------------

struct IntegerCase {
    const char* text;
    bool valid;
    int value;
};

class IntegerLineTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerLineTest, ParsesSignedDecimalOnly) {
    const IntegerCase& c = GetParam();
    int value = -777;
    EXPECT_EQ(ParseSettingsInteger(QString::fromUtf8(c.text), value), c.valid) << c.text;
    EXPECT_EQ(value, c.valid ? c.value : -777) << "a rejected line leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IntegerLineTest,
    ::testing::Values(
        IntegerCase{"0", true, 0}, IntegerCase{"9600", true, 9600}, IntegerCase{"+7", true, 7},
        IntegerCase{"-12", true, -12}, IntegerCase{"0009600", true, 9600},
        IntegerCase{"2147483647", true, 2147483647},
        IntegerCase{"-2147483648", true, -2147483647 - 1}, IntegerCase{"2147483648", false, 0},
        IntegerCase{"-2147483649", false, 0}, IntegerCase{"99999999999999999999", false, 0},
        IntegerCase{"", false, 0}, IntegerCase{"+", false, 0}, IntegerCase{"+-1", false, 0},
        IntegerCase{" 1", false, 0}, IntegerCase{"1 ", false, 0}, IntegerCase{"1\t", false, 0},
        IntegerCase{"$1F", false, 0}, IntegerCase{"1e3", false, 0}, IntegerCase{"١٢", false, 0}));

TEST(SingleLineTextTest, LineBreaksBecomeBlanks) {
    EXPECT_EQ(SingleLineText(QStringLiteral("a\r\nb")), "a b");
    EXPECT_EQ(SingleLineText(QStringLiteral("a\nb\rc")), "a b c");
    EXPECT_EQ(SingleLineText(QStringLiteral("plain")), "plain");
    EXPECT_EQ(SingleLineText(QString()), "");
}

} // namespace
