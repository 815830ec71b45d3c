#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class MemoryImage;

// What a push sends of one crane: the rows of the archive's tables, as they
// are, whether they came from the archive database or a memory image.
struct PushRecord {
    std::uint32_t address = 0;
    QByteArray bytes;
    std::int64_t firstRead = 0; // ms since 1970, UTC
    std::int64_t lastRead = 0;
    int comPort = 0;
};

// The seal of the run folder a visit was pushed from, as the folder holds it,
// so that the fleet keeps the evidence: anyone can check it again.
struct PushSeal {
    QString keyId;        // the signer's fingerprint, as minisign prints it
    QString sealedBy;     // user and computer, as the manifest names them
    QByteArray publicKey; // zorvan.pub
    QByteArray manifest;  // manifest.txt
    QByteArray signature; // manifest.txt.minisig
};

struct PushVisit {
    std::int64_t started = 0;
    QString computer;
    QString userName;
    int comPort = 0;
    std::optional<int> memory; // 1 events, 2 summator
    QString outcome;           // null when none
    std::optional<PushSeal> seal;
};

struct PushCrane {
    QString key; // the archive's key: a hash of the identification
    QByteArray identification;
    std::int64_t firstRead = 0;
    std::int64_t lastRead = 0;
    std::vector<PushVisit> visits;
    std::vector<PushRecord> events; // every distinct event record, blank slots left out
    // Every distinct summator record, likewise, in the order the recorder
    // wrote them, oldest first: the walk of a readout (from the pointer
    // backwards) reversed, and records overwritten since before those that
    // overwrote them.
    std::vector<PushRecord> sums;
    // The recorder's erase time as read with the newest of these records
    // (the recorder's clock, no zone); invalid when not read.
    QDateTime erased;
};

// The crane of a memory image: its identification and every record slot it
// holds (the latest read of each), the summator's in the walk from the
// image's pointer (by address when it holds none). False with the reason
// when the image holds no identification.
[[nodiscard]] bool CraneFromImage(const MemoryImage& image, PushCrane& crane, QString& error);

// A record of all 0xFF bytes is an erased slot, not a record.
[[nodiscard]] bool BlankRecord(const QByteArray& bytes);

// The COPY text line of a record for event_records or sum_records (without
// the crane column, which the push puts first); a summator record's line
// begins with its place in the order of the push (1 the oldest).
void AppendEventLine(QByteArray& out, const PushRecord& record);
void AppendSumLine(QByteArray& out, const PushRecord& record, std::int64_t order);

// A time of the recorder's clock as a timestamp literal; empty when invalid.
[[nodiscard]] QByteArray TimestampText(const QDateTime& time);
