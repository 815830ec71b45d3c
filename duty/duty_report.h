#pragma once

#include "duty/duty_estimate.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The estimate as its readers get it: the file duty.json beside a summator
// readout's files, and the labelled lines the summary page and zorvan-cli
// show, made here once so that they cannot differ.

inline const QString DutyFileName = QStringLiteral("duty.json");

// duty.json: UTF-8 JSON; a figure that could not be had is null and the
// reasons list says why.
[[nodiscard]] QByteArray DutyJson(const DutyEstimate& estimate);

// Writes duty.json into folder (atomically); false with *error when it
// could not.
[[nodiscard]] bool WriteDutyFile(const DutyEstimate& estimate, const QString& folder,
                                 QString* error);

// Whether a readout gives the file: it took at least one cycle with a weight.
[[nodiscard]] inline bool DutyFileDue(const DutyEstimate& estimate) {
    return estimate.cyclesRated > 0;
}

struct DutyLine {
    QString id;    // stable key, also the page's cell id
    QString label; // Russian, as the page shows it
    QString value; // "—" when the figure could not be had
};
// The inputs as read, then the figures.
[[nodiscard]] QList<DutyLine> DutyInputLines(const DutyEstimate& estimate);
[[nodiscard]] QList<DutyLine> DutyFigureLines(const DutyEstimate& estimate);

// The estimate as plain text: the standard, the lines, the reasons, the
// notes and the disclaimer.
[[nodiscard]] QString DutyText(const DutyEstimate& estimate);

// Figures as shown, in Russian: "0,150", "4,8 %", "1 234" (a no-break
// space), "15,3 года" or "более 100 лет".
[[nodiscard]] QString DutyKpText(double kp);
[[nodiscard]] QString DutyShareText(double share);
[[nodiscard]] QString DutyCountText(double count);
[[nodiscard]] QString DutyYearsLeftText(double years);
// The cycles a year with the basis they come from; the years left with the
// limit that binds.
[[nodiscard]] QString DutyRateText(const DutyEstimate& estimate);
[[nodiscard]] QString DutyYearsLeftLine(const DutyEstimate& estimate);
