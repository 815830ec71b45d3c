// The setting controls of the main window, the format boxes, the message-text
// dialogs and the clock dialog, without a recorder.

#include "app/message_texts_dialog.h"
#include "app/time_form.h"
#include "settings/baud_step.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <iterator>

// ---- the speed spin

struct BaudStep {
    const char* name;
    int from;
    int step;
    int expected;
};

void PrintTo(const BaudStep& row, std::ostream* os) {
    *os << row.name;
}

class BaudStepTest : public WindowTest, public ::testing::WithParamInterface<BaudStep> {};

TEST_P(BaudStepTest, ArrowsStepBetweenTheFourSpeeds) {
    const BaudStep& p = GetParam();
    TZorvan& w = OpenWindow();
    w.SpidSpin->setValue(p.from);
    ASSERT_EQ(w.SpidSpin->value(), p.from);
    w.SpidSpin->stepBy(p.step);
    EXPECT_EQ(w.SpidSpin->value(), p.expected);
    EXPECT_EQ(w.BaudRate, p.expected);
    EXPECT_EQ(w.Port.Baud(), p.expected);
}

INSTANTIATE_TEST_SUITE_P(SpeedSpin, BaudStepTest,
                         ::testing::Values(BaudStep{"up_at_1200", 1200, +1, 2400},
                                           BaudStep{"up_at_2400", 2400, +1, 4800},
                                           BaudStep{"up_at_4800", 4800, +1, 9600},
                                           BaudStep{"down_at_9600", 9600, -1, 4800},
                                           BaudStep{"down_at_4800", 4800, -1, 2400},
                                           BaudStep{"down_at_2400", 2400, -1, 1200},
                                           BaudStep{"down_at_1200_stays", 1200, -1, 1200},
                                           BaudStep{"up_at_9600_stays", 9600, +1, 9600},
                                           BaudStep{"up_at_5000_plain", 5000, +1, 5001}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SteppedBaudTest, ReplacementsRunOneAfterTheOther) {
    // Every value that is the start of a rule, and what the chain makes of it.
    const std::pair<int, int> rows[] = {{9599, 4800}, {4799, 2400}, {2399, 1200}, {4801, 9600},
                                        {2401, 4800}, {1201, 2400}, {1200, 1200}, {2400, 2400},
                                        {4800, 4800}, {9600, 9600}, {5000, 5000}, {0, 0}};
    for (const auto& [in, out] : rows)
        EXPECT_EQ(SteppedBaud(in), out) << in;
    // Only the four speeds come out of an arrow step at one of them.
    for (int speed : LineSpeeds) {
        for (int step : {-1, +1}) {
            const int stepped = SteppedBaud(speed + step);
            if (speed + step >= 1200 && speed + step <= 9600) {
                EXPECT_TRUE(stepped == 1200 || stepped == 2400 || stepped == 4800 ||
                            stepped == 9600)
                    << speed << " " << step;
            }
        }
    }
}

class SettingControlsTest : public WindowTest {};

TEST_F(SettingControlsTest, TypedSpeedIsTakenUnchanged) {
    TZorvan& w = OpenWindow();
    w.SpidSpin->setValue(5000);
    EXPECT_EQ(w.BaudRate, 5000);
    EXPECT_EQ(w.Port.Baud(), 5000);
    EXPECT_EQ(w.SpidSpin->value(), 5000);
}

TEST_F(SettingControlsTest, SpinsKeepTheirFieldsAndThePortUpToDate) {
    TZorvan& w = OpenWindow();
    w.ComSpin->setValue(7);
    EXPECT_EQ(w.ComPortNumber, 7);
    EXPECT_EQ(w.Port.ComNumber(), 7);
    w.MaxSpin->setValue(1234);
    EXPECT_EQ(w.MaxMoment, 1234);
    w.RadioBec->click();
    w.BecSpin->setValue(77);
    EXPECT_EQ(w.MaxWeight, 77);
    w.SexSpin->setValue(4);
    EXPECT_EQ(w.RefreshPeriod, 4);
}

// Digits typed into the spin's own editor, as from the keyboard.
void TypeDigits(QWidget* target, const QString& digits) {
    for (const QChar c : digits) {
        const int key = Qt::Key_0 + (c.unicode() - u'0');
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
    }
}

TEST_F(SettingControlsTest, TypedValueCountsAtOnceAndIsSavedAtTheEnd) {
    TZorvan& w = OpenWindow();
    w.show();
    w.MaxSpin->setFocus();
    w.MaxSpin->selectAll();
    TypeDigits(w.MaxSpin, QStringLiteral("1234"));
    // No Enter and no change of focus: the field follows the keystrokes.
    EXPECT_EQ(w.MaxMoment, 1234);

    w.SexSpin->setFocus();
    w.SexSpin->selectAll();
    TypeDigits(w.SexSpin, QStringLiteral("7"));
    EXPECT_EQ(w.RefreshPeriod, 7);

    // A speed typed whole reaches the port once, with its full value.
    QList<int> speeds;
    QObject::connect(w.SpidSpin, &QSpinBox::valueChanged, [&speeds](int v) { speeds << v; });
    w.SpidSpin->setFocus();
    w.SpidSpin->selectAll();
    TypeDigits(w.SpidSpin, QStringLiteral("5000"));
    EXPECT_EQ(speeds, QList<int>{5000});
    EXPECT_EQ(w.BaudRate, 5000);
    EXPECT_EQ(w.Port.Baud(), 5000);

    // Closed straight from the spin: the typed values reach the settings file.
    const QString ini = QDir(w.RunFolder()).filePath(QStringLiteral("zorvan.ini"));
    CloseWindow();
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QByteArray("5000\r"));
    EXPECT_EQ(lines[2], QByteArray("1234\r"));
    EXPECT_EQ(lines[5], QByteArray("7\r"));
}

