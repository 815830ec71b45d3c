// Replay benchmark: a full event memory (77,441 records) and a full summator
// (8,192 records) replayed from a memory image into all their files, with no
// serial port and no pauses. The image is that of a fully wrapped simulated
// recorder, saved and loaded through the image file.

#include "bench/console_gateway.h"
#include "image/image_file.h"
#include "image/replay.h"
#include "simulator/history_generator.h"
#include "simulator/recorder_memory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Counts the progress calls; the records are the status lines of panel 0.
class CountingHost : public QuietReadoutHost {
public:
    void SetStatusPanel(int index, const QString&) override { records += index == 0; }
    int records = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    RecorderMemory memory;
    GenerateOptions options;
    options.wrapped = true;
    // Newest records at the end of their pages: every slot is read.
    options.eventPointer = 0x3FFEC;
    options.sumPointer = 0x1FFF0;
    GenerateHistory(memory, options, QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    memory.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
    const QByteArray file = memory.ToImage();

    QElapsedTimer clock;
    clock.start();
    MemoryImage image;
    const ImageLoad load = LoadMemoryImage(file, image);
    if (!load.ok) {
        std::fprintf(stderr, "replay-bench: %s\n", qPrintable(load.error));
        return 1;
    }
    std::printf("load %.1f MB image: %lld ms\n", double(file.size()) / 1e6,
                static_cast<long long>(clock.elapsed()));

    // The image a window readout of both memories writes: a chunk per record.
    QByteArray perRecord = ImageFormat::Header();
    for (int i = 0; i < RecorderMemory::EventSlots + RecorderMemory::SumSlots; ++i) {
        const bool event = i < RecorderMemory::EventSlots;
        const std::uint32_t address =
            event ? RecorderMemory::EventSlotAddress(i)
                  : RecorderMemory::SumSlotAddress(i - RecorderMemory::EventSlots);
        const int size = event ? RecorderMemory::EventSize : RecorderMemory::SumSize;
        const QByteArray record = memory.Get(RecorderMemory::MainSelector, address, size);
        ImageFormat::AppendBlock(perRecord, RecorderMemory::MainSelector, address,
                                 reinterpret_cast<const std::uint8_t*>(record.constData()), size,
                                 {1765184640000 + i, 1});
    }
    clock.restart();
    MemoryImage readout;
    (void)LoadMemoryImage(perRecord, readout);
    std::printf("load %.1f MB image of %d record chunks: %lld ms\n", double(perRecord.size()) / 1e6,
                readout.BlockCount(), static_cast<long long>(clock.elapsed()));

    QTemporaryDir out;
    ConsoleGateway messages;
    ReplaySettings settings;
    settings.files = {true, true, true};
    for (const ReplayKind kind : {ReplayKind::Events, ReplayKind::Summator}) {
        CountingHost host;
        clock.restart();
        const ReplayResult result =
            ReplayReadout(image, kind, settings, out.path(), host, messages);
        const qint64 ms = clock.elapsed();
        std::printf("%s: %d records in %lld ms (%.0f records/s)%s\n",
                    kind == ReplayKind::Events ? "event memory" : "summator", host.records,
                    static_cast<long long>(ms), ms > 0 ? host.records * 1000.0 / double(ms) : 0.0,
                    result.status == ReplayStatus::Done ? "" : " NOT DONE");
    }
    return 0;
}
