#include "image/image_file.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace ImageFormat {

namespace {

std::uint16_t chunkChecksum(const char* begin, qsizetype size) {
    return qChecksum(QByteArrayView(begin, size), Qt::ChecksumIso3309);
}

// Guards the length, so that damage there is told from a tail cut short.
char headCheck(const char* head) {
    return static_cast<char>(~static_cast<std::uint8_t>(head[0] + head[1] + head[2]));
}

template <typename T> void appendLittle(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

QByteArray Header() {
    QByteArray out(Magic, sizeof Magic);
    appendLittle<std::uint16_t>(out, Version);
    appendLittle<std::uint16_t>(out, 0);
    return out;
}

void AppendBlock(QByteArray& out, std::uint8_t selector, std::uint32_t address,
                 const std::uint8_t* data, int length, const ReadOrigin& origin) {
    length = std::clamp(length, 0, MaxBlockData);
    const qsizetype start = out.size();
    out.append(BlockChunk);
    appendLittle<std::uint16_t>(out, static_cast<std::uint16_t>(BlockPayloadHead + length));
    out.append(headCheck(out.constData() + start));
    appendLittle<std::int64_t>(out, origin.msecsSinceEpoch);
    out.append(static_cast<char>(std::clamp(origin.comPort, 0, 255)));
    out.append(static_cast<char>(selector));
    out.append(static_cast<char>(address & 0xFF));
    out.append(static_cast<char>((address >> 8) & 0xFF));
    out.append(static_cast<char>((address >> 16) & 0xFF));
    out.append(reinterpret_cast<const char*>(data), length);
    appendLittle<std::uint16_t>(out, chunkChecksum(out.constData() + start, out.size() - start));
}

QByteArray Serialize(const MemoryImage& image) {
    QByteArray out = Header();
    for (const MemoryImage::Run& run : image.Runs()) {
        for (qsizetype at = 0; at < run.bytes.size(); at += MaxBlockData) {
            const auto length =
                static_cast<int>(std::min<qsizetype>(MaxBlockData, run.bytes.size() - at));
            const auto address = static_cast<std::uint32_t>(run.address + at);
            AppendBlock(out, run.selector, address,
                        reinterpret_cast<const std::uint8_t*>(run.bytes.constData() + at), length,
                        image.Origin(run.selector, address).value_or(ReadOrigin{}));
        }
    }
    return out;
}

} // namespace ImageFormat

namespace {

using namespace ImageFormat;

ImageLoad refuse(MemoryImage& image, const QString& error) {
    image = MemoryImage();
    ImageLoad result;
    result.error = error;
    return result;
}

QString at(qsizetype offset) {
    return QStringLiteral(" at byte %1").arg(offset);
}

} // namespace

ImageLoad LoadMemoryImage(const QByteArray& bytes, MemoryImage& image) {
    image = MemoryImage();
    if (bytes.size() < HeaderSize || std::memcmp(bytes.constData(), Magic, sizeof Magic) != 0)
        return refuse(image, QStringLiteral("not a recorder memory image (no ZORVNIMG header)"));
    const auto version = qFromLittleEndian<std::uint16_t>(bytes.constData() + sizeof Magic);
    if (version != Version)
        return refuse(image, QStringLiteral("recorder memory image of version %1; this program "
                                            "reads version %2")
                                 .arg(version)
                                 .arg(Version));

    ImageLoad result;
    qsizetype pos = HeaderSize;
    const qsizetype size = bytes.size();
    const char* p = bytes.constData();
    while (pos < size) {
        const qsizetype left = size - pos;
        const char* chunk = p + pos;
        // A crash leaves at most the last chunk short; a system crash may leave
        // the file's end filled with zeros.
        const auto zero = [](char c) { return c == '\0'; };
        if (left < ChunkHead ||
            (std::all_of(chunk, chunk + ChunkHead, zero) && std::all_of(chunk, p + size, zero))) {
            result.tornTail = true;
            break;
        }
        if (chunk[3] != headCheck(chunk))
            return refuse(
                image,
                QStringLiteral("damaged recorder memory image: chunk header%1").arg(at(pos)));
        const auto length = qFromLittleEndian<std::uint16_t>(chunk + 1);
        if (left < ChunkOverhead + length) {
            result.tornTail = true;
            break;
        }
        const qsizetype checked = ChunkHead + length;
        if (qFromLittleEndian<std::uint16_t>(chunk + checked) != chunkChecksum(chunk, checked)) {
            return refuse(image, QStringLiteral("damaged recorder memory image: chunk%1 fails its "
                                                "checksum")
                                     .arg(at(pos)));
        }
        if (chunk[0] != BlockChunk)
            return refuse(image,
                          QStringLiteral("recorder memory image has a chunk of unknown "
                                         "type 0x%1%2")
                              .arg(static_cast<std::uint8_t>(chunk[0]), 2, 16, QLatin1Char('0'))
                              .arg(at(pos)));
        if (length <= BlockPayloadHead)
            return refuse(image, QStringLiteral("damaged recorder memory image: block chunk "
                                                "without data%1")
                                     .arg(at(pos)));
        const char* payload = chunk + ChunkHead;
        ReadOrigin origin;
        origin.msecsSinceEpoch = qFromLittleEndian<std::int64_t>(payload);
        origin.comPort = static_cast<std::uint8_t>(payload[8]);
        const auto selector = static_cast<std::uint8_t>(payload[9]);
        const std::uint32_t address =
            static_cast<std::uint8_t>(payload[10]) | static_cast<std::uint8_t>(payload[11]) << 8 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(payload[12])) << 16;
        image.Record(selector, address, reinterpret_cast<const std::uint8_t*>(payload + 13),
                     length - BlockPayloadHead, origin);
        pos += ChunkOverhead + length;
    }
    result.ok = true;
    result.completeSize = pos;
    return result;
}

ImageLoad LoadMemoryImageFile(const QString& path, MemoryImage& image) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        image = MemoryImage();
        ImageLoad result;
        result.error =
            QStringLiteral("cannot read ") + path + QStringLiteral(": ") + file.errorString();
        return result;
    }
    ImageLoad result = LoadMemoryImage(file.readAll(), image);
    if (result.ok && file.error() != QFileDevice::NoError)
        return refuse(image, QStringLiteral("cannot read ") + path + QStringLiteral(": ") +
                                 file.errorString());
    if (!result.ok)
        result.error = path + QStringLiteral(": ") + result.error;
    return result;
}
