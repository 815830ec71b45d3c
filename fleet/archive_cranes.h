#pragma once

#include "fleet/crane_source.h"

#include <QString>

#include <map>
#include <vector>

// The cranes of an archive database, read crane by crane in one snapshot,
// however readouts write meanwhile, and never written.
class ArchiveCranes : public CraneSource {
public:
    ArchiveCranes();
    ~ArchiveCranes() override;
    ArchiveCranes(const ArchiveCranes&) = delete;
    ArchiveCranes& operator=(const ArchiveCranes&) = delete;

    // False with the reason when path is no archive database, or one of a
    // newer schema.
    [[nodiscard]] bool Open(const QString& path);

    void Rewind() override { next_ = 0; }
    [[nodiscard]] bool Next(PushCrane& crane) override;
    [[nodiscard]] QString Error() const override { return error_; }

private:
    bool fail(const QString& why);

    QString connection_;
    QString path_;
    QString error_;
    // Every crane without its records, in the order of keys, by archive id.
    std::vector<std::pair<qint64, PushCrane>> cranes_;
    std::size_t next_ = 0;
};
