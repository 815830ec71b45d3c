#pragma once

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "archive/crane_store.h"
#include "duty/nameplate.h"
#include "fleet/pg_connection.h"
#include "link/recorder_requests.h"
#include "pg_cluster.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

// Cranes, records and archives made up for the fleet tests, and zorvan-cli run
// against the test program's own PostgreSQL server.
namespace fleet_test {

using namespace RecorderMap;

inline std::uint8_t Bcd(int v) {
    return std::uint8_t((v / 10) << 4 | (v % 10));
}

// The identification block of crane n: distinct per n.
inline QByteArray Ident(int n) {
    QByteArray b(IdentSize, ' ');
    const QByteArray name = QByteArray("CRANE ") + QByteArray::number(n);
    b.replace(0, name.size(), name);
    return b;
}

// A crane's identification with its nameplate: rated load, group, life, commissioning.
inline QByteArray NameplateIdent(int n, const char* load, const char* group) {
    QByteArray b = Ident(n);
    auto put = [&b](int first, const char* text) {
        b.replace(first - 1, qsizetype(std::strlen(text)), text);
    };
    put(NameplateField::RatedLoad, load);
    put(NameplateField::Group, group);
    put(NameplateField::ServiceLife, "20");
    put(NameplateField::Commissioned, "01.06.2016");
    return b;
}

// A crane of a model: type and index (field 1.1), serial number (1.2) and
// nameplate; the type in cp1251 as a recorder holds it.
inline QByteArray ModelIdent(const char* type, const QByteArray& serial, const char* load,
                             const char* group) {
    QByteArray b = NameplateIdent(0, load, group);
    b.replace(0, 40, QByteArray(40, ' '));
    const QByteArray t = QStringEncoder("windows-1251").encode(QString::fromUtf8(type));
    b.replace(0, t.size(), t);
    b.replace(20, serial.size(), serial);
    return b;
}

// Event record i of a crane: a date in 2025/2026, reason, weight, reach.
inline QByteArray Event(int i, std::uint8_t reason = 0x41, std::uint8_t weight = 12) {
    const std::uint8_t r[EventLength] = {Bcd(i % 60),
                                         Bcd(i % 24),
                                         Bcd(1 + i % 28),
                                         Bcd(1 + (i / 28) % 12),
                                         Bcd(25 + (i / 336) % 2),
                                         weight,
                                         30,
                                         0,
                                         0,
                                         0,
                                         reason};
    return QByteArray(reinterpret_cast<const char*>(r), EventLength);
}

// A summator record of a cycle of weight tonnes at that minute of the
// recorder's clock, its total-cycle counter at cycles.
inline QByteArray SumAt(const QDateTime& at, std::uint32_t cycles, std::uint8_t weight = 10) {
    const QDate d = at.date();
    const QTime t = at.time();
    QByteArray r(SumLength, '\0');
    const int clock[] = {t.minute(), t.hour(), d.day(), d.month(), d.year() % 100};
    for (int i = 0; i < RecordTimeLength; ++i)
        r[i] = char(Bcd(clock[i]));
    for (int at3 : {SumWeightTotalAt, SumCyclesTotalAt}) {
        r[at3] = char(cycles >> 16);
        r[at3 + 1] = char(cycles >> 8);
        r[at3 + 2] = char(cycles);
    }
    r[SumWeightAt] = char(weight);
    r[SumReachAt] = 25;
    return r;
}

// Summator record i: its clock, counters and the cycle's weight and reach.
inline QByteArray Sum(int i, std::uint8_t weight = 20) {
    const std::uint32_t total = std::uint32_t(1000 + i);
    const std::uint8_t r[SumLength] = {Bcd(i % 60),
                                       Bcd(i % 24),
                                       Bcd(1 + i % 28),
                                       Bcd(1 + (i / 28) % 12),
                                       Bcd(26),
                                       0,
                                       0,
                                       0,
                                       std::uint8_t(total >> 16),
                                       std::uint8_t(total >> 8),
                                       std::uint8_t(total),
                                       0,
                                       std::uint8_t(total >> 8),
                                       std::uint8_t(total),
                                       weight,
                                       25};
    return QByteArray(reinterpret_cast<const char*>(r), SumLength);
}

inline std::uint32_t EventSlot(int i) {
    return EventStart + std::uint32_t(i) * EventLength;
}
inline std::uint32_t SumSlot(int i) {
    return SumStart + std::uint32_t(i) * SumLength;
}

struct Block {
    std::uint32_t address;
    QByteArray bytes;
};

// Adds blocks of crane n to the archive of the user whose data folder is dataHome.
inline void AddToArchive(const QString& dataHome, const QByteArray& ident,
                         const std::vector<Block>& blocks, std::int64_t at = 1700000000000) {
    const QString folder = dataHome + QStringLiteral("/zorvan");
    ASSERT_TRUE(QDir().mkpath(folder));
    CraneStore store;
    ASSERT_TRUE(store.Open(folder + QLatin1Char('/') + ArchiveDatabase::FileName,
                           RecorderKey(ident), ident, 3, at))
        << store.Error().toStdString();
    for (const Block& b : blocks)
        ASSERT_TRUE(store.Add(MemorySelector, b.address,
                              reinterpret_cast<const std::uint8_t*>(b.bytes.constData()),
                              std::uint16_t(b.bytes.size()), at));
    store.Close();
}
inline void AddToArchive(const QString& dataHome, int crane, const std::vector<Block>& blocks,
                         std::int64_t at = 1700000000000) {
    AddToArchive(dataHome, Ident(crane), blocks, at);
}

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

using Variables = std::vector<std::pair<QString, QString>>;

// zorvanDb: the ZORVAN_DB of the run (none when empty); more: other variables.
inline void StartCli(QProcess& p, const QStringList& args, const QString& dataHome,
                     const QString& zorvanDb = {}, const Variables& more = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.remove(QStringLiteral("ZORVAN_DB"));
    if (!zorvanDb.isEmpty())
        env.insert(QStringLiteral("ZORVAN_DB"), zorvanDb);
    for (const auto& [name, value] : more)
        env.insert(name, value);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZORVAN_CLI_PROGRAM), args);
}

inline CliRun Finish(QProcess& p) {
    CliRun r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline CliRun RunCli(const QStringList& args, const QString& dataHome, const QString& zorvanDb = {},
                     const Variables& more = {}) {
    QProcess p;
    StartCli(p, args, dataHome, zorvanDb, more);
    return Finish(p);
}

// One number from the database.
inline qint64 Number(const QString& conninfo, const QString& sql) {
    PgConnection db;
    if (!db.Connect(conninfo)) {
        ADD_FAILURE() << db.Error().toStdString();
        return -1;
    }
    const PgConnection::Result r = db.Exec(sql);
    if (!r.ok) {
        ADD_FAILURE() << db.Error().toStdString() << " in " << sql.toStdString();
        return -1;
    }
    return r.Value(0, 0).toLongLong();
}

} // namespace fleet_test
