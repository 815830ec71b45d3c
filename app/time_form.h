#pragma once

#include "link/recorder_requests.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;

// The clock dialog: the user picks a date, an hour and a minute (today and now
// when the dialog opens) and writes them into the recorder. Modeless; it is
// made once and shown again as needed.
class TTimeForm : public QDialog {
    Q_OBJECT
public:
    // Runs the clock write; returns false when the operation could not even
    // start (port not opened), in which case the dialog stays open.
    using SetClockHandler = std::function<bool(const ClockSetting&)>;

    static inline const QString Caption = QStringLiteral("Установка времени");
    // The recorder keeps the year as two digits after "20".
    static constexpr int FirstYear = 2000;
    static constexpr int LastYear = 2099;

    explicit TTimeForm(SetClockHandler onSet, QWidget* parent = nullptr);

    // The value to be written.
    std::uint16_t Year = FirstYear;
    std::uint16_t Month = 1;
    std::uint16_t Day = 1;
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QDateEdit* DateEdit1 = nullptr;
    QSpinBox* HourSpin = nullptr;
    QSpinBox* MinuteSpin = nullptr;
    QPushButton* TimeSetButton = nullptr;

    // While another operation holds the link the Set button is off: a second
    // exchange started inside the first would corrupt both.
    void SetLinkBusy(bool busy);
    [[nodiscard]] bool LinkBusy() const { return linkBusy_; }

    [[nodiscard]] ClockSetting Setting() const;

    void FormShow();
    void DateEdit1Change();
    void HourSpinChange();
    void MinuteSpinChange();
    void TimeSetButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SetClockHandler onSet_;
    bool linkBusy_ = false;
};
