#include "summator/word_report.h"
#include "summator/word_rtf_app.h"
#include "tests/support/answering_gateway.h"
#include "tests/word_report/recording_word.h"
#include "tests/word_report/report_rows.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString GoToLine(const QString& bookmark) {
    return QStringLiteral("GoTo -1 empty empty ") + bookmark;
}

TEST(WordReportCalls, FiveRowsInTheOrderOfTheWordProcessor) {
    // Four table rows; row 5 only gives "dateend".
    for (const QString& programDir :
         {QStringLiteral("/opt/zorvan"), QStringLiteral("/opt/zorvan/")}) {
        RecordingWord word;
        AnsweringGateway messages;
        ASSERT_TRUE(MakeWordReport(word, ReportRows(5), programDir, messages));
        EXPECT_TRUE(messages.shown.empty());

        QStringList expected{QStringLiteral("Open /opt/zorvan/Dot_n.dot")};
        for (const char* name : {"datestart", "dateend", "narmh", "kolcyc", "sumves", "table1"})
            expected << QStringLiteral("Exists ") + name;
        expected << QStringLiteral("Visible=true")
                 << QStringLiteral("SaveAs /opt/zorvan/~list.doc");
        const TSum first = ReportRow(1);
        const QString values[][2] = {{"datestart", first.date},
                                     {"dateend", ReportRow(5).date},
                                     {"narmh", first.hours},
                                     {"kolcyc", first.cycles},
                                     {"sumves", first.weightTotal}};
        for (const auto& value : values)
            expected << "Selection" << GoToLine(value[0]) << "Selection"
                     << "TypeText " + value[1];
        expected << "Selection" << GoToLine("table1");
        for (int k = 1; k <= 4; ++k) {
            for (const QString& cell : ReportCells(ReportRow(k)))
                expected << "Selection"
                         << "TypeText " + cell << "Selection"
                         << "MoveRight";
            if (k < 4)
                expected << "Selection"
                         << "InsertRowsBelow";
        }
        expected << QStringLiteral("SaveAs /opt/zorvan/list.doc") << QStringLiteral("Release");
        EXPECT_EQ(word.calls, expected) << programDir.toStdString();
    }
}

TEST(WordReportCalls, TableRowsAndInsertedRowsByRowCount) {
    struct Case {
        int rowCount;
        int tableRows;
        int inserted;
    };
    const Case cases[] = {{1, 0, 0},    {2, 1, 0},    {5, 4, 3},     {51, 50, 49},
                          {52, 51, 50}, {53, 51, 50}, {8192, 51, 50}};
    for (const Case& c : cases) {
        RecordingWord word;
        AnsweringGateway messages;
        ASSERT_TRUE(MakeWordReport(word, ReportRows(c.rowCount), "/p", messages)) << c.rowCount;
        const QStringList table = word.calls.mid(word.calls.indexOf(GoToLine("table1")) + 1);
        EXPECT_EQ(table.filter(QRegularExpression("^TypeText")).size(), 5 * c.tableRows);
        EXPECT_EQ(table.count("MoveRight"), 5 * c.tableRows) << c.rowCount;
        EXPECT_EQ(table.count("InsertRowsBelow"), c.inserted) << c.rowCount;
        // Never a row inserted after the last one filled.
        const int lastInsert = static_cast<int>(table.lastIndexOf("InsertRowsBelow"));
        const int lastMove = static_cast<int>(table.lastIndexOf("MoveRight"));
        EXPECT_TRUE(c.tableRows == 0 || lastInsert < lastMove) << c.rowCount;
        if (c.tableRows > 0) {
            EXPECT_TRUE(table.contains("TypeText " + ReportRow(c.tableRows).cycles)) << c.rowCount;
        }
        EXPECT_FALSE(table.contains("TypeText " + ReportRow(c.tableRows + 1).cycles)) << c.rowCount;
    }
}

TEST(WordReportCalls, StopsAtTheFirstFailingCall) {
    RecordingWord all;
    AnsweringGateway quiet;
    ASSERT_TRUE(MakeWordReport(all, ReportRows(3), "/p", quiet));
    const QStringList kinds{"Open",     "Visible",   "SaveAs",          "GoTo",
                            "TypeText", "MoveRight", "InsertRowsBelow", "Selection"};
    for (const QString& kind : kinds) {
        for (int at : {static_cast<int>(all.calls.indexOf(QRegularExpression(kind + ".*"))),
                       static_cast<int>(all.calls.lastIndexOf(QRegularExpression(kind + ".*")))}) {
            ASSERT_GE(at, 0) << kind.toStdString();
            RecordingWord word;
            word.failAt = at;
            AnsweringGateway messages;
            EXPECT_FALSE(MakeWordReport(word, ReportRows(3), "/p", messages)) << at;
            EXPECT_EQ(word.calls, all.calls.mid(0, at + 1) + QStringList{"Release"}) << at;
            ASSERT_EQ(messages.shown.size(), 1u) << at;
            EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
            EXPECT_EQ(messages.shown[0].text, "failed: " + all.calls[at]) << at;
        }
    }
}

TEST(WordReportCalls, NoRowsNoReport) {
    RecordingWord word;
    AnsweringGateway messages;
    EXPECT_FALSE(MakeWordReport(word, SumRows(), "/p", messages));
    EXPECT_TRUE(word.calls.isEmpty()) << "the word processor is not even started";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, WordReportNoData);
}

