// The main window's own controls: the panels and their single refreshes, the
// recorder clock, the automatic refresh and the setting controls.

#include "app/time_form.h"
#include "app/zorvan_window.h"
#include "decoding/event_panel.h"
#include "link/clock_write.h"
#include "link/port_finder.h"
#include "settings/baud_step.h"
#include "summator/sum_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace {
QColor StateQColor(StateColour colour) {
    switch (colour) {
    case StateColour::Red:
        return QColor(StateRed.red, StateRed.green, StateRed.blue);
    case StateColour::Green:
        return QColor(StateGreen.red, StateGreen.green, StateGreen.blue);
    case StateColour::ButtonFace:
        break;
    }
    return TZorvan::ButtonFaceColour();
}

void PaintRow(const std::array<QLabel*, 8>& panels, const StateRow& colours) {
    for (std::size_t n = 0; n < panels.size(); ++n) {
        QPalette p = panels[n]->palette();
        p.setColor(QPalette::Window, StateQColor(colours[n]));
        panels[n]->setPalette(p);
    }
}
} // namespace

// --- panels

void TZorvan::ErrPanelSet() {
    const EventPanelView view = MakeEventPanelView(ReplyView(Link.RxBuffer), Texts);
    EdatePanel->setText(view.date);
    ETimePanel->setText(view.time);
    EVeightPanel->setText(view.weight);
    EArrowPanel->setText(view.reach);
    EReasonPanel->setText(view.reason);
    EReasonPanel->setToolTip(view.reason);
    PaintRow(RelayPanel, view.relay);
    PaintRow(DigitPanel, view.digOut);
    PaintRow(DigoutPanel, view.digIn);
}

void TZorvan::SumPanelSet() {
    const SumPanelView view = MakeSumPanelView(ReplyView(Link.RxBuffer));
    DatePanel->setText(view.date);
    TimePanel->setText(view.time);
    TimeSumPanel->setText(view.hours);
    VeightSumPanel->setText(view.totalWeight);
    CycleSumPanel->setText(view.cycles);
    VeightPanel->setText(view.weight);
    ArrowPanel->setText(view.reach);
    MomentPanel->setText(view.moment);
}

bool TZorvan::RefreshEventPanel() {
    // The record must be shown before the next request overwrites the reply.
    if (!Requests.ReadCurrentEvent())
        return false;
    ErrPanelSet();
    return true;
}

bool TZorvan::RefreshSumPanel() {
    if (!Requests.ReadCurrentSum())
        return false;
    SumPanelSet();
    return true;
}

bool TZorvan::ReadClock() {
    if (!Requests.ReadClock(ClockText))
        return false;
    RealTimePanel->setText(ClockText);
    return true;
}

// --- single refreshes: the result is shown by the request itself

void TZorvan::RefreshButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    (void)RefreshSumPanel();
    ShutDown();
}

void TZorvan::ERefreshButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    (void)RefreshEventPanel();
    ShutDown();
}

void TZorvan::ReadTimeButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    (void)ReadClock();
    ShutDown();
}

bool TZorvan::SetRecorderClock(const ClockSetting& at) {
    ExchangeScope exchange(*this);
    if (!Disable())
        return false;
    SetStatusColours(CommandColour, Qt::white);
    StatusPanel[0]->setText(ClockSetText);

    const ClockWriteOutcome outcome =
        WriteClockAndReadBack(Requests, messages_, at, ClockText, [this] { ErrPanelSet(); });
    if (outcome.clockRead)
        RealTimePanel->setText(ClockText);
    ShutDown();
    return true;
}

// --- automatic refresh

void TZorvan::AutoBoxClick() {
    if (!AutoBox->isChecked())
        return; // the next tick ends the refresh
    if (!OperationRunning()) {
        if (!Disable()) {
            // Nothing runs, so the box must not say otherwise.
            AutoBox->setChecked(false);
            return;
        }
    }
    // Ticked again before the tick that would have ended it: it just goes on.
    Timer.setInterval(RefreshPeriod * 1000);
    Timer.start();
}

void TZorvan::ClockAlarm() {
    Timer.setInterval(RefreshPeriod * 1000);
    // The previous round still waits for the recorder (or its failure message
    // is still open): this tick is dropped.
    if (AutoRefreshBusy)
        return;
    ExchangeScope exchange(*this);
    if (AutoBox->isChecked()) {
        AutoRefreshBusy = true;
        StatusPanel[0]->setText(ExchangeText);
        if (RefreshSumPanel() && RefreshEventPanel() && ReadClock() && !BreakRequested) {
            StatusPanel[0]->clear();
            AutoRefreshBusy = false;
            return;
        }
    }
    ShutDown();
}

// --- setting controls

void TZorvan::ComSpinChange() {
    ComPortNumber = ComSpin->value();
    Port.SetComNumber(ComPortNumber);
    ComSpin->setToolTip(DescribeComNumber(ComPortNumber));
}

void TZorvan::SpidSpinChange() {
    BaudRate = SteppedBaud(SpidSpin->value());
    if (BaudRate != SpidSpin->value())
        SpidSpin->setValue(BaudRate); // runs this handler once more with the exact speed
    Port.SetBaud(BaudRate);
}

void TZorvan::SexSpinChange() {
    RefreshPeriod = SexSpin->value();
}

void TZorvan::MaxSpinChange() {
    MaxMoment = MaxSpin->value();
}

void TZorvan::BecSpinChange() {
    MaxWeight = BecSpin->value();
}

void TZorvan::RadioMaxClick() {
    MaxSpin->setEnabled(true);
    Label1->setEnabled(true);
    BecSpin->setEnabled(false);
    Label3->setEnabled(false);
}

void TZorvan::RadioBecClick() {
    BecSpin->setEnabled(true);
    Label3->setEnabled(true);
    MaxSpin->setEnabled(false);
    Label1->setEnabled(false);
}

// Each group of format boxes keeps at least one box ticked.

void TZorvan::LogBoxClick() {
    if (!LogBox->isChecked() && !TxtBox->isChecked() && !HexBox->isChecked())
        TxtBox->setChecked(true);
}

void TZorvan::TxtBoxClick() {
    if (!LogBox->isChecked() && !TxtBox->isChecked() && !HexBox->isChecked())
        LogBox->setChecked(true);
}

void TZorvan::ELogBoxClick() {
    if (!ELogBox->isChecked() && !ETxtBox->isChecked() && !EHexBox->isChecked())
        ETxtBox->setChecked(true);
}

void TZorvan::ETxtBoxClick() {
    if (!ELogBox->isChecked() && !ETxtBox->isChecked() && !EHexBox->isChecked())
        ELogBox->setChecked(true);
}
