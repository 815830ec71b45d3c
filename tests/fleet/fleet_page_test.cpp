// The fleet page's figures, from a real PostgreSQL server holding known cranes.

#include "fleet/fleet_page.h"
#include "fleet/fleet_push.h"
#include "fleet/fleet_query.h"
#include "fleet/fleet_schema.h"
#include "fleet/pg_connection.h"
#include "fleet_fixture.h"
#include "image/memory_image.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

using namespace fleet_test;

namespace {

auto* const Cluster = ::testing::AddGlobalTestEnvironment(new PgCluster);

struct KnownCrane {
    QByteArray ident;
    std::vector<Block> blocks;
    DutyInput expected; // the records as a readout would take them, newest first
};

KnownCrane Make(const QByteArray& ident, int cycles, int heaviest, KindCounts events) {
    KnownCrane c{ident, {}, {}};
    std::vector<QByteArray> sums;
    for (int i = 0; i < cycles; ++i)
        sums.push_back(Sum(i, std::uint8_t((i * 7) % (heaviest + 1))));
    // Stored as a readout reads them: newest first.
    for (int i = cycles - 1; i >= 0; --i)
        c.blocks.push_back({SumSlot(i), sums[std::size_t(i)]});
    for (auto it = sums.rbegin(); it != sums.rend(); ++it)
        TakeSumRecord(c.expected, {reinterpret_cast<const std::uint8_t*>(it->constData()),
                                   std::size_t(it->size())});
    std::memcpy(c.expected.ident.data(), ident.constData(), c.expected.ident.size());
    c.expected.hasIdent = true;
    const std::uint8_t reasons[EventKindCount] = {0x41, 0x21, 0x11, 0x03};
    int slot = 0;
    for (int k = 0; k < EventKindCount; ++k)
        for (int i = 0; i < events[std::size_t(k)]; ++i, ++slot)
            c.blocks.push_back({EventSlot(slot), Event(slot % 28, reasons[k])});
    // Outside the 12 months up to 1 June 2025 08:00 (the page's): left out
    // of the counts. Long ago, the month before the first, later on the
    // page's own day and month, and the month after (a recorder clock ahead).
    for (const auto& [year, month, day] :
         {std::tuple{20, 1, 1}, {24, 6, 30}, {25, 6, 1}, {25, 6, 20}, {25, 7, 1}}) {
        QByteArray outside = Event(1, 0x41);
        outside[1] = char(Bcd(9));
        outside[2] = char(Bcd(day));
        outside[3] = char(Bcd(month));
        outside[4] = char(Bcd(year));
        c.blocks.push_back({EventSlot(slot++), outside});
    }
    // On the page's day before its moment: counted in June.
    QByteArray june = Event(1, 0x41);
    june[1] = char(Bcd(7));
    june[2] = char(Bcd(1));
    june[3] = char(Bcd(6));
    june[4] = char(Bcd(25));
    c.blocks.push_back({EventSlot(slot++), june});
    return c;
}

TEST(FleetPage, FiguresComeFromTheDatabaseAsKnown) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QString db = PgCluster::Instance()->NewDatabase();
    QTemporaryDir home;
    const std::vector<KnownCrane> cranes = {
        Make(NameplateIdent(50, "20 t", "A5"), 200, 20, {10, 0, 3, 0}),
        Make(Ident(51), 30, 10, {0, 0, 0, 5}), // no nameplate: no duty
        Make(NameplateIdent(52, "5 t", "A3"), 150, 5, {1, 2, 0, 0}),
    };
    for (const KnownCrane& c : cranes)
        AddToArchive(home.path(), c.ident, c.blocks);
    const CliRun push = RunCli({QStringLiteral("push"), QStringLiteral("--db"), db}, home.path());
    ASSERT_EQ(push.exitCode, 0) << push.err.toStdString();

    PgConnection conn;
    ASSERT_TRUE(conn.Connect(db));
    FleetData data;
    QString error;
    const QDateTime now(QDate(2025, 6, 1), QTime(8, 0));
    ASSERT_TRUE(QueryFleet(conn, now, data, error)) << error.toStdString();
    ASSERT_EQ(data.cranes.size(), 3u);

