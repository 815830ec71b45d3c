#pragma once

#include "decoding/fields.h"

#include <QString>

// What the summator panel shows for one 16-byte summator record.
struct SumPanelView {
    QString date;
    QString time;
    QString hours;       // operating hours, record bytes 5..7
    QString cycles;      // lifting cycles, record bytes 11..13
    QString totalWeight; // lifted tonnes, record bytes 8..10
    QString weight;      // weight of the cycle; empty when 0xFF
    QString reach;       // reach of the cycle; empty when 0xFF
    QString moment;      // weight x reach; empty only when both are 0xFF
};

// The panel contents for the summator record in the reply (record byte i at
// position i + 1). Every field is shown; only the 0xFF tests of the fields
// themselves decide. The caller's buffer is left untouched.
[[nodiscard]] SumPanelView MakeSumPanelView(ReplyView reply);
