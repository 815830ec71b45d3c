// The simulator's memory-image loader: any bytes. An image is taken whole or
// refused with the memory unchanged; a taken image saves and loads again to
// the same memory, and reads anywhere stay inside their areas.
//
// A whole image is over a megabyte, too big to be found by mutation, so the
// input is tried twice: as an image of its own, and as a patch to a whole
// one: a byte of choices (bit 0: the image ends after the patch), a 32-bit
// little-endian offset, then the bytes written over the image there.

#include "fuzz/fuzz_support.h"
#include "simulator/recorder_memory.h"

#include <QtEndian>

#include <cstdlib>

namespace {

// The image without its last five bytes, the clock, which runs on.
QByteArray Contents(const RecorderMemory& memory) {
    return memory.ToImage().chopped(5);
}

// What a refused image must leave as it was. Areas are compared by their
// bytes where small, the megabyte of main memory by its being the very same
// (unshared only once written to).
bool Unchanged(RecorderMemory& memory, RecorderMemory& blank) {
    return memory.Main().isSharedWith(blank.Main()) &&
           memory.Get(RecorderMemory::IdentSelector, RecorderMemory::IdentAddress,
                      RecorderMemory::IdentSize) == QByteArray(RecorderMemory::IdentSize, '\xFF') &&
           memory.EventPointer() == blank.EventPointer() &&
           memory.SumPointer() == blank.SumPointer() &&
           memory.Get(RecorderMemory::EraseTimeSelector, RecorderMemory::EraseTimeAddress, 5) ==
               blank.Get(RecorderMemory::EraseTimeSelector, RecorderMemory::EraseTimeAddress, 5);
}

void TryImage(const QByteArray& image) {
    static RecorderMemory blank;
    RecorderMemory memory = blank; // shares the blank areas until written
    if (!memory.FromImage(image)) {
        if (!Unchanged(memory, blank))
            std::abort();
        return;
    }
    RecorderMemory again = blank;
    if (!again.FromImage(memory.ToImage()) || Contents(again) != Contents(memory))
        std::abort();
    for (std::uint8_t selector = 0; selector < 9; ++selector)
        if (memory.Get(selector, memory.EventPointer(), 255).size() != 255 ||
            memory.Get(selector, memory.SumPointer(), 255).size() != 255)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QByteArray whole = RecorderMemory().ToImage();
    const QByteArray bytes = Bytes(data, size);
    TryImage(bytes);

    if (bytes.size() < 5)
        return 0;
    const auto offset =
        static_cast<qsizetype>(qFromLittleEndian<std::uint32_t>(bytes.constData() + 1) %
                               static_cast<std::uint32_t>(whole.size()));
    QByteArray patched = whole;
    const QByteArray patch = bytes.mid(5);
    patched.replace(offset, std::min(patch.size(), patched.size() - offset), patch);
    if ((bytes[0] & 0x01) != 0)
        patched.truncate(offset + patch.size());
    TryImage(patched);
    return 0;
}
