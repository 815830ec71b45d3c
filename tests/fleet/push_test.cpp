// zorvan-cli push against a real PostgreSQL server of the test program's own.

#include "fleet/fleet_schema.h"
#include "fleet_fixture.h"
#include "image/image_file.h"
#include "seal/key_store.h"
#include "seal/run_seal.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <array>
#ifdef Q_OS_UNIX
#include <csignal>
#endif

using namespace fleet_test;

namespace {

auto* const Cluster = ::testing::AddGlobalTestEnvironment(new PgCluster);

QByteArray FileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The sums the fleet page reads hold every record once, as the records do.
void ExpectSumsMatchRecords(const QString& db) {
    EXPECT_EQ(Number(db, QStringLiteral("SELECT sum(records) FROM zorvan.event_months")),
              Number(db, QStringLiteral(
                             "SELECT count(*) FROM zorvan.event_records WHERE time IS NOT NULL")));
    EXPECT_EQ(Number(db, QStringLiteral("SELECT sum(cycles) FROM zorvan.weight_cycles")),
              Number(db, QStringLiteral(
                             "SELECT count(*) FROM zorvan.sum_records WHERE weight IS NOT NULL OR "
                             "reach IS NOT NULL")));
}

qint64 Records(const QString& db, const QString& table, int crane) {
    return Number(db, QStringLiteral(
                          "SELECT count(*) FROM zorvan.%1 r JOIN zorvan.cranes c ON c.id = r.crane "
                          "WHERE c.key = '%2'")
                          .arg(table, RecorderKey(Ident(crane))));
}

class FleetPush : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PgCluster::Instance(), nullptr);
        db_ = PgCluster::Instance()->NewDatabase();
        ASSERT_FALSE(db_.isEmpty());
        ASSERT_TRUE(home_.isValid());
    }
    [[nodiscard]] CliRun Push(const QStringList& args = {}) const {
        return RunCli(QStringList{QStringLiteral("push"), QStringLiteral("--db"), db_} + args,
                      home_.path());
    }
    QString db_;
    QTemporaryDir home_;
};

TEST_F(FleetPush, MakesItsTablesAndRefusesANewerSchemaOrNoServer) {
    AddToArchive(home_.path(), 1, {{EventSlot(0), Event(0)}, {SumSlot(0), Sum(0)}});
    const QString archive = home_.path() + QStringLiteral("/zorvan/archive.sqlite");
    const QByteArray before = FileHash(archive);

    // The database named by ZORVAN_DB when --db is not given.
    CliRun run = RunCli({QStringLiteral("push"), QStringLiteral("--init")}, home_.path(), db_);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT max(version) FROM zorvan.schema_version")),
              FleetSchema::Version);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 0);

    ASSERT_EQ(Number(db_, QStringLiteral("WITH u AS (UPDATE zorvan.schema_version SET version = "
                                         "%1 RETURNING 1) SELECT count(*) FROM u")
                              .arg(FleetSchema::Version + 1)),
              1);
    run = Push();
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.err.trimmed().count(QLatin1Char('\n')), 0) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("newer schema version %1").arg(FleetSchema::Version + 1)))
        << run.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 0);

    run = RunCli({QStringLiteral("push"), QStringLiteral("--db"),
                  QStringLiteral("host=") + home_.path() + QStringLiteral("/none dbname=x")},
                 home_.path());
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("zorvan-cli: cannot reach the database: ")))
        << run.err.toStdString();
    EXPECT_EQ(run.err.trimmed().count(QLatin1Char('\n')), 0) << run.err.toStdString();
    EXPECT_EQ(FileHash(archive), before);
}