    std::vector<DutyEstimate> expected;
    for (const KnownCrane& c : cranes)
        expected.push_back(EstimateDuty(c.expected));
    ASSERT_TRUE(expected[0].lifeUsed && expected[2].lifeUsed);
    ASSERT_FALSE(expected[1].lifeUsed);
    // The one with more life used first; the crane without a nameplate last.
    const std::size_t first = *expected[0].lifeUsed > *expected[2].lifeUsed ? 0 : 2;
    const std::size_t second = 2 - first;
    const std::size_t order[3] = {first, second, 1};
    for (std::size_t i = 0; i < 3; ++i) {
        const FleetCrane& got = data.cranes[i];
        const KnownCrane& known = cranes[order[i]];
        const DutyEstimate& want = expected[order[i]];
        SCOPED_TRACE(i);
        EXPECT_EQ(got.key, RecorderKey(known.ident));
        ASSERT_TRUE(got.lastVisit.has_value());
        EXPECT_EQ(*got.lastVisit, 1700000000000);
        EXPECT_EQ(got.duty.cycles, want.cycles);
        EXPECT_EQ(got.duty.cyclesRated, want.cyclesRated);
        // Summed in another order: equal but for rounding.
        ASSERT_EQ(got.duty.kp.has_value(), want.kp.has_value());
        if (want.kp) {
            EXPECT_NEAR(*got.duty.kp, *want.kp, 1e-12);
        }
        EXPECT_EQ(got.duty.group, want.group);
        ASSERT_EQ(got.duty.lifeUsed.has_value(), want.lifeUsed.has_value());
        if (want.lifeUsed) {
            EXPECT_NEAR(*got.duty.lifeUsed, *want.lifeUsed, 1e-12);
        }
        EXPECT_EQ(got.duty.cyclesTotal, want.cyclesTotal);
        EXPECT_EQ(got.duty.oldest, want.oldest);
        EXPECT_EQ(got.duty.newest, want.newest);
        EXPECT_EQ(got.input.totalCycles, known.expected.totalCycles);
    }
    EXPECT_EQ(data.cranes[2].events, (KindCounts{1, 0, 0, 5}));
    const FleetCrane& a = data.cranes[order[0] == 0 ? 0 : 1];
    EXPECT_EQ(a.events, (KindCounts{11, 0, 3, 0}));
    // Every one of the 12 months, also those without events.
    ASSERT_EQ(data.eventsPerMonth.size(), 12u);
    for (std::size_t m = 0; m < 12; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(data.eventsPerMonth[m].first, QDate(2024, 7, 1).addMonths(int(m)));
        const KindCounts want = m == 6    ? KindCounts{11, 2, 3, 5}
                                : m == 11 ? KindCounts{3, 0, 0, 0}
                                          : KindCounts{};
        EXPECT_EQ(data.eventsPerMonth[m].second, want);
    }

