#include "readout/record_archive.h"

#include <algorithm>
#include <array>

SinceLastWalk::SinceLastWalk(const RecordArchive& archive, std::uint32_t newest,
                             std::uint16_t length)
    : archive_(archive), newest_(newest), length_(length) {}

void SinceLastWalk::LineRecord(std::uint32_t address, const std::uint8_t* data) {
    ++fromLine_;
    if (trusted_)
        return;
    std::array<std::uint8_t, 32> archived{};
    const bool same = length_ <= archived.size() &&
                      archive_.Record(address, length_, archived.data()) &&
                      std::equal(data, data + length_, archived.begin());
    if (!same) {
        run_ = 0;
        newestInRun_ = false;
        return;
    }
    ++run_;
    newestInRun_ = newestInRun_ || address == newest_;
    trusted_ = newestInRun_ && run_ >= MinRun;
}

bool SinceLastWalk::TakeArchived(std::uint32_t address, std::uint8_t* data) {
    if (!trusted_ || !archive_.Record(address, length_, data))
        return false;
    ++fromArchive_;
    return true;
}

QString SinceLastWalk::LogLine() const {
    return QStringLiteral("Записей прочитано с линии ") + QString::number(fromLine_) +
           QStringLiteral(", взято из архива ") + QString::number(fromArchive_);
}

std::optional<SinceLastWalk> SinceLastFor(const RecordArchive* archive, bool wanted,
                                          RecordMemory memory, std::uint16_t length) {
    if (!archive || !wanted)
        return std::nullopt;
    const std::optional<std::uint32_t> newest = archive->LastWalk(memory);
    if (!newest)
        return std::nullopt;
    return SinceLastWalk(*archive, *newest, length);
}
