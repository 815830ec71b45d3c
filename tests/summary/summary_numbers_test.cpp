// The summary of real readouts against the simulator: the numbers the page
// shows are counted again here straight from the recorder's memory.

#include "decoding/reasons.h"
#include "page_probe.h"
#include "readout/event_readout.h"
#include "simulator/recorder_memory.h"
#include "summary/page_sections.h"
#include "summary/summary_charts.h"
#include "summary/summary_page.h"
#include "summary/time_buckets.h"
#include "summator/sum_readout.h"
#include "tests/rating/summator_records.h"
#include "tests/readout/readout_fixture.h"

#include <QRegularExpression>

#include <array>
#include <map>

namespace {

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));

TEST(TimeBucketsTest, TheStepGrowsWithThePeriod) {
    const QDate first(2026, 1, 1); // a Thursday: its week starts on 29.12.2025
    const QDate monday(2025, 12, 29);
    EXPECT_EQ(ChooseBucketUnit(first, first.addDays(MaxBuckets - 1)), BucketUnit::Day);
    EXPECT_EQ(ChooseBucketUnit(first, first.addDays(MaxBuckets)), BucketUnit::Week);
    EXPECT_EQ(ChooseBucketUnit(first, monday.addDays(7 * (MaxBuckets - 1) + 6)), BucketUnit::Week);
    EXPECT_EQ(ChooseBucketUnit(first, monday.addDays(7 * MaxBuckets)), BucketUnit::Month);
    EXPECT_EQ(ChooseBucketUnit(first, first.addMonths(MaxBuckets - 1)), BucketUnit::Month);
    EXPECT_EQ(ChooseBucketUnit(first, first.addMonths(MaxBuckets)), BucketUnit::Year);
}

TEST(TimeBucketsTest, StepsSumTheirDaysAndKeepTheEmptyOnes) {
    const std::map<QDate, int> days{
        {QDate(2026, 3, 2), 1}, {QDate(2026, 3, 8), 2}, {QDate(2026, 3, 23), 4}};
    const auto weeks = Bucketed(days, BucketUnit::Week, [](int& sum, int day) { sum += day; });
    ASSERT_EQ(weeks.size(), 4u);
    EXPECT_EQ(weeks[0], std::make_pair(QDate(2026, 3, 2), 3));
    EXPECT_EQ(weeks[1], std::make_pair(QDate(2026, 3, 9), 0));
    EXPECT_EQ(weeks[2], std::make_pair(QDate(2026, 3, 16), 0));
    EXPECT_EQ(weeks[3], std::make_pair(QDate(2026, 3, 23), 4));
    EXPECT_EQ(BucketLabel(weeks[3].first, BucketUnit::Week), "23.03.26");
}

// A summator record of a day of March 2026 (BCD) with a cycle, as a readout
// passes it on; hours below 256.
std::array<std::uint8_t, 16> SumRecord(std::uint8_t day, std::uint8_t hours) {
    std::array<std::uint8_t, 16> record{0x00, 0x12, day, 0x03, 0x26};
    record[7] = hours;
    record[14] = 40;
    record[15] = 20;
    return record;
}

