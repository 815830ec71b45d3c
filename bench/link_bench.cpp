// Link benchmark: ReadBlock of 11 bytes against the simulator, which runs as
// its own process so that the CPU time measured here is the program's alone.
//   (a) unpaced: exchanges per second and CPU microseconds per exchange;
//   (b) paced at 9600 Bd: wall time against pure line time, CPU share.

#include "bench/console_gateway.h"
#include "bench/sim_process.h"
#include "link/dtrans.h"
#include "link/pordt.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Run {
    int exchanges = 0;
    int failures = 0;
    double wall = 0;
    double cpu = 0;
};

Run exchange(int count, int baud) {
    Run run;
    Pordt port;
    (void)port.SetComNumber(9);
    (void)port.SetBaud(baud);
    bool breakRequested = false;
    DTrans link(port, breakRequested);
    if (!port.SetOpen(true)) {
        std::fprintf(stderr, "open: %s\n", qPrintable(port.LastError()));
        return run;
    }
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    for (int i = 0; i < count; ++i) {
        const std::uint32_t address = 0x30000 + 11u * static_cast<std::uint32_t>(i % 5957);
        if (link.ReadBlock(address, 11, 4) != LinkOk)
            ++run.failures;
        ++run.exchanges;
    }
    run.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpu0;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"unpaced", "Exchanges of the unpaced run.", "n", "20000"});
    parser.addOption({"paced", "Exchanges of the 9600 Bd run.", "n", "400"});
    parser.process(app);
    const int unpacedCount = parser.value("unpaced").toInt();
    const int pacedCount = parser.value("paced").toInt();

    bool ok = true;
    {
        SimProcess sim;
        if (!sim.Start(9, {QStringLiteral("--generate")})) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return 1;
        }
        const Run r = exchange(unpacedCount, 9600);
        const double rate = r.exchanges / r.wall;
        const double cpuUs = r.cpu / r.exchanges * 1e6;
        std::printf("unpaced: %d exchanges, %d failed, %.2f s, %.0f exchanges/s, %.1f us CPU per "
                    "exchange (target >= 10000/s)\n",
                    r.exchanges, r.failures, r.wall, rate, cpuUs);
        ok = ok && rate >= 10000 && r.failures == 0;
    }
    {
        SimProcess sim;
        if (!sim.Start(9, {QStringLiteral("--generate"), QStringLiteral("--baud"),
                           QStringLiteral("9600")})) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
            return 1;
        }
        const Run r = exchange(pacedCount, 9600);
        // 8 bytes out (wake byte + 7), 14 bytes back, 10 bits each.
        const double lineTime = r.exchanges * 22.0 * 10.0 / 9600.0;
        const double share = lineTime / r.wall;
        const double cpuShare = r.cpu / r.wall;
        std::printf("paced 9600 Bd: %d exchanges, %d failed, %.2f s wall, %.2f s line time, "
                    "%.3f of line rate (target >= 0.97), CPU %.2f %% of wall (target < 3 %%)\n",
                    r.exchanges, r.failures, r.wall, lineTime, share, cpuShare * 100.0);
        ok = ok && share >= 0.97 && cpuShare < 0.03 && r.failures == 0;
    }
    return ok ? 0 : 2;
}
