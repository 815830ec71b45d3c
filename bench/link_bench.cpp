// Link benchmark: ReadBlock of 11 bytes against the simulator, which runs as
// its own process so that the CPU time measured here is the program's alone.
//   (a) unpaced: exchanges per second and CPU microseconds per exchange;
//   (b) paced at 9600 Bd, in several runs, each split by whose time it is:
//       - the simulator's pacing: how late the last byte of each reply comes
//         against the 9600 Bd schedule, seen by a minimal reader (plain POSIX
//         poll and read, no event loop), so the pseudo-terminal's own delay
//         is in it too;
//       - the program's reaction: from the last byte of a reply to the first
//         byte of the next request, as the simulator stamps them (--timing);
//         the minimal reader's reaction, stamped alike, is the floor;
//       - the program's CPU time (this process; the simulator is another),
//         and how often the program was woken per exchange.
// The load average is printed with every run: the machine may be shared.

#include "bench/sim_process.h"
#include "link/dtrans.h"
#include "link/pordt.h"

#include <QAbstractEventDispatcher>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int ComNumber = 9;
constexpr int Baud = 9600;
constexpr int RequestBytes = 8; // wake byte + 7
constexpr int ReplyBytes = 14;  // 11 data bytes with command, status and sum
constexpr double ByteUs = 10.0 * 1e6 / Baud;
constexpr double ExchangeLineUs = (RequestBytes + ReplyBytes) * ByteUs;

long waitCount = 0; // waits of the event loop

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long voluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

std::uint32_t addressOf(int i) {
    return 0x30000 + 11u * static_cast<std::uint32_t>(i % 5957);
}

// Reactions (microseconds) from the simulator's timing log; the first reply
// has none.
std::vector<double> reactions(const QString& path) {
    std::vector<double> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        bool ok = false;
        const double reaction = fields.value(0).toDouble(&ok);
        if (ok && reaction >= 0)
            out.push_back(reaction);
    }
    return out;
}

struct ProgramRun {
    int exchanges = 0;
    int failures = 0;
    double wall = 0;
    double cpu = 0;
    long switches = 0;
    long waits = 0;
};

ProgramRun exchange(int count) {
    ProgramRun run;
    Pordt port;
    (void)port.SetComNumber(ComNumber);
    (void)port.SetBaud(Baud);
    bool breakRequested = false;
    DTrans link(port, breakRequested);
    if (!port.SetOpen(true)) {
        std::fprintf(stderr, "open: %s\n", qPrintable(port.LastError()));
        return run;
    }
    QElapsedTimer wall;
    const long switches0 = voluntarySwitches();
    waitCount = 0;
    const double cpu0 = cpuSeconds();
    wall.start();
    for (int i = 0; i < count; ++i) {
        if (link.ReadBlock(addressOf(i), 11, 4) != LinkOk)
            ++run.failures;
        ++run.exchanges;
    }
    run.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpu0;
    run.switches = voluntarySwitches() - switches0;
    run.waits = waitCount;
    return run;
}

// The same reads with nothing but poll and read: how late the last byte of
// each reply comes against the line's schedule, which starts as the request
// is written (microseconds).
std::vector<double> readMinimal(const QString& device, int count, int* failures) {
    std::vector<double> late;
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        *failures = count;
        return late;
    }
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    (void)tcsetattr(fd, TCSANOW, &tio);
    for (int i = 0; i < count; ++i) {
        const std::uint32_t a = addressOf(i);
        std::uint8_t frame[RequestBytes] = {
            0x01, 0x04, std::uint8_t(a), std::uint8_t(a >> 8), std::uint8_t(a >> 16), 11, 4, 0};
        std::uint8_t sum = 0;
        for (int k = 1; k < RequestBytes - 1; ++k)
            sum = std::uint8_t(sum + frame[k]);
        frame[RequestBytes - 1] = std::uint8_t(~sum);
        const auto start = Clock::now();
        if (::write(fd, frame, sizeof frame) != RequestBytes) {
            ++*failures;
            continue;
        }
        std::uint8_t reply[ReplyBytes];
        int got = 0;
        auto last = start;
        while (got < ReplyBytes) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t n = ::read(fd, reply + got, std::size_t(ReplyBytes - got));
            if (n <= 0)
                break;
            got += int(n);
            last = Clock::now();
        }
        if (got < ReplyBytes) {
            ++*failures;
            continue;
        }
        const double us = std::chrono::duration<double, std::micro>(last - start).count();
        late.push_back(us - ExchangeLineUs);
    }
    ::close(fd);
    return late;
}

QStringList pacedOptions(const QString& timingLog) {
    return {QStringLiteral("--generate"), QStringLiteral("--baud"), QString::number(Baud),
            QStringLiteral("--timing"), timingLog};
}

struct PacedRun {
    QString loadBefore, loadAfter;
    double simLate = 0;       // mean lateness of a reply's last byte, minimal reader (us)
    double floorReaction = 0; // the minimal reader's mean reaction (us)
    double reaction = 0;      // the program's mean reaction (us)
    double reactionMedian = 0, reactionMax = 0;
    double cpuShare = 0;            // the program's CPU over wall time
    double cpuPerExchange = 0;      // us
    double lineRate = 0;            // line time over wall time, everything counted
    double programShare = 0;        // line time over line time + the program's reaction
    double switches = 0, waits = 0; // per exchange
    int failures = 0;
};

