#include "app/zorvan_window.h"

#include "app/message_texts_dialog.h"
#include "app/readout_window.h"
#include "app/time_form.h"
#include "link/port_finder.h"
#include "readout/run_folder.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>

TZorvan::TZorvan(MessageGateway& messages, const QString& startDir, QWidget* parent)
    : QMainWindow(parent), Requests(Link, messages), messages_(messages),
      readoutWindow_(std::make_unique<ReadoutWindow>(*this, messages)), startDir_(startDir) {
    setObjectName(QStringLiteral("Zorvan"));
    setWindowTitle(InitialCaption);
    // Fixed border: may be minimised, never maximised or resized.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    setFixedSize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    Timer.setObjectName(QStringLiteral("Timer"));
    connectHandlers();

    FormCreate();

    OGPForm = new MessageTextsDialog(
        TextsKind::Other, Texts.other, [this] { SetHints(); }, this);
    REGForm = new MessageTextsDialog(
        TextsKind::DigIn, Texts.digIn, [this] { SetHints(); }, this);
    RELForm = new MessageTextsDialog(
        TextsKind::Relay, Texts.relay, [this] { SetHints(); }, this);
    DIGForm = new MessageTextsDialog(
        TextsKind::DigOut, Texts.digOut, [this] { SetHints(); }, this);
    TimeForm = new TTimeForm([this](const ClockSetting& at) { return SetRecorderClock(at); }, this);
    for (QWidget* dialog : {static_cast<QWidget*>(OGPForm), static_cast<QWidget*>(REGForm),
                            static_cast<QWidget*>(RELForm), static_cast<QWidget*>(DIGForm),
                            static_cast<QWidget*>(TimeForm)})
        dialog->hide();
}

TZorvan::~TZorvan() {
    // A window destroyed without being closed still saves its settings.
    FormDestroy();
}

void TZorvan::connectHandlers() {
    connect(BreakButton, &QPushButton::clicked, this, [this] { BreakButtonClick(); });
    connect(RefreshButton, &QPushButton::clicked, this, [this] { RefreshButtonClick(); });
    connect(ERefreshButton, &QPushButton::clicked, this, [this] { ERefreshButtonClick(); });
    connect(ReadTimeButton, &QPushButton::clicked, this, [this] { ReadTimeButtonClick(); });
    connect(TimeButton, &QPushButton::clicked, this, [this] { TimeButtonClick(); });
    connect(ReadMemButton, &QPushButton::clicked, this, [this] { ReadMemButtonClick(); });
    connect(ReadSumButton, &QPushButton::clicked, this, [this] { ReadSumButtonClick(); });
    connect(ClearMemButton, &QPushButton::clicked, this, [this] { ClearMemButtonClick(); });
    connect(ClearSumButton, &QPushButton::clicked, this, [this] { ClearSumButtonClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(OGPButton, &QPushButton::clicked, this, [this] { OGPButtonClick(); });
    connect(RELButton, &QPushButton::clicked, this, [this] { RelButtonClick(); });
    connect(DIGButton, &QPushButton::clicked, this, [this] { DigButtonClick(); });
    connect(RegButton, &QPushButton::clicked, this, [this] { RegButtonClick(); });

    // The check boxes' handlers run on every change of the box, however it
    // came (mouse, keyboard, an assistive tool's toggle, the program): ShutDown
    // unticking AutoBox runs its handler, which then does nothing.
    connect(AutoBox, &QCheckBox::toggled, this, [this] { AutoBoxClick(); });
    connect(&Timer, &QTimer::timeout, this, [this] { ClockAlarm(); });

    connect(ComSpin, &QSpinBox::valueChanged, this, [this] { ComSpinChange(); });
    connect(SpidSpin, &QSpinBox::valueChanged, this, [this] { SpidSpinChange(); });
    connect(SexSpin, &QSpinBox::valueChanged, this, [this] { SexSpinChange(); });
    connect(MaxSpin, &QSpinBox::valueChanged, this, [this] { MaxSpinChange(); });
    connect(BecSpin, &QSpinBox::valueChanged, this, [this] { BecSpinChange(); });
    Label2->installEventFilter(this);
    ComSpin->installEventFilter(this);

    connect(RadioMax, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioMaxClick();
    });
    connect(RadioBec, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioBecClick();
    });

    connect(LogBox, &QCheckBox::toggled, this, [this] { LogBoxClick(); });
    connect(TxtBox, &QCheckBox::toggled, this, [this] { TxtBoxClick(); });
    connect(HexBox, &QCheckBox::toggled, this, [this] { TxtBoxClick(); });
    connect(ELogBox, &QCheckBox::toggled, this, [this] { ELogBoxClick(); });
    connect(ETxtBox, &QCheckBox::toggled, this, [this] { ETxtBoxClick(); });
    connect(EHexBox, &QCheckBox::toggled, this, [this] { ETxtBoxClick(); });
}

bool TZorvan::eventFilter(QObject* watched, QEvent* event) {
    // A click on the "Refresh period" label takes the period as the spin shows it.
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease)
        SexSpinChange();
    // Where the number leads can change while it stands (an adapter plugged
    // in): look again each time the tool-tip is about to show.
    if (watched == ComSpin && event->type() == QEvent::ToolTip)
        ComSpin->setToolTip(DescribeComNumber(ComSpin->value()));
    return QMainWindow::eventFilter(watched, event);
}

