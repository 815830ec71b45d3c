#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlError;
class QSqlQuery;

// The archive's database: one SQLite file per user ("archive.sqlite" in the
// archive folder) holding every recorder read. The README's section on the
// archive describes the tables.
//
// cranes   one row per recorder identification (RecorderKey): the block as read
// visits   one row per readout that identified a crane: when, where, which
//          memory and how the walk ended
// blocks   every distinct block ever read from a crane (selector, address,
//          bytes), with when it was first and last read; a block the recorder
//          has since overwritten stays. memory: 1 event record, 2 summator
//          record, 0 anything else
// anchors  per crane and memory, the newest record of the last walk read whole
//          (NULL while a readout of that memory is under way or was cut), and
//          how many readouts of it have begun
// imports  the image archives of earlier versions, imported once
//
// A file that is not such a database, is damaged, or has a newer schema is
// never changed: the open fails and says why.
namespace ArchiveDatabase {

constexpr int SchemaVersion = 1;
inline const QString FileName = QStringLiteral("archive.sqlite");

// Memory codes of the blocks table.
enum BlockMemory { OtherBlock = 0, EventRecord = 1, SumRecord = 2 };

// What a block read with this selector, address and length is.
[[nodiscard]] BlockMemory MemoryOf(std::uint8_t selector, std::uint32_t address, int length);

// Opens (creating when new) the database at path as connection name, in WAL
// mode with a busy timeout, so that several processes share it. False, with
// error in Russian, when it cannot be opened or used; the connection is then
// removed again.
[[nodiscard]] bool Open(const QString& path, const QString& connection, QString& error);
// Closes and removes the connection; its queries must be gone.
void Close(const QString& connection);

// A connection name no other open connection of this process uses.
[[nodiscard]] QString NewConnectionName();

// BEGIN IMMEDIATE: the write lock at once, waiting up to the busy timeout;
// false, with why, when it was not had.
[[nodiscard]] bool BeginWrite(QSqlDatabase& db, QString* why = nullptr);

// What SQLite said of a failure, else Qt's own words.
[[nodiscard]] QString Why(const QSqlError& error);
[[nodiscard]] QString Why(const QSqlQuery& query);

} // namespace ArchiveDatabase
