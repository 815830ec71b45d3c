#include "file_fixture.h"
#include "readout/print_pager.h"

#include <QStringList>

#include <gtest/gtest.h>
#include <optional>

namespace {

// A head shaped like the real ones: 21 identification lines counted as 20,
// title, clock line and an empty line counted as 3, two heading lines.
PrintHead RealShapedHead() {
    PrintHead head;
    for (int i = 0; i < 21; ++i)
        head.opening << QStringLiteral("id%1").arg(i);
    head.opening << QStringLiteral("title") << QStringLiteral("clock") << QString();
    head.openingCount = 23;
    head.columns << QStringLiteral("col1") << QStringLiteral("col2");
    return head;
}

// Feeds count records, present or not, and returns every line produced,
// completion included.
QStringList RunPager(PrintPager& pager, int count, bool present = true) {
    const PrintHead head = RealShapedHead();
    QStringList all;
    for (int i = 1; i <= count; ++i) {
        std::optional<QString> line;
        if (present)
            line = QStringLiteral("rec%1").arg(i);
        all << pager.RecordLines(head, line);
        pager.RecordDone();
    }
    all << pager.CompletionLines();
    return all;
}

TEST(PrintPager, ResetGivesTheStartOfAnOperation) {
    PrintPager pager;
    (void)RunPager(pager, 40);
    pager.Reset();
    EXPECT_TRUE(pager.FirstRecord());
    EXPECT_EQ(pager.PageLines(), 0u);
    EXPECT_EQ(pager.PageNumber(), 1u);
}

TEST(PrintPager, FirstRecordOpensTheFileWithoutFormFeed) {
    PrintPager pager;
    const PrintHead head = RealShapedHead();
    const QStringList lines = pager.RecordLines(head, QStringLiteral("rec1"));
    QStringList expected = head.opening;
    expected << QStringLiteral("col1") << QStringLiteral("col2") << QString()
             << QStringLiteral("rec1");
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(pager.PageLines(), 27u);
    EXPECT_TRUE(pager.FirstRecord()) << "only RecordDone ends the first record";
    pager.RecordDone();
    EXPECT_FALSE(pager.FirstRecord());
}

TEST(PrintPager, StopBeforeFirstRecordLeavesOneBlankNumberedPage) {
    PrintPager pager;
    QStringList expected(56, QString());
    expected << Footer(1);
    EXPECT_EQ(pager.CompletionLines(), expected);
}

TEST(PrintPager, AbsentRecordsAreNotCounted) {
    PrintPager pager;
    const QStringList lines = RunPager(pager, 200, false);
    // Headings only, then the first page padded: 21 + 3 + 3 + 30 empty + footer.
    ASSERT_EQ(lines.size(), 58);
    EXPECT_EQ(lines.last(), Footer(1));
    EXPECT_EQ(lines.mid(27, 30), QStringList(30, QString()));
}

// A readout whose last record closed its page still ends in a padded,
// numbered page: the completion always runs.
TEST(PrintPager, PageClosedByTheLastRecordIsFollowedByAPaddedPage) {
    for (const int count : {29, 81}) {
        SCOPED_TRACE(count);
        PrintPager pager;
        const QStringList lines = RunPager(pager, count);
        const int full = count == 29 ? 58 : 116;
        EXPECT_EQ(lines[full - 1], Footer(count == 29 ? 1 : 2));
        EXPECT_EQ(lines.mid(full, 56), QStringList(56, QString()));
        EXPECT_EQ(lines.last(), Footer(count == 29 ? 2 : 3));
        EXPECT_EQ(lines.size(), full + 57);
    }
}

TEST(PrintPager, CompletionRunsOnce) {
    PrintPager pager;
    (void)RunPager(pager, 5);
    EXPECT_TRUE(pager.CompletionLines().isEmpty());
    pager.Reset();
    EXPECT_EQ(pager.CompletionLines().size(), 57);
}

TEST(PrintPager, FooterText) {
    EXPECT_EQ(PrintPager::Footer(1), Footer(1));
    EXPECT_EQ(PrintPager::Footer(12),
              QString(27, QLatin1Char(' ')) + QStringLiteral("Страница 12"));
}

} // namespace
