#pragma once

#include "app/zorvan_window.h"
#include "link/message_gateway.h"
#include "readout/readout_host.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

// The main window as the readouts see it: status bar, progress bar, panels,
// the clock, and the message boxes.
//
// A readout goes through thousands of records a second; laying out and
// painting the record line of the status bar for each of them would cost
// more than reading them. The line is therefore put on screen at most every
// few hundredths of a second, and always before a message box opens, so the
// user sees the record it speaks of.
class TZorvan::ReadoutWindow : public ReadoutHost, public MessageGateway {
public:
    static constexpr qint64 StatusIntervalMs = 40;

    ReadoutWindow(TZorvan& window, MessageGateway& messages)
        : window_(window), messages_(messages) {}

    // Which panel shows the newest record: the summator's or the events'.
    bool sumPanel = false;

    void SetStatusPanel(int index, const QString& text) override {
        if (index != 0) {
            window_.StatusPanel[static_cast<std::size_t>(index)]->setText(text);
            return;
        }
        pending_ = text;
        hasPending_ = true;
        if (!shown_.isValid() || shown_.elapsed() >= StatusIntervalMs)
            flush();
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

    void inform(MessageIcon icon, const QString& text) override {
        flush();
        messages_.inform(icon, text);
    }
    bool confirm(const QString& text) override {
        flush();
        return messages_.confirm(text);
    }

    // A new readout: nothing of the last one is left to show.
    void Begin(bool sumReadout) {
        sumPanel = sumReadout;
        hasPending_ = false;
        shown_.invalidate();
    }

    // Puts the latest record line on screen.
    void flush() {
        if (hasPending_) {
            window_.StatusPanel[0]->setText(pending_);
            hasPending_ = false;
        }
        shown_.start();
    }

private:
    TZorvan& window_;
    MessageGateway& messages_;
    QString pending_;
    bool hasPending_ = false;
    QElapsedTimer shown_;
};
