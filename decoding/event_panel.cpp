#include "decoding/event_panel.h"

#include <algorithm>

namespace {

constexpr int WeightPos = 6;
constexpr int ReachPos = 7;

StateRow ColoursOf(std::uint8_t states) {
    StateRow row{};
    for (std::size_t n = 0; n < row.size(); ++n) {
        row[n] = (states & (1u << n)) ? StateColour::Red : StateColour::Green;
    }
    return row;
}

} // namespace

EventPanelView MakeEventPanelView(ReplyView reply, const MessageTexts& texts) {
    // The presence flags go into a copy; the link's reply stays as received.
    std::array<std::uint8_t, PresenceFlagsPos + 1> record{};
    record.fill(NoValue);
    std::copy_n(reply.begin(), std::min(reply.size(), record.size()), record.begin());
    const std::uint8_t reason = ReplyByte(reply, ReasonPos);
    record[PresenceFlagsPos] = reason;
    const ReplyView view{record};

    EventPanelView v;
    v.date = RDate(view);
    v.time = RTime(view);
    v.weight = SmallNum(view, WeightPos);
    v.reach = SmallNum(view, ReachPos);
    v.reason = FReason(view, texts);
    if (PowerEvent(reason)) {
        v.relay.fill(StateColour::ButtonFace);
        v.digOut.fill(StateColour::ButtonFace);
        v.digIn.fill(StateColour::ButtonFace);
        return v;
    }
    v.relay = ColoursOf(view[RelayStatePos]);
    v.digOut = ColoursOf(view[DigOutStatePos]);
    v.digIn = ColoursOf(view[DigInStatePos]);
    return v;
}

bool EventAbsent(ReplyView reply) {
    return ReplyByte(reply, ReasonPos) == NoValue;
}
