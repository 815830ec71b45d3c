#pragma once

#include "decoding/reasons.h"
#include "link/dtrans.h"
#include "link/message_gateway.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "readout/print_pager.h"
#include "settings/settings_file.h"
#include "summary/run_summary.h"
#include "summator/sum_readout.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class MessageTextsDialog;
class TTimeForm;
struct FinishedReadout;
struct ReadoutLine;

// The main window: the controls, the settings, the operation state and the
// link to the recorder. Every exchange runs between Disable and ShutDown.
class TZorvan : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString InitialCaption = QStringLiteral("ZorvanNew+ от 27.02.2010");
    static inline const QString ExchangeText = QStringLiteral(" Обращение к регистратору");
    static inline const QString ClockSetText = QStringLiteral("Установка времени");
    static inline const QString SaveFailedText =
        QStringLiteral("Невозможно записать файл zorvan.ini");
    static constexpr int ClientWidth = 802;
    static constexpr int ClientHeight = 413;
    static constexpr int ReadBarMaximum = 65536;
    static constexpr std::array<int, 3> StatusWidths{400, 200, 150};
    // Status bar colours of the single exchange and of the clock and erase commands.
    static constexpr QColor ExchangeColour{255, 0, 0};
    static constexpr QColor CommandColour{0, 255, 0};

    // The settings file is read from startDir and the run folder made there.
    TZorvan(MessageGateway& messages, const QString& startDir, QWidget* parent = nullptr);
    ~TZorvan() override;

    // --- settings (shown in the spin edits, saved at the end of the run)
    int BaudRate = 9600;
    int ComPortNumber = 1;
    int MaxMoment = 800;
    int MaxWeight = 50;
    int RefreshPeriod = 1;
    // OtherTexts, RelayTexts, DigOutTexts, DigInTexts: read by the decoding at
    // the moment a record is shown, so an edit counts at once.
    MessageTexts Texts;

    // --- operation state
    bool BreakRequested = false;
    bool AutoRefreshBusy = false;
    bool EventMode = false;
    bool SumMode = false;
    bool LogOpen = false;
    // Page state of the print file of a readout; reset by Disable.
    PrintPager Pager;
    // The identification block of the last readout, heading its files.
    IdentData Ident{};
    QString ClockText;
    QString EraseTimeText;
    // Run by ShutDown while the readout flags are still set and before the open
    // files are closed: the readouts complete their print page here.
    std::function<void()> CompleteFiles;

    // --- the link
    Pordt Port;
    DTrans Link{Port, BreakRequested};
    RecorderRequests Requests;
    QTimer Timer;

    // --- controls (objectName = member name)
    QGroupBox* ReadGroupBox = nullptr;
    QProgressBar* ReadBar = nullptr;
    QPushButton* BreakButton = nullptr;

    QGroupBox* SumGroupBox = nullptr;
    QLabel* DatePanel = nullptr;
    QLabel* TimePanel = nullptr;
    QLabel* TimeSumPanel = nullptr;
    QLabel* CycleSumPanel = nullptr;
    QLabel* VeightSumPanel = nullptr;
    QLabel* VeightPanel = nullptr;
    QLabel* ArrowPanel = nullptr;
    QLabel* MomentPanel = nullptr;
    QPushButton* ReadSumButton = nullptr;
    QPushButton* RefreshButton = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* LogBox = nullptr;
    QCheckBox* TxtBox = nullptr;
    QCheckBox* HexBox = nullptr;
    QPushButton* ClearSumButton = nullptr;

    QGroupBox* ErrGroupBox = nullptr;
    QLabel* EdatePanel = nullptr;
    QLabel* ETimePanel = nullptr;
    QLabel* EReasonPanel = nullptr;
    QLabel* EVeightPanel = nullptr;
    QLabel* EArrowPanel = nullptr;
    QLabel* ERelayLabel = nullptr;
    QLabel* EDigitLabel = nullptr;
    QLabel* EDigoutLabel = nullptr;
    // Index n is bit n (RelayPanel0..7); bit 7 stands at the left.
    std::array<QLabel*, 8> RelayPanel{};
    std::array<QLabel*, 8> DigitPanel{};
    std::array<QLabel*, 8> DigoutPanel{};
    QPushButton* ReadMemButton = nullptr;
    QPushButton* ERefreshButton = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* ELogBox = nullptr;
    QCheckBox* ETxtBox = nullptr;
    QCheckBox* EHexBox = nullptr;
    QPushButton* ClearMemButton = nullptr;
    QPushButton* Button1 = nullptr;

    QGroupBox* GroupBox3 = nullptr;
    QPushButton* RELButton = nullptr;
    QPushButton* DIGButton = nullptr;
    QPushButton* RegButton = nullptr;
    QPushButton* OGPButton = nullptr;

    QGroupBox* GroupBox4 = nullptr;
    QLabel* RealTimePanel = nullptr;
    QPushButton* ReadTimeButton = nullptr;
    QPushButton* TimeButton = nullptr;

    QRadioButton* RadioMax = nullptr;
    QSpinBox* MaxSpin = nullptr;
    QLabel* Label1 = nullptr;
    QRadioButton* RadioBec = nullptr;
    QSpinBox* BecSpin = nullptr;
    QLabel* Label3 = nullptr;
    QSpinBox* ComSpin = nullptr;
    QLabel* ComLabel = nullptr;
    QSpinBox* SpidSpin = nullptr;
    QLabel* Label4 = nullptr;
    QSpinBox* SexSpin = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* AutoBox = nullptr;
    // Readouts take what the archive of the recorder already holds; unticked
    // at every start and never saved.
    QCheckBox* SinceLastBox = nullptr;

    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 3> StatusPanel{};

    // --- dialogs, made hidden at start-up
    MessageTextsDialog* OGPForm = nullptr;
    MessageTextsDialog* REGForm = nullptr;
    MessageTextsDialog* RELForm = nullptr;
    MessageTextsDialog* DIGForm = nullptr;
    TTimeForm* TimeForm = nullptr;

    // --- start-up and layout
    void minus();
    void SetHints();
    [[nodiscard]] Settings CollectSettings() const;
    // Where the run's files go; empty when the folder could not be made.
    [[nodiscard]] QString RunFolder() const { return runFolder_; }
    // Where this run's files and settings go, in two lines for the user.
    [[nodiscard]] QString FilesWentText() const;

    // --- operation bracket
    [[nodiscard]] bool Disable();
    void ShutDown();
    // After a port that does not exist: the ports that do, in status panel 0;
    // with false, the panel is emptied.
    void ShowExistingPorts(bool show);
    void ClearFlags();
    void BreakButtonClick();
    // Between Disable and ShutDown.
    [[nodiscard]] bool OperationRunning() const { return bracketOpen_; }
    // The controls that could start a second exchange.
    [[nodiscard]] std::vector<QWidget*> OperationControls() const;
    void SetStatusColours(const QColor& background, const QColor& text);
    [[nodiscard]] QColor StatusColour() const;
    [[nodiscard]] QColor StatusTextColour() const;
    [[nodiscard]] static QColor ButtonFaceColour();
    [[nodiscard]] static QColor AutoRefreshColour();

    // Marks a handler that talks to the recorder: closing the window meanwhile
    // only asks the exchange to stop, and the window closes once it is over.
    class ExchangeScope {
    public:
        explicit ExchangeScope(TZorvan& window);
        ~ExchangeScope();
        ExchangeScope(const ExchangeScope&) = delete;
        ExchangeScope& operator=(const ExchangeScope&) = delete;

    private:
        TZorvan& window_;
    };
    [[nodiscard]] bool ExchangeRunning() const { return exchangeDepth_ > 0; }
    [[nodiscard]] bool ClosePending() const { return closePending_; }

    // --- panels and single refreshes
    void ErrPanelSet();
    void SumPanelSet();
    [[nodiscard]] bool RefreshEventPanel();
    [[nodiscard]] bool RefreshSumPanel();
    [[nodiscard]] bool ReadClock();
    // The clock dialog's write: false when the operation could not start.
    bool SetRecorderClock(const ClockSetting& at);

    // --- handlers
    void RefreshButtonClick();
    void ERefreshButtonClick();
    void ReadTimeButtonClick();
    void TimeButtonClick();
    void AutoBoxClick();
    void ClockAlarm();
    void ComSpinChange();
    void SpidSpinChange();
    void SexSpinChange();
    void MaxSpinChange();
    void BecSpinChange();
    void RadioMaxClick();
    void RadioBecClick();
    void LogBoxClick();
    void TxtBoxClick();
    void ELogBoxClick();
    void ETxtBoxClick();
    void OGPButtonClick();
    void RelButtonClick();
    void DigButtonClick();
    void RegButtonClick();
    // Readouts, erase and report: filled in by their own work.
    void ReadMemButtonClick();
    void ReadSumButtonClick();
    void ClearMemButtonClick();
    void ClearSumButtonClick();
    void Button1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ReadoutWindow;
    friend class ReadoutWindow;
    // Erase or summator reset: confirmation, one command frame, refreshes.
    void RunEraseCommand(std::uint8_t command, const QString& question, const QString& status,
                         const QString& done);

    void buildControls();
    QWidget* buildSumColumn();
    QWidget* buildEventColumn();
    QWidget* buildRightColumn();
    void buildStatusBar();
    void connectHandlers();
    void FormCreate();
    void FormDestroy();
    void ApplySettings(const Settings& s);
    void ShowDialog(QWidget* dialog);

    MessageGateway& messages_;
    // The window's side of the readouts, and the last summator readout: its
    // rows, spectrum and texts outlive it for the reports.
    std::unique_ptr<ReadoutWindow> readoutWindow_;
    std::unique_ptr<SumReadout> sumReadout_;
    // The run's readouts, summed up for the page written after each of them.
    RunSummary summary_;
    [[nodiscard]] ReadoutLine readoutLine();
    [[nodiscard]] FinishedReadout finishedReadout(ReadoutKind kind) const;
    QString startDir_;
    QString runFolder_;
    bool bracketOpen_ = false;
    int exchangeDepth_ = 0;
    bool closePending_ = false;
    bool destroyed_ = false;
};
