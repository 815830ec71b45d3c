#include "fleet/crane_source.h"

#include <algorithm>

CraneList::CraneList(std::vector<PushCrane> cranes) {
    // One crane's images in the order they were read: a record in an older
    // one is older than what a newer one adds.
    std::stable_sort(cranes.begin(), cranes.end(), [](const PushCrane& a, const PushCrane& b) {
        return a.key != b.key ? a.key < b.key : a.lastRead < b.lastRead;
    });
    for (PushCrane& c : cranes) {
        if (!cranes_.empty() && cranes_.back().key == c.key) {
            PushCrane& m = cranes_.back();
            m.firstRead = std::min(m.firstRead, c.firstRead);
            m.lastRead = std::max(m.lastRead, c.lastRead);
            if (c.erased.isValid())
                m.erased = c.erased;
            m.visits.insert(m.visits.end(), c.visits.begin(), c.visits.end());
            m.events.insert(m.events.end(), c.events.begin(), c.events.end());
            m.sums.insert(m.sums.end(), c.sums.begin(), c.sums.end());
        } else {
            cranes_.push_back(std::move(c));
        }
    }
}

bool CraneList::Next(PushCrane& crane) {
    if (next_ >= cranes_.size())
        return false;
    crane = cranes_[next_++];
    return true;
}
