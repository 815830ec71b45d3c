#pragma once

#include <QDateTime>

#include <cstdint>
#include <span>

// Which memory a readout walks.
enum class ReadoutKind { Events, Summator };

// How a readout ended: through its last record, by Break, or by a failure
// (a file, the link or the recorder).
enum class ReadoutOutcome { Completed, Break, Failed };

// What a readout returns once finished: how it ended, and whether a file
// could not be opened, written or closed on the way. A readout goes on after
// a write error, so one read whole may still have lost lines; Failed without
// a file failure is a failure of the line or the recorder. Its messages only
// show this to the user.
struct ReadoutResult {
    ReadoutOutcome outcome = ReadoutOutcome::Failed;
    bool fileFailed = false;
};

// Watches a memory readout from the side, e.g. to sum it up afterwards. It
// sees what the readout took and never changes its course: the calls return
// quickly and report nothing back.
class ReadoutObserver {
public:
    virtual ~ReadoutObserver() = default;

    // The readout begins; computerTime is the time it writes to the log.
    virtual void ReadoutStarted(ReadoutKind kind, const QDateTime& computerTime) = 0;
    // Every record taken, in the order read (newest first): the record's
    // bytes, 11 for an event and 16 for a summator record.
    virtual void RecordRead(ReadoutKind kind, std::uint32_t address,
                            std::span<const std::uint8_t> record) = 0;
    // Once per readout, after its files are closed.
    virtual void ReadoutFinished(ReadoutKind kind, ReadoutOutcome outcome, bool wrapped) = 0;
};

// The observer calls of one readout, each made once and only when an observer
// is set: the readouts hold one and report through it.
class ObservedReadout {
public:
    explicit ObservedReadout(ReadoutKind kind) : kind_(kind) {}

    void SetObserver(ReadoutObserver* observer) { observer_ = observer; }

    void Started(const QDateTime& computerTime) {
        active_ = observer_ != nullptr;
        completed_ = false;
        wrapped_ = false;
        if (active_)
            observer_->ReadoutStarted(kind_, computerTime);
    }
    void Wrapped(bool wrapped) { wrapped_ = wrapped; }
    void Record(std::uint32_t address, std::span<const std::uint8_t> record) {
        if (active_)
            observer_->RecordRead(kind_, address, record);
    }
    void Completed() { completed_ = true; }
    // Break counts where the readout did not get through its last record.
    [[nodiscard]] ReadoutOutcome Outcome(bool breakRequested) const {
        return completed_       ? ReadoutOutcome::Completed
               : breakRequested ? ReadoutOutcome::Break
                                : ReadoutOutcome::Failed;
    }
    void Finished(bool breakRequested) {
        if (!active_)
            return;
        active_ = false;
        observer_->ReadoutFinished(kind_, Outcome(breakRequested), wrapped_);
    }

private:
    ReadoutKind kind_;
    ReadoutObserver* observer_ = nullptr;
    bool active_ = false;
    bool completed_ = false;
    bool wrapped_ = false;
};