void TZorvan::minus() {
    for (QWidget* w : {static_cast<QWidget*>(ClearSumButton), static_cast<QWidget*>(ClearMemButton),
                       static_cast<QWidget*>(ERelayLabel), static_cast<QWidget*>(EDigitLabel),
                       static_cast<QWidget*>(EDigoutLabel), static_cast<QWidget*>(HexBox),
                       static_cast<QWidget*>(EHexBox)})
        w->hide();
    for (const auto* row : {&RelayPanel, &DigitPanel, &DigoutPanel}) {
        for (QLabel* panel : *row)
            panel->hide();
    }
    QString caption = windowTitle();
    const qsizetype plus = caption.indexOf(QLatin1Char('+'));
    if (plus >= 0)
        caption.remove(plus, 1);
    setWindowTitle(caption);
}

void TZorvan::SetHints() {
    // The lists hold eight texts once the settings are loaded; a shorter list
    // (never expected) leaves the rest of the tool-tips as they were.
    for (int k = 0; k < 8; ++k) {
        const auto n = static_cast<std::size_t>(k);
        if (k < Texts.relay.size())
            RelayPanel[n]->setToolTip(Texts.relay[k]);
        if (k < Texts.digOut.size())
            DigitPanel[n]->setToolTip(Texts.digOut[k]);
        if (k < Texts.digIn.size())
            DigoutPanel[n]->setToolTip(Texts.digIn[k]);
    }
}

Settings TZorvan::CollectSettings() const {
    Settings s;
    s.BaudRate = BaudRate;
    s.ComPortNumber = ComPortNumber;
    s.MaxMoment = MaxMoment;
    s.MaxWeight = MaxWeight;
    s.WeightMode = !RadioMax->isChecked();
    s.RefreshPeriod = RefreshPeriod;
    s.Texts = Texts;
    return s;
}

void TZorvan::ApplySettings(const Settings& s) {
    BaudRate = s.BaudRate;
    ComPortNumber = s.ComPortNumber;
    MaxMoment = s.MaxMoment;
    MaxWeight = s.MaxWeight;
    RefreshPeriod = s.RefreshPeriod;
    Texts = s.Texts;
    if (s.WeightMode)
        RadioBec->setChecked(true); // runs RadioBecClick
    SetHints();

    // Each spin runs its change handler when the shown value changes.
    ComSpin->setValue(ComPortNumber);
    SpidSpin->setValue(BaudRate);
    MaxSpin->setValue(MaxMoment);
    BecSpin->setValue(MaxWeight);
    SexSpin->setValue(RefreshPeriod);
    // A value outside a spin's range is shown clamped; the field and the port
    // follow what is shown, so the file written at the end is valid again.
    ComSpinChange();
    SpidSpinChange();
    MaxSpinChange();
    BecSpinChange();
    SexSpinChange();
}

void TZorvan::FormCreate() {
    minus();
    Link.ReplyTimeout = DTrans::NormalTimeout;
    ClearFlags();

    Settings s;
    // Defaults for what the file does not give: the spins' initial values.
    s.MaxMoment = MaxSpin->value();
    s.MaxWeight = BecSpin->value();
    // The start directory's file first; without one, the user's own copy.
    const SettingsLoad load = LoadSettings(StartSettingsPath(startDir_, UserSettingsPath()), s);
    if (load.status == SettingsLoad::Malformed)
        messages_.inform(MessageIcon::Error, load.Message());
    ApplySettings(s);

    runFolder_ = MakeRunFolder(QDir(startDir_), QDateTime::currentDateTime());
    if (!runFolder_.isEmpty() && !QDir::setCurrent(runFolder_))
        runFolder_.clear();
    // A tool-tip: the status bar's own texts belong to the operations.
    StatusBar->setToolTip(FilesWentText());
}

QString TZorvan::FilesWentText() const {
    const QString folder = runFolder_.isEmpty() ? startDir_ : runFolder_;
    return QStringLiteral("Файлы этого запуска: ") + QDir::toNativeSeparators(folder) +
           QStringLiteral("\nНастройки (zorvan.ini) записываются туда при закрытии, копия — ") +
           QDir::toNativeSeparators(UserSettingsPath());
}

void TZorvan::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    // Into the run folder; when it could not be made the start directory
    // stayed current, and the file goes there.
    const QString folder = runFolder_.isEmpty() ? startDir_ : runFolder_;
    const Settings settings = CollectSettings();
    if (!SaveSettings(QDir(folder).filePath(QString::fromLatin1(SettingsFileName)), settings))
        messages_.inform(MessageIcon::Error, SaveFailedText);
    // The user's copy for the next start; the run folder's file is the one
    // the user is told about, so a failure here stays quiet.
    (void)SaveUserSettings(UserSettingsPath(), settings);
    ShutDown();
}

void TZorvan::closeEvent(QCloseEvent* event) {
    if (ExchangeRunning()) {
        // Never tear down under a running exchange: ask it to stop and close
        // when its handler is over.
        BreakRequested = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    closePending_ = false;
    FormDestroy();
    for (QWidget* dialog : {static_cast<QWidget*>(OGPForm), static_cast<QWidget*>(REGForm),
                            static_cast<QWidget*>(RELForm), static_cast<QWidget*>(DIGForm),
                            static_cast<QWidget*>(TimeForm)}) {
        if (dialog != nullptr)
            dialog->close();
    }
    event->accept();
}

void TZorvan::ShowDialog(QWidget* dialog) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TZorvan::OGPButtonClick() {
    OGPForm->ShowAndRaise();
}

void TZorvan::RelButtonClick() {
    RELForm->ShowAndRaise();
}

void TZorvan::DigButtonClick() {
    DIGForm->ShowAndRaise();
}

void TZorvan::RegButtonClick() {
    REGForm->ShowAndRaise();
}

void TZorvan::TimeButtonClick() {
    ShowDialog(TimeForm);
}
