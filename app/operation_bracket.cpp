// The bracket around every exchange with the recorder: Disable opens the port
// and greys what could start a second exchange, ShutDown gives everything back.

#include "app/time_form.h"
#include "app/zorvan_window.h"
#include "link/port_finder.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

TZorvan::ExchangeScope::ExchangeScope(TZorvan& window) : window_(window) {
    ++window_.exchangeDepth_;
}

TZorvan::ExchangeScope::~ExchangeScope() {
    if (--window_.exchangeDepth_ == 0 && window_.closePending_) {
        // The close asked for during the exchange, now that it is over; queued
        // so that the handler unwinds first.
        QTimer::singleShot(0, &window_, [w = &window_] { w->close(); });
    }
}

std::vector<QWidget*> TZorvan::OperationControls() const {
    return {ReadMemButton,  ReadSumButton, RefreshButton,  ERefreshButton, ClearMemButton,
            ClearSumButton, TimeButton,    ReadTimeButton, ComSpin,        SpidSpin,
            ETxtBox,        ELogBox,       TxtBox,         LogBox,         EHexBox,
            HexBox,         RadioMax,      RadioBec};
}

QColor TZorvan::ButtonFaceColour() {
    return QApplication::palette().color(QPalette::Button);
}

QColor TZorvan::AutoRefreshColour() {
    return QApplication::palette().color(QPalette::ToolTipBase);
}

void TZorvan::SetStatusColours(const QColor& background, const QColor& text) {
    QPalette p = StatusBar->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    StatusBar->setPalette(p);
    for (QLabel* panel : StatusPanel)
        panel->setPalette(p);
}

QColor TZorvan::StatusColour() const {
    return StatusBar->palette().color(QPalette::Window);
}

QColor TZorvan::StatusTextColour() const {
    return StatusPanel[0]->palette().color(QPalette::WindowText);
}

void TZorvan::ClearFlags() {
    EventMode = false;
    SumMode = false;
    LogOpen = false;
    AutoRefreshBusy = false;
}

void TZorvan::BreakButtonClick() {
    BreakRequested = true;
}

bool TZorvan::Disable() {
    // One operation at a time: the link must not be entered twice.
    if (bracketOpen_)
        return false;
    if (!Port.SetOpen(true)) {
        messages_.inform(MessageIcon::Error, Port.LastError());
        ShowExistingPorts(Port.LastError() == Pordt::BadIdText);
        return false;
    }
    bracketOpen_ = true;

    const QColor text = QApplication::palette().color(QPalette::WindowText);
    if (!AutoBox->isChecked()) {
        SetStatusColours(ExchangeColour, text);
        StatusPanel[0]->setText(ExchangeText);
    } else {
        SetStatusColours(AutoRefreshColour(), text);
        StatusPanel[0]->clear();
    }
    BreakButton->setEnabled(true);
    for (QWidget* control : OperationControls())
        control->setEnabled(false);
    // A running automatic refresh must stay switchable off.
    if (!AutoBox->isChecked())
        AutoBox->setEnabled(false);
    if (TimeForm != nullptr)
        TimeForm->SetLinkBusy(true);

    BreakRequested = false;
    Pager.Reset();
    return true;
}

void TZorvan::ShowExistingPorts(bool show) {
    // The list stands only until the next operation: any later failure to
    // open either lists anew or takes it away.
    QLabel* panel = StatusPanel[0];
    if (!show) {
        panel->clear();
        return;
    }
    const int room = std::max(panel->contentsRect().width(), StatusWidths[0] / 2);
    panel->setText(
        panel->fontMetrics().elidedText(PortSummary(FindSerialPorts()), Qt::ElideRight, room));
}

void TZorvan::ShutDown() {
    // Closing a closed port does nothing; only what was opened is closed.
    if (Port.Open() && !Port.SetOpen(false))
        messages_.inform(MessageIcon::Error, Port.LastError());
    Timer.stop();

    // The readout running finishes its print page and closes its files.
    if (CompleteFiles)
        CompleteFiles();

    ClearFlags();

    BreakButton->setEnabled(false);
    for (QWidget* control : OperationControls())
        control->setEnabled(true);
    AutoBox->setEnabled(true);
    AutoBox->setChecked(false);

    for (QLabel* panel : StatusPanel)
        panel->clear();
    // The clock write turns the text white; idle text is the normal colour.
    SetStatusColours(ButtonFaceColour(), QApplication::palette().color(QPalette::WindowText));
    ReadBar->setValue(0);

    bracketOpen_ = false;
    if (TimeForm != nullptr)
        TimeForm->SetLinkBusy(false);
}
