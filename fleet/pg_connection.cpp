#include "fleet/pg_connection.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <libpq-fe.h>

namespace {

QString OneLine(const char* text) {
    return QString::fromUtf8(text).simplified();
}

} // namespace

PgConnection::~PgConnection() {
    if (conn_)
        PQfinish(conn_);
}

bool PgConnection::Connect(const QString& conninfo) {
    if (conn_) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    sqlState_.clear();
    error_.clear();
    conn_ = PQconnectdb(conninfo.toUtf8().constData());
    if (!conn_) {
        error_ = QStringLiteral("out of memory");
        return false;
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        failConnection();
        PQfinish(conn_);
        conn_ = nullptr;
        return false;
    }
    // Notices (e.g. "relation already exists, skipping") are not the user's concern.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    return true;
}

void PgConnection::failConnection() {
    error_ = OneLine(PQerrorMessage(conn_));
    if (error_.isEmpty())
        error_ = QStringLiteral("the connection failed");
}

void PgConnection::SetInterrupt(std::function<bool()> stop) {
    stop_ = std::move(stop);
    interrupted_ = false;
}

pg_result* PgConnection::awaitResult() {
    // The loop wakes when the server answers, and for Ctrl+C's own notifier.
    QSocketNotifier answer(PQsocket(conn_), QSocketNotifier::Read);
    while (PQconsumeInput(conn_) == 1 && PQisBusy(conn_) == 1) {
        if (!interrupted_ && stop_()) {
            interrupted_ = true;
            // The server gives the statement's failure as its answer; a
            // cancel that finds it done already changes nothing.
            if (PGcancel* cancel = PQgetCancel(conn_)) {
                char why[256];
                (void)PQcancel(cancel, why, int(sizeof why));
                PQfreeCancel(cancel);
            }
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    pg_result* last = nullptr;
    while (pg_result* result = PQgetResult(conn_)) {
        PQclear(last);
        last = result;
    }
    return last;
}

bool PgConnection::takeResult(pg_result* result, Result* out) {
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        sqlState_ = state ? QByteArray(state) : QByteArray();
        const char* message =
            result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        error_ = message ? OneLine(message) : OneLine(PQerrorMessage(conn_));
        if (error_.isEmpty())
            error_ = QStringLiteral("the connection was lost");
    } else if (out && status == PGRES_COMMAND_OK) {
        out->affected = QByteArray(PQcmdTuples(result)).toLongLong();
    } else if (out && status == PGRES_TUPLES_OK) {
        const int rows = PQntuples(result);
        const int columns = PQnfields(result);
        out->rows.resize(std::size_t(rows));
        for (int r = 0; r < rows; ++r) {
            auto& row = out->rows[std::size_t(r)];
            row.reserve(std::size_t(columns));
            for (int c = 0; c < columns; ++c)
                row.push_back(
                    PQgetisnull(result, r, c)
                        ? QString()
                        : QString::fromUtf8(PQgetvalue(result, r, c), PQgetlength(result, r, c)));
        }
    }
    if (out)
        out->ok = ok;
    PQclear(result);
    return ok;
}

PgConnection::Result PgConnection::Exec(const QString& sql,
                                        const std::vector<QByteArray>& parameters) {
    Result out;
    if (!conn_) {
        error_ = QStringLiteral("not connected");
        return out;
    }
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const QByteArray& p : parameters)
        values.push_back(p.isNull() ? nullptr : p.constData());
    const QByteArray text = sql.toUtf8();
    const char* const* valueData = values.empty() ? nullptr : values.data();
    pg_result* result = nullptr;
    if (!stop_ || interrupted_)
        result = PQexecParams(conn_, text.constData(), int(values.size()), nullptr, valueData,
                              nullptr, nullptr, 0);
    else if (PQsendQueryParams(conn_, text.constData(), int(values.size()), nullptr, valueData,
                               nullptr, nullptr, 0) == 1)
        result = awaitResult();
    takeResult(result, &out);
    return out;
}

bool PgConnection::CopyIn(const QString& copySql, const QByteArray& data) {
    if (!conn_) {
        error_ = QStringLiteral("not connected");
        return false;
    }
    pg_result* start = PQexec(conn_, copySql.toUtf8().constData());
    if (!start || PQresultStatus(start) != PGRES_COPY_IN)
        return takeResult(start, nullptr) && false;
    PQclear(start);
    // Sent in pieces, so that a large stream never sits twice in memory.
    constexpr qsizetype Piece = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < data.size(); at += Piece)
        sent = PQputCopyData(conn_, data.constData() + at,
                             int(std::min(Piece, data.size() - at))) == 1;
    if (PQputCopyEnd(conn_, sent ? nullptr : "sending failed") != 1) {
        failConnection();
        return false;
    }
    if (stop_ && !interrupted_)
        return takeResult(awaitResult(), nullptr);
    bool ok = true;
    while (pg_result* result = PQgetResult(conn_))
        ok = takeResult(result, nullptr) && ok;
    return ok;
}

bool RetryableSqlState(const QByteArray& state) {
    return state == "40001" || state == "40P01";
}

QByteArray ByteaHex(const QByteArray& bytes) {
    return QByteArrayLiteral("\\x") + bytes.toHex();
}

QByteArray FromByteaHex(const QString& text) {
    if (!text.startsWith(QLatin1String("\\x")))
        return {};
    return QByteArray::fromHex(text.mid(2).toLatin1());
}