TEST_F(FleetPush, SendsEveryDistinctRecordOnceHoweverOftenPushed) {
    std::vector<Block> first;
    for (int i = 0; i < 100; ++i)
        first.push_back({EventSlot(i), Event(i)});
    for (int i = 0; i < 20; ++i)
        first.push_back({SumSlot(i), Sum(i)});
    first.push_back({EventSlot(200), QByteArray(EventLength, char(0xFF))}); // an erased slot
    AddToArchive(home_.path(), 1, first);
    // Slot 5 overwritten since: both records stay.
    AddToArchive(home_.path(), 1, {{EventSlot(5), Event(500, 0x84, 0xFF)}}, 1700000100000);
    std::vector<Block> second;
    for (int i = 0; i < 10; ++i)
        second.push_back({EventSlot(i), Event(i)});
    for (int i = 0; i < 5; ++i)
        second.push_back({SumSlot(i), Sum(i)});
    AddToArchive(home_.path(), 2, second);

    CliRun run = Push();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("2 cranes: ")) &&
                run.out.contains(QStringLiteral("and 3 visits new")))
        << run.out.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 2);
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), 1), 101);
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), 2), 10);
    EXPECT_EQ(Records(db_, QStringLiteral("sum_records"), 1), 20);
    EXPECT_EQ(Records(db_, QStringLiteral("sum_records"), 2), 5);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits")), 3);
    EXPECT_EQ(
        Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records WHERE address = %1")
                        .arg(EventSlot(5))),
        3); // two of crane 1, one of crane 2

    // The decoded columns of known records.
    EXPECT_EQ(
        Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records WHERE address = %1 "
                                   "AND time = '2025-01-08 07:07' AND reason = 65 AND "
                                   "weight = 12 AND reach = 30")
                        .arg(EventSlot(7))),
        2);
    EXPECT_EQ(
        Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records WHERE reason = 132 "
                                   "AND weight IS NULL")),
        1);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT sum(total_cycles) FROM zorvan.sum_records s JOIN "
                                         "zorvan.cranes c ON c.id = s.crane WHERE c.key = '%1'")
                              .arg(RecorderKey(Ident(1)))),
              20 * 1000 + 19 * 20 / 2);
    EXPECT_EQ(
        Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.sum_records WHERE weight = 20 AND "
                                   "reach = 25 AND total_weight = total_cycles")),
        25);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records WHERE bytes = "
                                         "'\\x%1'::bytea")
                              .arg(QString::fromLatin1(Event(3).toHex()))),
              2);

    run = Push();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("0 of 111 event records, 0 of 25 summator records "
                                                "and 0 visits new")))
        << run.out.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records")), 111);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.sum_records")), 25);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits")), 3);
    ExpectSumsMatchRecords(db_);
}

TEST_F(FleetPush, TakesImagesAndRunFoldersAndRefusesADamagedOne) {
    auto image = [](int crane, int events) {
        MemoryImage m;
        const QByteArray ident = Ident(crane);
        const ReadOrigin origin{1710000000000, 4};
        m.Record(IdentSelector, IdentAddress, reinterpret_cast<const std::uint8_t*>(ident.data()),
                 IdentSize, origin);
        for (int i = 0; i < events; ++i)
            m.Record(MemorySelector, EventSlot(i),
                     reinterpret_cast<const std::uint8_t*>(Event(i).constData()), EventLength,
                     origin);
        const QByteArray blank(SumLength, char(0xFF));
        m.Record(MemorySelector, SumSlot(0), reinterpret_cast<const std::uint8_t*>(Sum(0).data()),
                 SumLength, origin);
        m.Record(MemorySelector, SumSlot(1), reinterpret_cast<const std::uint8_t*>(blank.data()),
                 SumLength, origin);
        return ImageFormat::Serialize(m);
    };
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    const QString file = home_.path() + QStringLiteral("/one.img");
    const QString run = home_.path() + QStringLiteral("/run");
    const QString damaged = home_.path() + QStringLiteral("/damaged.img");
    ASSERT_TRUE(write(file, image(7, 30)));
    ASSERT_TRUE(QDir().mkpath(run));
    ASSERT_TRUE(write(run + QStringLiteral("/recorder.img"), image(8, 12)));
    QByteArray bad = image(9, 30);
    bad[bad.size() / 2] = char(bad[bad.size() / 2] ^ 0x20);
    ASSERT_TRUE(write(damaged, bad));

    CliRun result = Push({file, damaged});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.err.contains(QStringLiteral("damaged.img"))) << result.err.toStdString();
    ASSERT_EQ(
        RunCli({QStringLiteral("push"), QStringLiteral("--init"), QStringLiteral("--db"), db_},
               home_.path())
            .exitCode,
        0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 0);

    result = Push({file, run});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), 7), 30);
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), 8), 12);
    EXPECT_EQ(Records(db_, QStringLiteral("sum_records"), 7), 1);
    EXPECT_EQ(
        Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records WHERE com_port = 4 "
                                   "AND first_read = 1710000000000")),
        42);
}

