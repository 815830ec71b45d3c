#pragma once

#include "fleet/fleet_query.h"

#include <QDateTime>
#include <QString>

// The fleet page: one self-contained index.html over every crane of the fleet
// database (inline SVG charts, no script, nothing from the network), the
// cranes that need attention first.

// "1 кран", "3 крана", "11 кранов", "1 021 кран": n in Russian digits (a
// no-break space between thousands and before the word) with the word's form
// for it.
[[nodiscard]] QString CountOf(qint64 n, const QString& one, const QString& few,
                              const QString& many);

[[nodiscard]] QString FleetPageHtml(const FleetData& data, const QDateTime& now);
// Writes it as index.html into folder (made when missing); false with error.
[[nodiscard]] bool WriteFleetPage(const FleetData& data, const QDateTime& now,
                                  const QString& folder, QString& error);
