#include "image/memory_image.h"

#include <algorithm>
#include <cstring>

void MemoryImage::Record(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
                         int length, const ReadOrigin& origin) {
    if (address >= AddressSpace || length <= 0)
        return;
    const int count = static_cast<int>(
        std::min<std::uint32_t>(static_cast<std::uint32_t>(length), AddressSpace - address));
    // Consecutive reads of one readout mostly share nothing but the port; a
    // new origin per block keeps the time of every record.
    if (origins_.empty() || !(origins_.back() == origin))
        origins_.push_back(origin);
    const auto index = static_cast<std::int32_t>(origins_.size() - 1);

    Area& a = areas_[selector];
    const auto end = static_cast<qsizetype>(address) + count;
    if (a.bytes.size() < end) {
        a.bytes.resize(end, '\xFF');
        a.origin.resize(static_cast<std::size_t>(end), -1);
    }
    std::memcpy(a.bytes.data() + address, data, static_cast<std::size_t>(count));
    std::fill_n(a.origin.begin() + address, count, index);
    ++blocks_;
}

const MemoryImage::Area* MemoryImage::area(std::uint8_t selector) const {
    const auto it = areas_.find(selector);
    return it == areas_.end() ? nullptr : &it->second;
}

bool MemoryImage::IsRead(std::uint8_t selector, std::uint32_t address, int length) const {
    const Area* a = area(selector);
    if (a == nullptr || length < 0 ||
        static_cast<std::uint64_t>(address) + static_cast<std::uint64_t>(length) >
            static_cast<std::uint64_t>(a->bytes.size()))
        return false;
    const auto from = a->origin.begin() + address;
    return std::none_of(from, from + length, [](std::int32_t i) { return i < 0; });
}

std::optional<QByteArray> MemoryImage::Bytes(std::uint8_t selector, std::uint32_t address,
                                             int length) const {
    if (!IsRead(selector, address, length))
        return std::nullopt;
    return area(selector)->bytes.mid(address, length);
}

std::optional<ReadOrigin> MemoryImage::Origin(std::uint8_t selector, std::uint32_t address) const {
    if (!IsRead(selector, address, 1))
        return std::nullopt;
    return origins_[static_cast<std::size_t>(area(selector)->origin[address])];
}

std::vector<MemoryImage::Run> MemoryImage::Runs() const {
    std::vector<Run> runs;
    for (const auto& [selector, a] : areas_) {
        const auto size = static_cast<std::uint32_t>(a.bytes.size());
        std::uint32_t i = 0;
        while (i < size) {
            if (a.origin[i] < 0) {
                ++i;
                continue;
            }
            std::uint32_t end = i;
            while (end < size && a.origin[end] >= 0)
                ++end;
            runs.push_back({selector, i, a.bytes.mid(i, end - i)});
            i = end;
        }
    }
    return runs;
}

std::uint8_t MemoryImage::Answer(std::uint32_t address, std::uint16_t length, std::uint8_t selector,
                                 std::uint8_t* data) const {
    // Only 24 address bits reach the recorder.
    address &= AddressSpace - 1;
    if (!IsRead(selector, address, length))
        return SilentRecorder;
    std::memcpy(data, area(selector)->bytes.constData() + address, length);
    return 0;
}