bool pacedRun(int count, int readerCount, const QString& folder, int index, PacedRun* out) {
    PacedRun& r = *out;
    r.loadBefore = loadAverage();
    const QString readerLog = folder + QStringLiteral("/reader-%1.txt").arg(index);
    const QString programLog = folder + QStringLiteral("/program-%1.txt").arg(index);
    {
        SimProcess sim;
        if (!sim.Start(ComNumber, pacedOptions(readerLog))) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return false;
        }
        r.simLate = mean(readMinimal(Pordt::DevicePath(ComNumber), readerCount, &r.failures));
    }
    r.floorReaction = mean(reactions(readerLog));
    ProgramRun p;
    {
        SimProcess sim;
        if (!sim.Start(ComNumber, pacedOptions(programLog))) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return false;
        }
        p = exchange(count);
    }
    r.loadAfter = loadAverage();
    const std::vector<double> reaction = reactions(programLog);
    r.reaction = mean(reaction);
    r.reactionMedian = median(reaction);
    r.reactionMax = reaction.empty() ? 0 : *std::max_element(reaction.begin(), reaction.end());
    const double n = std::max(p.exchanges, 1);
    r.cpuShare = p.cpu / p.wall;
    r.cpuPerExchange = p.cpu / n * 1e6;
    r.lineRate = n * ExchangeLineUs / 1e6 / p.wall;
    r.programShare = ExchangeLineUs / (ExchangeLineUs + r.reaction);
    r.switches = double(p.switches) / n;
    r.waits = double(p.waits) / n;
    r.failures += p.failures;
    return true;
}

void printSpread(const char* what, std::vector<double> values, const char* format) {
    std::sort(values.begin(), values.end());
    std::printf("  %-44s", what);
    std::printf(format, values.front());
    std::printf(" / ");
    std::printf(format, median(values));
    std::printf(" / ");
    std::printf(format, values.back());
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"unpaced", "Exchanges of the unpaced run.", "n", "20000"});
    parser.addOption({"paced", "Exchanges of each 9600 Bd run.", "n", "600"});
    parser.addOption({"reader", "Exchanges of the minimal reader in each run.", "n", "200"});
    parser.addOption({"runs", "Runs at 9600 Bd.", "n", "5"});
    parser.process(app);
    const int unpacedCount = parser.value("unpaced").toInt();
    const int pacedCount = std::max(parser.value("paced").toInt(), 1);
    const int readerCount = std::max(parser.value("reader").toInt(), 1);
    const int runs = std::max(parser.value("runs").toInt(), 1);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [] { ++waitCount; });

    bool ok = true;
    if (unpacedCount > 0) {
        SimProcess sim;
        if (!sim.Start(ComNumber, {QStringLiteral("--generate")})) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return 1;
        }
        const QString load = loadAverage();
        const ProgramRun r = exchange(unpacedCount);
        const double rate = r.exchanges / r.wall;
        const double cpuUs = r.cpu / r.exchanges * 1e6;
        std::printf("unpaced: %d exchanges, %d failed, %.2f s, %.0f exchanges/s, %.1f us CPU per "
                    "exchange (target >= 10000/s), load average %s\n",
                    r.exchanges, r.failures, r.wall, rate, cpuUs, qPrintable(load));
        ok = ok && rate >= 10000 && r.failures == 0;
    }

    QTemporaryDir folder;
    std::vector<PacedRun> all;
    std::printf("paced 9600 Bd: %d runs of %d exchanges (minimal reader: %d); line time %.0f us "
                "per exchange\n",
                runs, pacedCount, readerCount, ExchangeLineUs);
    for (int i = 0; i < runs; ++i) {
        PacedRun r;
        if (!pacedRun(pacedCount, readerCount, folder.path(), i, &r))
            return 1;
        std::printf(
            "  run %d: simulator late %.0f us | reaction %.0f us (median %.0f, max %.0f; floor "
            "%.0f) | CPU %.2f %% (%.0f us per exchange) | woken %.1f times per exchange (%.1f "
            "of them event-loop waits) | line rate %.3f, program's share %.3f | %d failed | load "
            "%s -> %s\n",
            i + 1, r.simLate, r.reaction, r.reactionMedian, r.reactionMax, r.floorReaction,
            r.cpuShare * 100, r.cpuPerExchange, r.switches, r.waits, r.lineRate, r.programShare,
            r.failures, qPrintable(r.loadBefore), qPrintable(r.loadAfter));
        std::fflush(stdout);
        all.push_back(r);
    }
    const auto pick = [&](double PacedRun::*field, double scale = 1) {
        std::vector<double> v;
        for (const PacedRun& r : all)
            v.push_back(r.*field * scale);
        return v;
    };
    std::printf("min / median / max over %d runs:\n", runs);
    printSpread("simulator late per reply (us)", pick(&PacedRun::simLate), "%.0f");
    printSpread("program's reaction, mean per run (us)", pick(&PacedRun::reaction), "%.0f");
    printSpread("minimal reader's reaction (us)", pick(&PacedRun::floorReaction), "%.0f");
    printSpread("program CPU (% of wall)", pick(&PacedRun::cpuShare, 100), "%.2f");
    printSpread("program wake-ups per exchange", pick(&PacedRun::switches), "%.1f");
    printSpread("line rate, everything counted", pick(&PacedRun::lineRate), "%.3f");
    printSpread("line rate, the program's share", pick(&PacedRun::programShare), "%.3f");
    bool targets = true;
    for (const PacedRun& r : all)
        targets = targets && r.cpuShare <= 0.02 && r.programShare >= 0.98 && r.failures == 0;
    std::printf("every run: program CPU <= 2 %% and its share of the line rate >= 0.98: %s\n",
                targets ? "yes" : "NO");
    return ok && targets ? 0 : 2;
}
