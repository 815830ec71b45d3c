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

    // Why a connection was not made: told by how far the exchange got and by
    // the SQLSTATE of the server's refusal, never by the text of its message.
    enum class Refusal {
        None,
        Unreachable,  // no server answered at that address
        NoPassword,   // the server asks for one and none was found
        LoginRefused, // a wrong password, or a role the server does not let in
        NoDatabase,   // the server has no database of that name
        Other,        // the server refused for another reason (e.g. too many connections)
    };

    // conninfo: a libpq connection string or URI; empty takes libpq's PG*
    // variables. Passwords come from where libpq looks (PGPASSFILE, ~/.pgpass,
    // the service file). The session's settings that change how values read
    // (DateStyle, IntervalStyle, TimeZone, lc_numeric, lc_time, lc_monetary,
    // client_encoding) are fixed here, so that the server's or the user's
    // defaults change no figure.
    bool Connect(const QString& conninfo);
    [[nodiscard]] Refusal ConnectRefusal() const { return refusal_; }
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

    // The server's notices and warnings, one line each ("WARNING: ..."), as
    // they come; dropped when none is set. Set before Connect to hear those
    // of the connection's start too.
    void SetNoticeHandler(std::function<void(const QString&)> handler);

    // The last failure: SQLSTATE (five characters; empty when none came, e.g.
    // a lost connection) and the message in one line.
    [[nodiscard]] const QByteArray& SqlState() const { return sqlState_; }
    [[nodiscard]] const QString& Error() const { return error_; }

private:
    bool takeResult(pg_result* result, Result* out);
    void failConnection();
    bool startConnection(const QString& conninfo);
    bool fixSession();
    static void receiveNotice(void* self, const pg_result* notice);
    // The statement sent, its last result (null when the connection failed).
    pg_result* awaitResult();

    std::function<bool()> stop_;
    bool interrupted_ = false;
    std::function<void(const QString&)> notice_;
    Refusal refusal_ = Refusal::None;

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
