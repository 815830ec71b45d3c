#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

// A throwaway PostgreSQL server for one test program: a new cluster in a
// temporary folder (initdb), listening only on a Unix socket in that folder,
// stopped and removed when the program's tests end, failed or not. Run as
// root, the server runs as the postgres user, as it insists.
class PgCluster : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // The running cluster; nullptr before SetUp.
    static PgCluster* Instance() { return instance_; }

    // A connection string for database name on this server.
    [[nodiscard]] QString ConnInfo(const QString& database,
                                   const QString& user = QStringLiteral("postgres")) const;
    // A role that logs in with this password only (scram-sha-256), every
    // other role still trusted; false with a test failure when not made.
    bool AddPasswordRole(const QString& role, const QString& password);
    // A new empty database; its connection string.
    [[nodiscard]] QString NewDatabase();

private:
    static PgCluster* instance_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString data_;
    bool started_ = false;
    int databases_ = 0;
};
