// A word report that fails while it is being filled keeps the previous one.

#include "summator/word_report.h"
#include "summator/word_rtf_app.h"
#include "tests/support/answering_gateway.h"
#include "tests/word_report/report_rows.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <utility>

namespace {

TEST(PartialWordReport, AFillThatFailsLeavesThePreviousReport) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString templatePath = dir.filePath(WordTemplateName);
    const QString reportPath = dir.filePath(WordReportName);
    const QByteArray shipped = ShippedTemplate();
    ASSERT_TRUE(WriteAll(templatePath, shipped));
    {
        RtfWordApplication word([](const QString&) {});
        AnsweringGateway messages;
        ASSERT_TRUE(MakeWordReport(word, ReportRows(5), dir.path(), messages));
    }
    const QByteArray previous = ReadAll(reportPath);
    ASSERT_FALSE(previous.isEmpty());

    const QByteArray mark = "{\\*\\bkmkstart table1}{\\*\\bkmkend table1}";
    const QByteArray fiveCells = mark + "\\cell \\cell \\cell \\cell \\cell \\row";
    const QByteArray lastParagraph = "\\pard\\plain\\f0\\fs24\\par";
    ASSERT_TRUE(shipped.contains(fiveCells));
    ASSERT_EQ(shipped.count(lastParagraph), 1);
    QByteArray threeCells = shipped;
    threeCells.replace(fiveCells, mark + "\\cell \\cell \\cell \\row");
    QByteArray outside = shipped;
    outside.replace(mark, "");
    outside.replace(lastParagraph, "\\pard\\plain\\f0\\fs24 " + mark + "\\par");

    const std::pair<QByteArray, QString> cases[] = {
        {threeCells, "MoveRight: за последней ячейкой строки нет ячеек"},
        {outside, "MoveRight: выделение не в таблице"},
    };
    for (const auto& [broken, failure] : cases) {
        ASSERT_TRUE(WriteAll(templatePath, broken));
        QStringList shown;
        RtfWordApplication word([&shown](const QString& path) { shown << path; });
        AnsweringGateway messages;
        EXPECT_FALSE(MakeWordReport(word, ReportRows(5), dir.path(), messages));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(messages.shown[0].text, failure);
        EXPECT_EQ(ReadAll(reportPath), previous);
        // Nothing of the failed report stays behind.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
                  (QStringList{WordTemplateName, WordReportName}));
        EXPECT_TRUE(shown.isEmpty());
    }
}

} // namespace
