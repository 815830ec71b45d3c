// Readout benchmark: full memory readouts through the real main window
// (offscreen) against the unpaced simulator running as its own process.
//   event memory: 77,441 records, all three event files;
//   summator: 8,192 records, all three summator files and the report.
// Reports wall time, records per second and memory: the resident size is
// sampled during the readout to show that it stays flat.
// With --vanish-after n the recorder's line dies after n requests (an adapter
// pulled out mid-readout): only the event readout runs, and the time from the
// last record read to the end of the readout is reported.

#include "app/zorvan_window.h"
#include "bench/console_gateway.h"
#include "bench/sim_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Result {
    double seconds = 0;
    double recordSeconds = 0; // from the first record to the end
    double afterLastRecord = 0;
    long firstSample = 0; // resident size once the records flow
    long lastSample = 0;
    long maxSample = 0;
};

template <typename Click> Result measure(TZorvan& window, Click click) {
    Result result;
    qint64 firstRecordNs = -1;
    qint64 lastRecordNs = -1;
    QTimer sampler;
    int samples = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const long now = residentKiB();
        if (samples++ == 0)
            result.firstSample = now;
        result.lastSample = now;
        result.maxSample = std::max(result.maxSample, now);
    });
    QElapsedTimer wall;
    wall.start();
    const auto progress = QObject::connect(window.ReadBar, &QProgressBar::valueChanged, [&](int v) {
        if (v > 0 && firstRecordNs < 0)
            firstRecordNs = wall.nsecsElapsed();
        if (v > 0)
            lastRecordNs = wall.nsecsElapsed();
    });
    // Start sampling after the identification phase (about 10 s of pauses).
    QTimer::singleShot(11000, [&] { sampler.start(250); });
    click();
    result.seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    if (firstRecordNs >= 0)
        result.recordSeconds = static_cast<double>(wall.nsecsElapsed() - firstRecordNs) / 1e9;
    if (lastRecordNs >= 0)
        result.afterLastRecord = static_cast<double>(wall.nsecsElapsed() - lastRecordNs) / 1e9;
    QObject::disconnect(progress);
    sampler.stop();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's readouts add to the archive: a benchmark's go elsewhere.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"skip-events", "Leave out the event memory readout."});
    parser.addOption({"skip-sums", "Leave out the summator readout."});
    parser.addOption({"vanish-after", "The line dies after n requests; event readout only.", "n"});
    parser.process(app);

    QStringList simOptions{QStringLiteral("--generate"),      QStringLiteral("--wrapped"),
                           QStringLiteral("--event-pointer"), QStringLiteral("58001"),
                           QStringLiteral("--sum-pointer"),   QStringLiteral("18000")};
    const bool vanish = parser.isSet("vanish-after");
    if (vanish)
        simOptions << QStringLiteral("--vanish-after") << parser.value("vanish-after");
    SimProcess sim;
    if (!sim.Start(1, simOptions)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.Error()));
        return 1;
    }
    QTemporaryDir start;
    ConsoleGateway messages;
    TZorvan window(messages, start.path());
    window.show();
    bool ok = true;

    if (vanish) {
        const Result r = measure(window, [&] { window.ReadMemButtonClick(); });
        std::printf("pulled adapter: the readout ended %.2f s after the last record read "
                    "(%.2f s in all)\n",
                    r.afterLastRecord, r.seconds);
        return 0;
    }
    if (!parser.isSet("skip-events")) {
        window.ELogBox->setChecked(true);
        window.ETxtBox->setChecked(true);
        window.EHexBox->setChecked(true);
        const Result r = measure(window, [&] { window.ReadMemButtonClick(); });
        const int records = 77441;
        std::printf("event readout: %d records, %.2f s in all (%.2f s from the first record), "
                    "%.0f records/s; resident %ld -> %ld KiB (max %ld) during the records, peak "
                    "%ld KiB (target < 20 s, flat)\n",
                    records, r.seconds, r.recordSeconds, records / r.recordSeconds, r.firstSample,
                    r.lastSample, r.maxSample, peakKiB());
        ok = ok && r.seconds < 20.0;
    }
    if (!parser.isSet("skip-sums")) {
        window.LogBox->setChecked(true);
        window.TxtBox->setChecked(true);
        window.HexBox->setChecked(true);
        const Result r = measure(window, [&] { window.ReadSumButtonClick(); });
        const int records = 8192;
        // The identification and the other fixed pauses take about 10.4 s.
        std::printf("summator readout: %d records, %.2f s in all (%.2f s from the first record), "
                    "%.0f records/s, peak %ld KiB (target < 3 s for the records)\n",
                    records, r.seconds, r.recordSeconds, records / r.recordSeconds, peakKiB());
    }
    return ok ? 0 : 2;
}
