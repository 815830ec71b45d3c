// fleet-bench: pushes simulated cranes with full memories (every event and
// summator slot holding a record) into a throwaway PostgreSQL server and
// reports the rows per second; then makes the fleet page over them and
// reports its time. Not run by CTest.
//   ZORVAN_FLEET_CRANES=N   cranes (100)
//   ZORVAN_FLEET_BATCH=N    cranes per push, i.e. per transaction (10)
// Then the way zorvan-cli push takes an engineer's archive: full cranes
// written into a SQLite archive as readouts write it, read back in one
// snapshot and pushed in one transaction, each step timed.
//   ZORVAN_FLEET_ARCHIVE_CRANES=N   cranes of that archive (10)

#include "fleet/archive_cranes.h"
#include "fleet/fleet_page.h"
#include "fleet/fleet_push.h"
#include "fleet/fleet_query.h"
#include "fleet/fleet_schema.h"
#include "fleet_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>

using namespace fleet_test;

namespace {

auto* const Cluster = ::testing::AddGlobalTestEnvironment(new PgCluster);

int Setting(const char* name, int fallback) {
    const int v = qEnvironmentVariableIntValue(name);
    return v > 0 ? v : fallback;
}

// Crane n with a full event memory and a full summator: every record distinct.
// Its nameplate varies with n, so that the page rates cranes of every kind.
PushCrane FullCrane(int n) {
    static const char* const loads[] = {"5 t", "10 t", "16 t", "25 t", "32 t"};
    static const int tonnes[] = {5, 10, 16, 25, 32};
    static const char* const groups[] = {"A3", "A4", "A5", "A6", "A7"};
    PushCrane c;
    c.identification = NameplateIdent(1000 + n, loads[n % 5], groups[(n / 5) % 5]);
    // Loads up to 30 %, 40 %, ... 100 % of the rated load, by crane.
    const int heaviest = std::max(1, tonnes[n % 5] * (3 + (n / 25 + n) % 8) / 10);
    c.key = RecorderKey(c.identification);
    c.firstRead = 1700000000000;
    c.lastRead = 1700000000000 + n;
    c.visits.push_back({c.lastRead, QStringLiteral("bench"), QStringLiteral("bench"), 3, 1,
                        QStringLiteral("whole")});
    int i = 0;
    for (std::uint32_t page = EventStart; page < EventEnd; page += PageSize)
        for (std::uint32_t slot = page; slot <= page + LastSlotOffset; slot += EventLength, ++i) {
            QByteArray bytes = Event(i, std::uint8_t(0x40 | (i % 8)), std::uint8_t(i % 50));
            bytes[7] = char(i >> 8); // distinct however the clock repeats
            bytes[8] = char(i);
            c.events.push_back({slot, bytes, c.firstRead, c.lastRead, 3});
        }
    for (int k = 0; k < 8192; ++k)
        c.sums.push_back({SumSlot(k), Sum(k, std::uint8_t((k * 7) % (heaviest + 1))), c.firstRead,
                          c.lastRead, 3});
    return c;
}

TEST(FleetBench, PushFullCranes) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const QString conninfo = PgCluster::Instance()->NewDatabase();
    const int cranes = Setting("ZORVAN_FLEET_CRANES", 100);
    const int batch = Setting("ZORVAN_FLEET_BATCH", 10);
    PgConnection db;
    QString error;
    ASSERT_TRUE(db.Connect(conninfo)) << db.Error().toStdString();
    ASSERT_TRUE(FleetSchema::Ensure(db, error)) << error.toStdString();

    qint64 rows = 0, pushMs = 0;
    for (int from = 0; from < cranes; from += batch) {
        std::vector<PushCrane> part;
        for (int n = from; n < std::min(cranes, from + batch); ++n)
            part.push_back(FullCrane(n));
        QElapsedTimer timer;
        timer.start();
        PushTally tally;
        ASSERT_TRUE(PushCranes(db, std::move(part), tally, error)) << error.toStdString();
        pushMs += timer.elapsed();
        rows += tally.eventsAdded + tally.sumsAdded;
        std::printf("cranes %d-%d: %lld rows, %lld ms in all so far\n", from,
                    std::min(cranes, from + batch) - 1, static_cast<long long>(rows),
                    static_cast<long long>(pushMs));
        std::fflush(stdout);
    }
    EXPECT_EQ(rows, qint64(cranes) * (77441 + 8192));
    std::printf("pushed %lld rows of %d cranes in %.1f s: %.0f rows/s\n",
                static_cast<long long>(rows), cranes, double(pushMs) / 1000,
                double(rows) * 1000 / double(std::max<qint64>(pushMs, 1)));

