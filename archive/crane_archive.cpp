#include "archive/crane_archive.h"

#include "image/image_file.h"
#include "link/dtrans.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

// Blocks read before the identification (none, in a readout) are few; a
// watch that never sees one must not grow without end.
constexpr std::size_t MaxHeld = 256;

const QString WalkLines[2] = {QStringLiteral("Черный ящик прочитан целиком от адреса "),
                              QStringLiteral("Сумматор прочитан целиком от адреса ")};

int index(RecordMemory memory) {
    return memory == RecordMemory::Events ? 0 : 1;
}

} // namespace

CraneArchive::CraneArchive(DTrans& link, int comPort, QString folder)
    : link_(link), comPort_(comPort), folder_(std::move(folder)), ident_(IdentSize, '\xFF') {
    link_.AddReadObserver(this);
}

CraneArchive::~CraneArchive() {
    link_.RemoveReadObserver(this);
}

QString CraneArchive::ImagePath() const {
    return key_.isEmpty() ? QString() : folder_ + QLatin1Char('/') + key_ + QStringLiteral(".img");
}

QString CraneArchive::NotePath() const {
    return key_.isEmpty() ? QString() : folder_ + QLatin1Char('/') + key_ + QStringLiteral(".txt");
}

void CraneArchive::BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                             std::uint16_t length) {
    const bool identBlock = selector == IdentSelector && address >= IdentAddress &&
                            address + length <= IdentAddress + IdentSize &&
                            (address - IdentAddress) % 10 == 0;
    if (identBlock && address == IdentAddress && !key_.isEmpty()) {
        // A new identification read: the recorder on the line may be another.
        recorder_.Close();
        key_.clear();
        identRead_.reset();
    }
    if (!key_.isEmpty()) {
        append(address, selector, data, length);
        return;
    }
    if (held_.size() < MaxHeld)
        held_.push_back(
            {address, selector, QByteArray(reinterpret_cast<const char*>(data), length)});
    if (identBlock) {
        const std::uint32_t offset = address - IdentAddress;
        ident_.replace(qsizetype(offset), length,
                       QByteArray(reinterpret_cast<const char*>(data), length));
        identRead_.set(offset / 10);
        if (identRead_.all())
            identified();
    }
}

void CraneArchive::identified() {
    key_ = RecorderKey(ident_);
    readAt_ = QDateTime::currentDateTime();
    archived_ = MemoryImage();
    walks_ = {};
    if (!QDir().mkpath(folder_)) {
        error_ = QStringLiteral("cannot make ") + folder_;
        held_.clear();
        return;
    }
    const QString path = ImagePath();
    if (QFileInfo::exists(path)) {
        const ImageLoad load = LoadMemoryImageFile(path, archived_);
        if (load.ok) {
            loadNote();
        } else {
            // Kept for a look, out of the way of a new start.
            archived_ = MemoryImage();
            QFile::remove(path + QStringLiteral(".damaged"));
            (void)QFile::rename(path, path + QStringLiteral(".damaged"));
        }
    }
    if (!recorder_.Open(path, comPort_))
        error_ = recorder_.Error();
    for (const Held& block : held_)
        append(block.address, block.selector,
               reinterpret_cast<const std::uint8_t*>(block.data.constData()),
               std::uint16_t(block.data.size()));
    held_.clear();
    writeNote();
}

void CraneArchive::append(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                          std::uint16_t length) {
    if (!recorder_.Recording())
        return;
    recorder_.BlockRead(address, selector, data, length);
    if (!recorder_.Recording())
        error_ = recorder_.Error();
}

std::optional<std::uint32_t> CraneArchive::LastWalk(RecordMemory memory) const {
    if (key_.isEmpty() || archived_.Empty())
        return std::nullopt;
    return walks_[std::size_t(index(memory))];
}

bool CraneArchive::Record(std::uint32_t address, std::uint16_t length, std::uint8_t* data) const {
    return !key_.isEmpty() && archived_.Answer(address, length, 4, data) == 0;
}

void CraneArchive::WalkRead(RecordMemory memory, std::uint32_t pointer) {
    // Only a walk that is in the archive whole can vouch for it.
    if (!recorder_.Recording())
        return;
    walks_[std::size_t(index(memory))] = pointer;
    writeNote();
}

void CraneArchive::loadNote() {
    QFile file(NotePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        for (int i = 0; i < 2; ++i) {
            if (!line.startsWith(WalkLines[i]) || !line.endsWith(QLatin1Char('h')))
                continue;
            bool ok = false;
            const std::uint32_t pointer = line.mid(WalkLines[i].size()).chopped(1).toUInt(&ok, 16);
            if (ok)
                walks_[std::size_t(i)] = pointer;
        }
    }
}

void CraneArchive::writeNote() {
    QSaveFile file(NotePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << "Архив регистратора: " << key_ << ".img\n";
    out << "Идентификационная информация:\n";
    for (const QString& line : IdentificationLines(ident_))
        out << "    " << line << '\n';
    out << "Последнее чтение: " << readAt_.toString(QStringLiteral("dd.MM.yyyy hh:mm")) << '\n';
    for (int i = 0; i < 2; ++i)
        if (walks_[std::size_t(i)])
            out << WalkLines[i]
                << QStringLiteral("%1")
                       .arg(*walks_[std::size_t(i)], 5, 16, QLatin1Char('0'))
                       .toUpper()
                << 'h' << '\n';
    out.flush();
    (void)file.commit();
}
