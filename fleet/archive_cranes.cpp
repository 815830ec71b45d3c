#include "fleet/archive_cranes.h"

#include "archive/archive_database.h"
#include "link/recorder_requests.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace RecorderMap;
using ArchiveDatabase::Why;

namespace {} // namespace

ArchiveCranes::ArchiveCranes() : connection_(ArchiveDatabase::NewConnectionName()) {}

ArchiveCranes::~ArchiveCranes() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen()) {
            db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool ArchiveCranes::fail(const QString& why) {
    error_ = QStringLiteral("cannot read the archive %1: %2").arg(path_, why);
    return false;
}

bool ArchiveCranes::Open(const QString& path) {
    path_ = path;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path);
    // Read only: a push never changes the archive.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open())
        return fail(Why(db.lastError()));
    QSqlQuery q(db);
    // One snapshot of the whole archive, held until the push is over.
    if (!q.exec(QStringLiteral("BEGIN")))
        return fail(Why(q.lastError()));
    if (!q.exec(QStringLiteral("SELECT max(version) FROM schema_version")) || !q.next())
        return fail(Why(q.lastError()));
    if (q.value(0).toInt() > ArchiveDatabase::SchemaVersion) {
        error_ = QStringLiteral("the archive %1 has the newer schema version %2")
                     .arg(path)
                     .arg(q.value(0).toInt());
        return false;
    }
    std::map<qint64, std::size_t> index;
    if (!q.exec(QStringLiteral("SELECT id, key, identification, first_read, last_read FROM "
                               "cranes ORDER BY key")))
        return fail(Why(q.lastError()));
    while (q.next()) {
        index[q.value(0).toLongLong()] = cranes_.size();
        cranes_.push_back({q.value(0).toLongLong(),
                           {q.value(1).toString(),
                            q.value(2).toByteArray(),
                            q.value(3).toLongLong(),
                            q.value(4).toLongLong(),
                            {},
                            {},
                            {}}});
    }
    // The visits are few: all of them now.
    if (!q.exec(QStringLiteral("SELECT crane, started, computer, user_name, com_port, memory, "
                               "outcome FROM visits ORDER BY id")))
        return fail(Why(q.lastError()));
    while (q.next()) {
        const auto at = index.find(q.value(0).toLongLong());
        if (at == index.end())
            continue;
        PushVisit v{q.value(1).toLongLong(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toInt(),      std::nullopt,          QString()};
        if (!q.isNull(5))
            v.memory = q.value(5).toInt();
        if (!q.isNull(6))
            v.outcome = q.value(6).toString();
        cranes_[at->second].second.visits.push_back(std::move(v));
    }
    return true;
}

bool ArchiveCranes::Next(PushCrane& crane) {
    if (next_ >= cranes_.size() || !error_.isEmpty())
        return false;
    const auto& [id, known] = cranes_[next_];
    crane = known;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT memory, address, bytes, first_read, last_read, com_port "
                             "FROM blocks WHERE crane = ? AND memory IN (1, 2)"));
    q.addBindValue(id);
    if (!q.exec())
        return fail(Why(q.lastError()));
    while (q.next()) {
        const int memory = q.value(0).toInt();
        PushRecord r{std::uint32_t(q.value(1).toLongLong()), q.value(2).toByteArray(),
                     q.value(3).toLongLong(), q.value(4).toLongLong(), q.value(5).toInt()};
        const int length = memory == 1 ? EventLength : SumLength;
        if (r.bytes.size() != length || BlankRecord(r.bytes))
            continue;
        (memory == 1 ? crane.events : crane.sums).push_back(std::move(r));
    }
    if (q.lastError().isValid())
        return fail(Why(q.lastError()));
    ++next_;
    return true;
}