    // The page as zorvan-cli fleet makes it: its queries, the charts and the HTML.
    const QDateTime now(QDate(2026, 6, 1), QTime(0, 0));
    QElapsedTimer timer;
    timer.start();
    FleetData data;
    ASSERT_TRUE(QueryFleet(db, now, data, error)) << error.toStdString();
    const qint64 queryMs = timer.elapsed();
    const QString html = FleetPageHtml(data, now);
    std::printf("fleet page of %zu cranes: %lld ms (queries %lld ms), %lld characters\n",
                data.cranes.size(), static_cast<long long>(timer.elapsed()),
                static_cast<long long>(queryMs), static_cast<long long>(html.size()));
    EXPECT_EQ(data.cranes.size(), std::size_t(cranes));
    const auto rated =
        std::count_if(data.cranes.begin(), data.cranes.end(),
                      [](const FleetCrane& c) { return c.duty.lifeUsed.has_value(); });
    std::printf("cranes with a share of life used: %lld of %zu\n", static_cast<long long>(rated),
                data.cranes.size());
    EXPECT_EQ(rated, cranes);
    std::printf("database: %s\n",
                qPrintable(db.Exec(QStringLiteral("SELECT pg_size_pretty(pg_database_size("
                                                  "current_database()))"))
                               .Value(0, 0)));
    // The page itself, to look at: ZORVAN_FLEET_PAGE=path.
    if (const QString path = qEnvironmentVariable("ZORVAN_FLEET_PAGE"); !path.isEmpty()) {
        QFile page(path);
        if (page.open(QIODevice::WriteOnly))
            page.write(html.toUtf8());
    }
}

TEST(FleetBench, PushFromAnArchive) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const int cranes = Setting("ZORVAN_FLEET_ARCHIVE_CRANES", 10);
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString path = home.filePath(QStringLiteral("zorvan/") + ArchiveDatabase::FileName);
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("zorvan"))));

    QElapsedTimer timer;
    timer.start();
    qint64 blocks = 0;
    for (int n = 0; n < cranes; ++n) {
        const PushCrane c = FullCrane(n);
        CraneStore store;
        ASSERT_TRUE(store.Open(path, c.key, c.identification, 3, c.firstRead))
            << store.Error().toStdString();
        for (const auto* records : {&c.events, &c.sums})
            for (const PushRecord& r : *records) {
                ASSERT_TRUE(store.Add(MemorySelector, r.address,
                                      reinterpret_cast<const std::uint8_t*>(r.bytes.constData()),
                                      std::uint16_t(r.bytes.size()), r.firstRead));
                ++blocks;
            }
        store.Close();
    }
    const qint64 writeMs = timer.restart();
    PgConnection db;
    QString error;
    ASSERT_TRUE(db.Connect(PgCluster::Instance()->NewDatabase())) << db.Error().toStdString();
    ASSERT_TRUE(FleetSchema::Ensure(db, error)) << error.toStdString();
    timer.restart();
    ArchiveCranes archive;
    ASSERT_TRUE(archive.Open(path)) << archive.Error().toStdString();
    PushTally tally;
    ASSERT_TRUE(PushCranes(db, archive, tally, error)) << error.toStdString();
    const qint64 pushMs = timer.elapsed();
    const qint64 rows = tally.eventsAdded + tally.sumsAdded;
    EXPECT_EQ(rows, qint64(cranes) * (77441 + 8192));
    std::printf("archive of %d cranes, %lld MB: written as readouts write it %.1f s (%.0f "
                "blocks/s), read back and pushed %.1f s (%.0f rows/s)\n",
                cranes, static_cast<long long>(QFileInfo(path).size() >> 20),
                double(writeMs) / 1000,
                double(blocks) * 1000 / double(std::max<qint64>(writeMs, 1)), double(pushMs) / 1000,
                double(rows) * 1000 / double(std::max<qint64>(pushMs, 1)));
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        std::printf("largest resident size of the bench: %ld MB\n", usage.ru_maxrss / 1024);
#endif
}

} // namespace