    // The page itself: self-contained, with both charts.
    const QString out = home.path() + QStringLiteral("/page");
    const CliRun page =
        RunCli({QStringLiteral("fleet"), QStringLiteral("--db"), db, QStringLiteral("--out"), out,
                QStringLiteral("--now"), QStringLiteral("01.06.2025 08:00")},
               home.path());
    ASSERT_EQ(page.exitCode, 0) << page.err.toStdString();
    QFile file(out + QStringLiteral("/index.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_EQ(html.count(QStringLiteral("<svg")), 2);
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
    EXPECT_FALSE(html.contains(QStringLiteral("src=")) || html.contains(QStringLiteral("<link")) ||
                 html.contains(QStringLiteral("href=\"http")))
        << "nothing from the network";
    EXPECT_LT(html.indexOf(QStringLiteral("CRANE %1").arg(order[0] == 0 ? 50 : 52)),
              html.indexOf(QStringLiteral("CRANE 51")));
    // The months chart names each of the 12 months, those without events too.
    for (int m = 0; m < 12; ++m)
        EXPECT_TRUE(html.contains(QLatin1Char('>') +
                                  QDate(2024, 7, 1).addMonths(m).toString(QStringLiteral("MM.yy")) +
                                  QStringLiteral("</text>")))
            << m;
}

// A memory image of a crane: its identification, the summator pointer, the
// erase time and the summator records given, read at one time.
MemoryImage SumImage(const QByteArray& ident, const std::vector<Block>& sums, std::uint32_t pointer,
                     const QDateTime& erased, qint64 readAt) {
    MemoryImage m;
    const ReadOrigin origin{readAt, 4};
    auto put = [&m, &origin](std::uint8_t selector, std::uint32_t address, const QByteArray& b) {
        m.Record(selector, address, reinterpret_cast<const std::uint8_t*>(b.constData()),
                 int(b.size()), origin);
    };
    put(IdentSelector, IdentAddress, ident);
    QByteArray pointers(PointerLength, '\0');
    for (int i = 0; i < 4; ++i)
        pointers[4 + i] = char(pointer >> (24 - 8 * i));
    put(PointerSelector, PointerAddress, pointers);
    const QByteArray clock = SumAt(erased, 0).left(ClockLength);
    put(EraseTimeSelector, EraseTimeAddress, clock);
    for (const Block& b : sums)
        put(MemorySelector, b.address, b.bytes);
    return m;
}

std::vector<std::pair<QDateTime, std::uint32_t>> Samples(const DutyInput& in) {
    std::vector<std::pair<QDateTime, std::uint32_t>> out;
    for (const CounterSample& s : in.counters)
        out.push_back({s.time, s.cycles});
    return out;
}

QDateTime At(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

// The recorder's order, not its clock, tells which record is newest: the
// walk from the pointer backwards (on from the top of the area past its
// start), and across pushes, a later push's new records are newer. The
// counters reach the estimate newest first: the newest, both sides of the
// reset and the oldest.
TEST(FleetPage, CountersFollowTheRecordersOrder) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QByteArray ident = NameplateIdent(60, "25 t", "A5");
    std::vector<Block> first;
    // Written round: the top of the area is older than its start. The oldest
    // record's clock was set ahead.
    first.push_back({LastSumSlot - 2 * SumLength, SumAt(At(2038, 1, 1, 10, 0), 50)});
    first.push_back({LastSumSlot - SumLength, SumAt(At(2026, 1, 1, 8, 0), 51)});
    first.push_back({LastSumSlot, SumAt(At(2026, 1, 1, 8, 1), 52)});
    for (int i = 0; i <= 10; ++i)
        first.push_back({SumSlot(i), SumAt(At(2026, 1, 2, 9, i), std::uint32_t(53 + i))});
    // Then the counters were reset and five more cycles went in.
    std::vector<Block> second = first;
    for (int i = 11; i <= 15; ++i)
        second.push_back({SumSlot(i), SumAt(At(2026, 2, 1, 9, i), std::uint32_t(i - 10))});
    const qint64 t1 = 1710000000000, t2 = t1 + 86400000;
    const MemoryImage older = SumImage(ident, first, SumSlot(10), At(2025, 12, 31, 12, 0), t1);
    const MemoryImage newer = SumImage(ident, second, SumSlot(15), At(2026, 1, 31, 23, 0), t2);
    const std::vector<std::pair<QDateTime, std::uint32_t>> expected = {
        {At(2026, 2, 1, 9, 15), 5},
        {At(2026, 2, 1, 9, 11), 1},
        {At(2026, 1, 2, 9, 10), 63},
        {At(2038, 1, 1, 10, 0), 50},
    };
    PushCrane a, b;
    QString error;
    ASSERT_TRUE(CraneFromImage(older, a, error)) << error.toStdString();
    ASSERT_TRUE(CraneFromImage(newer, b, error)) << error.toStdString();
    // Pushed one after the other, or both in one push (the later given first).
    for (const bool onePush : {false, true}) {
        SCOPED_TRACE(onePush);
        PgConnection db;
        ASSERT_TRUE(db.Connect(PgCluster::Instance()->NewDatabase())) << db.Error().toStdString();
        ASSERT_TRUE(FleetSchema::Ensure(db, error)) << error.toStdString();
        PushTally tally;
        if (onePush) {
            ASSERT_TRUE(PushCranes(db, {b, a}, tally, error)) << error.toStdString();
        } else {
            ASSERT_TRUE(PushCranes(db, {a}, tally, error)) << error.toStdString();
            ASSERT_TRUE(PushCranes(db, {b}, tally, error)) << error.toStdString();
            // Once more: nothing changes.
            ASSERT_TRUE(PushCranes(db, {b}, tally, error)) << error.toStdString();
            EXPECT_EQ(tally.sumsAdded, 0);
        }
        FleetData data;
        ASSERT_TRUE(QueryFleet(db, At(2026, 3, 1, 0, 0), data, error)) << error.toStdString();
        ASSERT_EQ(data.cranes.size(), 1u);
        const FleetCrane& c = data.cranes[0];
        EXPECT_EQ(Samples(c.input), expected);
        EXPECT_EQ(c.input.totalCycles, 5u);
        EXPECT_EQ(c.input.counterStart, At(2026, 1, 31, 23, 0));
        EXPECT_EQ(CyclesTaken(c.input), 19u);
        // Read from images only: the last read is the newer image's.
        EXPECT_FALSE(c.lastVisit.has_value());
        EXPECT_EQ(c.lastRead, t2);
        EXPECT_TRUE(FleetPageHtml(data, At(2026, 3, 1, 0, 0))
                        .contains(QDateTime::fromMSecsSinceEpoch(t2).toString(
                            QStringLiteral("dd.MM.yyyy hh:mm"))));
    }
}

// A busy crane read in January and in December: what the recorder wrote in
// between was overwritten before the second push, so the records held say
// nothing of the year's work; the counters do (27 502 cycles in 334 days).
TEST(FleetPage, TheRateComesFromTheCountersNotFromTheRecordsHeld) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QByteArray ident = NameplateIdent(62, "25 t", "A5");
    std::vector<Block> january, december;
    for (int i = 0; i < 3; ++i) {
        january.push_back({SumSlot(i), SumAt(At(2026, 1, 10, 9, i), std::uint32_t(1000 + i))});
        december.push_back({SumSlot(i), SumAt(At(2026, 12, 10, 9, i), std::uint32_t(28500 + i))});
    }
    const qint64 t1 = 1768000000000, t2 = t1 + 334LL * 86400000;
    PushCrane a, b;
    QString error;
    ASSERT_TRUE(
        CraneFromImage(SumImage(ident, january, SumSlot(2), At(2016, 6, 1, 0, 0), t1), a, error));
    ASSERT_TRUE(
        CraneFromImage(SumImage(ident, december, SumSlot(2), At(2016, 6, 1, 0, 0), t2), b, error));
    PgConnection db;
    ASSERT_TRUE(db.Connect(PgCluster::Instance()->NewDatabase())) << db.Error().toStdString();
    ASSERT_TRUE(FleetSchema::Ensure(db, error)) << error.toStdString();
    PushTally tally;
    ASSERT_TRUE(PushCranes(db, {a}, tally, error)) << error.toStdString();
    ASSERT_TRUE(PushCranes(db, {b}, tally, error)) << error.toStdString();
    FleetData data;
    ASSERT_TRUE(QueryFleet(db, At(2026, 12, 11, 0, 0), data, error)) << error.toStdString();
    ASSERT_EQ(data.cranes.size(), 1u);
    const DutyEstimate& duty = data.cranes[0].duty;
    ASSERT_TRUE(duty.cyclesPerYear);
    const double years = At(2026, 1, 10, 9, 0).secsTo(At(2026, 12, 10, 9, 2)) / (365.25 * 86400);
    EXPECT_NEAR(*duty.cyclesPerYear, 27502 / years, 1.0);
    EXPECT_EQ(duty.rateBasis, RateBasis::Counters);
}

// The archive keeps what each readout read, newest first; a later readout
// adds what the recorder wrote since.
TEST(FleetPage, CountersOfAnArchiveFollowItsReadouts) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QString db = PgCluster::Instance()->NewDatabase();
    QTemporaryDir home;
    const QByteArray ident = NameplateIdent(61, "25 t", "A5");
    std::vector<Block> walk;
    for (int i = 10; i >= 0; --i)
        walk.push_back({SumSlot(i), SumAt(At(2026, 1, 2, 9, i), std::uint32_t(100 + i))});
    AddToArchive(home.path(), ident, walk, 1700000000000);
    // After a reset, dated earlier by a clock set back.
    AddToArchive(home.path(), ident,
                 {{SumSlot(12), SumAt(At(2025, 1, 1, 9, 2), 2)},
                  {SumSlot(11), SumAt(At(2025, 1, 1, 9, 1), 1)}},
                 1700000100000);
    const CliRun push = RunCli({QStringLiteral("push"), QStringLiteral("--db"), db}, home.path());
    ASSERT_EQ(push.exitCode, 0) << push.err.toStdString();
    PgConnection conn;
    ASSERT_TRUE(conn.Connect(db));
    FleetData data;
    QString error;
    ASSERT_TRUE(QueryFleet(conn, At(2026, 3, 1, 0, 0), data, error)) << error.toStdString();
    ASSERT_EQ(data.cranes.size(), 1u);
    const std::vector<std::pair<QDateTime, std::uint32_t>> expected = {
        {At(2025, 1, 1, 9, 2), 2},
        {At(2025, 1, 1, 9, 1), 1},
        {At(2026, 1, 2, 9, 10), 110},
        {At(2026, 1, 2, 9, 0), 100},
    };
    EXPECT_EQ(Samples(data.cranes[0].input), expected);
    EXPECT_EQ(data.cranes[0].input.totalCycles, 2u);
}