// A sealed run folder goes with its seal as the visit of its readout, and
// the page says who sealed the crane's last reading; one whose files no
// longer match its seal is refused with the reason, nothing pushed.
TEST_F(FleetPush, ASealedRunFolderGoesWithItsSealAndOnlyAsSealed) {
    MemoryImage m;
    const QByteArray ident = Ident(11);
    const ReadOrigin origin{1710000000000, 3};
    m.Record(IdentSelector, IdentAddress, reinterpret_cast<const std::uint8_t*>(ident.data()),
             IdentSize, origin);
    for (int i = 0; i < 5; ++i)
        m.Record(MemorySelector, EventSlot(i),
                 reinterpret_cast<const std::uint8_t*>(Event(i).constData()), EventLength, origin);
    const QString run = home_.path() + QStringLiteral("/sealed");
    ASSERT_TRUE(QDir().mkpath(run));
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(run + QStringLiteral("/recorder.img"), ImageFormat::Serialize(m)));
    ASSERT_TRUE(write(run + QStringLiteral("/notes.txt"), "inspected\n"));
    const SealOutcome seal = SealRunFolder(run, nullptr, QStringLiteral("07.12.2026 09:04"),
                                           home_.path() + QStringLiteral("/keys"));
    ASSERT_TRUE(seal.ok) << seal.error.toStdString();

    CliRun result = Push({run});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    PgConnection db;
    ASSERT_TRUE(db.Connect(db_));
    const PgConnection::Result kept = db.Exec(QStringLiteral(
        "SELECT s.key_id, s.sealed_by, s.manifest, s.signature, s.public_key, v.com_port FROM "
        "zorvan.visit_seals s JOIN zorvan.visits v ON v.id = s.visit"));
    ASSERT_TRUE(kept.ok) << db.Error().toStdString();
    ASSERT_EQ(kept.rows.size(), 1u);
    const auto file = [&run](const char* name) {
        QFile f(run + QLatin1Char('/') + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    EXPECT_EQ(kept.Value(0, 0), KeyIdText(seal.key.id));
    EXPECT_EQ(kept.Value(0, 1), SealUserName() + QLatin1Char('@') + SealComputerName());
    EXPECT_EQ(kept.Value(0, 2), file("manifest.txt"));
    EXPECT_EQ(kept.Value(0, 3), file("manifest.txt.minisig"));
    EXPECT_EQ(kept.Value(0, 4), file("zorvan.pub"));
    EXPECT_EQ(kept.Value(0, 5), QStringLiteral("3"));
    // Pushed again: the visit and its seal once.
    ASSERT_EQ(Push({run}).exitCode, 0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visit_seals")), 1);

    const QString page = home_.path() + QStringLiteral("/page");
    ASSERT_EQ(RunCli({QStringLiteral("fleet"), QStringLiteral("--db"), db_, QStringLiteral("--out"),
                      page},
                     home_.path())
                  .exitCode,
              0);
    QFile html(page + QStringLiteral("/index.html"));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("<th>Запечатал</th>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<td>%1@%2, ключ %3</td>")
                                  .arg(SealUserName(), SealComputerName(), KeyIdText(seal.key.id))))
        << text.toStdString();

    ASSERT_TRUE(write(run + QStringLiteral("/notes.txt"), "inspected, all fine\n"));
    const qint64 visits = Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits"));
    ASSERT_TRUE(db.Exec(QStringLiteral("DELETE FROM zorvan.visit_seals")).ok);
    result = Push({run});
    EXPECT_EQ(result.exitCode, 10);
    EXPECT_TRUE(result.err.contains(QStringLiteral("does not match its seal (notes.txt: its "
                                                   "SHA-256 is not the sealed one); nothing "
                                                   "pushed")))
        << result.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visit_seals")), 0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits")), visits);
}

