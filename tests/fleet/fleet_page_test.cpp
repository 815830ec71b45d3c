// The fleet page's figures, from a real PostgreSQL server holding known cranes.

#include "fleet/fleet_query.h"
#include "fleet_fixture.h"

#include <QFile>

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
    for (int i = 0; i < cycles; ++i) {
        sums.push_back(Sum(i, std::uint8_t((i * 7) % (heaviest + 1))));
        c.blocks.push_back({SumSlot(i), sums.back()});
    }
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
    // Outside the 12 months up to June 2025 (the page's): left out of the
    // counts. Long ago, the month before the first, and the month after
    // June (a recorder clock ahead).
    for (const auto& [year, month] : {std::pair{20, 1}, {24, 6}, {25, 7}}) {
        QByteArray outside = Event(1, 0x41);
        outside[3] = char(Bcd(month));
        outside[4] = char(Bcd(year));
        c.blocks.push_back({EventSlot(slot++), outside});
    }
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
    const QDateTime now(QDate(2025, 6, 1), QTime(0, 0));
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
        EXPECT_EQ(got.cyclesPerYear, (std::map<int, int>{{2026, want.cycles}}));
    }
    EXPECT_EQ(data.cranes[2].events, (KindCounts{0, 0, 0, 5}));
    const FleetCrane& a = data.cranes[order[0] == 0 ? 0 : 1];
    EXPECT_EQ(a.events, (KindCounts{10, 0, 3, 0}));
    ASSERT_EQ(data.eventsPerMonth.size(), 1u);
    EXPECT_EQ(data.eventsPerMonth[0].first, QDate(2025, 1, 1));
    EXPECT_EQ(data.eventsPerMonth[0].second, (KindCounts{11, 2, 3, 5}));

    // The page itself: self-contained, with both charts.
    const QString out = home.path() + QStringLiteral("/page");
    const CliRun page =
        RunCli({QStringLiteral("fleet"), QStringLiteral("--db"), db, QStringLiteral("--out"), out,
                QStringLiteral("--now"), QStringLiteral("01.06.2025 00:00")},
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
}

} // namespace
