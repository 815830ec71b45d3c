#pragma once

#include "decoding/reasons.h"
#include "image/memory_image.h"
#include "link/message_gateway.h"
#include "readout/event_files.h"
#include "readout/readout_host.h"
#include "summator/load_rating.h"

#include <QString>

#include <optional>

// Replaying a readout from a memory image: the very event or summator readout
// of the window runs, with the link answered by the image instead of a
// recorder and without the pauses owed to one, and writes the same files. A
// readout that was cut short when the image was recorded replays as cut at
// the same record (the image answers what was never read with silence).

enum class ReplayKind { Events, Summator };

// The window's settings that shape the files.
struct ReplaySettings {
    OutputChoice files;                      // the three file boxes
    bool withReach = true;                   // event files: moment mode (RadioMax) shows the reach
    RatingBasis basis = RatingBasis::Moment; // summator: moment or weight mode
    int fullScale = 800;                     // summator: the 100 % moment or weight
    MessageTexts texts = MessageTexts::Defaults(); // event reasons
};

enum class ReplayStatus {
    Done,     // the readout ran to its last record
    CutShort, // a part it needs was never read into the image
    NoFolder, // the output folder could not be made or entered
    Broken,   // Break (the flag given) ended it, as it ends a readout
};

// A read the image could not answer.
struct MissingRead {
    std::uint8_t selector = 0;
    std::uint32_t address = 0;
    std::uint16_t length = 0;
};

struct ReplayResult {
    ReplayStatus status = ReplayStatus::Done;
    // Reads the image answered, and reads it could not (never read).
    int readsAnswered = 0;
    int readsMissing = 0;
    // The first of them: where the image ends for this readout.
    std::optional<MissingRead> firstMissing;
    // A file could not be opened, written or closed, as the readout returned it.
    bool fileError = false;
    // NoFolder: which folder and why.
    QString error;
};

// True when the image holds anything of the memory the readout of kind reads
// (the event or the summator memory): without it there is nothing to replay.
[[nodiscard]] bool ImageHoldsMemory(const MemoryImage& image, ReplayKind kind);

// Runs the readout of kind over image, writing its files (and its log
// "zorvlog.txt") by their usual names into outDir, which is made when
// missing, and then the run's summary page "index.html" there, as after any
// readout. outDir is the current directory during the run, as the readouts
// open their files by bare name; the current directory is restored after.
//
// progress is told the status lines and the progress of the readout, as the
// window's status bar and progress bar are (ShowNewestRecord, ReadClock and
// ClockText are not used: the clock is the one read into the image). messages
// gets every message the window would show in a box, with the same texts.
// breakRequested, when given, is the Break flag: set (e.g. by Ctrl+C, seen
// by the event loop, which the replay lets run now and then) it ends the
// readout as Break ends one, with what was written kept.
// Not reentrant (the current directory is the process's).
[[nodiscard]] ReplayResult ReplayReadout(const MemoryImage& image, ReplayKind kind,
                                         const ReplaySettings& settings, const QString& outDir,
                                         ReadoutHost& progress, MessageGateway& messages,
                                         bool* breakRequested = nullptr);

// A progress host that shows nothing.
class QuietReadoutHost : public ReadoutHost {
public:
    void SetStatusPanel(int, const QString&) override {}
    void SetReadoutColour() override {}
    void SetProgressMaximum(int) override {}
    void SetProgress(int) override {}
    void ShowNewestRecord() override {}
    bool ReadClock() override { return false; }
    QString ClockText() const override { return {}; }
};
