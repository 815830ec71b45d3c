#pragma once

#include "image/memory_image.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// The file format of a memory image ("recorder.img"), written as a readout
// goes: a 12-byte header, then one checksummed chunk per block read, only
// ever appended. The README's section on the image format is the reference.
//
// Header: "ZORVNIMG", the version (16 bits), two zero bytes.
// Chunk:  type (1 byte), payload length n (16 bits), a check byte (the
//         complement of the sum of the three bytes before it), n payload
//         bytes, CRC-16 (ISO 3309, as qChecksum) of everything before it.
// Block chunk (type 'B'): time of the read in ms since 1970 UTC (64 bits,
//         signed), COM port (1 byte), selector (1 byte), address (24 bits),
//         the data bytes (at least one).
// Every number is little-endian.
namespace ImageFormat {
constexpr char Magic[8] = {'Z', 'O', 'R', 'V', 'N', 'I', 'M', 'G'};
constexpr std::uint16_t Version = 1;
constexpr int HeaderSize = 12;
constexpr char BlockChunk = 'B';
constexpr int ChunkHead = 4; // type, length, check byte
constexpr int ChunkOverhead = ChunkHead + 2;
constexpr int BlockPayloadHead = 13; // time, port, selector, address
constexpr int MaxBlockData = 0xFFFF - BlockPayloadHead;

[[nodiscard]] QByteArray Header();
// Appends one block chunk (at most MaxBlockData bytes of data) to out.
void AppendBlock(QByteArray& out, std::uint8_t selector, std::uint32_t address,
                 const std::uint8_t* data, int length, const ReadOrigin& origin);
// A whole image file of everything read in image (a save, not a readout's
// record); runs longer than a chunk take several.
[[nodiscard]] QByteArray Serialize(const MemoryImage& image);
} // namespace ImageFormat

// What loading found out.
struct ImageLoad {
    bool ok = false;
    // Why the file was refused, naming the problem and where it lies.
    QString error;
    // Bytes of header and complete chunks: where an append goes on.
    qsizetype completeSize = 0;
    // An incomplete last chunk (a write cut off by a crash) was left out.
    bool tornTail = false;
};

// The one load entry point: every complete chunk of bytes into image (which
// is replaced). An incomplete last chunk, or a zero-filled tail, is left out;
// anything else wrong (another format, another version, a chunk that fails its
// checksum or makes no sense) refuses the whole file and leaves image empty.
[[nodiscard]] ImageLoad LoadMemoryImage(const QByteArray& bytes, MemoryImage& image);
// The same from a file; a file that cannot be read is refused too.
[[nodiscard]] ImageLoad LoadMemoryImageFile(const QString& path, MemoryImage& image);
