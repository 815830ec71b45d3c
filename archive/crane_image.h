#pragma once

#include "image/memory_image.h"

#include <QString>
#include <QStringList>

// What the archive holds of one crane, as a memory image: every block at its
// address as last read (so what a readout cut short or a later erase left is
// there too), with the time and COM port of that read. The image of the
// crane's latest view, for offline work such as the duty estimate.
//
// crane: the crane's key in the archive, or the start of one that no other
// key shares. False, with error, when the archive cannot be read or names no
// such crane (or more than one).
[[nodiscard]] bool LoadCraneImage(const QString& databasePath, const QString& crane,
                                  MemoryImage& image, QString& error);

// One line per crane of the archive: key, last read (dd.MM.yyyy hh:mm, UTC)
// and the identification lines joined by " | "; oldest read first.
[[nodiscard]] bool ListCranes(const QString& databasePath, QStringList& lines, QString& error);
