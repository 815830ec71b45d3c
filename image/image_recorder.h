#pragma once

#include "image/memory_image.h"
#include "link/read_observer.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>

// Records every block the link reads into an image file as the readout goes:
// one chunk, one write, per block. The file is opened once per readout; an
// image already there (an earlier readout of the run) is continued after its
// last complete chunk. Any failure just ends the recording: the readout it
// watches must never be disturbed by it.
class ImageRecorder : public ReadObserver {
public:
    static inline const QString FileName = QStringLiteral("recorder.img");

    // The time stamp of each block; the computer's clock unless a test sets one.
    using Clock = std::function<std::int64_t()>;
    explicit ImageRecorder(Clock clock = {});
    ~ImageRecorder() override;

    // Opens path for recording the reads from comPort. A new file appears
    // whole with its header or not at all. False, with Error() telling why,
    // when the file cannot be made or holds something that is not an image
    // of ours (left as it is).
    bool Open(const QString& path, int comPort);
    void Close();
    [[nodiscard]] bool Recording() const { return file_.isOpen(); }
    [[nodiscard]] const QString& Error() const { return error_; }

    void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                   std::uint16_t length) override;

    // Kept like a read, from port 0 at the time it was read then.
    void BlockFromArchive(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                          std::uint16_t length, std::int64_t readAt) override;

private:
    void write(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
               std::uint16_t length, const ReadOrigin& origin);
    bool fail(const QString& error);

    Clock clock_;
    QFile file_;
    int comPort_ = 0;
    QByteArray chunk_; // reused: no allocation per record
    QString error_;
};
