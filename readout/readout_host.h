#pragma once

#include <QString>

// What a memory readout needs of the window that runs it.
class ReadoutHost {
public:
    virtual ~ReadoutHost() = default;

    // Status bar panel 0, 1 or 2.
    virtual void SetStatusPanel(int index, const QString& text) = 0;
    // The bright green bar of a running readout.
    virtual void SetReadoutColour() = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgress(int value) = 0;
    // Shows the record in the link's reply buffer on the readout's panel.
    virtual void ShowNewestRecord() = 0;
    // Reads the recorder clock onto its panel; it shows its own message on failure.
    [[nodiscard]] virtual bool ReadClock() = 0;
    [[nodiscard]] virtual QString ClockText() const = 0;
};
