#pragma once

#include "decoding/reasons.h"

#include <QString>

#include <array>
#include <cstdint>

// Colour of one relay or digital-line state square.
enum class StateColour : std::uint8_t {
    ButtonFace, // the panel's normal background: power events, and before any record
    Red,        // bit set
    Green,      // bit clear
};

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
constexpr Rgb StateRed{255, 0, 0};
constexpr Rgb StateGreen{0, 128, 0};

using StateRow = std::array<StateColour, 8>; // index n = bit n of the state byte

// What the event panel shows for one event record.
struct EventPanelView {
    QString date;
    QString time;
    QString reason; // also the panel's hint
    QString weight;
    QString reach;
    StateRow relay{};
    StateRow digOut{};
    StateRow digIn{};
};

// The panel contents for the event record in the reply. Weight and reach show
// only for relay, digital output and digital input events: the reason byte
// stands in for the presence flags. The caller's buffer is left untouched.
[[nodiscard]] EventPanelView MakeEventPanelView(ReplyView reply, const MessageTexts& texts);

// An erased slot or a record that was never written: reason byte 0xFF.
[[nodiscard]] bool EventAbsent(ReplyView reply);
