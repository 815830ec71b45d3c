#pragma once

#include "readout/record_archive.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// One readout's part of the archive database: the crane it identified, the
// blocks it reads, and the anchors of its walks.
//
// What it compares a walk with is the archive as it stood when the crane was
// identified: a read transaction held open from then on (WAL readers see one
// snapshot), so neither this readout's own blocks nor another process's
// change it. An anchor vouches for a walk only while no other readout of that
// memory began or wrote since the walk began; whatever could break that rule
// withdraws the anchor first:
//  - the first record block of a memory written, or the walk of it begun,
//    withdraws that memory's anchor (and counts a new generation);
//  - only a walk read whole gives it back, and only when no other readout
//    began a walk of that memory or wrote a record of it meanwhile.
class CraneStore {
public:
    CraneStore();
    ~CraneStore(); // as Close()
    CraneStore(const CraneStore&) = delete;
    CraneStore& operator=(const CraneStore&) = delete;

    // Opens the database at path for the crane with this identification (its
    // archive key), imports the image archive an earlier version left beside
    // it once, and takes the snapshot. False, with Error(), when the database
    // cannot be used; it is then left as it was.
    bool Open(const QString& path, const QString& key, const QByteArray& identification,
              int comPort, std::int64_t now);
    [[nodiscard]] bool IsOpen() const { return open_; }
    // Stops: what is held is written, the snapshot let go. False, with
    // Error(), when that last write failed (those blocks are lost); again is
    // harmless and true.
    bool Close();
    [[nodiscard]] const QString& Error() const { return error_; }

    // A block read from the line at readAt (ms since 1970, UTC); written in
    // batches. False once writing failed (the store is closed then).
    bool Add(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
             std::uint16_t length, std::int64_t readAt);

    [[nodiscard]] std::optional<std::uint32_t> BeginWalk(RecordMemory memory);
    [[nodiscard]] bool Record(std::uint32_t address, std::uint16_t length, std::uint8_t* data,
                              std::int64_t& readAt) const;
    void WalkRead(RecordMemory memory, std::uint32_t pointer, std::int64_t now);

private:
    struct Pending {
        std::uint8_t selector;
        std::uint32_t address;
        QByteArray bytes;
        std::int64_t readAt;
    };
    // Per memory: what the snapshot showed and what this readout did.
    struct Walk {
        std::int64_t seenGeneration = 0;
        std::optional<std::uint32_t> seenPointer;
        bool withdrawn = false;
        std::int64_t generation = 0;
        std::int64_t firstSeq = 0;
        bool trusted = false; // no one began in between: seenPointer holds
        bool begun = false;
        bool whole = false;
    };

    bool open(const QString& path, const QString& key, const QByteArray& identification,
              int comPort, std::int64_t now);
    bool flush();
    bool flushLocked();
    bool withdrawLocked(int memory);
    bool importImageArchive(const QString& imagePath, std::int64_t now);
    bool takeSnapshot();
    bool fail(const QString& what, const QString& why);
    void release();
    bool beginWrite(QSqlDatabase& db);
    bool commit();
    void rollback();

    QString writer_;
    QString reader_;
    bool open_ = false;
    std::int64_t crane_ = 0;
    std::int64_t visit_ = 0;
    int comPort_ = 0;
    std::vector<Pending> pending_;
    std::array<Walk, 2> walks_;
    std::unique_ptr<QSqlQuery> recordQuery_;
    QString error_;
};