TEST_F(FleetPush, EightPushesAtOnceLeaveEveryRecordOnce) {
    constexpr int Pushes = 8;
    std::array<QTemporaryDir, Pushes> homes;
    for (int k = 0; k < Pushes; ++k) {
        for (int crane = 20; crane < 23; ++crane) {
            std::vector<Block> blocks;
            for (int i = k * 20; i < k * 20 + 60; ++i)
                blocks.push_back({EventSlot(i), Event(i)});
            for (int i = k * 5; i < k * 5 + 20; ++i)
                blocks.push_back({SumSlot(i), Sum(i)});
            AddToArchive(homes[std::size_t(k)].path(), crane, blocks);
        }
    }
    // A database with no tables yet: they are made once, too.
    std::array<QProcess, Pushes> pushes;
    for (int k = 0; k < Pushes; ++k)
        StartCli(pushes[std::size_t(k)], {QStringLiteral("push"), QStringLiteral("--db"), db_},
                 homes[std::size_t(k)].path());
    for (QProcess& p : pushes) {
        const CliRun r = Finish(p);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
    for (int crane = 20; crane < 23; ++crane) {
        EXPECT_EQ(Records(db_, QStringLiteral("event_records"), crane), 7 * 20 + 60);
        EXPECT_EQ(Records(db_, QStringLiteral("sum_records"), crane), 7 * 5 + 20);
    }
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 3);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.schema_version")), 1);
    ExpectSumsMatchRecords(db_);
}

// The archive is read crane by crane as the push goes: a crane that cannot be
// read after others were sent rolls all of it back.
TEST_F(FleetPush, ACraneOfTheArchiveThatCannotBeReadPushesNothing) {
    int first = 40, last = 41;
    if (RecorderKey(Ident(first)) > RecorderKey(Ident(last)))
        std::swap(first, last);
    std::vector<Block> few, many;
    for (int i = 0; i < 3000; ++i)
        (i < 10 ? few : many).push_back({EventSlot(i), Event(i)});
    AddToArchive(home_.path(), first, few); // its blocks come first in the file's tree
    AddToArchive(home_.path(), last, many);
    const QString path = home_.path() + QStringLiteral("/zorvan/") + ArchiveDatabase::FileName;
    // The last leaf page of the blocks: the last crane's newest rows.
    qint64 page = 0, pageSize = 0;
    {
        const QString name = QStringLiteral("damage");
        {
            QSqlDatabase archive = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            archive.setDatabaseName(path);
            ASSERT_TRUE(archive.open());
            QSqlQuery q(archive);
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
            pageSize = q.value(0).toLongLong();
            ASSERT_TRUE(
                q.exec(QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'blocks' "
                                      "AND pagetype = 'leaf' ORDER BY path DESC LIMIT 1")) &&
                q.next())
                << q.lastError().text().toStdString();
            page = q.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(name);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * pageSize));
    ASSERT_EQ(file.write(QByteArray(int(pageSize), '\0')), pageSize);
    file.close();

    const CliRun result = Push();
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.err.contains(QStringLiteral("cannot read the archive")) &&
                result.err.contains(QStringLiteral("nothing pushed")))
        << result.err.toStdString();
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.cranes")), 0);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.event_records")), 0);
}

