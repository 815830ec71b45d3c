#pragma once

#include "link/message_gateway.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Shared by the fuzz targets: a quiet message gateway and a scratch folder.

// Messages are the expected answer to a bad input: count them, show none.
class QuietGateway : public MessageGateway {
public:
    void inform(MessageIcon, const QString&) override { ++shown; }
    bool confirm(const QString&) override { return false; }
    int shown = 0;
};

// The targets that write files work in a folder of their own, in memory
// where the system offers one, which is made the current directory (the
// program opens its files by bare name).
inline QString ScratchTemplate() {
    const QString shm = QStringLiteral("/dev/shm");
    return (QDir(shm).exists() ? shm : QDir::tempPath()) + QStringLiteral("/zorvan-fuzz-XXXXXX");
}

inline QString EnterScratchFolder() {
    static const QTemporaryDir dir(ScratchTemplate());
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        std::abort(); // no place to write: nothing this target tests could run
    return dir.path();
}

inline QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Takes bytes off the front of the input; past its end everything reads as
// an erased byte (0xFF), as a short reply does.
class InputBytes {
public:
    InputBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0xFF; }
    [[nodiscard]] std::size_t Left() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
