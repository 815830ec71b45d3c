#pragma once

#include <QByteArray>
#include <QString>

// Where the archive lives: "zorvan" in the user's data folder (on Linux
// ~/.local/share/zorvan, or $XDG_DATA_HOME/zorvan).
[[nodiscard]] QString ArchiveFolder();

// The name a recorder's files go by in the archive: a hash of its 360-byte
// identification block, so recorders with the same identification share it.
[[nodiscard]] QString RecorderKey(const QByteArray& identification);

// The identification block as text lines, one per 10-byte block read as
// IdentText reads it, blanks around cut; blank blocks are left out.
[[nodiscard]] QStringList IdentificationLines(const QByteArray& identification);
