#pragma once

#include "fleet/fleet_rows.h"

#include <QString>

#include <vector>

// The cranes of a push, one at a time in the order of their keys (pushes
// running at once lock cranes in that order), so that a push need hold only
// one crane's rows at a time.
class CraneSource {
public:
    virtual ~CraneSource() = default;

    // Back to the first crane: a push tried again sends everything anew.
    virtual void Rewind() = 0;
    // The next crane into crane; false at the end, or when it could not be
    // read: then Error() says why.
    [[nodiscard]] virtual bool Next(PushCrane& crane) = 0;
    [[nodiscard]] virtual QString Error() const { return {}; }
};

// Cranes already in memory, e.g. from images: two of one crane are one crane,
// merged so that its row is taken once, the records of the one read earlier
// first.
class CraneList : public CraneSource {
public:
    explicit CraneList(std::vector<PushCrane> cranes);

    void Rewind() override { next_ = 0; }
    [[nodiscard]] bool Next(PushCrane& crane) override;

private:
    std::vector<PushCrane> cranes_;
    std::size_t next_ = 0;
};
