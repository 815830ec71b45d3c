#include "summator/sum_panel.h"

#include <algorithm>
#include <array>

SumPanelView MakeSumPanelView(ReplyView reply) {
    // Position 18 is the reply's last byte for a 16-byte read: the flags go
    // into a copy so the received reply stays intact.
    std::array<std::uint8_t, PresenceFlagsPos + 1> record{};
    record.fill(NoValue);
    std::copy_n(reply.begin(), std::min(reply.size(), record.size()), record.begin());
    record[PresenceFlagsPos] = 0xFF;
    const ReplyView view{record};

    SumPanelView v;
    v.date = RDate(view);
    v.time = RTime(view);
    v.hours = BigNum(view, 6);
    v.totalWeight = BigNum(view, 9);
    v.cycles = BigNum(view, 12);
    v.weight = SmallNum(view, 15);
    v.reach = SmallNum(view, 16);
    v.moment = RMoment(view);
    return v;
}