// Field 1.1 (type and index) and 1.2 (serial number) of an identification.
QByteArray TypeAndSerial(const char* type, const char* serial, const char* owner = "") {
    QByteArray b(IdentSize, char(0xFF));
    auto put = [&b](int at, const char* text) {
        const QByteArray bytes = QStringEncoder("windows-1251").encode(QString::fromUtf8(text));
        b.replace(at, bytes.size(), bytes);
    };
    put(0, type);
    put(20, serial);
    put(80, owner);
    return b;
}

// A fleet of one named crane, "КС-45717К-1 № 0457".
FleetData OneCrane() {
    FleetData data;
    data.cranes.resize(1);
    FleetCrane& c = data.cranes[0];
    c.identification = TypeAndSerial("КС-45717К-1", "0457");
    c.key = RecorderKey(c.identification);
    NameCranes(data.cranes);
    return data;
}

// Cranes of one type are told apart by their serial numbers; two alike in
// both by their keys. Each one has its own bar in the life chart.
TEST(FleetPage, NamesTellCranesApart) {
    std::vector<FleetCrane> cranes(5);
    const QByteArray idents[] = {
        TypeAndSerial("КС-45717К-1", "0457"),
        TypeAndSerial("КС-45717К-1", "0458"),
        TypeAndSerial("Кран учебный", "12", "Владелец А"),
        TypeAndSerial("Кран учебный", "12", "Владелец Б"),
        QByteArray(IdentSize, char(0xFF)),
    };
    for (std::size_t i = 0; i < cranes.size(); ++i) {
        cranes[i].identification = idents[i];
        cranes[i].key = RecorderKey(idents[i]);
        cranes[i].duty.lifeUsed = 0.1 * double(i + 1);
    }
    NameCranes(cranes);
    EXPECT_EQ(cranes[0].name, QStringLiteral("КС-45717К-1 № 0457"));
    EXPECT_EQ(cranes[1].name, QStringLiteral("КС-45717К-1 № 0458"));
    EXPECT_EQ(cranes[2].name, QStringLiteral("Кран учебный № 12 (%1)").arg(cranes[2].key.left(12)));
    EXPECT_EQ(cranes[3].name, QStringLiteral("Кран учебный № 12 (%1)").arg(cranes[3].key.left(12)));
    EXPECT_EQ(cranes[4].name, cranes[4].key.left(12));
    EXPECT_EQ(CraneName(TypeAndSerial("", "77"), QStringLiteral("k")), QStringLiteral("№ 77"));
    EXPECT_EQ(CraneName(TypeAndSerial("\t\x01КС", ""), QStringLiteral("k")), QStringLiteral("КС"));

    FleetData data;
    data.cranes = cranes;
    const QString html = FleetPageHtml(data, At(2026, 3, 1, 0, 0));
    // The chart's labels, a long one wrapped over lines of their own.
    QString labels;
    static const QRegularExpression text(QStringLiteral(">([^<>]+)</text>"));
    for (const QRegularExpressionMatch& m : text.globalMatch(html))
        labels += m.captured(1);
    for (const FleetCrane& c : cranes)
        EXPECT_EQ(labels.count(c.name.toHtmlEscaped()), 1) << c.name.toStdString();
}

