#pragma once

#include "decoding/fields.h"

#include <QStringList>

// The four editable text lists, eight texts each, index = code or bit 0..7.
struct MessageTexts {
    QStringList other;  // OtherTexts: codes 0..7
    QStringList relay;  // RelayTexts: bit 6 events
    QStringList digOut; // DigOutTexts: bit 5 events
    QStringList digIn;  // DigInTexts: bit 4 events

    [[nodiscard]] static MessageTexts Defaults();
};

// Short form for the event panel and the print file: "+ " or "- " and the texts.
[[nodiscard]] QString FReason(ReplyView reply, const MessageTexts& texts);
// Tabular form for the spreadsheet file: a leading tab, "Снятие " for an ending
// condition, the texts, then the three state bytes as bit strings (not for
// power off/on).
[[nodiscard]] QString Reason(ReplyView reply, const MessageTexts& texts);