TEST_F(SettingControlsTest, ClickOnThePeriodLabelTakesThePeriod) {
    TZorvan& w = OpenWindow();
    {
        const QSignalBlocker quiet(w.SexSpin);
        w.SexSpin->setValue(6);
    }
    ASSERT_EQ(w.RefreshPeriod, 1);
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, w.Label2->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.Label2->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.Label2, &press);
    QCoreApplication::sendEvent(w.Label2, &release);
    EXPECT_EQ(w.RefreshPeriod, 6);
}

TEST_F(SettingControlsTest, RadiosSwitchWhichValueIsEditable) {
    TZorvan& w = OpenWindow();
    w.RadioBec->click();
    EXPECT_TRUE(w.BecSpin->isEnabled());
    EXPECT_TRUE(w.Label3->isEnabled());
    EXPECT_FALSE(w.MaxSpin->isEnabled());
    EXPECT_FALSE(w.Label1->isEnabled());
    EXPECT_TRUE(w.CollectSettings().WeightMode);
    w.RadioMax->click();
    EXPECT_TRUE(w.MaxSpin->isEnabled());
    EXPECT_TRUE(w.Label1->isEnabled());
    EXPECT_FALSE(w.BecSpin->isEnabled());
    EXPECT_FALSE(w.Label3->isEnabled());
    EXPECT_FALSE(w.CollectSettings().WeightMode);
}

// ---- the format boxes: each group keeps at least one box ticked

struct BoxRule {
    const char* name;
    bool summator; // else the event group
    const char* click;
    bool log, txt, hex; // before the click
    bool logAfter, txtAfter, hexAfter;
};

void PrintTo(const BoxRule& row, std::ostream* os) {
    *os << row.name;
}

class FormatBoxTest : public WindowTest, public ::testing::WithParamInterface<BoxRule> {};

