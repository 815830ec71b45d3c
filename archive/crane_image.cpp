#include "archive/crane_image.h"

#include "archive/archive_database.h"
#include "archive/archive_folder.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using ArchiveDatabase::Why;

namespace {

// A read-only look: a missing file is no archive, and none is made.
bool OpenForReading(const QString& path, const QString& connection, QString& error) {
    if (!QFileInfo(path).isFile()) {
        error = QStringLiteral("no archive at ") + path;
        return false;
    }
    return ArchiveDatabase::Open(path, connection, error);
}

bool LoadImage(QSqlDatabase& db, const QString& crane, MemoryImage& image, QString& error) {
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id, key FROM cranes WHERE substr(key, 1, ?) = ?"));
    find.addBindValue(int(crane.size()));
    find.addBindValue(crane);
    if (!find.exec()) {
        error = Why(find);
        return false;
    }
    QList<qint64> ids;
    while (find.next())
        ids << find.value(0).toLongLong();
    if (crane.isEmpty() || ids.size() != 1) {
        error = ids.isEmpty() ? QStringLiteral("the archive holds no crane %1").arg(crane)
                              : QStringLiteral("%1 names more than one crane").arg(crane);
        return false;
    }
    QSqlQuery blocks(db);
    blocks.setForwardOnly(true);
    // In the order read: a later read of an address wins, as in a readout's image.
    blocks.prepare(QStringLiteral("SELECT selector, address, bytes, last_read, com_port "
                                  "FROM blocks WHERE crane = ? ORDER BY seq"));
    blocks.addBindValue(ids.constFirst());
    if (!blocks.exec()) {
        error = Why(blocks);
        return false;
    }
    image = MemoryImage();
    while (blocks.next()) {
        const QByteArray bytes = blocks.value(2).toByteArray();
        image.Record(std::uint8_t(blocks.value(0).toInt()),
                     std::uint32_t(blocks.value(1).toLongLong()),
                     reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size()),
                     {blocks.value(3).toLongLong(), blocks.value(4).toInt()});
    }
    return true;
}

bool List(QSqlDatabase& db, QStringList& lines, QString& error) {
    QSqlQuery cranes(db);
    if (!cranes.exec(QStringLiteral(
            "SELECT key, last_read, identification FROM cranes ORDER BY last_read"))) {
        error = Why(cranes);
        return false;
    }
    while (cranes.next())
        lines << cranes.value(0).toString() + QLatin1Char(' ') +
                     QDateTime::fromMSecsSinceEpoch(cranes.value(1).toLongLong(), Qt::UTC)
                         .toString(QStringLiteral("dd.MM.yyyy hh:mm")) +
                     QLatin1Char(' ') +
                     IdentificationLines(cranes.value(2).toByteArray()).join(QStringLiteral(" | "));
    return true;
}

} // namespace

bool LoadCraneImage(const QString& databasePath, const QString& crane, MemoryImage& image,
                    QString& error) {
    const QString connection = ArchiveDatabase::NewConnectionName();
    if (!OpenForReading(databasePath, connection, error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        ok = LoadImage(db, crane, image, error);
    }
    ArchiveDatabase::Close(connection);
    return ok;
}

bool ListCranes(const QString& databasePath, QStringList& lines, QString& error) {
    const QString connection = ArchiveDatabase::NewConnectionName();
    if (!OpenForReading(databasePath, connection, error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        ok = List(db, lines, error);
    }
    ArchiveDatabase::Close(connection);
    return ok;
}
