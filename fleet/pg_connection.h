#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;

// One libpq connection to the fleet's PostgreSQL database. Every call returns
// its outcome; a failed one leaves the SQLSTATE and the server's message.
class PgConnection {
public:
    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // conninfo: a libpq connection string or URI; empty takes libpq's PG*
    // variables. Passwords come from where libpq looks (PGPASSFILE, ~/.pgpass,
    // the service file).
    bool Connect(const QString& conninfo);
    [[nodiscard]] bool IsOpen() const { return conn_ != nullptr; }

    // The outcome of a statement: its rows as text (NULL as a null QString).
    struct Result {
        bool ok = false;
        qint64 affected = 0; // rows an INSERT, UPDATE or DELETE touched
        std::vector<std::vector<QString>> rows;
        [[nodiscard]] QString Value(std::size_t row, std::size_t column) const {
            return row < rows.size() && column < rows[row].size() ? rows[row][column] : QString();
        }
    };
    // A statement with text parameters ($1, $2, ...); binary-safe values go
    // as bytea hex ("\\x...").
    Result Exec(const QString& sql, const std::vector<QByteArray>& parameters = {});

    // COPY ... FROM STDIN: sends the rows (COPY text format, each line ending
    // in '\n') in one stream.
    bool CopyIn(const QString& copySql, const QByteArray& data);

    // From now on a statement waits for its answer in the event loop and asks
    // stop, whenever the loop wakes, whether to give up on it: then the server
    // is asked to cancel it (its failure follows). Later statements are never
    // cancelled, so the rollback goes through. Empty: statements block until
    // answered.
    void SetInterrupt(std::function<bool()> stop);

    // The last failure: SQLSTATE (five characters; empty when none came, e.g.
    // a lost connection) and the message in one line.
    [[nodiscard]] const QByteArray& SqlState() const { return sqlState_; }
    [[nodiscard]] const QString& Error() const { return error_; }

private:
    bool takeResult(pg_result* result, Result* out);
    void failConnection();
    // The statement sent, its last result (null when the connection failed).
    pg_result* awaitResult();

    std::function<bool()> stop_;
    bool interrupted_ = false;

    pg_conn* conn_ = nullptr;
    QByteArray sqlState_;
    QString error_;
};

// A serialization failure or a deadlock: the transaction may be tried again.
[[nodiscard]] bool RetryableSqlState(const QByteArray& state);

// Bytes as a bytea literal in hex ("\\x0a1b...").
[[nodiscard]] QByteArray ByteaHex(const QByteArray& bytes);
// A bytea value as text (hex form) back to bytes.
[[nodiscard]] QByteArray FromByteaHex(const QString& text);
