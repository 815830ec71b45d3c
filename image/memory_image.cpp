#include "image/memory_image.h"

#include <algorithm>
#include <cstring>

void MemoryImage::Record(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
                         int length, const ReadOrigin& origin) {
    if (length <= 0)
        return;
    const std::uint64_t end = std::uint64_t{address} + static_cast<std::uint64_t>(length);
    bool taken = false;
    // Only what lies in one of the recorder's areas is kept: a file may
    // claim any selector and address, and nothing else is ever asked for.
    for (const RecorderArea& area : RecorderAreas) {
        if (area.selector != selector)
            continue;
        const std::uint32_t from = std::max(address, area.begin);
        const auto to = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, area.end));
        if (from >= to)
            continue;
        if (!taken) {
            // Reads in the same millisecond from the same port share their origin.
            if (origins_.empty() || !(origins_.back() == origin))
                origins_.push_back(origin);
            taken = true;
        }
        store(selector, from, data + (from - address), to - from);
    }
    if (taken)
        ++blocks_;
}

void MemoryImage::store(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
                        std::uint32_t count) {
    const auto index = static_cast<std::int32_t>(origins_.size() - 1);
    for (std::uint32_t i = 0; i < count;) {
        const std::uint32_t a = address + i;
        const std::uint32_t offset = a % PageSize;
        const std::uint32_t n = std::min(count - i, PageSize - offset);
        Page& p = pages_[pageKey(selector, a)];
        std::memcpy(p.bytes.data() + offset, data + i, n);
        std::fill_n(p.origin.begin() + offset, n, index);
        i += n;
    }
}

const MemoryImage::Page* MemoryImage::page(std::uint8_t selector, std::uint32_t address) const {
    const auto it = pages_.find(pageKey(selector, address));
    return it == pages_.end() ? nullptr : &it->second;
}

bool MemoryImage::HoldsAny(std::uint8_t selector, std::uint32_t begin, std::uint32_t end) const {
    end = std::min(end, AddressSpace);
    if (begin >= end)
        return false;
    const std::uint32_t last = pageKey(selector, end - 1);
    for (auto it = pages_.lower_bound(pageKey(selector, begin));
         it != pages_.end() && it->first <= last; ++it) {
        const std::uint32_t base = (it->first & PageNumberMask) << PageBits;
        const std::uint32_t from = std::max(begin, base) - base;
        const std::uint32_t to = std::min(end, base + PageSize) - base;
        if (std::any_of(it->second.origin.begin() + from, it->second.origin.begin() + to,
                        [](std::int32_t i) { return i >= 0; }))
            return true;
    }
    return false;
}

bool MemoryImage::IsRead(std::uint8_t selector, std::uint32_t address, int length) const {
    if (length < 0 ||
        static_cast<std::uint64_t>(address) + static_cast<std::uint64_t>(length) > AddressSpace)
        return false;
    const auto end = address + static_cast<std::uint32_t>(length);
    for (std::uint32_t a = address; a < end;) {
        const Page* p = page(selector, a);
        const std::uint32_t offset = a % PageSize;
        const std::uint32_t n = std::min(end - a, PageSize - offset);
        if (p == nullptr || std::any_of(p->origin.begin() + offset, p->origin.begin() + offset + n,
                                        [](std::int32_t i) { return i < 0; }))
            return false;
        a += n;
    }
    return true;
}

std::optional<QByteArray> MemoryImage::Bytes(std::uint8_t selector, std::uint32_t address,
                                             int length) const {
    if (!IsRead(selector, address, length))
        return std::nullopt;
    QByteArray out(length, '\0');
    for (int i = 0; i < length; ++i) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(i);
        out[i] = page(selector, a)->bytes[a % PageSize];
    }
    return out;
}

std::optional<ReadOrigin> MemoryImage::Origin(std::uint8_t selector, std::uint32_t address) const {
    if (!IsRead(selector, address, 1))
        return std::nullopt;
    return origins_[static_cast<std::size_t>(page(selector, address)->origin[address % PageSize])];
}

std::vector<MemoryImage::Run> MemoryImage::Runs() const {
    std::vector<Run> runs;
    bool open = false; // the last run may go on in this page
    std::uint32_t nextKey = 0;
    for (const auto& [key, p] : pages_) {
        const auto selector = static_cast<std::uint8_t>(key >> PageNumberBits);
        const std::uint32_t base = (key & PageNumberMask) << PageBits;
        open = open && key == nextKey && (key & PageNumberMask) != 0;
        for (std::uint32_t i = 0; i < PageSize; ++i) {
            if (p.origin[i] < 0) {
                open = false;
                continue;
            }
            if (!open)
                runs.push_back({selector, base + i, {}});
            runs.back().bytes.append(p.bytes[i]);
            open = true;
        }
        nextKey = key + 1;
    }
    return runs;
}

std::uint8_t MemoryImage::Answer(std::uint32_t address, std::uint16_t length, std::uint8_t selector,
                                 std::uint8_t* data) const {
    // Only 24 address bits reach the recorder.
    address &= AddressSpace - 1;
    if (!IsRead(selector, address, length))
        return SilentRecorder;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint32_t a = address + i;
        data[i] = static_cast<std::uint8_t>(page(selector, a)->bytes[a % PageSize]);
    }
    return 0;
}
