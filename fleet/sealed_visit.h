#pragma once

#include "fleet/fleet_rows.h"
#include "image/memory_image.h"

#include <QString>

// A sealed run folder is pushed only as sealed: its seal goes with it as the
// visit of its readouts. Adds that visit to crane (made from the folder's
// image). A folder without a seal adds nothing and is taken as its image.
// False when the folder does not match its seal: error says why and altered
// is set.
[[nodiscard]] bool AddSealedVisit(const QString& folder, const MemoryImage& image, PushCrane& crane,
                                  QString& error, bool& altered);
