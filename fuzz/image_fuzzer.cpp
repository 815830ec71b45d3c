// The memory-image loader, any bytes: a readout's "recorder.img" and what
// recorder-sim --image serves. An image is taken or refused with a message;
// one that is taken saves and loads again to the same bytes read, and the
// simulator takes or refuses the same bytes alike.

#include "fuzz/fuzz_support.h"
#include "image/image_file.h"
#include "simulator/recorder_memory.h"

#include <cstdlib>

namespace {

bool SameRuns(const MemoryImage& a, const MemoryImage& b) {
    const auto x = a.Runs();
    const auto y = b.Runs();
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i].selector != y[i].selector || x[i].address != y[i].address ||
            x[i].bytes != y[i].bytes)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = Bytes(data, size);

    MemoryImage image;
    const ImageLoad load = LoadMemoryImage(bytes, image);
    if (!load.ok) {
        // Refused: with a reason, and nothing of it kept.
        if (load.error.isEmpty() || !image.Empty())
            std::abort();
    } else {
        if (load.completeSize < ImageFormat::HeaderSize || load.completeSize > bytes.size())
            std::abort();
        MemoryImage again;
        if (!LoadMemoryImage(ImageFormat::Serialize(image), again).ok || !SameRuns(image, again))
            std::abort();
        // Every run answers a read of its own bytes.
        for (const MemoryImage::Run& run : image.Runs()) {
            std::uint8_t out[32];
            const int length = std::min<int>(static_cast<int>(run.bytes.size()), 32);
            if (image.Answer(run.address, static_cast<std::uint16_t>(length), run.selector, out) !=
                0)
                std::abort();
        }
    }

    RecorderMemory memory;
    QString error;
    if (!memory.FromImage(bytes, &error) && error.isEmpty())
        std::abort();
    return 0;
}
