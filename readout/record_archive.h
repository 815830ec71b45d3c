#pragma once

#include <QString>

#include <cstdint>
#include <optional>

enum class RecordMemory { Events, Summator };

// What a readout may take from the archive of the recorder it reads. The
// recorder is known once its identification has been read; before that, and
// for a recorder never archived, the archive holds nothing.
class RecordArchive {
public:
    virtual ~RecordArchive() = default;

    // A walk of memory begins. The pointer of the last walk of it that was
    // read whole into the archive, when the archive still vouches for it: its
    // record is the newest the archive can vouch for, and every older record
    // of that walk was read with it. nullopt when none. From here on the
    // archive vouches for no walk of memory until this one is read whole.
    [[nodiscard]] virtual std::optional<std::uint32_t> BeginWalk(RecordMemory memory) = 0;
    // The archived record at address, as the archive stood when the readout
    // began, into data[0 .. length-1], and when it was read (ms since 1970,
    // UTC; 0 unknown); false (data untouched) when the archive does not hold
    // all of it.
    [[nodiscard]] virtual bool Record(std::uint32_t address, std::uint16_t length,
                                      std::uint8_t* data, std::int64_t& readAt) const = 0;
    // The walk from pointer has been read whole, from the line and the archive.
    virtual void WalkRead(RecordMemory memory, std::uint32_t pointer) = 0;
    // Why the archive is not kept in this readout, once; empty when it is,
    // or when that was told already.
    [[nodiscard]] virtual QString TakeProblem() = 0;
};

// Reading a walk newest first, it decides when the rest can come from the
// archive: once a run of at least MinRun consecutive records read from the
// line, at their addresses, equals the archive and includes the newest
// record it vouches for. Memory written over, erased, or another recorder
// with the same identification never give such a run, and are read whole.
// "Архив не ведется: " and why: a readout that goes without its archive,
// in the log and on a terminal alike.
[[nodiscard]] QString ArchiveProblemText(const QString& problem);

// "Записей прочитано с линии N, взято из архива M" with the counts as the
// caller writes them: plain in the log, grouped on a terminal.
[[nodiscard]] QString RecordSourcesText(const QString& fromLine, const QString& fromArchive);

class SinceLastWalk {
public:
    static constexpr int MinRun = 16;

    SinceLastWalk(const RecordArchive& archive, std::uint32_t newest, std::uint16_t length);

    // The record at address was read from the line into data.
    void LineRecord(std::uint32_t address, const std::uint8_t* data);
    // Once trusted, the archived record at address into data, with when it
    // was read; false when the archive does not hold it (or the run has not
    // been met): read it.
    [[nodiscard]] bool TakeArchived(std::uint32_t address, std::uint8_t* data,
                                    std::int64_t& readAt);

    [[nodiscard]] bool Trusted() const { return trusted_; }
    [[nodiscard]] int FromLine() const { return fromLine_; }
    [[nodiscard]] int FromArchive() const { return fromArchive_; }
    // The log line telling both counts.
    [[nodiscard]] QString LogLine() const;

private:
    const RecordArchive& archive_;
    std::uint32_t newest_;
    std::uint16_t length_;
    int run_ = 0;
    bool newestInRun_ = false;
    bool trusted_ = false;
    int fromLine_ = 0;
    int fromArchive_ = 0;
};

// Begins a walk of memory in the archive (when there is one) and returns the
// walk of an incremental readout of it: none when not wanted, or when the
// archive vouches for no walk of this recorder's memory read whole.
[[nodiscard]] std::optional<SinceLastWalk>
BeginArchivedWalk(RecordArchive* archive, bool wanted, RecordMemory memory, std::uint16_t length);

// What a readout is told of the archive: where it is (null: nowhere) and
// whether to take from it.
struct ArchiveUse {
    RecordArchive* archive = nullptr;
    bool sinceLast = false;
};
