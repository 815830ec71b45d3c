// The command line's own units: parsing, settings, clock texts, counts,
// progress and exit codes.

#include "cli/command_line.h"
#include "cli/progress.h"
#include "cli/recorder_session.h"
#include "readout/event_readout.h"
#include "readout/text_file.h"
#include "runner/exit_codes.h"
#include "summator/sum_readout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tuple>

namespace {

ParsedCommandLine Parse(const QStringList& args) {
    return ParseCommandLine(QStringList{QStringLiteral("zorvan-cli")} + args);
}

TEST(CliCommandLine, SubcommandsParseTheirOwnOptionsAndRefuseOthers) {
    const ParsedCommandLine run =
        Parse({"summator", "--com", "3", "--txt", "--word", "--out", "x", "-q"});
    ASSERT_EQ(run.kind, ParsedCommandLine::Run) << run.text.toStdString();
    EXPECT_EQ(run.command->name, "summator");
    EXPECT_EQ(run.options->value("com"), "3");
    EXPECT_TRUE(run.options->isSet("word"));

    for (const QStringList& bad : {QStringList{}, QStringList{"erase"},
                                   QStringList{"info", "--txt"}, QStringList{"events", "--word"},
                                   QStringList{"clock", "extra"}, QStringList{"--quiet", "info"}}) {
        const ParsedCommandLine usage = Parse(bad);
        EXPECT_EQ(usage.kind, ParsedCommandLine::Usage) << bad.join(' ').toStdString();
        EXPECT_TRUE(usage.text.contains("--help")) << usage.text.toStdString();
    }
}

TEST(CliCommandLine, HelpForTheToolAndForEachCommandListsTheExitCodes) {
    const ParsedCommandLine tool = Parse({"--help"});
    ASSERT_EQ(tool.kind, ParsedCommandLine::Help);
    for (const char* name : {"info", "clock", "events", "summator"}) {
        EXPECT_TRUE(tool.text.contains(QStringLiteral("  ") + name)) << name;
        const ParsedCommandLine command = Parse({name, "--help"});
        ASSERT_EQ(command.kind, ParsedCommandLine::Help) << name;
        EXPECT_TRUE(command.text.startsWith(QStringLiteral("Usage: zorvan-cli ") + name));
        EXPECT_TRUE(command.text.contains("130  interrupted")) << name;
        EXPECT_TRUE(command.text.contains("--com")) << name;
    }
    EXPECT_TRUE(Parse({"clock", "--help"}).text.contains("--set"));
    EXPECT_FALSE(Parse({"info", "--help"}).text.contains("--out"));
    // Where --word puts list.doc: an installed tool, into the run folder.
    EXPECT_TRUE(Parse({"summator", "--help"})
                    .text.simplified()
                    .contains("An installed program saves it with the other files;"));
}

class CliSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(saved); }

    void WriteIni(const QStringList& lines) {
        QFile file(dir.filePath("zorvan.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& line : lines)
            file.write(TextFile::Encode(line) + "\r\n");
    }

    bool Resolve(const QStringList& args, Settings& s, QString& error) {
        const ParsedCommandLine parsed = Parse(QStringList{"summator"} + args);
        EXPECT_EQ(parsed.kind, ParsedCommandLine::Run) << parsed.text.toStdString();
        return ResolveSettings(*parsed.options, messages, s, error);
    }

    class Messages : public MessageGateway {
    public:
        void inform(MessageIcon, const QString& text) override { shown << text; }
        bool confirm(const QString&) override { return false; }
        QStringList shown;
    } messages;
    QTemporaryDir dir;
    QString saved;
};

TEST_F(CliSettingsTest, TheFileIsReadAsTheWindowShowsItAndOptionsOverrideIt) {
    WriteIni({"4801", "120", "700", "40", "вес", "3"});
    Settings s;
    QString error;
    ASSERT_TRUE(Resolve({}, s, error));
    EXPECT_EQ(s.BaudRate, 9600); // the speed spin's step from 4800 up
    EXPECT_EQ(s.ComPortNumber, 99);
    EXPECT_EQ(s.MaxMoment, 700);
    EXPECT_EQ(s.MaxWeight, 40);
    EXPECT_TRUE(s.WeightMode);

    ASSERT_TRUE(
        Resolve({"--com", "4", "--baud", "2400", "--moment", "--max-weight", "9999"}, s, error));
    EXPECT_EQ(s.ComPortNumber, 4);
    EXPECT_EQ(s.BaudRate, 2400);
    EXPECT_FALSE(s.WeightMode);
    EXPECT_EQ(s.MaxWeight, 9999);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(CliSettingsTest, TheRefreshPeriodIsKeptWithinItsSpinsRange) {
    for (const auto& [written, shown] :
         {std::pair{"10", 10}, std::pair{"11", 10}, std::pair{"1", 1}, std::pair{"0", 1}}) {
        WriteIni({"9600", "1", "800", "50", "", written});
        Settings s;
        QString error;
        ASSERT_TRUE(Resolve({}, s, error));
        EXPECT_EQ(s.RefreshPeriod, shown) << written;
    }
}

TEST_F(CliSettingsTest, AMalformedFileIsToldAsTheWindowTellsIt) {
    WriteIni({"9600", "два"});
    Settings s;
    QString error;
    ASSERT_TRUE(Resolve({}, s, error));
    const SettingsLoad malformed{SettingsLoad::Malformed, 2, "два", "zorvan.ini"};
    EXPECT_EQ(messages.shown, QStringList{malformed.Message()});
    EXPECT_EQ(s.ComPortNumber, 1);
}

TEST_F(CliSettingsTest, OptionValuesOutsideTheControlsRangesAreUsageErrors) {
    for (const QStringList& bad :
         {QStringList{"--com", "0"}, QStringList{"--com", "100"}, QStringList{"--baud", "5000"},
          QStringList{"--max-moment", "10000"}, QStringList{"--max-weight", "-1"},
          QStringList{"--weight", "--moment"}, QStringList{"--com", "x"}}) {
        Settings s;
        QString error;
        EXPECT_FALSE(Resolve(bad, s, error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    Settings s;
    QString error;
    EXPECT_TRUE(Resolve({"--com", "99", "--max-moment", "0", "--baud", "1200"}, s, error));
}

TEST(CliOptions, AnyFileOptionReplacesTheDefaultSpreadsheetFile) {
    const auto files = [](const QStringList& args) {
        return FilesFromOptions(*Parse(QStringList{"events"} + args).options);
    };
    const OutputChoice none = files({});
    EXPECT_TRUE(none.xls && !none.txt && !none.hex);
    const OutputChoice txt = files({"--txt"});
    EXPECT_TRUE(!txt.xls && txt.txt && !txt.hex);
    const OutputChoice all = files({"--hex", "--xls", "--txt"});
    EXPECT_TRUE(all.xls && all.txt && all.hex);
}

TEST(CliOptions, ClockSettingIsNowOrADateOfTheRecordersCentury) {
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 31, 40));
    const auto set = ParseClockSetting("now", now);
    ASSERT_TRUE(set);
    EXPECT_EQ(std::tie(set->year, set->month, set->day, set->hour, set->minute),
              std::make_tuple(2026, 12, 7, 12, 31));
    const auto given = ParseClockSetting("1.2.2000 0:05", now);
    ASSERT_TRUE(given);
    EXPECT_EQ(std::tie(given->year, given->month, given->day, given->hour, given->minute),
              std::make_tuple(2000, 2, 1, 0, 5));
    EXPECT_TRUE(ParseClockSetting("31.12.2099 23:59", now));
    for (const char* bad : {"31.12.1999 23:59", "01.01.2100 00:00", "30.02.2026 10:00",
                            "07.12.2026 24:00", "07.12.2026", "later"})
        EXPECT_FALSE(ParseClockSetting(bad, now)) << bad;
}

TEST(CliMemoryCount, CountsTheRecordsAReadoutReads) {
    EXPECT_EQ(EventRecordCount(0x30000, false), 1);
    EXPECT_EQ(EventRecordCount(0x3000B, false), 2);
    EXPECT_EQ(EventRecordCount(0x40000, false), 5957 + 1);
    EXPECT_EQ(EventRecordCount(0xF0000, true), 12 * 5957 + 1); // ends at 0x30000
    EXPECT_EQ(EventRecordCount(0x5000B, true), 2 + 2 * 5957 + 10 * 5957);
    EXPECT_EQ(SumRecordCount(0x10000, false), 1);
    EXPECT_EQ(SumRecordCount(0x10040, false), 5);
    EXPECT_EQ(SumRecordCount(0x18000, true), 2049 + 4096);
    EXPECT_EQ(SumRecordCount(0x24000, true), 5121);
}

TEST(CliProgress, TellsRecordsRateAndTimeLeft) {
    EXPECT_EQ(ProgressText(1000, 2000, 250, 1000),
              "записей: 1\u00A0000  25%  500 зап/с  осталось 0:06");
    EXPECT_EQ(ProgressText(8554, 1000, 500, 1000),
              "записей: 8\u00A0554  50%  8\u00A0554 зап/с  осталось 0:01");
    EXPECT_EQ(ProgressText(0, 0, 0, 1000), "записей: 0  0%  -- зап/с  осталось --");
    EXPECT_EQ(ProgressText(1, 10, 0, 0), "записей: 1  100%  100 зап/с  осталось 0:00");
    EXPECT_EQ(ProgressBar(5, 10, 10), "[#####-----]");
    EXPECT_EQ(ProgressBar(20, 10, 4), "[####]"); // a wrapped memory steps past its maximum
    EXPECT_EQ(DurationText(3599999), "59:59");
    EXPECT_EQ(DurationText(3600000), "1:00:00");
}

// The revisit's tally groups its counts as the progress line above it does.
TEST(CliProgress, TheRecordSourcesGroupTheirDigitsToo) {
    EXPECT_EQ(RecordSourcesLine(46, 19984),
              "Записей прочитано с линии 46, взято из архива 19\u00A0984");
    EXPECT_EQ(RecordSourcesLine(20030, 0),
              "Записей прочитано с линии 20\u00A0030, взято из архива 0");
}

TEST(CliExitCodes, InterruptionCountsOnlyWhenItCutTheWorkShort) {
    EXPECT_EQ(OperationExitCode(true, false, false), 0);
    EXPECT_EQ(OperationExitCode(false, false, false), 1);
    EXPECT_EQ(OperationExitCode(true, false, true), 3);
    EXPECT_EQ(OperationExitCode(false, false, true), 3);
    EXPECT_EQ(OperationExitCode(false, true, true), 130);
    EXPECT_EQ(OperationExitCode(true, true, false), 0);
}

} // namespace
