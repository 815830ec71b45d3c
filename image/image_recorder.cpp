#include "image/image_recorder.h"

#include "image/image_file.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

ImageRecorder::ImageRecorder(Clock clock) : clock_(std::move(clock)) {
    if (!clock_)
        clock_ = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

ImageRecorder::~ImageRecorder() {
    Close();
}

bool ImageRecorder::fail(const QString& error) {
    error_ = error;
    file_.close();
    return false;
}

bool ImageRecorder::Open(const QString& path, int comPort) {
    Close();
    error_.clear();
    comPort_ = comPort;
    if (!QFileInfo::exists(path)) {
        // Written aside and renamed: a crash leaves no header cut in half.
        QSaveFile created(path);
        if (!created.open(QIODevice::WriteOnly) ||
            created.write(ImageFormat::Header()) != ImageFormat::HeaderSize || !created.commit())
            return fail(QStringLiteral("cannot create ") + path + QStringLiteral(": ") +
                        created.errorString());
    } else {
        // A tail cut off by a crash goes before new chunks follow it.
        MemoryImage earlier;
        const ImageLoad load = LoadMemoryImageFile(path, earlier);
        if (!load.ok)
            return fail(load.error);
        if (load.tornTail && !QFile::resize(path, load.completeSize))
            return fail(QStringLiteral("cannot cut the torn tail of ") + path);
    }
    file_.setFileName(path);
    // Unbuffered: every chunk is one write of its own, on disk as far as a
    // crash of this program goes.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot open ") + path + QStringLiteral(": ") +
                    file_.errorString());
    return true;
}

void ImageRecorder::Close() {
    file_.close();
}

void ImageRecorder::BlockRead(std::uint32_t address, std::uint8_t selector,
                              const std::uint8_t* data, std::uint16_t length) {
    write(address, selector, data, length, {clock_(), comPort_});
}

void ImageRecorder::BlockFromArchive(std::uint32_t address, std::uint8_t selector,
                                     const std::uint8_t* data, std::uint16_t length,
                                     std::int64_t readAt) {
    // Port 0: it came from no line in this readout.
    write(address, selector, data, length, {readAt, 0});
}

void ImageRecorder::write(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                          std::uint16_t length, const ReadOrigin& origin) {
    if (!file_.isOpen())
        return;
    chunk_.clear();
    ImageFormat::AppendBlock(chunk_, selector, address & (MemoryImage::AddressSpace - 1), data,
                             length, origin);
    if (file_.write(chunk_) != chunk_.size())
        (void)fail(QStringLiteral("cannot write ") + file_.fileName() + QStringLiteral(": ") +
                   file_.errorString());
}