// Numbers read as Russian: a decimal comma, a no-break space between
// thousands, the word's form for the number.
TEST(FleetPage, NumbersReadAsRussian) {
    EXPECT_EQ(CountOf(1, QStringLiteral("кран"), QStringLiteral("крана"), QStringLiteral("кранов")),
              QStringLiteral("1\u00A0кран"));
    const std::pair<qint64, const char*> forms[] = {
        {2, "крана"},   {4, "крана"},   {5, "кранов"},   {11, "кранов"},
        {12, "кранов"}, {14, "кранов"}, {21, "кран"},    {22, "крана"},
        {25, "кранов"}, {101, "кран"},  {111, "кранов"}, {0, "кранов"},
    };
    for (const auto& [n, word] : forms)
        EXPECT_EQ(
            CountOf(n, QStringLiteral("кран"), QStringLiteral("крана"), QStringLiteral("кранов")),
            QString::number(n) + QChar(0x00A0) + QString::fromUtf8(word));
    EXPECT_EQ(
        CountOf(1021, QStringLiteral("кран"), QStringLiteral("крана"), QStringLiteral("кранов")),
        QStringLiteral("1\u00A0021\u00A0кран"));

    FleetData data = OneCrane();
    FleetCrane& c = data.cranes[0];
    c.events = {1500, 0, 2, 0};
    c.duty.group = 5;
    c.duty.kp = 0.5;
    c.duty.lifeUsed = 0.1234;
    const QString html = FleetPageHtml(data, At(2026, 3, 1, 0, 0));
    EXPECT_TRUE(html.contains(QStringLiteral("В парке 1\u00A0кран.")));
    EXPECT_TRUE(html.contains(QStringLiteral(">1\u00A0500<")));
    EXPECT_TRUE(html.contains(QStringLiteral("Kp 0,500")));
    EXPECT_TRUE(html.contains(QStringLiteral(">12,3%<")));
    // The charts' numbers too.
    for (int m = 0; m < 12; ++m)
        data.eventsPerMonth.push_back(
            {QDate(2025, 4, 1).addMonths(m), KindCounts{300000, 0, 0, 0}});
    const QString charts = FleetPageHtml(data, At(2026, 3, 1, 0, 0));
    EXPECT_TRUE(charts.contains(QStringLiteral(">300\u00A0000<"))) << charts.toStdString();
}

