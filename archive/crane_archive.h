#pragma once

#include "archive/archive_folder.h"
#include "archive/crane_store.h"
#include "link/read_observer.h"
#include "link/recorder_requests.h"
#include "readout/record_archive.h"

#include <QByteArray>
#include <QString>

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

class DTrans;

// The archive of one readout's recorder. Watching the link for the readout's
// life, it holds back the blocks read until the identification is complete,
// which tells the recorder; then it opens that recorder's part of the archive
// database (seeing it as it was before this readout) and adds those blocks
// and every later one to it.
//
// The archive is a bystander: whatever fails in it (a folder that cannot be
// made, a damaged or newer database, a full disk) ends the archiving, never
// the readout; it is never deleted or overwritten for it.
class CraneArchive : public ReadObserver, public RecordArchive {
public:
    static constexpr std::uint8_t IdentSelector = RecorderMap::IdentSelector;
    static constexpr std::uint32_t IdentAddress = RecorderMap::IdentAddress;
    static constexpr int IdentSize = RecorderMap::IdentSize;
    static constexpr int IdentBlocks = RecorderMap::IdentBlocks;

    // Watches link until destroyed; the reads are stamped with comPort.
    CraneArchive(DTrans& link, int comPort, QString folder = ArchiveFolder());
    ~CraneArchive() override;
    CraneArchive(const CraneArchive&) = delete;
    CraneArchive& operator=(const CraneArchive&) = delete;

    void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                   std::uint16_t length) override;

    [[nodiscard]] std::optional<std::uint32_t> BeginWalk(RecordMemory memory) override;
    [[nodiscard]] bool Record(std::uint32_t address, std::uint16_t length, std::uint8_t* data,
                              std::int64_t& readAt) const override;
    void WalkRead(RecordMemory memory, std::uint32_t pointer) override;
    [[nodiscard]] QString TakeProblem() override;

    // Ends the archiving: the blocks still held are written (a cut readout
    // leaves up to a batch of them). A failure to write them is Error(), as
    // any other; called again, or by the destructor, it does nothing more.
    void Close();

    // The recorder is known and its archive being written.
    [[nodiscard]] bool Archiving() const { return store_.IsOpen(); }
    [[nodiscard]] QString DatabasePath() const;
    // The recorder's key in the archive; empty until identified.
    [[nodiscard]] const QString& Key() const { return key_; }
    // Why archiving stopped, when it did.
    [[nodiscard]] const QString& Error() const { return error_; }

private:
    struct Held {
        std::uint32_t address;
        std::uint8_t selector;
        QByteArray data;
    };
    void identified();
    void add(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
             std::uint16_t length);
    void stopped();

    DTrans& link_;
    int comPort_;
    QString folder_;
    QByteArray ident_;
    std::bitset<IdentBlocks> identRead_;
    std::vector<Held> held_;
    QString key_; // empty until identified
    CraneStore store_;
    QString error_;
    bool problemTold_ = false;
};
