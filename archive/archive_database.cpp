#include "archive/archive_database.h"

#include "link/recorder_requests.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>

using namespace RecorderMap;
using ArchiveDatabase::Why;

namespace {

// Long enough for another process's transaction (a batch of blocks, an
// import), short enough that a stuck one ends the archiving, not the readout.
constexpr int BusyTimeoutMs = 10000;

const char* const Schema[] = {
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS cranes ("
    " id INTEGER PRIMARY KEY,"
    " key TEXT NOT NULL UNIQUE,"
    " identification BLOB NOT NULL,"
    " first_read INTEGER NOT NULL,"
    " last_read INTEGER NOT NULL,"
    " seq INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS visits ("
    " id INTEGER PRIMARY KEY,"
    " crane INTEGER NOT NULL REFERENCES cranes(id),"
    " started INTEGER NOT NULL,"
    " computer TEXT NOT NULL,"
    " user_name TEXT NOT NULL,"
    " com_port INTEGER NOT NULL,"
    " memory INTEGER,"
    " outcome TEXT)",
    "CREATE TABLE IF NOT EXISTS blocks ("
    " crane INTEGER NOT NULL REFERENCES cranes(id),"
    " memory INTEGER NOT NULL,"
    " selector INTEGER NOT NULL,"
    " address INTEGER NOT NULL,"
    " bytes BLOB NOT NULL,"
    " first_read INTEGER NOT NULL,"
    " last_read INTEGER NOT NULL,"
    " com_port INTEGER NOT NULL,"
    " visit INTEGER NOT NULL,"
    " seq INTEGER NOT NULL,"
    " PRIMARY KEY (crane, selector, address, bytes)) WITHOUT ROWID",
    "CREATE INDEX IF NOT EXISTS blocks_latest ON blocks (crane, selector, address, seq)",
    "CREATE TABLE IF NOT EXISTS anchors ("
    " crane INTEGER NOT NULL REFERENCES cranes(id),"
    " memory INTEGER NOT NULL,"
    " generation INTEGER NOT NULL,"
    " pointer INTEGER,"
    " read_at INTEGER,"
    " PRIMARY KEY (crane, memory))",
    "CREATE TABLE IF NOT EXISTS imports ("
    " file TEXT PRIMARY KEY,"
    " imported_at INTEGER NOT NULL,"
    " result TEXT NOT NULL)",
};

bool Exec(QSqlDatabase& db, const QString& sql, QString& error) {
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    error = Why(query.lastError());
    return false;
}

// WAL lets a readout's long read transaction and other processes' writes
// go on side by side; without it the archive would lock itself. Switching
// needs the file to itself, and SQLite does not wait for that: another
// process making the archive at the same moment is waited for here.
bool SetWal(QSqlDatabase& db, QString& error) {
    constexpr int Attempts = 200;
    constexpr int PauseMs = 50;
    for (int attempt = 0;; ++attempt) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && query.next() &&
            query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0)
            return true;
        const QSqlError why = query.lastError();
        const QString text = why.databaseText();
        const bool busy = !why.isValid() || why.nativeErrorCode() == QStringLiteral("5") ||
                          why.nativeErrorCode() == QStringLiteral("6") ||
                          text.contains(QStringLiteral("locked")) ||
                          text.contains(QStringLiteral("busy"));
        if (!busy || attempt + 1 >= Attempts) {
            error = why.isValid() ? Why(why) : QStringLiteral("journal_mode is not WAL");
            return false;
        }
        QThread::msleep(PauseMs);
    }
}

bool CreateSchema(QSqlDatabase& db, QString& error) {
    // A new file becomes a WAL database before its first table.
    if (!ArchiveDatabase::BeginWrite(db, &error))
        return false;
    for (const char* statement : Schema)
        if (!Exec(db, QString::fromLatin1(statement), error)) {
            db.rollback();
            return false;
        }
    // Another process may have made it meanwhile.
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT count(*) FROM schema_version")) || !count.next()) {
        error = Why(count.lastError());
        db.rollback();
        return false;
    }
    if (count.value(0).toInt() == 0 &&
        !Exec(db,
              QStringLiteral("INSERT INTO schema_version VALUES (%1)")
                  .arg(ArchiveDatabase::SchemaVersion),
              error)) {
        db.rollback();
        return false;
    }
    count.finish();
    if (!db.commit()) {
        error = Why(db.lastError());
        return false;
    }
    return true;
}

// False with error when the file is no archive of ours, or of a newer one.
bool CheckSchema(QSqlDatabase& db, QString& error) {
    QSqlQuery tables(db);
    if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !tables.next()) {
        error = QStringLiteral("база архива повреждена или не читается (") +
                Why(tables.lastError()) + QLatin1Char(')');
        return false;
    }
    const bool empty = tables.value(0).toInt() == 0;
    tables.finish();
    if (empty && !CreateSchema(db, error)) {
        error = QStringLiteral("не удалось создать базу архива (") + error + QLatin1Char(')');
        return false;
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("SELECT max(version) FROM schema_version")) ||
        !version.next() || version.isNull(0)) {
        error = QStringLiteral("файл не является базой архива (") + Why(version.lastError()) +
                QLatin1Char(')');
        return false;
    }
    const int found = version.value(0).toInt();
    if (found > ArchiveDatabase::SchemaVersion) {
        error = QStringLiteral("база архива более новой версии %1 (эта программа знает версию %2)")
                    .arg(found)
                    .arg(ArchiveDatabase::SchemaVersion);
        return false;
    }
    return true;
}

} // namespace

namespace ArchiveDatabase {

BlockMemory MemoryOf(std::uint8_t selector, std::uint32_t address, int length) {
    if (selector != MemorySelector)
        return OtherBlock;
    if (length == EventLength && address >= EventStart && address < EventEnd)
        return EventRecord;
    if (length == SumLength && address >= SumStart && address < SumEnd)
        return SumRecord;
    return OtherBlock;
}

bool Open(const QString& path, const QString& connection, QString& error) {
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!db.isValid()) {
            error = QStringLiteral("нет драйвера SQLite (QSQLITE)");
        } else if (!db.open()) {
            error = QStringLiteral("не удалось открыть базу архива (") + Why(db.lastError()) +
                    QLatin1Char(')');
        } else if (CheckSchema(db, error)) {
            // Each connection: synchronous writes at checkpoints only, as WAL allows.
            ok = SetWal(db, error) && Exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), error);
        }
    }
    if (!ok)
        Close(connection);
    return ok;
}

void Close(const QString& connection) {
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

QString NewConnectionName() {
    static std::atomic<int> next{0};
    return QStringLiteral("zorvan-archive-%1").arg(++next);
}

bool BeginWrite(QSqlDatabase& db, QString* why) {
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return true;
    if (why != nullptr)
        *why = Why(query.lastError());
    return false;
}

QString Why(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QString Why(const QSqlQuery& query) {
    return Why(query.lastError());
}

} // namespace ArchiveDatabase