TEST(RunSummaryTest, BlankSlotsDaysAndShares) {
    RunSummary summary;
    summary.ReadoutStarted(ReadoutKind::Events, StartedAt);
    std::array<std::uint8_t, 11> event{0x00, 0x12, 0x02, 0x03, 0x26, 0, 0, 0, 0, 0, 0x41};
    summary.RecordRead(ReadoutKind::Events, 0x30000, event);
    event.fill(0xFF);
    summary.RecordRead(ReadoutKind::Events, 0x3000B, event);
    EXPECT_EQ(summary.Memory(ReadoutKind::Events).blank, 1);
    EXPECT_EQ(summary.EventTotals(), (KindCounts{1, 0, 0, 0}));

    // Newest first: a day's counters fall as the readout goes back.
    summary.ReadoutStarted(ReadoutKind::Summator, StartedAt);
    summary.RecordRead(ReadoutKind::Summator, 0x10020, SumRecord(0x02, 30));
    summary.RecordRead(ReadoutKind::Summator, 0x10010, SumRecord(0x02, 20));
    summary.RecordRead(ReadoutKind::Summator, 0x10000, SumRecord(0x01, 10));
    EXPECT_EQ(summary.SumDays().at(QDate(2026, 3, 2)).hours, 30u);
    EXPECT_EQ(summary.SumDays().at(QDate(2026, 3, 1)).hours, 10u);

    // Two cycles in one class, one in another: shares rounded to a tenth.
    LoadSpectrum spectrum;
    for (const SumFields& cycle : {Cycle(40, 20), Cycle(40, 20), Cycle(10, 10)})
        ASSERT_EQ(spectrum.Rating(MakeSumReply(cycle), RatingBasis::Moment, 800),
                  RatingOutcome::Rated);
    summary.NoteSpectrum(spectrum, RatingBasis::Moment, 800, QStringLiteral("01.03.2026 00:00"));
    const QString html = SummatorSection(summary);
    EXPECT_TRUE(html.contains(QStringLiteral(">66,7 %</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral(">33,3 %</td>")));
}

int Bcd(char b) {
    const auto v = static_cast<std::uint8_t>(b);
    return (v >> 4) * 10 + (v & 0x0F);
}

QDateTime TimeOf(const QByteArray& r) {
    return QDateTime(QDate(2000 + Bcd(r[4]), Bcd(r[3]), Bcd(r[2])), QTime(Bcd(r[1]), Bcd(r[0])));
}

QString Period(const QDateTime& oldest, const QDateTime& newest) {
    return QStringLiteral("с %1 по %2")
        .arg(oldest.toString("dd.MM.yyyy hh:mm"), newest.toString("dd.MM.yyyy hh:mm"));
}

class SummaryReadoutTest : public ReadoutTest {
protected:
    void readEvents() {
        EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
        readout.SetObserver(&summary);
        readout.Run({}, true, StartedAt);
        readout.Finish();
        summary.NoteReadout(ReadoutKind::Events, 1, host.clockText, ident);
        summary.SetEventTexts(texts, true);
    }

    void readSums() {
        SumReadout readout(host, requests, breakRequested, messages, pager, ident);
        readout.SetObserver(&summary);
        readout.Run({{}, RatingBasis::Moment, 800}, StartedAt);
        readout.Finish();
        summary.NoteReadout(ReadoutKind::Summator, 1, host.clockText, ident);
        summary.NoteSpectrum(readout.Spectrum(), RatingBasis::Moment, 800, readout.EraseTimeText());
    }

    QString page() {
        QString error;
        EXPECT_TRUE(WriteSummaryPage(summary, run.path(), &error)) << error.toStdString();
        return PageText(run.filePath(SummaryPageName));
    }

    MessageTexts texts = MessageTexts::Defaults();
    RunSummary summary;
};

TEST_F(SummaryReadoutTest, EventCountsAndPeriodMatchTheMemory) {
    GenerateOptions options;
    options.events = 300;
    options.sums = 0;
    sim.Generate(options);
    for (int k = 0; k < 8; ++k)
        texts.relay[k] = QStringLiteral("Перегруз по реле %1").arg(k + 1);
    readEvents();
    const QString html = page();

    // Counted by the reason bits: relay before output before input.
    std::array<int, 4> kinds{};
    std::array<bool, 8> relaySeen{};
    QDateTime oldest, newest;
    const int last = RecorderMemory::EventSlotIndex(sim.EventPointer());
    for (int i = 0; i <= last; ++i) {
        const QByteArray r = sim.Bytes(4, RecorderMemory::EventSlotAddress(i), 11);
        const auto reason = static_cast<std::uint8_t>(r[10]);
        if (reason == 0xFF)
            continue;
        ++kinds[(reason & 0x40) ? 0 : (reason & 0x20) ? 1 : (reason & 0x10) ? 2 : 3];
        if (reason & 0x40)
            relaySeen[reason & 7] = true;
        const QDateTime at = TimeOf(r);
        oldest = oldest.isValid() ? std::min(oldest, at) : at;
        newest = newest.isValid() ? std::max(newest, at) : at;
    }
    EXPECT_EQ(PageCell(html, "events-records"), "300");
    EXPECT_EQ(PageCell(html, "events-relay"), QString::number(kinds[0]));
    EXPECT_EQ(PageCell(html, "events-digout"), QString::number(kinds[1]));
    EXPECT_EQ(PageCell(html, "events-digin"), QString::number(kinds[2]));
    EXPECT_EQ(PageCell(html, "events-other"), QString::number(kinds[3]));
    EXPECT_EQ(PageCell(html, "events-total"),
              QString::number(kinds[0] + kinds[1] + kinds[2] + kinds[3]));
    EXPECT_EQ(PageCell(html, "events-period"), Period(oldest, newest));
    EXPECT_EQ(PageCell(html, "events-wrapped"), "нет");
    EXPECT_EQ(PageCell(html, "events-outcome"), "завершено полностью");
    // The reasons are named with the texts of the current settings.
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(html.contains(texts.relay[k]), relaySeen[k]) << k;
    EXPECT_TRUE(html.contains("Сумматор в этом запуске не читался."));
    EXPECT_TRUE(html.contains("<figure id=\"chart-events\"><svg"));
}

TEST_F(SummaryReadoutTest, LoadClassesAndPeriodMatchTheSummatorRecords) {
    GenerateOptions options;
    options.events = 0;
    options.sums = 200;
    sim.Generate(options);
    sim.SetBytes(5, 29, QByteArray::fromHex("0010150309"));
    readSums();
    const QString html = page();

    std::array<int, LoadClassCount> classes{};
    int cycles = 0;
    QDateTime oldest, newest;
    for (int i = 0; i < 200; ++i) {
        const QByteArray r = sim.Bytes(4, RecorderMemory::SumSlotAddress(i), 16);
        const auto w = static_cast<std::uint8_t>(r[14]);
        const auto reach = static_cast<std::uint8_t>(r[15]);
        if (w != 0xFF && reach != 0xFF) {
            ++classes[std::size_t(LoadClassIndex(w * reach, 800))];
            ++cycles;
        }
        const QDateTime at = TimeOf(r);
        oldest = oldest.isValid() ? std::min(oldest, at) : at;
        newest = newest.isValid() ? std::max(newest, at) : at;
    }
    EXPECT_EQ(PageCell(html, "sums-records"), "200");
    for (int c = 0; c < LoadClassCount; ++c)
        EXPECT_EQ(PageCell(html, QStringLiteral("class-%1").arg(c + 1)),
                  QString::number(classes[std::size_t(c)]))
            << LoadClassLabels[std::size_t(c)];
    EXPECT_EQ(PageCell(html, "class-total"), QString::number(cycles));
    EXPECT_EQ(PageCell(html, "sums-cycles"), QString::number(cycles));
    EXPECT_EQ(PageCell(html, "sums-period"), Period(oldest, newest));
    EXPECT_TRUE(html.contains("Черный ящик в этом запуске не читался."));
    for (const char* chart : {"chart-totals", "chart-cycles", "chart-spectrum"})
        EXPECT_TRUE(html.contains(QStringLiteral("<figure id=\"%1\"><svg").arg(chart))) << chart;
}

TEST_F(SummaryReadoutTest, BreakIsToldAndOnlyTheRecordsTakenCount) {
    GenerateOptions options;
    options.events = 300;
    options.sums = 0;
    sim.Generate(options);
    host.onProgress = [this](int) {
        if (host.progressSteps == 40)
            breakRequested = true;
    };
    readEvents();
    const QString html = page();
    EXPECT_EQ(PageCell(html, "events-records"), "40");
    EXPECT_EQ(PageCell(html, "events-outcome"), "прервано кнопкой «Прервать»");
}

// Read on a screen and printed on A4: a chart 900 units wide prints 186 mm
// (527 pt) wide, so a text of 14 units is 8 pt on paper; on a screen showing
// it at 800 px or more, over 12 px.
TEST_F(SummaryReadoutTest, ChartsAndTablesReadOnScreenAndOnPaper) {
    GenerateOptions options;
    options.events = 300;
    options.sums = 200;
    sim.Generate(options);
    readEvents();
    readSums();
    const QString html = page();

    static const QRegularExpression textSize(
        QStringLiteral(R"re(<text [^>]*font-size="([0-9.]+)")re"));
    int chartTexts = 0;
    int small = 0;
    for (auto it = textSize.globalMatch(html); it.hasNext(); ++chartTexts)
        small += it.next().captured(1).toDouble() < 14.0 ? 1 : 0;
    EXPECT_EQ(small, 0);
    EXPECT_GT(chartTexts, 20);

    // The counters that only grow are shown over their span, not from zero.
    const qsizetype totals = html.indexOf(QStringLiteral("<figure id=\"chart-totals\">"));
    ASSERT_GE(totals, 0);
    const QString totalsChart =
        html.mid(totals, html.indexOf(QStringLiteral("</figure>"), totals) - totals);
    EXPECT_FALSE(totalsChart.contains(QStringLiteral(">0</text>")));
    // The 100 % value with its unit; no column without a heading.
    EXPECT_TRUE(html.contains(QStringLiteral("100% момент = 800 т·м")));
    EXPECT_FALSE(html.contains(QStringLiteral("<th></th>")));
}

TEST(RunSummaryTest, APortOnTheNetworkHasNoComNumber) {
    for (const int comPort : {0, 1}) {
        RunSummary summary;
        summary.ReadoutStarted(ReadoutKind::Events, StartedAt);
        summary.RecordRead(
            ReadoutKind::Events, 0x30000,
            std::array<std::uint8_t, 11>{0x00, 0x12, 0x02, 0x03, 0x26, 0, 0, 0, 0, 0, 0x41});
        summary.NoteReadout(ReadoutKind::Events, comPort, QString(), IdentData{});
        summary.ReadoutFinished(ReadoutKind::Events, ReadoutOutcome::Completed, false);
        const QString html = ReadoutsSection(summary);
        EXPECT_EQ(html.contains(QStringLiteral("COM")), comPort > 0) << comPort;
        EXPECT_EQ(html.contains(QStringLiteral("сетевой порт")), comPort == 0) << comPort;
    }
}

TEST(RunSummaryTest, TheReasonTableCountsEveryCodeFromTheFirst) {
    for (const std::uint8_t code : {0x00, 0x01}) {
        RunSummary summary;
        summary.ReadoutStarted(ReadoutKind::Events, StartedAt);
        summary.RecordRead(
            ReadoutKind::Events, 0x30000,
            std::array<std::uint8_t, 11>{0x00, 0x12, 0x02, 0x03, 0x26, 0, 0, 0, 0, 0, code});
        summary.ReadoutFinished(ReadoutKind::Events, ReadoutOutcome::Completed, false);
        QString text;
        ASSERT_TRUE(ReasonText(code, summary.Texts(), text)) << int(code);
        if (text.isEmpty())
            text = QStringLiteral("КОД %1").arg(code, 2, 16, QLatin1Char('0'));
        // The event, one onset and no removal.
        EXPECT_TRUE(EventsSection(summary).contains(
            text.toHtmlEscaped() +
            QStringLiteral("</td><td class=\"n\">1</td><td class=\"n\">0</td></tr>")))
            << int(code) << " " << text.toStdString();
    }
}

TEST(RunSummaryTest, AStepAxisOfMoreThanADozenDaysLabelsEveryOther) {
    const auto labelled = [](const QString& svg, const char* label) {
        return QRegularExpression(QStringLiteral(">\\s*%1\\s*<").arg(QLatin1String(label)))
            .match(svg)
            .hasMatch();
    };
    for (const std::uint8_t lastDay : {0x12, 0x13}) { // BCD: the 12th or the 13th
        RunSummary summary;
        summary.ReadoutStarted(ReadoutKind::Events, StartedAt);
        for (const std::uint8_t day : {std::uint8_t(0x01), lastDay})
            summary.RecordRead(
                ReadoutKind::Events, 0x30000,
                std::array<std::uint8_t, 11>{0x00, 0x12, day, 0x03, 0x26, 0, 0, 0, 0, 0, 0x41});
        const QString svg = EventChart(summary, BucketUnit::Day);
        EXPECT_TRUE(labelled(svg, "01\\.03")) << int(lastDay);
        EXPECT_TRUE(labelled(svg, "03\\.03")) << int(lastDay);
        EXPECT_EQ(labelled(svg, "02\\.03"), lastDay == 0x12) << int(lastDay);
    }
}

// Two event records, on first and on last.
RunSummary EventsOn(const QDate& first, const QDate& last) {
    RunSummary summary;
    summary.ReadoutStarted(ReadoutKind::Events, StartedAt);
    for (const QDate& d : {first, last})
        summary.RecordRead(ReadoutKind::Events, 0x30000,
                           std::array<std::uint8_t, 11>{0x00, 0x12, ToBcd(d.day()),
                                                        ToBcd(d.month()), ToBcd(d.year() % 100), 0,
                                                        0, 0, 0, 0, 0x41});
    return summary;
}

// Whatever the step and however many, a label of the step axis is shown whole.
TEST(RunSummaryTest, NoStepLabelIsCut) {
    static const QRegularExpression cut(QStringLiteral(R"(<text[^>]*>[^<]*\.\.\.\s*</text>)"));
    const QDate first(2022, 5, 4);
    const struct {
        BucketUnit unit;
        QDate last;
    } periods[] = {
        {BucketUnit::Day, first.addDays(23)},      {BucketUnit::Day, first.addDays(61)},
        {BucketUnit::Week, first.addDays(7 * 11)}, {BucketUnit::Week, first.addDays(7 * 23)},
        {BucketUnit::Week, first.addDays(7 * 61)}, {BucketUnit::Month, first.addMonths(23)},
        {BucketUnit::Month, first.addMonths(55)},  {BucketUnit::Month, first.addMonths(61)},
        {BucketUnit::Year, first.addYears(23)},
    };
    for (const auto& p : periods) {
        const QString svg = EventChart(EventsOn(first, p.last), p.unit);
        ASSERT_FALSE(svg.isEmpty());
        const auto m = cut.match(svg);
        EXPECT_FALSE(m.hasMatch())
            << BucketLabel(p.last, p.unit).toStdString() << ": " << m.captured().toStdString();
    }
}

} // namespace
