#include "archive/crane_archive.h"

#include "archive/archive_database.h"
#include "link/dtrans.h"

#include <QDateTime>
#include <QDir>

namespace {

// Blocks read before the identification (none, in a readout) are few; a
// watch that never sees one must not grow without end.
constexpr std::size_t MaxHeld = 256;

std::int64_t Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

CraneArchive::CraneArchive(DTrans& link, int comPort, QString folder)
    : link_(link), comPort_(comPort), folder_(std::move(folder)), ident_(IdentSize, '\xFF') {
    link_.AddReadObserver(this);
}

CraneArchive::~CraneArchive() {
    link_.RemoveReadObserver(this);
    Close();
}

void CraneArchive::Close() {
    if (store_.IsOpen() && !store_.Close() && error_.isEmpty())
        error_ = store_.Error() + QStringLiteral(": ") + QDir::toNativeSeparators(DatabasePath());
}

QString CraneArchive::DatabasePath() const {
    return folder_ + QLatin1Char('/') + ArchiveDatabase::FileName;
}

void CraneArchive::BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                             std::uint16_t length) {
    const bool identBlock = selector == IdentSelector && address >= IdentAddress &&
                            address + length <= IdentAddress + IdentSize &&
                            (address - IdentAddress) % RecorderMap::IdentBlockLength == 0;
    if (identBlock && address == IdentAddress && !key_.isEmpty()) {
        // A new identification read: the recorder on the line may be another.
        store_.Close();
        key_.clear();
        identRead_.reset();
    }
    if (!key_.isEmpty()) {
        add(address, selector, data, length);
        return;
    }
    if (held_.size() < MaxHeld)
        held_.push_back(
            {address, selector, QByteArray(reinterpret_cast<const char*>(data), length)});
    if (identBlock) {
        const std::uint32_t offset = address - IdentAddress;
        ident_.replace(qsizetype(offset), length,
                       QByteArray(reinterpret_cast<const char*>(data), length));
        identRead_.set(offset / RecorderMap::IdentBlockLength);
        if (identRead_.all())
            identified();
    }
}

void CraneArchive::identified() {
    key_ = RecorderKey(ident_);
    error_.clear();
    if (!QDir().mkpath(folder_)) {
        error_ = QStringLiteral("не удалось создать папку ") + folder_;
        held_.clear();
        return;
    }
    if (!store_.Open(DatabasePath(), key_, ident_, comPort_, Now())) {
        error_ = store_.Error() + QStringLiteral(": ") + QDir::toNativeSeparators(DatabasePath());
        held_.clear();
        return;
    }
    for (const Held& block : held_)
        add(block.address, block.selector,
            reinterpret_cast<const std::uint8_t*>(block.data.constData()),
            std::uint16_t(block.data.size()));
    held_.clear();
}

void CraneArchive::add(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                       std::uint16_t length) {
    if (store_.IsOpen() && !store_.Add(selector, address, data, length, Now()))
        stopped();
}

void CraneArchive::stopped() {
    if (error_.isEmpty())
        error_ = store_.Error() + QStringLiteral(": ") + QDir::toNativeSeparators(DatabasePath());
    store_.Close();
}

std::optional<std::uint32_t> CraneArchive::BeginWalk(RecordMemory memory) {
    if (!store_.IsOpen())
        return std::nullopt;
    const std::optional<std::uint32_t> anchor = store_.BeginWalk(memory);
    if (!store_.IsOpen())
        stopped();
    return anchor;
}

bool CraneArchive::Record(std::uint32_t address, std::uint16_t length, std::uint8_t* data,
                          std::int64_t& readAt) const {
    return store_.Record(address, length, data, readAt);
}

void CraneArchive::WalkRead(RecordMemory memory, std::uint32_t pointer) {
    // Only a walk that is in the archive whole can vouch for it.
    if (!store_.IsOpen())
        return;
    store_.WalkRead(memory, pointer, Now());
    if (!store_.IsOpen())
        stopped();
}

QString CraneArchive::TakeProblem() {
    if (error_.isEmpty() || problemTold_)
        return {};
    problemTold_ = true;
    return error_;
}