// The report made by this program's own word processor, in a program folder
// holding the shipped template.
class WordReportFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(WriteAll(TemplatePath(), ShippedTemplate()));
    }

    QString TemplatePath() const { return dir_.filePath(WordTemplateName); }
    QString ReportPath() const { return dir_.filePath(WordReportName); }

    QTemporaryDir dir_;
    QStringList shown_;
    AnsweringGateway messages_;
};

TEST_F(WordReportFile, ValuesAndRowsByRowCount) {
    for (const int count : {1, 5, 8192}) {
        ASSERT_TRUE(WriteAll(ReportPath(), "an older report"));
        shown_.clear();
        RtfWordApplication word([this](const QString& path) { shown_ << path; });
        ASSERT_TRUE(MakeWordReport(word, ReportRows(count), dir_.path(), messages_)) << count;
        EXPECT_TRUE(messages_.texts().isEmpty()) << messages_.texts().join('\n').toStdString();
        EXPECT_EQ(shown_, QStringList{ReportPath()}) << count;
        EXPECT_EQ(ReadAll(TemplatePath()), ShippedTemplate()) << "the template stays as it was";

        RtfDocument saved;
        QString error;
        ASSERT_TRUE(saved.Parse(ReadAll(ReportPath()), &error)) << error.toStdString();
        EXPECT_EQ(saved.Serialize(), word.ActiveDocument()->Serialize()) << "saved when filled";

        const TSum first = ReportRow(1);
        const QString expected[][2] = {{"datestart", first.date},
                                       {"dateend", ReportRow(count).date},
                                       {"narmh", first.hours},
                                       {"kolcyc", first.cycles},
                                       {"sumves", first.weightTotal}};
        for (const auto& value : expected)
            EXPECT_EQ(saved.BookmarkText(value[0]), value[1])
                << count << " " << value[0].toStdString();

        const int tableRows = std::min(51, count - 1);
        const std::vector<QStringList> table = saved.TableTexts();
        ASSERT_EQ(static_cast<int>(table.size()), 1 + std::max(1, tableRows)) << count;
        for (int k = 1; k <= tableRows; ++k)
            EXPECT_EQ(table[k], ReportCells(ReportRow(k))) << count << " row " << k;
        if (tableRows == 0) {
            EXPECT_EQ(table[1], QStringList(5, QString())) << "the form's row stays empty";
        }
        if (tableRows >= 4) {
            EXPECT_EQ(table[4][3], QString()) << "no cycle, no weight";
            EXPECT_EQ(table[4][4], QString()) << "no cycle, no reach";
            EXPECT_FALSE(table[3][3].isEmpty());
        }
        EXPECT_EQ(saved.BookmarkNames().count("table1"), 1) << "the mark is not copied";
    }
}

TEST_F(WordReportFile, TemplateFaultsWriteNothing) {
    struct Case {
        QString what;
        QByteArray templateBytes; // null: no template at all
        QString message;
    };
    std::vector<Case> cases;
    for (const char* name : {"datestart", "dateend", "narmh", "kolcyc", "sumves", "table1"}) {
        QByteArray bytes = ShippedTemplate();
        const QByteArray mark = QByteArray("{\\*\\bkmkstart ") + name + "}";
        ASSERT_TRUE(bytes.contains(mark)) << name;
        bytes.replace(mark, "");
        cases.push_back({name, bytes,
                         "В шаблоне отчета " + QDir::toNativeSeparators(TemplatePath()) +
                             " нет закладки \"" + name + "\""});
    }
    cases.push_back({"a word file", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8),
                     "Файл " + QDir::toNativeSeparators(TemplatePath()) +
                         " не является документом RTF: нет заголовка {\\rtf"});
    cases.push_back({"no template", QByteArray(),
                     "Невозможно открыть файл " + QDir::toNativeSeparators(TemplatePath())});

    for (const Case& c : cases) {
        QFile::remove(TemplatePath());
        if (!c.templateBytes.isNull()) {
            ASSERT_TRUE(WriteAll(TemplatePath(), c.templateBytes));
        }
        shown_.clear();
        AnsweringGateway messages;
        RtfWordApplication word([this](const QString& path) { shown_ << path; });
        EXPECT_FALSE(MakeWordReport(word, ReportRows(5), dir_.path(), messages))
            << c.what.toStdString();
        ASSERT_EQ(messages.shown.size(), 1u) << c.what.toStdString();
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(messages.shown[0].text, c.message);
        EXPECT_FALSE(QFile::exists(ReportPath())) << c.what.toStdString();
        EXPECT_TRUE(shown_.isEmpty()) << c.what.toStdString();
    }
}

TEST_F(WordReportFile, ReportThatCannotBeSavedIsNotShown) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(WordReportName)); // a folder in the way
    RtfWordApplication word([this](const QString& path) { shown_ << path; });
    EXPECT_FALSE(MakeWordReport(word, ReportRows(5), dir_.path(), messages_));
    EXPECT_EQ(messages_.texts(),
              QStringList{"Невозможно открыть файл " + QDir::toNativeSeparators(ReportPath())});
    EXPECT_TRUE(shown_.isEmpty());
}

TEST_F(WordReportFile, NoRowsOpensNothing) {
    RtfWordApplication word([this](const QString& path) { shown_ << path; });
    EXPECT_FALSE(MakeWordReport(word, SumRows(), dir_.path(), messages_));
    EXPECT_EQ(messages_.texts(), QStringList{WordReportNoData});
    EXPECT_EQ(word.ActiveDocument(), nullptr);
    EXPECT_FALSE(QFile::exists(ReportPath()));
    EXPECT_TRUE(shown_.isEmpty());
}

} // namespace
