// Incremental readout benchmark: a full, wrapped recorder already archived,
// then read again at 9600 Bd (paced simulator in its own process) after
// 1,000 new events and 200 new summator records, through the core readouts.
// The archive lives in a temporary folder, never the user's.
//
// The full readouts at 9600 Bd are not run (about half an hour): their time
// is computed from the measured time per record read on the line.

#include "archive/crane_archive.h"
#include "bench/console_gateway.h"
#include "bench/sim_process.h"
#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "readout/event_readout.h"
#include "readout/print_pager.h"
#include "summator/sum_readout.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int EventSlots = 77441;
constexpr int SumSlots = 8192;
constexpr int NewEvents = 1000;
constexpr int NewSums = 200;

// Progress goes nowhere; the clock is read as the window reads it.
class QuietHost : public ReadoutHost {
public:
    explicit QuietHost(RecorderRequests& requests) : requests_(requests) {}
    void SetStatusPanel(int, const QString&) override {}
    void SetReadoutColour() override {}
    void SetProgressMaximum(int) override {}
    void SetProgress(int) override {
        if (!firstRecord.isValid())
            firstRecord.start();
        // One step per record: when each one was done.
        done.push_back(firstRecord.nsecsElapsed());
    }
    void ShowNewestRecord() override {}
    bool ReadClock() override { return requests_.ReadClock(clock_); }
    QString ClockText() const override { return clock_; }

    QElapsedTimer firstRecord;
    std::vector<qint64> done;

private:
    RecorderRequests& requests_;
    QString clock_;
};

struct Timing {
    double seconds = 0;       // the whole readout
    double recordSeconds = 0; // from the first record on
    std::vector<qint64> done; // ns after the first record, per record
    QString counts;           // the log's last line
};

// One readout of the recorder on COM 1 into folder, adding to the archive in
// archiveDir, taking from it when sinceLast.
Timing readOut(bool events, bool sinceLast, const QString& archiveDir, const QString& folder) {
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    Pordt port;
    bool breakRequested = false;
    DTrans link(port, breakRequested);
    ConsoleGateway messages;
    RecorderRequests requests(link, messages);
    QuietHost host(requests);
    PrintPager pager;
    IdentData ident{};
    Timing timing;
    if (!port.SetOpen(true)) {
        std::fprintf(stderr, "port: %s\n", qPrintable(port.LastError()));
        return timing;
    }
    QElapsedTimer wall;
    wall.start();
    {
        CraneArchive archive(link, 1, archiveDir);
        const ArchiveUse use{&archive, sinceLast};
        const QDateTime now = QDateTime::currentDateTime();
        if (events) {
            const MessageTexts texts = MessageTexts::Defaults();
            EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
            readout.SetArchive(use);
            readout.Run({true, true, false}, true, now);
            readout.Finish();
        } else {
            SumReadout readout(host, requests, breakRequested, messages, pager, ident);
            readout.SetArchive(use);
            readout.Run({{true, true, false}, RatingBasis::Moment, 800}, now);
            readout.Finish();
        }
    }
    timing.seconds = double(wall.nsecsElapsed()) / 1e9;
    if (host.firstRecord.isValid())
        timing.recordSeconds = double(host.firstRecord.nsecsElapsed()) / 1e9;
    timing.done = std::move(host.done);
    (void)port.SetOpen(false);
    QFile log(QStringLiteral("zorvlog.txt"));
    if (log.open(QIODevice::ReadOnly)) {
        QStringDecoder cp1251("windows-1251");
        const QString text = cp1251(log.readAll());
        timing.counts = text.trimmed().split(QStringLiteral("\r\n")).last();
    }
    return timing;
}

int lineRecords(const QString& counts) {
    // "... с линии N, ...": the first number of the line.
    static const QRegularExpression number(QStringLiteral("(\\d+)"));
    const QRegularExpressionMatch m = number.match(counts);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The records read from the line come first in the walk, the archived ones
// after them: the line's share is the time up to the last line record.
void report(const char* what, const Timing& t, int slotCount, double target) {
    const int fullRecords = int(t.done.size());
    const int line = lineRecords(t.counts);
    if (line < 1 || t.done.size() < std::size_t(line)) {
        std::printf("%s: %.1f s, no record count\n", what, t.seconds);
        return;
    }
    const double fixed = t.seconds - t.recordSeconds;
    const double lineSeconds = double(t.done[std::size_t(line) - 1]) / 1e9;
    const double perRecord = lineSeconds / line;
    const double archived = t.recordSeconds - lineSeconds;
    std::printf("%s: %.1f s in all (target <= %.0f s): %.1f s before the first record, %.1f s "
                "for %d records from the line (%.1f ms each), %.1f s for %zu from the archive; "
                "a full readout of these %d records: %.1f min (%.1f s + %d x %.1f ms), of a "
                "whole memory of %d: %.1f min\n",
                what, t.seconds, target, fixed, lineSeconds, line, perRecord * 1e3, archived,
                t.done.size() - std::size_t(line), fullRecords,
                (fixed + fullRecords * perRecord) / 60.0, fixed, fullRecords, perRecord * 1e3,
                slotCount, (fixed + slotCount * perRecord) / 60.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString archiveDir = work.filePath(QStringLiteral("archive"));
    // Every slot of both memories full, the newest at the top of the area:
    // a full readout reads all 77,441 and 8,192 records.
    const QStringList recorder{QStringLiteral("--wrapped"), QStringLiteral("--event-pointer"),
                               QStringLiteral("FFFEC"),     QStringLiteral("--sum-pointer"),
                               QStringLiteral("2FFF0"),     QStringLiteral("--seed"),
                               QStringLiteral("5")};
    // The same recorder in both runs: generated once, then served from its
    // image (generated records take their times from the clock).
    const QString image = work.filePath(QStringLiteral("recorder.img"));
    {
        // Archived first, as fast as the simulator goes.
        SimProcess sim;
        if (!sim.Start(1, recorder + QStringList{QStringLiteral("--generate"),
                                                 QStringLiteral("--save-image"), image})) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return 1;
        }
        const Timing e = readOut(true, false, archiveDir, work.filePath(QStringLiteral("a1")));
        const Timing s = readOut(false, false, archiveDir, work.filePath(QStringLiteral("a2")));
        std::printf("archived unpaced: events %.1f s, summator %.1f s\n", e.seconds, s.seconds);
        std::fflush(stdout);
    }
    SimProcess sim;
    if (!sim.Start(1, {QStringLiteral("--image"), image, QStringLiteral("--baud"),
                       QStringLiteral("9600"), QStringLiteral("--append-events"),
                       QString::number(NewEvents), QStringLiteral("--append-sums"),
                       QString::number(NewSums)})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
        return 1;
    }
    const Timing e = readOut(true, true, archiveDir, work.filePath(QStringLiteral("b1")));
    std::printf("%s\n", qPrintable(e.counts));
    report("events since last at 9600 Bd, 1,000 new", e, EventSlots, 40);
    const Timing s = readOut(false, true, archiveDir, work.filePath(QStringLiteral("b2")));
    std::printf("%s\n", qPrintable(s.counts));
    report("summator since last at 9600 Bd, 200 new", s, SumSlots, 40);
    return e.seconds <= 40 && s.seconds <= 40 ? 0 : 2;
}
