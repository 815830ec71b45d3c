// Time and size of the summary page for full memories: a wrapped event memory
// (77,441 records) and a wrapped summator (8,192), fed in readout order.
//
//   summary-bench [FOLDER]   writes index.html into FOLDER (default: a new
//                            temporary folder, kept) and prints the figures.

#include "summary/summary_page.h"
#include "tests/summary/memory_feed.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString folder = app.arguments().value(1);
    if (folder.isEmpty()) {
        QTemporaryDir dir;
        dir.setAutoRemove(false);
        folder = dir.path();
    }
    QDir().mkpath(folder);

    RecorderSimulator sim;
    GenerateOptions options;
    options.wrapped = true;
    options.eventPointer = RecorderMap::LastEventSlot;
    options.sumPointer = RecorderMap::LastSumSlot;
    sim.Generate(options);

    RunSummary summary;
    const QDateTime now = QDateTime::currentDateTime();
    QElapsedTimer feed;
    feed.start();
    FeedMemory(summary, sim, ReadoutKind::Events, now);
    FeedMemory(summary, sim, ReadoutKind::Summator, now);
    const qint64 feedMs = feed.elapsed();

    IdentData ident{};
    const QByteArray area = sim.Bytes(3, 1538, int(ident.size()));
    std::copy(area.begin(), area.end(), ident.begin());
    summary.NoteReadout(ReadoutKind::Events, 1, now.toString("dd.MM.yyyy hh:mm"), ident);
    summary.NoteReadout(ReadoutKind::Summator, 1, now.toString("dd.MM.yyyy hh:mm"), ident);
    LoadSpectrum spectrum;
    spectrum.Reset();
    for (std::uint32_t a = RecorderMap::LastSumSlot; a >= RecorderMap::SumStart; a -= 16) {
        const QByteArray r = sim.Bytes(4, a, 16);
        const RecordCopy reply =
            ReplyOf({reinterpret_cast<const std::uint8_t*>(r.constData()), 16}, 0xFF);
        (void)spectrum.Rating(ReplyView(reply), RatingBasis::Moment, 800);
    }
    summary.NoteSpectrum(spectrum, RatingBasis::Moment, 800, "01.01.2020 00:00");

    const int rounds = 5;
    qint64 worst = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer write;
        write.start();
        QString error;
        if (!WriteSummaryPage(summary, folder, &error)) {
            std::fprintf(stderr, "page not written: %s\n", qPrintable(error));
            return 1;
        }
        worst = std::max(worst, write.elapsed());
    }
    const QString page = QDir(folder).filePath(SummaryPageName);
    std::printf("records fed: %d events, %d summator (%lld ms)\n",
                summary.Memory(ReadoutKind::Events).records,
                summary.Memory(ReadoutKind::Summator).records, feedMs);
    std::printf("page written %d times, slowest %lld ms (target < 2000 ms)\n", rounds, worst);
    std::printf("page size %lld bytes (target < 1048576): %s\n", QFileInfo(page).size(),
                qPrintable(page));
    return worst < 2000 && QFileInfo(page).size() < 1048576 ? 0 : 2;
}
