#pragma once

#include "archive/archive_folder.h"
#include "image/image_recorder.h"
#include "image/memory_image.h"
#include "link/read_observer.h"
#include "readout/record_archive.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

class DTrans;

// The archive of one readout's recorder. Watching the link for the readout's
// life, it holds back the blocks read until the identification is complete,
// which tells the recorder; then it loads that recorder's archive (as it was
// before this readout) and appends those blocks and every later one to it.
//
// Files in the folder, per recorder (key: RecorderKey of its
// identification): "<key>.img", the memory image of everything read from it
// (the format of "recorder.img"), and "<key>.txt", the identification lines,
// when it was last read and the walks read whole.
//
// The archive is a bystander: whatever fails in it (a folder that cannot be
// made, a damaged file, a full disk) ends the archiving, never the readout.
class CraneArchive : public ReadObserver, public RecordArchive {
public:
    static constexpr std::uint8_t IdentSelector = 3;
    static constexpr std::uint32_t IdentAddress = 1538;
    static constexpr int IdentSize = 360;
    static constexpr int IdentBlocks = 36;

    // Watches link until destroyed; the reads are stamped with comPort.
    CraneArchive(DTrans& link, int comPort, QString folder = ArchiveFolder());
    ~CraneArchive() override;
    CraneArchive(const CraneArchive&) = delete;
    CraneArchive& operator=(const CraneArchive&) = delete;

    void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                   std::uint16_t length) override;

    [[nodiscard]] std::optional<std::uint32_t> LastWalk(RecordMemory memory) const override;
    [[nodiscard]] bool Record(std::uint32_t address, std::uint16_t length,
                              std::uint8_t* data) const override;
    void WalkRead(RecordMemory memory, std::uint32_t pointer) override;

    // The recorder is known and its archive being written.
    [[nodiscard]] bool Archiving() const { return recorder_.Recording(); }
    [[nodiscard]] QString ImagePath() const;
    [[nodiscard]] QString NotePath() const;
    // Why archiving stopped, when it did.
    [[nodiscard]] const QString& Error() const { return error_; }

private:
    struct Held {
        std::uint32_t address;
        std::uint8_t selector;
        QByteArray data;
    };
    void identified();
    void loadNote();
    void writeNote();
    void append(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                std::uint16_t length);

    DTrans& link_;
    int comPort_;
    QString folder_;
    QByteArray ident_;
    std::bitset<IdentBlocks> identRead_;
    std::vector<Held> held_;
    QString key_; // empty until identified
    QDateTime readAt_;
    MemoryImage archived_;
    ImageRecorder recorder_;
    std::array<std::optional<std::uint32_t>, 2> walks_;
    QString error_;
};
