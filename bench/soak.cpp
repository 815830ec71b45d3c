// Soak: many readouts in a row through the real main window (offscreen)
// against the simulator in its own process, both memories, wrapped and not,
// with a fault switched on at a random moment of most readouts: silence for
// a few seconds, wrong checksums, cut replies, extra bytes, bytes slowed to
// near the link's limit, the line vanishing (the user then presses Break and
// the recorder is plugged in again), or Break alone.
//
// After each readout the files must hold only records of the simulator's
// memory, newest first, none twice, none garbled; across the run resident
// memory and open descriptors must stay flat and the window must answer.
// Prints one line per readout and the figures at the end; exits 2 on any
// failed check.

#include "app/zorvan_window.h"
#include "bench/sim_process.h"
#include "bench/soak_check.h"
#include "simulator/recorder_sim.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

class RecordingGateway : public MessageGateway {
public:
    void inform(MessageIcon, const QString& text) override { last = text; }
    bool confirm(const QString&) override { return false; }
    QString last;
};

// Resident size with the heap's free pages handed back first: what stays is
// in use. The checks of this program read whole files into memory; without
// this, the high-water mark of their buffers would read as growth.
long residentKiB() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

int openDescriptors() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

enum class Fault { None, Silence, BadChecksum, Cut, Extra, Slow, Vanish, Break };
constexpr std::array<const char*, 8> FaultNames = {
    "none", "silence", "bad checksum", "cut reply", "extra bytes", "slow bytes", "vanish", "break"};

// One simulator image per kind of memory, generated here so that the
// expected bytes are at hand.
struct Image {
    RecorderSimulator model;
    QString path;
};