// Two cranes in the database with 10 records each and 50 in the archive, and
// a push of the archive that has sent the first crane's records and waits for
// the second one's row, which holder keeps locked.
class HeldPush : public FleetPush {
protected:
    void SetUp() override {
        FleetPush::SetUp();
        // Cranes are pushed in the order of their keys.
        if (RecorderKey(Ident(first)) > RecorderKey(Ident(last)))
            std::swap(first, last);
        QTemporaryDir older;
        for (int crane : {first, last}) {
            std::vector<Block> few, many;
            for (int i = 0; i < 50; ++i)
                (i < 10 ? few : many).push_back({EventSlot(i), Event(i)});
            AddToArchive(older.path(), crane, few, 1700000000000);
            AddToArchive(home_.path(), crane, few, 1700000001000);
            AddToArchive(home_.path(), crane, many, 1700000002000);
        }
        ASSERT_EQ(
            RunCli({QStringLiteral("push"), QStringLiteral("--db"), db_}, older.path()).exitCode,
            0);
        ASSERT_TRUE(holder.Connect(db_));
        ASSERT_TRUE(holder.Exec(QStringLiteral("BEGIN")).ok);
        ASSERT_TRUE(
            holder
                .Exec(QStringLiteral("SELECT id FROM zorvan.cranes WHERE key = $1 FOR UPDATE"),
                      {RecorderKey(Ident(last)).toUtf8()})
                .ok);
        StartCli(push, {QStringLiteral("push"), QStringLiteral("--db"), db_}, home_.path());
        bool waiting = false;
        for (int i = 0; i < 600 && !waiting; ++i) {
            waiting = Number(db_, QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                                                 "wait_event_type = 'Lock'")) == 1;
            if (!waiting)
                QThread::msleep(50);
        }
        ASSERT_TRUE(waiting);
    }

    void ExpectAsBefore() const {
        EXPECT_EQ(Records(db_, QStringLiteral("event_records"), first), 10);
        EXPECT_EQ(Records(db_, QStringLiteral("event_records"), last), 10);
        EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits")), 2);
    }

    int first = 30, last = 31;
    PgConnection holder;
    QProcess push;
};

TEST_F(HeldPush, KilledMidwayLeavesNothingAndTheNextPushCompletes) {
    push.kill(); // SIGKILL
    push.waitForFinished(10000);
    ASSERT_TRUE(holder.Exec(QStringLiteral("ROLLBACK")).ok);
    // The server ends the dead client's transaction once it sees the socket closed.
    for (int i = 0; i < 200 && Number(db_, QStringLiteral("SELECT count(*) FROM pg_stat_activity "
                                                          "WHERE state LIKE 'idle in%' OR "
                                                          "wait_event_type = 'Lock'")) > 0;
         ++i)
        QThread::msleep(50);
    ExpectAsBefore();

    const CliRun again =
        RunCli({QStringLiteral("push"), QStringLiteral("--db"), db_}, home_.path());
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), first), 50);
    EXPECT_EQ(Records(db_, QStringLiteral("event_records"), last), 50);
    EXPECT_EQ(Number(db_, QStringLiteral("SELECT count(*) FROM zorvan.visits")), 6);
    ExpectSumsMatchRecords(db_);
}

#ifdef Q_OS_UNIX
// Ctrl+C does not wait for the server: the statement waiting is cancelled and
// the push rolled back while the lock is still held. A stop from outside
// (systemd's SIGTERM) is taken as Ctrl+C.
void ExpectStoppedAtOnce(QProcess& push, int signal) {
    ASSERT_EQ(::kill(pid_t(push.processId()), signal), 0);
    ASSERT_TRUE(push.waitForFinished(10000));
    EXPECT_EQ(push.exitCode(), 130);
    EXPECT_TRUE(QString::fromLocal8Bit(push.readAllStandardError())
                    .contains(QStringLiteral("push interrupted; nothing pushed")));
}

TEST_F(HeldPush, CtrlCWhileTheServerKeepsItWaitingEndsThePushAtOnce) {
    ExpectStoppedAtOnce(push, SIGINT);
    ExpectAsBefore();
    ASSERT_TRUE(holder.Exec(QStringLiteral("ROLLBACK")).ok);
}

TEST_F(HeldPush, SigtermWhileTheServerKeepsItWaitingEndsThePushAtOnce) {
    ExpectStoppedAtOnce(push, SIGTERM);
    ExpectAsBefore();
    ASSERT_TRUE(holder.Exec(QStringLiteral("ROLLBACK")).ok);
}
#endif

} // namespace
