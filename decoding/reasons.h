#pragma once

#include "decoding/fields.h"

#include <QStringList>

// Positions of an event record in the reply (record byte i at position i + 1).
constexpr int RelayStatePos = 8;
constexpr int DigOutStatePos = 9;
constexpr int DigInStatePos = 10;
constexpr int ReasonPos = 11;

// Reason bits: bit 7 marks the end of a condition, bits 6/5/4 name the group
// (relay, digital output, digital input), bits 0..2 the index in the group or,
// with no group bit and bit 3 clear, the code of an "other" event.
constexpr std::uint8_t ReasonRemoval = 0x80;
constexpr std::uint8_t ReasonRelay = 0x40;
constexpr std::uint8_t ReasonDigOut = 0x20;
constexpr std::uint8_t ReasonDigIn = 0x10;
constexpr std::uint8_t ReasonPowerOff = 0x03;
constexpr std::uint8_t ReasonPowerOn = 0x04;

// Power off or on as the whole byte: an ending power event (0x83, 0x84) is not.
[[nodiscard]] constexpr bool PowerEvent(std::uint8_t reason) {
    return reason == ReasonPowerOff || reason == ReasonPowerOn;
}

// The four editable text lists, eight texts each, index = code or bit 0..7.
struct MessageTexts {
    QStringList other;  // OtherTexts: codes 0..7
    QStringList relay;  // RelayTexts: bit 6 events
    QStringList digOut; // DigOutTexts: bit 5 events
    QStringList digIn;  // DigInTexts: bit 4 events

    [[nodiscard]] static MessageTexts Defaults();
};

// Shown instead of a reason whose text is missing from a shortened list.
[[nodiscard]] QString BadRecordText();

// The texts a reason byte selects (bit 7 ignored), joined without separators:
// the "other" text, then relay, digital output, digital input. False, with
// text left empty, when a list is too short for the index it needs.
[[nodiscard]] bool ReasonText(std::uint8_t reason, const MessageTexts& texts, QString& text);

// Short form for the event panel and the print file: "+ " or "- " and the texts.
[[nodiscard]] QString FReason(ReplyView reply, const MessageTexts& texts);
// Tabular form for the spreadsheet file: a leading tab, "Снятие " for an ending
// condition, the texts, then the three state bytes as bit strings (not for
// power off/on).
[[nodiscard]] QString Reason(ReplyView reply, const MessageTexts& texts);
