#include "pg_cluster.h"

#include "fleet/pg_connection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const QString PgBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
constexpr int ToolTimeoutMs = 60000;

bool AsRoot() {
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// Runs a server tool, as the postgres user when we are root; its output on failure.
bool RunTool(const QString& tool, const QStringList& args, QString& output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (AsRoot())
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            PgBin + tool} +
                    args);
    else
        p.start(PgBin + tool, args);
    const bool ended = p.waitForFinished(ToolTimeoutMs);
    output = QString::fromLocal8Bit(p.readAll());
    return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

PgCluster* PgCluster::instance_ = nullptr;

void PgCluster::SetUp() {
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zorvan-pg-XXXXXX"));
    ASSERT_TRUE(dir_->isValid());
#ifdef Q_OS_UNIX
    if (AsRoot()) {
        const passwd* pg = ::getpwnam("postgres");
        ASSERT_NE(pg, nullptr) << "no postgres user";
        ASSERT_EQ(::chown(QFile::encodeName(dir_->path()).constData(), pg->pw_uid, pg->pw_gid), 0);
    }
#endif
    data_ = dir_->path() + QStringLiteral("/data");
    QString output;
    ASSERT_TRUE(
        RunTool(QStringLiteral("initdb"),
                {QStringLiteral("-D"), data_, QStringLiteral("-A"), QStringLiteral("trust"),
                 QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                 QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
                output))
        << output.toStdString();
    // No TCP: the socket in the folder is the only way in; nothing is synced to disk.
    const QString options =
        QStringLiteral("-k %1 -c listen_addresses= -c fsync=off -c synchronous_commit=off "
                       "-c full_page_writes=off -c max_connections=40")
            .arg(dir_->path());
    ASSERT_TRUE(RunTool(QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), data_, QStringLiteral("-l"),
                         dir_->path() + QStringLiteral("/log"), QStringLiteral("-o"), options,
                         QStringLiteral("-w"), QStringLiteral("start")},
                        output))
        << output.toStdString();
    started_ = true;
    instance_ = this;
}

void PgCluster::TearDown() {
    instance_ = nullptr;
    if (started_) {
        QString output;
        EXPECT_TRUE(
            RunTool(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), data_, QStringLiteral("-m"), QStringLiteral("immediate"),
                     QStringLiteral("-w"), QStringLiteral("stop")},
                    output))
            << output.toStdString();
        started_ = false;
    }
    dir_.reset();
}

QString PgCluster::ConnInfo(const QString& database, const QString& user) const {
    return QStringLiteral("host=%1 dbname=%2 user=%3").arg(dir_->path(), database, user);
}

bool PgCluster::AddPasswordRole(const QString& role, const QString& password) {
    PgConnection admin;
    if (!admin.Connect(ConnInfo(QStringLiteral("postgres"))) ||
        !admin.Exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, password)).ok) {
        ADD_FAILURE() << admin.Error().toStdString();
        return false;
    }
    // The first line that matches decides: this role's goes before the rest.
    QFile hba(data_ + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadWrite)) {
        ADD_FAILURE() << "cannot open pg_hba.conf";
        return false;
    }
    const QByteArray rest = hba.readAll();
    hba.resize(0);
    hba.seek(0);
    hba.write(QStringLiteral("local all %1 scram-sha-256\n").arg(role).toUtf8() + rest);
    hba.close();
    QString output;
    if (!RunTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data_, QStringLiteral("reload")},
                 output) ||
        !admin.Exec(QStringLiteral("SELECT pg_reload_conf()")).ok) {
        ADD_FAILURE() << output.toStdString();
        return false;
    }
    // The server takes the file anew a moment later: until then the role is trusted.
    for (int i = 0; i < 100; ++i) {
        PgConnection probe;
        if (!probe.Connect(ConnInfo(QStringLiteral("postgres"), role) +
                           QStringLiteral(" passfile=") + dir_->path() + QStringLiteral("/none")) &&
            probe.ConnectRefusal() == PgConnection::Refusal::NoPassword)
            return true;
        QThread::msleep(50);
    }
    ADD_FAILURE() << "the server still lets " << role.toStdString() << " in without a password";
    return false;
}

QString PgCluster::NewDatabase() {
    const QString name = QStringLiteral("fleet_%1").arg(++databases_);
    PgConnection admin;
    if (!admin.Connect(ConnInfo(QStringLiteral("postgres"))) ||
        !admin.Exec(QStringLiteral("CREATE DATABASE ") + name).ok) {
        ADD_FAILURE() << admin.Error().toStdString();
        return {};
    }
    return ConnInfo(name);
}
