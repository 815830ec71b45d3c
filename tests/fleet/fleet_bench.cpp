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
#include <QFileInfo>
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

const char* const Loads[] = {"5 t", "10 t", "16 t", "25 t", "32 t"};
const char* const Groups[] = {"A3", "A4", "A5", "A6", "A7"};
// Three models, many cranes of each, told apart by their serial numbers.
const char* const Models[] = {"КС-45717К-1", "Кран учебный", "КС-55713-5В"};

QByteArray BenchIdent(int n) {
    return ModelIdent(Models[n % 3], QByteArray::number(4570 + n), Loads[n % 5],
                      Groups[(n / 5) % 5]);
}

// Crane n with a full event memory and a full summator: every record distinct.
// Its nameplate varies with n, so that the page rates cranes of every kind.
PushCrane FullCrane(int n) {
    static const int tonnes[] = {5, 10, 16, 25, 32};
    PushCrane c;
    c.identification = BenchIdent(n);
    // Loads up to 30 %, 40 %, ... 100 % of the rated load, by crane.
    const int heaviest = std::max(1, tonnes[n % 5] * (3 + (n / 25 + n) % 8) / 10);
    c.key = RecorderKey(c.identification);
    c.firstRead = 1700000000000;
    c.lastRead = 1700000000000 + n;
    c.visits.push_back({c.lastRead, QStringLiteral("bench"), QStringLiteral("bench"), 3, 1,
                        QStringLiteral("whole"), std::nullopt});
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

// The page over a fleet with a long history: ZORVAN_FLEET_HISTORY_CRANES
// cranes (1000) with 10 years of sums each, made on the server in the form a
// push leaves them (visits monthly, events of 8 reasons in every month, the
// summator's cycles per year and weight, the counter's samples with two
// resets, the newest summator records), then the page made by zorvan-cli
// fleet: its time and largest resident size.
TEST(FleetBench, PageOfALongHistory) {
    ASSERT_NE(PgCluster::Instance(), nullptr);
    const int cranes = Setting("ZORVAN_FLEET_HISTORY_CRANES", 1000);
    const QString conninfo = PgCluster::Instance()->NewDatabase();
    PgConnection db;
    QString error;
    ASSERT_TRUE(db.Connect(conninfo)) << db.Error().toStdString();
    ASSERT_TRUE(FleetSchema::Ensure(db, error)) << error.toStdString();
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(db.Exec(QStringLiteral("BEGIN")).ok);
    for (int n = 0; n < cranes; ++n) {
        const QByteArray ident = BenchIdent(n);
        ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO zorvan.cranes (key, identification, "
                                           "first_read, last_read, sum_seq, erased) VALUES ($1, "
                                           "$2, 1465000000000, 1780000000000, 400000, "
                                           "'2016-06-01')"),
                            {RecorderKey(ident).toUtf8(), ByteaHex(ident)})
                        .ok)
            << db.Error().toStdString();
    }
    const char* const fill[] = {
        "INSERT INTO zorvan.visits (crane, started, computer, user_name, com_port, memory, "
        "outcome) SELECT c.id, 1465000000000 + m * 2629800000::bigint, 'bench', 'bench', 3, 2, "
        "'whole' FROM zorvan.cranes c, generate_series(0, 119) m",
        "INSERT INTO zorvan.event_months SELECT c.id, date '2016-07-01' + make_interval(months "
        "=> m), r, 1 + (c.id * 7 + m * 3 + r) % 40 FROM zorvan.cranes c, generate_series(0, 119) "
        "m, generate_series(64, 71) r",
        "INSERT INTO zorvan.event_records SELECT c.id, 196608 + 11 * k, int4send(k) || "
        "int8send(c.id), '2026-06-01'::timestamp + k * interval '1 hour', 64 + k % 8, 10, 20, "
        "1, 2, 3 FROM zorvan.cranes c, generate_series(0, 19) k",
        "INSERT INTO zorvan.weight_cycles SELECT c.id, w, sum(100 + (c.id + y * w) % 500), "
        "timestamp '2016-06-01', timestamp '2026-05-31' FROM zorvan.cranes c, "
        "generate_series(0, 9) y, generate_series(0, (ARRAY[5, 10, 16, 25, 32])[(c.id - 1) % 5 "
        "+ 1]) w GROUP BY c.id, w",
        "INSERT INTO zorvan.sum_records (crane, seq, address, bytes, time, weight, reach, "
        "total_weight, total_cycles, first_read, last_read, com_port) SELECT c.id, 399900 + k, "
        "65536 + 16 * k, int4send(k) || "
        "int8send(c.id), '2026-05-31'::timestamp + k * interval '1 minute', 3, 25, 900000 + k, "
        "300000 + k, 1, 2, 3 FROM zorvan.cranes c, generate_series(1, 100) k",
        "INSERT INTO zorvan.counter_samples SELECT c.id, s.seq, s.time, s.cycles FROM "
        "zorvan.cranes c, (VALUES (1, timestamp '2016-06-01', 0), (120000, '2019-05-01', "
        "160000), (120001, '2019-05-02', 0), (260000, '2022-09-01', 170000), (260001, "
        "'2022-09-02', 0), (400000, '2026-05-31 01:40', 300100)) s(seq, time, cycles)",
        "COMMIT",
        "ANALYZE",
    };
    for (const char* sql : fill)
        ASSERT_TRUE(db.Exec(QString::fromLatin1(sql)).ok) << db.Error().toStdString();
    std::printf("%d cranes with 10 years of history made in %.1f s, database %s\n", cranes,
                double(timer.elapsed()) / 1000,
                qPrintable(db.Exec(QStringLiteral("SELECT pg_size_pretty(pg_database_size("
                                                  "current_database()))"))
                               .Value(0, 0)));

    // zorvan-cli fleet under GNU time (Debian's "time"), for its own
    // processor time and largest resident size.
    QTemporaryDir out;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGOPTIONS"), QStringLiteral("-c log_min_duration_statement=0"));
    cli.setProcessEnvironment(env);
    const QStringList args{QStringLiteral(ZORVAN_CLI_PROGRAM),
                           QStringLiteral("fleet"),
                           QStringLiteral("--db"),
                           conninfo,
                           QStringLiteral("--out"),
                           out.path(),
                           QStringLiteral("--now"),
                           QStringLiteral("15.06.2026 12:00")};
    const QString gnuTime = QStringLiteral("/usr/bin/time");
    const bool timed = QFileInfo::exists(gnuTime);
    timer.restart();
    if (timed)
        cli.start(gnuTime,
                  QStringList{QStringLiteral("-f"), QStringLiteral("TIME %U %S %M")} + args);
    else
        cli.start(args.first(), args.mid(1));
    const CliRun run = Finish(cli);
    const qint64 ms = timer.elapsed();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList figures =
        run.err.section(QStringLiteral("TIME "), 1).simplified().split(QLatin1Char(' '));
    if (figures.size() == 3)
        std::printf("zorvan-cli fleet over %d cranes: %lld ms, %.2f s of processor time, largest "
                    "resident size %lld MB, page %lld KB\n",
                    cranes, static_cast<long long>(ms),
                    figures[0].toDouble() + figures[1].toDouble(), figures[2].toLongLong() / 1024,
                    static_cast<long long>(
                        QFileInfo(out.filePath(QStringLiteral("index.html"))).size() / 1024));
    else
        std::printf("zorvan-cli fleet over %d cranes: %lld ms\n", cranes,
                    static_cast<long long>(ms));
    // What each statement of the page took on the server, from its log.
    const QString log = db.Exec(QStringLiteral("SELECT pg_read_file(setting || '/../log') FROM "
                                               "pg_settings WHERE name = 'data_directory'"))
                            .Value(0, 0);
    for (const QString& line : log.split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral("duration:")) && !line.contains(QStringLiteral("INSERT")))
            std::printf("  %s\n",
                        qPrintable(line.section(QStringLiteral("duration:"), 1).left(150)));
    timer.restart();
    FleetData data;
    ASSERT_TRUE(QueryFleet(db, QDateTime(QDate(2026, 6, 15), QTime(12, 0)), data, error))
        << error.toStdString();
    const qint64 queryMs = timer.elapsed();
    const QString html = FleetPageHtml(data, QDateTime(QDate(2026, 6, 15), QTime(12, 0)));
    std::printf("in this process: queries %lld ms, with the page %lld ms\n",
                static_cast<long long>(queryMs), static_cast<long long>(timer.elapsed()));
    EXPECT_EQ(data.cranes.size(), std::size_t(cranes));
    if (const QString path = qEnvironmentVariable("ZORVAN_FLEET_HISTORY_PAGE"); !path.isEmpty()) {
        QFile page(path);
        if (page.open(QIODevice::WriteOnly))
            page.write(html.toUtf8());
    }
}

} // namespace