TEST_P(FormatBoxTest, AtLeastOneBoxStaysTicked) {
    const BoxRule& r = GetParam();
    TZorvan& w = OpenWindow();
    QCheckBox* log = r.summator ? w.LogBox : w.ELogBox;
    QCheckBox* txt = r.summator ? w.TxtBox : w.ETxtBox;
    QCheckBox* hex = r.summator ? w.HexBox : w.EHexBox;
    log->setChecked(r.log);
    txt->setChecked(r.txt);
    hex->setChecked(r.hex);
    const QString which = QString::fromLatin1(r.click);
    QCheckBox* clicked = which == QLatin1String("log")   ? log
                         : which == QLatin1String("txt") ? txt
                                                         : hex;
    clicked->click();
    EXPECT_EQ(log->isChecked(), r.logAfter);
    EXPECT_EQ(txt->isChecked(), r.txtAfter);
    EXPECT_EQ(hex->isChecked(), r.hexAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FormatBoxTest,
    ::testing::Values(
        BoxRule{"sum_untick_only_log", true, "log", true, false, false, false, true, false},
        BoxRule{"sum_untick_only_txt", true, "txt", false, true, false, true, false, false},
        BoxRule{"sum_untick_only_hex", true, "hex", false, false, true, true, false, false},
        BoxRule{"sum_untick_one_of_two", true, "log", true, true, false, false, true, false},
        BoxRule{"sum_tick_txt", true, "txt", true, false, false, true, true, false},
        BoxRule{"event_untick_only_log", false, "log", true, false, false, false, true, false},
        BoxRule{"event_untick_only_txt", false, "txt", false, true, false, true, false, false},
        BoxRule{"event_untick_only_hex", false, "hex", false, false, true, true, false, false},
        BoxRule{"event_untick_one_of_two", false, "txt", true, true, false, true, false, false}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- the message-text dialogs

class TextDialogsTest : public WindowTest {};

TEST_F(TextDialogsTest, ButtonsShowTheirDialogsModeless) {
    TZorvan& w = OpenWindow();
    w.show();
    const struct {
        QPushButton* button;
        MessageTextsDialog* dialog;
        TextsKind kind;
    } rows[] = {{w.OGPButton, w.OGPForm, TextsKind::Other},
                {w.RELButton, w.RELForm, TextsKind::Relay},
                {w.DIGButton, w.DIGForm, TextsKind::DigOut},
                {w.RegButton, w.REGForm, TextsKind::DigIn}};
    for (const auto& r : rows) {
        ASSERT_NE(r.dialog, nullptr);
        EXPECT_FALSE(r.dialog->isVisible());
        EXPECT_EQ(r.dialog->Kind(), r.kind);
        r.button->click();
        EXPECT_TRUE(r.dialog->isVisible());
        EXPECT_FALSE(r.dialog->isModal());
    }
    // All four open at once.
    for (const auto& r : rows)
        EXPECT_TRUE(r.dialog->isVisible());
}

TEST_F(TextDialogsTest, AnEditReachesTheListAndTheHintsAtOnce) {
    TZorvan& w = OpenWindow();
    w.RELButton->click();
    QTableWidget* grid = w.RELForm->Grid();
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(grid->item(1, 1), nullptr);
    grid->item(1, 1)->setText(QStringLiteral("Ограничитель грузоподъемности"));
    EXPECT_EQ(w.Texts.relay.at(0), QStringLiteral("Ограничитель грузоподъемности"));
    EXPECT_EQ(w.RelayPanel[0]->toolTip(), QStringLiteral("Ограничитель грузоподъемности"));

    w.RegButton->click();
    w.REGForm->Grid()->item(8, 1)->setText(QStringLiteral("Концевик"));
    EXPECT_EQ(w.Texts.digIn.at(7), QStringLiteral("Концевик"));
    EXPECT_EQ(w.DigoutPanel[7]->toolTip(), QStringLiteral("Концевик"));
    // The output texts are a list of their own.
    EXPECT_NE(w.Texts.digOut.at(7), QStringLiteral("Концевик"));
}

// ---- the clock dialog on its own

class TimeFormTest : public WindowTest {};

TEST_F(TimeFormTest, ShowsTodayAndNowAndKeepsToTheRecordersYears) {
    TZorvan& w = OpenWindow();
    w.TimeButton->click();
    TTimeForm& form = *w.TimeForm;
    ASSERT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Установка времени"));
    EXPECT_TRUE(form.DateEdit1->calendarPopup());
    EXPECT_EQ(form.DateEdit1->date(), QDate::currentDate());
    EXPECT_EQ(form.Year, QDate::currentDate().year());
    EXPECT_EQ(form.HourSpin->minimum(), 0);
    EXPECT_EQ(form.HourSpin->maximum(), 23);
    EXPECT_EQ(form.MinuteSpin->minimum(), 0);
    EXPECT_EQ(form.MinuteSpin->maximum(), 59);
    EXPECT_EQ(form.TimeSetButton->text(), QStringLiteral("Установить"));

    form.DateEdit1->setDate(QDate(1999, 12, 31));
    EXPECT_EQ(form.DateEdit1->date(), QDate(2000, 1, 1));
    form.DateEdit1->setDate(QDate(2100, 1, 1));
    EXPECT_EQ(form.DateEdit1->date(), QDate(2099, 12, 31));
    EXPECT_EQ(form.Year, 2099);
    EXPECT_EQ(form.Month, 12);
    EXPECT_EQ(form.Day, 31);
}

TEST_F(TimeFormTest, FieldsFollowTheControls) {
    TZorvan& w = OpenWindow();
    w.TimeButton->click();
    TTimeForm& form = *w.TimeForm;
    form.DateEdit1->setDate(QDate(2026, 12, 7));
    form.HourSpin->setValue(12);
    form.MinuteSpin->setValue(31);
    const ClockSetting at = form.Setting();
    EXPECT_EQ(at.year, 2026);
    EXPECT_EQ(at.month, 12);
    EXPECT_EQ(at.day, 7);
    EXPECT_EQ(at.hour, 12);
    EXPECT_EQ(at.minute, 31);
}

TEST_F(TimeFormTest, SetButtonIsRefusedWhileTheLinkIsHeld) {
    int calls = 0;
    TTimeForm form([&calls](const ClockSetting&) {
        ++calls;
        return true;
    });
    form.show();
    form.SetLinkBusy(true);
    EXPECT_FALSE(form.TimeSetButton->isEnabled());
    form.TimeSetButtonClick(); // a click that slips through anyway
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(form.isVisible());
    form.SetLinkBusy(false);
    form.TimeSetButton->click();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(TimeFormTest, StaysOpenWhenTheOperationCannotStart) {
    TTimeForm form([](const ClockSetting&) { return false; });
    form.show();
    form.TimeSetButton->click();
    EXPECT_TRUE(form.isVisible());
}
