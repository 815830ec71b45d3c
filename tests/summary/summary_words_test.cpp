// The page in the reader's own numbers and words: digits grouped by a
// no-break space, a decimal comma, nouns that agree with their numbers; and
// the run's files listed with the word report among them, wherever it lies.

#include "decoding/russian_numbers.h"
#include "memory_feed.h"
#include "page_probe.h"
#include "summary/page_update.h"
#include "summary/summary_page.h"
#include "tests/rating/summator_records.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));
const QString Nbsp(QChar(0x00A0));

class SummaryWordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.isValid());
        RecorderSimulator sim;
        GenerateOptions options;
        options.events = 1500;
        options.sums = 3000;
        options.newest = QDateTime(QDate(2026, 12, 7), QTime(9, 3));
        sim.Generate(options);
        FeedMemory(summary, sim, ReadoutKind::Events, StartedAt);
        FeedMemory(summary, sim, ReadoutKind::Summator, StartedAt);
    }

    QString page() {
        QString error;
        EXPECT_TRUE(WriteSummaryPage(summary, run.path(), &error)) << error.toStdString();
        return PageText(QDir(run.path()).filePath(SummaryPageName));
    }

    QTemporaryDir run;
    RunSummary summary;
};

TEST_F(SummaryWordsTest, CountsAreGroupedAndTheNoteAgreesWithItsNumbers) {
    // The totals of the note come from the newest record's counters.
    SumFields newest = Cycle(40, 20);
    newest.cycles = 8554;
    newest.totalWeight = 3;
    newest.hours = 1021;
    LoadSpectrum spectrum;
    ASSERT_EQ(spectrum.Rating(MakeSumReply(newest), RatingBasis::Moment, 800),
              RatingOutcome::Rated);
    summary.NoteSpectrum(spectrum, RatingBasis::Moment, 800, QStringLiteral("01.03.2026 00:00"));
    const QString html = page();

    EXPECT_EQ(PageCell(html, "events-records"), "1" + Nbsp + "500");
    EXPECT_EQ(PageCell(html, "sums-records"), "3" + Nbsp + "000");
    ASSERT_GE(summary.Cycles(), 1000);
    EXPECT_EQ(PageCell(html, "sums-cycles"), RussianNumber(summary.Cycles()));
    // Grouped numbers still count as numbers: aligned right.
    EXPECT_TRUE(html.contains("id=\"sums-records\" class=\"n\""));
    EXPECT_TRUE(html.contains("— 8" + Nbsp + "554 цикла, суммарный вес 3 тонны, наработка 1" +
                              Nbsp + "021 час.</p>"));
    EXPECT_TRUE(html.contains(">100,0 %</td>"));

    // No number of four digits or more stands ungrouped in a table or a
    // chart of the page (ids and colours aside).
    static const QRegularExpression bare(
        QStringLiteral(R"(>[^<]*(?<![\d#.:])\d{4,}(?![\d:.b])[^<]*<)"));
    QStringList found;
    for (auto it = bare.globalMatch(html); it.hasNext();)
        found << it.next().captured(0);
    // Dates and times carry their years and are no counts.
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](const QString& s) {
                                   return s.contains(QRegularExpression(R"(\d\d\.\d\d\.\d{4})"));
                               }),
                found.end());
    EXPECT_TRUE(found.isEmpty()) << found.join(" | ").toStdString();
    // The charts' axes count in the page's numbers too.
    const qsizetype totals = html.indexOf(QStringLiteral("<figure id=\"chart-totals\">"));
    const QString chart =
        html.mid(totals, html.indexOf(QStringLiteral("</figure>"), totals) - totals);
    EXPECT_TRUE(chart.contains(QRegularExpression(QStringLiteral(u">\\d{1,3}\u00A0\\d{3}</text>"))))
        << chart.toStdString();
}

TEST_F(SummaryWordsTest, TheWordReportIsListedWhereItLies) {
    const QString inFolder = QDir(run.path()).filePath("list.doc");
    EXPECT_FALSE(page().contains("list.doc"));

    // Saved with the other files: a link beside them, with what it is.
    QFile doc(inFolder);
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    NoteWordReport(summary, inFolder, run.path());
    QString html = PageText(QDir(run.path()).filePath(SummaryPageName));
    EXPECT_TRUE(html.contains("<li><a href=\"list.doc\">list.doc</a> — отчет для Word</li>"));

    // Saved beside the program: linked there, and still after the next page.
    QFile::remove(inFolder);
    QTemporaryDir program;
    const QString beside = QDir(program.path()).filePath("list.doc");
    NoteWordReport(summary, beside, run.path());
    (void)page();
    html = PageText(QDir(run.path()).filePath(SummaryPageName));
    EXPECT_TRUE(html.contains("<li><a href=\"" + QUrl::fromLocalFile(beside).toString() +
                              "\">list.doc</a> — отчет для Word (в папке " +
                              QDir::toNativeSeparators(program.path()) + ")</li>"))
        << html.mid(html.indexOf("id=\"files\"")).toStdString();
}

TEST(SummaryWordReport, NoPageIsMadeForARunThatReadNothing) {
    QTemporaryDir run;
    RunSummary summary;
    NoteWordReport(summary, QDir(run.path()).filePath("list.doc"), run.path());
    EXPECT_FALSE(QFile::exists(QDir(run.path()).filePath(SummaryPageName)));
}

} // namespace
