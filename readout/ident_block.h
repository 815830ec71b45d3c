#pragma once

#include "link/recorder_requests.h"

#include <QString>
#include <QStringList>

// The identification block that heads every file: the crane's and the
// recorder's identification as 21 labelled lines.

// Text of IdentData positions position..position+count-1 (1-based); control
// bytes (0x00-0x1F, 0x7F) and 0xFF read as blanks, every other byte as its
// cp1251 character.
// Always count characters; empty for a count below 1.
[[nodiscard]] QString KranWord(const IdentData& ident, int position, int count);

// The 21 lines, the last one empty. The print file counts them as 20 lines
// of its page.
[[nodiscard]] QStringList KranLines(const IdentData& ident);
constexpr int KranPageLines = 20;
