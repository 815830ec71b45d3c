#pragma once

#include "app/zorvan_window.h"
#include "readout/readout_host.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

// The main window as the readouts see it: status bar, progress bar, panels
// and the clock.
class TZorvan::ReadoutWindow : public ReadoutHost {
public:
    explicit ReadoutWindow(TZorvan& window) : window_(window) {}

    // Which panel shows the newest record: the summator's or the events'.
    bool sumPanel = false;

    void SetStatusPanel(int index, const QString& text) override {
        window_.StatusPanel[static_cast<std::size_t>(index)]->setText(text);
    }
    void SetReadoutColour() override {
        window_.SetStatusColours(TZorvan::CommandColour, window_.StatusTextColour());
    }
    void SetProgressMaximum(int maximum) override { window_.ReadBar->setMaximum(maximum); }
    void SetProgress(int value) override {
        // The steps of a wrapped memory add up to a little more than the
        // maximum: the bar is then full.
        window_.ReadBar->setValue(std::min(value, window_.ReadBar->maximum()));
    }
    void ShowNewestRecord() override {
        if (sumPanel)
            window_.SumPanelSet();
        else
            window_.ErrPanelSet();
    }
    bool ReadClock() override { return window_.ReadClock(); }
    QString ClockText() const override { return window_.ClockText; }

private:
    TZorvan& window_;
};
