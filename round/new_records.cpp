#include "round/new_records.h"

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "image/image_file.h"
#include "image/image_recorder.h"
#include "image/memory_image.h"
#include "link/recorder_map.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

using namespace RecorderMap;

std::optional<int> NewRecords(const QString& archivePath, const QString& runFolder,
                              const QString& memory, std::int64_t since) {
    MemoryImage image;
    if (!LoadMemoryImageFile(QDir(runFolder).filePath(ImageRecorder::FileName), image).ok)
        return std::nullopt;
    const auto ident = image.Bytes(IdentSelector, IdentAddress, IdentSize);
    if (!ident || !QFileInfo::exists(archivePath))
        return std::nullopt;
    const int kind = int(memory == QLatin1String("events") ? ArchiveDatabase::EventRecord
                                                           : ArchiveDatabase::SumRecord);
    std::optional<int> count;
    const QString connection = ArchiveDatabase::NewConnectionName();
    {
        // Only read: the database is never made or changed here.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(archivePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT count(*) FROM blocks JOIN cranes ON "
                                         "blocks.crane = cranes.id WHERE cranes.key = ? AND "
                                         "blocks.memory = ? AND blocks.first_read >= ? AND "
                                         "blocks.bytes != ?"));
            query.addBindValue(RecorderKey(*ident));
            query.addBindValue(kind);
            query.addBindValue(qint64(since));
            // An erased slot is no record.
            const int length = kind == ArchiveDatabase::EventRecord ? EventLength : SumLength;
            query.addBindValue(QByteArray(length, '\xFF'));
            if (query.exec() && query.next())
                count = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return count;
}