// The server's session settings change no figure of the page: a German
// DateStyle, another time zone, the client's encoding.
TEST(FleetPage, TheSessionsSettingsChangeNothing) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QString db = PgCluster::Instance()->NewDatabase();
    QTemporaryDir home;
    // No commissioning date: its rate is that of its cycles' own span.
    QByteArray ident = NameplateIdent(70, "20 t", "A5");
    ident.replace(NameplateField::Commissioned - 1, NameplateField::CommissionedWidth,
                  QByteArray(NameplateField::CommissionedWidth, ' '));
    const KnownCrane crane = Make(ident, 200, 20, {4, 0, 0, 0});
    AddToArchive(home.path(), crane.ident, crane.blocks);
    ASSERT_EQ(RunCli({QStringLiteral("push"), QStringLiteral("--db"), db}, home.path()).exitCode,
              0);
    // A computer and user named in Cyrillic, as on a Russian Windows: text a
    // client encoding of the user's cannot carry.
    EXPECT_EQ(Number(db, QStringLiteral("WITH v AS (UPDATE zorvan.visits SET computer = "
                                        "'ИНЖЕНЕР-ПК', user_name = 'Иванов' RETURNING 1) SELECT "
                                        "count(*) FROM v")),
              1);
    auto page = [&](const QString& folder, const Variables& variables) {
        const CliRun run = RunCli({QStringLiteral("fleet"), QStringLiteral("--db"), db,
                                   QStringLiteral("--out"), home.path() + folder,
                                   QStringLiteral("--now"), QStringLiteral("01.06.2025 08:00")},
                                  home.path(), {}, variables);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QFile file(home.path() + folder + QStringLiteral("/index.html"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QString plain = page(QStringLiteral("/plain"), {});
    ASSERT_TRUE(plain.contains(QStringLiteral("A5"))) << "the crane has a group";
    ASSERT_TRUE(plain.contains(QStringLiteral("ИНЖЕНЕР-ПК/Иванов")));
    const QString german =
        page(QStringLiteral("/german"),
             {{QStringLiteral("PGDATESTYLE"), QStringLiteral("German")},
              {QStringLiteral("PGTZ"), QStringLiteral("Asia/Tokyo")},
              {QStringLiteral("PGCLIENTENCODING"), QStringLiteral("LATIN1")},
              {QStringLiteral("PGOPTIONS"),
               QStringLiteral("-c intervalstyle=sql_standard -c datestyle=German,DMY -c "
                              "timezone=Asia/Tokyo -c lc_numeric=C")}});
    EXPECT_EQ(german, plain);

    // The figures themselves, times included, also when the connection
    // string asks for other settings.
    auto figures = [&](const QString& options) {
        PgConnection conn;
        EXPECT_TRUE(conn.Connect(db + options)) << conn.Error().toStdString();
        FleetData data;
        QString error;
        EXPECT_TRUE(QueryFleet(conn, At(2025, 6, 1, 8, 0), data, error)) << error.toStdString();
        return data;
    };
    const FleetData a = figures({});
    const FleetData b = figures(QStringLiteral(" options='-c datestyle=German,DMY -c "
                                               "timezone=Asia/Tokyo'"));
    ASSERT_EQ(a.cranes.size(), 1u);
    ASSERT_EQ(b.cranes.size(), 1u);
    const DutyInput& x = a.cranes[0].input;
    const DutyInput& y = b.cranes[0].input;
    EXPECT_EQ(x.cyclesOldest, crane.expected.cyclesOldest);
    EXPECT_EQ(x.cyclesNewest, crane.expected.cyclesNewest);
    EXPECT_EQ(y.cyclesOldest, x.cyclesOldest);
    EXPECT_EQ(y.cyclesNewest, x.cyclesNewest);
    EXPECT_EQ(Samples(y), Samples(x));
    EXPECT_EQ(b.cranes[0].duty.group, a.cranes[0].duty.group);
    EXPECT_EQ(b.eventsPerMonth, a.eventsPerMonth);
}

// The bars of the life chart are read against a scale from nothing used.
TEST(FleetPage, TheLifeChartsScaleStartsAtNothingUsed) {
    FleetData data = OneCrane();
    FleetCrane& c = data.cranes[0];
    c.duty.lifeUsed = 0.5;
    const QString html = FleetPageHtml(data, At(2026, 3, 1, 0, 0));
    const qsizetype start = html.indexOf(QStringLiteral("<svg"));
    ASSERT_GE(start, 0);
    const QString chart = html.mid(start, html.indexOf(QStringLiteral("</svg>"), start) - start);
    for (const char* label : {">0</text>", ">25</text>", ">50</text>", ">100</text>"})
        EXPECT_TRUE(chart.contains(QLatin1String(label))) << label;
}

// Type and serial number fill their fields of twenty characters to the last.
TEST(FleetPage, NamesTakeTheWholeTypeAndSerial) {
    EXPECT_EQ(CraneName(TypeAndSerial("ABCDEFGHIJKLMNOPQRST", "12345678901234567890"),
                        QStringLiteral("k")),
              QStringLiteral("ABCDEFGHIJKLMNOPQRST № 12345678901234567890"));
}

TEST(FleetBytea, HexFormGoesBothWays) {
    const QByteArray bytes("\x12\x00\x80\xFF", 4);
    EXPECT_EQ(ByteaHex(bytes), QByteArrayLiteral("\\x120080ff"));
    EXPECT_EQ(FromByteaHex(QStringLiteral("\\x120080ff")), bytes);
    EXPECT_EQ(FromByteaHex(QStringLiteral("120080ff")), QByteArray());
}

} // namespace
