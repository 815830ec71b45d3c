#include "image/replay.h"

#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "readout/event_readout.h"
#include "readout/print_pager.h"
#include "summary/page_update.h"
#include "summator/sum_readout.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

namespace {

// The image as the link's recorder, counting what it could answer.
class CountingSource : public BlockSource {
public:
    explicit CountingSource(const MemoryImage& image) : image_(image) {}

    std::uint8_t AnswerRead(std::uint32_t address, std::uint16_t length, std::uint8_t selector,
                            std::uint8_t* data) override {
        // No read waits, so the event loop never runs by itself: let it run
        // now and then, so that a Break (Ctrl+C) is seen.
        if (++reads_ % EventsEvery == 0)
            QCoreApplication::processEvents();
        const std::uint8_t r = image_.Answer(address, length, selector, data);
        ++(r == 0 ? answered : missing);
        if (r != 0 && !firstMissing)
            firstMissing = MissingRead{selector, address, length};
        return r;
    }

    int answered = 0;
    int missing = 0;
    std::optional<MissingRead> firstMissing;

private:
    static constexpr int EventsEvery = 64;
    const MemoryImage& image_;
    int reads_ = 0;
};

// The caller's progress host, with the clock read through the replayed link.
class ReplayHost : public ReadoutHost {
public:
    ReplayHost(ReadoutHost& progress, RecorderRequests& requests)
        : progress_(progress), requests_(requests) {}

    void SetStatusPanel(int index, const QString& text) override {
        progress_.SetStatusPanel(index, text);
    }
    void SetReadoutColour() override { progress_.SetReadoutColour(); }
    void SetProgressMaximum(int maximum) override { progress_.SetProgressMaximum(maximum); }
    void SetProgress(int value) override { progress_.SetProgress(value); }
    void ShowNewestRecord() override {}
    bool ReadClock() override { return requests_.ReadClock(clockText_); }
    QString ClockText() const override { return clockText_; }

private:
    ReadoutHost& progress_;
    RecorderRequests& requests_;
    QString clockText_;
};

// Makes a folder current for its lifetime.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& folder) : previous_(QDir::currentPath()) {
        entered_ = QDir().mkpath(folder) && QDir::setCurrent(folder);
    }
    ~CurrentFolder() { (void)QDir::setCurrent(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

    [[nodiscard]] bool Entered() const { return entered_; }

private:
    QString previous_;
    bool entered_ = false;
};

} // namespace

bool ImageHoldsMemory(const MemoryImage& image, ReplayKind kind) {
    return kind == ReplayKind::Events
               ? image.HoldsAny(RecorderMap::MemorySelector, RecorderMap::EventStart,
                                RecorderMap::EventEnd)
               : image.HoldsAny(RecorderMap::MemorySelector, RecorderMap::SumStart,
                                RecorderMap::SumEnd);
}

ReplayResult ReplayReadout(const MemoryImage& image, ReplayKind kind,
                           const ReplaySettings& settings, const QString& outDir,
                           ReadoutHost& progress, MessageGateway& messages, bool* breakRequested) {
    ReplayResult result;
    CurrentFolder folder(outDir);
    if (!folder.Entered()) {
        result.status = ReplayStatus::NoFolder;
        result.error = QStringLiteral("cannot make or enter the folder ") + outDir;
        return result;
    }

    // The port is never opened: every read goes to the image.
    Pordt port;
    bool noBreak = false;
    bool& breakFlag = breakRequested != nullptr ? *breakRequested : noBreak;
    DTrans link(port, breakFlag);
    CountingSource source(image);
    link.SetBlockSource(&source);
    RecorderRequests requests(link, messages);
    ReplayHost host(progress, requests);
    PrintPager pager;
    IdentData ident{};
    const QDateTime now = QDateTime::currentDateTime();
    RunSummary summary;
    // The port the image was read from, as the page names the readout's port.
    const int comPort = image.Origin(RecorderMap::PointerSelector, RecorderMap::PointerAddress)
                            .value_or(ReadOrigin{})
                            .comPort;

    ReadoutResult readoutResult;
    if (kind == ReplayKind::Events) {
        EventReadout readout(host, requests, breakFlag, messages, pager, settings.texts, ident);
        readout.SetObserver(&summary);
        readout.Run(settings.files, settings.withReach, now);
        readoutResult = readout.Finish();
        UpdateSummaryPage(summary,
                          {ReadoutKind::Events, comPort, host.ClockText(), ident, settings.texts,
                           settings.withReach},
                          QDir::currentPath());
    } else {
        SumReadout readout(host, requests, breakFlag, messages, pager, ident);
        readout.SetObserver(&summary);
        SumReadoutChoice choice;
        choice.files = settings.files;
        choice.basis = settings.basis;
        choice.fullScale = settings.fullScale;
        readout.Run(choice, now);
        readoutResult = readout.Finish();
        UpdateSummaryPage(summary,
                          {ReadoutKind::Summator, comPort, host.ClockText(), ident, settings.texts,
                           settings.withReach, &readout, settings.fullScale},
                          QDir::currentPath());
    }

    result.readsAnswered = source.answered;
    result.readsMissing = source.missing;
    result.firstMissing = source.firstMissing;
    result.status = breakFlag            ? ReplayStatus::Broken
                    : source.missing > 0 ? ReplayStatus::CutShort
                                         : ReplayStatus::Done;
    result.fileError = readoutResult.fileFailed;
    return result;
}