bool makeImage(Image& image, bool wrapped, const QString& path, std::uint32_t seed) {
    GenerateOptions g;
    g.wrapped = wrapped;
    g.events = wrapped ? 300 : 5000;
    g.sums = wrapped ? 200 : 6000;
    g.seed = seed;
    g.newest = QDateTime(QDate(2026, 12, 1), QTime(12, 0));
    image.model.Generate(g);
    image.path = path;
    return image.model.SaveImage(path);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"readouts", "Readouts in the run (default 32).", "N", "32"});
    parser.addOption({"seed", "Seed of the faults and moments (default 1).", "N", "1"});
    parser.process(app);
    const int readouts = std::max(1, parser.value("readouts").toInt());
    std::mt19937 random(parser.value("seed").toUInt());

    QTemporaryDir work;
    std::array<Image, 2> images; // not wrapped, wrapped
    for (int w = 0; w < 2; ++w) {
        if (!makeImage(images[w], w == 1, work.filePath(QStringLiteral("image%1").arg(w)),
                       static_cast<std::uint32_t>(7 + w))) {
            std::fprintf(stderr, "cannot write the simulator's image\n");
            return 1;
        }
    }

    SimProcess sim;
    int served = -1; // which image the simulator serves
    RecordingGateway messages;
    const QString start = work.filePath(QStringLiteral("start"));
    QDir().mkpath(start);
    TZorvan window(messages, start);
    window.show();
    for (QCheckBox* box : {window.ELogBox, window.ETxtBox, window.EHexBox, window.LogBox,
                           window.TxtBox, window.HexBox})
        box->setChecked(true);
    const QDir run(window.RunFolder());

    // The window answers when its timer keeps coming; the longest gap shows
    // how long it was kept from its messages.
    QElapsedTimer sinceBeat;
    qint64 longestGapMs = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceBeat.restart()); });

    long firstRss = 0;
    long maxRss = 0;
    long lastRss = 0;
    int firstFds = 0;
    int minFds = 1 << 30;
    int maxFds = 0;
    int failures = 0;
    int complete = 0;
    QElapsedTimer total;
    total.start();

    for (int i = 0; i < readouts; ++i) {
        const bool sums = i % 2 == 1;
        // In every eight readouts three of a wrapped memory, one of them of
        // the event memory (the longest readout by far).
        const int w = i % 8 >= 3 && i % 8 <= 5 ? 1 : 0;
        const Image& image = images[w];
        if (served != w) {
            sim.Stop();
            if (!sim.Start(1,
                           {QStringLiteral("--image"), image.path, QStringLiteral("--control")})) {
                std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
                return 1;
            }
            served = w;
        }
        // Two readouts in eight go without a fault.
        const auto fault =
            static_cast<Fault>(std::uniform_int_distribution<int>(-1, 7)(random) < 1
                                   ? 0
                                   : std::uniform_int_distribution<int>(1, 7)(random));
        // Anywhere from the identification to the last records.
        const int recordsMs = sums ? 1000 : w == 1 ? 10000 : 2500;
        const int atMs = std::uniform_int_distribution<int>(300, 13000 + recordsMs)(random);

        // The fault's timers live with this object: a readout that ends
        // first takes its pending steps with it.
        auto scope = std::make_unique<QObject>();
        const auto later = [&](int ms, auto step) { QTimer::singleShot(ms, scope.get(), step); };
        const auto faultOn = [&](const QString& line, int forMs) {
            later(atMs, [&sim, line] { (void)sim.Control(line); });
            later(atMs + forMs, [&sim] { (void)sim.Control(QString()); });
        };
        std::uniform_int_distribution<int> shortly(300, 1500);
        switch (fault) {
        case Fault::None:
            break;
        case Fault::Silence:
            faultOn(QStringLiteral("--silent"),
                    std::uniform_int_distribution<int>(2000, 5000)(random));
            break;
        case Fault::BadChecksum:
            faultOn(QStringLiteral("--bad-checksum"), shortly(random));
            break;
        case Fault::Cut:
            faultOn(QStringLiteral("--cut-after %1")
                        .arg(std::uniform_int_distribution<int>(0, 12)(random)),
                    shortly(random));
            break;
        case Fault::Extra:
            faultOn(QStringLiteral("--extra-bytes %1")
                        .arg(std::uniform_int_distribution<int>(1, 6)(random)),
                    shortly(random));
            break;
        case Fault::Slow:
            // Just inside the link's 5 s per byte, for about one reply.
            faultOn(QStringLiteral("--byte-delay %1")
                        .arg(std::uniform_int_distribution<int>(4000, 4700)(random)),
                    50);
            break;
        case Fault::Vanish:
            later(atMs, [&sim] { (void)sim.Control(QStringLiteral("--vanish-after 0")); });
            later(atMs + 3000, [&window] { window.BreakButton->click(); });
            break;
        case Fault::Break:
            later(atMs, [&window] { window.BreakButton->click(); });
            break;
        }

        messages.last.clear();
        QElapsedTimer took;
        took.start();
        sinceBeat.start();
        heartbeat.start(20);
        (sums ? window.ReadSumButton : window.ReadMemButton)->click();
        heartbeat.stop();
        const double seconds = static_cast<double>(took.elapsed()) / 1000.0;
        scope.reset();
        const long rss = residentKiB();
        const int fds = openDescriptors();
        (void)sim.Control(QString());
        if (fault == Fault::Vanish && !sim.Control(QStringLiteral("reopen")).startsWith("READY")) {
            std::fprintf(stderr, "the simulator's line did not come back\n");
            return 1;
        }

        SoakExpectation expect;
        expect.memory = sums ? SoakMemory::Sums : SoakMemory::Events;
        expect.wrapped = w == 1;
        expect.pointer = sums ? image.model.SumPointer() : image.model.EventPointer();
        expect.columns = window.RadioMax->isChecked();
        expect.texts = window.Texts;
        expect.bytes = [&image](std::uint32_t address, int length) {
            return image.model.Bytes(4, address, length);
        };
        const QString base = sums ? QStringLiteral("summator") : QStringLiteral("zorvan");
        const SoakFiles files = CheckSoakFiles(expect, readFile(run.filePath(base + ".hex")),
                                               readFile(run.filePath(base + ".xls")));
        QString problem = files.problem;
        if (problem.isEmpty() && (window.OperationRunning() || !window.ReadMemButton->isEnabled() ||
                                  !window.ReadSumButton->isEnabled()))
            problem = QStringLiteral("the window did not come back from the readout");
        const bool whole = files.records == files.walkLength;
        complete += whole ? 1 : 0;
        if (!problem.isEmpty())
            ++failures;

        if (i == 1) { // after one readout of each memory
            firstRss = rss;
            firstFds = fds;
        }
        maxRss = std::max(maxRss, rss);
        lastRss = rss;
        minFds = std::min(minFds, fds);
        maxFds = std::max(maxFds, fds);
        std::printf(
            "%2d %-8s %-11s %-12s at %5.1f s  %6.1f s  %6d/%-6d records  rss %ld KiB  fds %d  "
            "%s%s%s\n",
            i + 1, sums ? "summator" : "events", w == 1 ? "wrapped" : "not wrapped",
            FaultNames[static_cast<std::size_t>(fault)], fault == Fault::None ? 0.0 : atMs / 1000.0,
            seconds, files.records, files.walkLength, rss, fds, qPrintable(messages.last),
            problem.isEmpty() ? "" : "  FAILED: ", qPrintable(problem));
        std::fflush(stdout);
    }

    const bool flatMemory = lastRss - firstRss < 4096; // a few MiB of slack for the heap
    const bool flatFds = maxFds == minFds;
    std::printf("\n%d readouts in %.0f s, %d read whole, %d failed checks\n"
                "resident memory %ld KiB after the first two readouts, %ld KiB at the end, "
                "at most %ld KiB (%s)\n"
                "open descriptors %d after the first two readouts, %d..%d across the run (%s)\n"
                "longest the window went without its timer during a readout: %lld ms\n",
                readouts, static_cast<double>(total.elapsed()) / 1000.0, complete, failures,
                firstRss, lastRss, maxRss, flatMemory ? "flat" : "GROWING", firstFds, minFds,
                maxFds, flatFds ? "flat" : "CHANGING", static_cast<long long>(longestGapMs));
    return failures == 0 && flatMemory && flatFds ? 0 : 2;
}
