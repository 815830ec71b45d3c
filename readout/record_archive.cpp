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
    std::int64_t readAt = 0;
    const bool same = length_ <= archived.size() &&
                      archive_.Record(address, length_, archived.data(), readAt) &&
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

bool SinceLastWalk::TakeArchived(std::uint32_t address, std::uint8_t* data, std::int64_t& readAt) {
    if (!trusted_ || !archive_.Record(address, length_, data, readAt))
        return false;
    ++fromArchive_;
    return true;
}

QString ArchiveProblemText(const QString& problem) {
    return QStringLiteral("Архив не ведется: ") + problem;
}

QString RecordSourcesText(const QString& fromLine, const QString& fromArchive) {
    return QStringLiteral("Записей прочитано с линии ") + fromLine +
           QStringLiteral(", взято из архива ") + fromArchive;
}

QString SinceLastWalk::LogLine() const {
    return RecordSourcesText(QString::number(fromLine_), QString::number(fromArchive_));
}

std::optional<SinceLastWalk> BeginArchivedWalk(RecordArchive* archive, bool wanted,
                                               RecordMemory memory, std::uint16_t length) {
    if (!archive)
        return std::nullopt;
    // Begun whether or not it takes from the archive: it adds to it.
    const std::optional<std::uint32_t> newest = archive->BeginWalk(memory);
    if (!wanted || !newest)
        return std::nullopt;
    return SinceLastWalk(*archive, *newest, length);
}
