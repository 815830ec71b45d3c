#include "fleet/pg_connection.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/select.h>
#endif

namespace {

// Until the socket is ready to read (or to write); false when seconds (none
// when 0) pass first or the wait fails.
bool WaitForSocket(int fd, bool forRead, int seconds) {
    if (fd < 0)
        return false;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval limit{seconds, 0};
        const int ready = ::select(fd + 1, forRead ? &set : nullptr, forRead ? nullptr : &set,
                                   nullptr, seconds > 0 ? &limit : nullptr);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

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
    refusal_ = Refusal::None;
    if (startConnection(conninfo) && fixSession())
        return true;
    if (conn_) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    return false;
}

bool PgConnection::startConnection(const QString& conninfo) {
    conn_ = PQconnectStart(conninfo.toUtf8().constData());
    if (!conn_) {
        error_ = QStringLiteral("out of memory");
        refusal_ = Refusal::Other;
        return false;
    }
    // Verbose messages carry the SQLSTATE of a refusal, which libpq keeps
    // nowhere else for a connection that failed.
    PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
    PQsetNoticeReceiver(conn_, &PgConnection::receiveNotice, this);
    int timeout = 0;
    if (PQconninfoOption* options = PQconninfo(conn_)) {
        for (PQconninfoOption* o = options; o->keyword; ++o)
            if (o->val && std::strcmp(o->keyword, "connect_timeout") == 0)
                timeout = std::atoi(o->val);
        PQconninfoFree(options);
    }
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    while (PQstatus(conn_) != CONNECTION_BAD && polling != PGRES_POLLING_OK &&
           polling != PGRES_POLLING_FAILED) {
        if (!WaitForSocket(PQsocket(conn_), polling == PGRES_POLLING_READING, timeout)) {
            error_ = QStringLiteral("no answer within %1 s").arg(timeout);
            refusal_ = Refusal::Unreachable;
            return false;
        }
        polling = PQconnectPoll(conn_);
    }
    if (PQstatus(conn_) == CONNECTION_OK)
        return true;
    const QString message = QString::fromUtf8(PQerrorMessage(conn_));
    static const QRegularExpression code(QStringLiteral(":  ([0-9A-Z]{5}): "));
    const QRegularExpressionMatch m = code.match(message);
    sqlState_ = m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
    QStringList lines = message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("LOCATION:")); });
    error_ = lines.join(QLatin1Char(' ')).replace(code, QStringLiteral(":  ")).simplified();
    if (error_.isEmpty())
        error_ = QStringLiteral("the connection failed");
    if (PQconnectionNeedsPassword(conn_))
        refusal_ = Refusal::NoPassword;
    else if (sqlState_.isEmpty())
        refusal_ = Refusal::Unreachable;
    else if (sqlState_ == "28P01" || sqlState_ == "28000")
        refusal_ = Refusal::LoginRefused;
    else if (sqlState_ == "3D000")
        refusal_ = Refusal::NoDatabase;
    else
        refusal_ = Refusal::Other;
    return false;
}

bool PgConnection::fixSession() {
    PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
    if (PQsetClientEncoding(conn_, "UTF8") != 0) {
        failConnection();
        refusal_ = Refusal::Other;
        return false;
    }
    const Result set = Exec(QStringLiteral(
        "SELECT set_config('datestyle', 'ISO, YMD', false), set_config('intervalstyle', "
        "'postgres', false), set_config('timezone', 'UTC', false), set_config('lc_numeric', "
        "'C', false), set_config('lc_time', 'C', false), set_config('lc_monetary', 'C', false)"));
    if (!set.ok)
        refusal_ = Refusal::Other;
    return set.ok;
}

void PgConnection::receiveNotice(void* self, const pg_result* notice) {
    const auto* connection = static_cast<const PgConnection*>(self);
    if (!connection->notice_)
        return;
    const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY);
    const char* message = PQresultErrorField(notice, PG_DIAG_MESSAGE_PRIMARY);
    connection->notice_(QStringLiteral("%1: %2").arg(OneLine(severity ? severity : "NOTICE"),
                                                     OneLine(message ? message : "")));
}

void PgConnection::SetNoticeHandler(std::function<void(const QString&)> handler) {
    notice_ = std::move(handler);
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
