#include "fleet/archive_cranes.h"

#include "archive/archive_database.h"
#include "duty/duty_input.h"
#include "link/recorder_requests.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace RecorderMap;
using ArchiveDatabase::Why;

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
        PushVisit v{q.value(1).toLongLong(),
                    q.value(2).toString(),
                    q.value(3).toString(),
                    q.value(4).toInt(),
                    std::nullopt,
                    QString(),
                    std::nullopt};
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
    // A readout walks newest first and numbers the blocks as it stores them;
    // a later visit stores what the recorder wrote since, or all of it anew,
    // while records overwritten meanwhile keep their older visit. So the
    // recorder's order, oldest first, is that of the visits, and within one
    // the reverse of the walk.
    q.prepare(QStringLiteral("SELECT memory, address, bytes, first_read, last_read, com_port "
                             "FROM blocks WHERE crane = ? AND memory IN (1, 2) ORDER BY visit, "
                             "seq DESC"));
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
    // The erase time read last, with the newest records.
    q.prepare(QStringLiteral("SELECT bytes FROM blocks WHERE crane = ? AND selector = ? AND "
                             "address = ? ORDER BY last_read DESC, seq DESC LIMIT 1"));
    q.addBindValue(id);
    q.addBindValue(int(EraseTimeSelector));
    q.addBindValue(qint64(EraseTimeAddress));
    if (!q.exec())
        return fail(Why(q.lastError()));
    if (q.next()) {
        const QByteArray bytes = q.value(0).toByteArray();
        if (bytes.size() == ClockLength)
            crane.erased = ClockFromBytes({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           std::size_t(ClockLength)});
    }
    ++next_;
    return true;
}
