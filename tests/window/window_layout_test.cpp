// The main window as built at start-up: its controls, captions, initial
// states, reduced layout, accessible names and size.

#include "window_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {
struct ControlRow {
    const char* name;
    const char* caption; // button/check box text, group title or label text
    bool visible;
    bool enabled;
};

// The control table of the window, as the user gets it after start-up.
const ControlRow kControls[] = {
    {"ReadGroupBox", " Чтение памяти ", true, true},
    {"BreakButton", "Прервать", true, false},
    {"SumGroupBox", " Сумматор ", true, true},
    {"ReadSumButton", "Прочитать", true, true},
    {"RefreshButton", "Обновить", true, true},
    {"GroupBox2", " Сохранять файл в формате: ", true, true},
    {"LogBox", "Для просмотра в Excel", true, true},
    {"TxtBox", "Для вывода на печать", true, true},
    {"HexBox", "Для отладки", false, true},
    {"ClearSumButton", "Стереть", false, true},
    {"ErrGroupBox", " Черный ящик ", true, true},
    {"ERelayLabel", "Состояние реле", false, true},
    {"EDigitLabel", "Цифровые входы", false, true},
    {"EDigoutLabel", "Цифровые выходы", false, true},
    {"ReadMemButton", "Прочитать", true, true},
    {"ERefreshButton", "Обновить", true, true},
    {"GroupBox1", " Сохранять файл в формате: ", true, true},
    {"ELogBox", "Для просмотра в Excel", true, true},
    {"ETxtBox", "Для вывода на печать", true, true},
    {"EHexBox", "Для отладки", false, true},
    {"ClearMemButton", "Стереть", false, true},
    {"Button1", "Отчет", false, true},
    {"GroupBox3", " Сообщения ОГП ", true, true},
    {"RELButton", "Срабатывания реле", true, true},
    {"DIGButton", "Цифровые выходы", true, true},
    {"RegButton", "Цифровые входы", true, true},
    {"OGPButton", "Прочие события", true, true},
    {"GroupBox4", " Время ОГП ", true, true},
    {"ReadTimeButton", "Обновить", true, true},
    {"TimeButton", "Установить", true, true},
    {"Label1", "100% Moment", true, true},
    {"Label3", "100% Veight", true, false},
    {"ComLabel", "ComPort", true, true},
    {"Label4", "Baud", true, true},
    {"Label2", "Refresh period", true, true},
    {"AutoBox", "Auto refresh", true, true},
};

QString CaptionOf(const QWidget* w) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(w))
        return group->title();
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    return {};
}

struct SpinRow {
    const char* name;
    int minimum;
    int maximum;
    int value;
    bool enabled;
    const char* accessible;
};

const SpinRow kSpins[] = {
    {"MaxSpin", 0, 9999, 800, true, "100% Moment"}, {"BecSpin", 0, 9999, 50, false, "100% Veight"},
    {"ComSpin", 1, 99, 1, true, "ComPort"},         {"SpidSpin", 1200, 9600, 9600, true, "Baud"},
    {"SexSpin", 1, 10, 1, true, "Refresh period"},
};

struct PanelRow {
    const char* name;
    const char* group;
    const char* label;
};

const PanelRow kPanels[] = {
    {"DatePanel", "SumGroupBox", "Дата"},
    {"TimePanel", "SumGroupBox", "Время"},
    {"TimeSumPanel", "SumGroupBox", "Наработка"},
    {"CycleSumPanel", "SumGroupBox", "Циклы"},
    {"VeightSumPanel", "SumGroupBox", "Сумм.вес"},
    {"VeightPanel", "SumGroupBox", "Поднятый вес"},
    {"ArrowPanel", "SumGroupBox", "Вылет стрелы"},
    {"MomentPanel", "SumGroupBox", "Грузовой момент"},
    {"EdatePanel", "ErrGroupBox", "Дата"},
    {"ETimePanel", "ErrGroupBox", "Время"},
    {"EReasonPanel", "ErrGroupBox", "Событие"},
    {"EVeightPanel", "ErrGroupBox", "Поднятый вес"},
    {"EArrowPanel", "ErrGroupBox", "Вылет стрелы"},
    {"RealTimePanel", "GroupBox4", "Время ОГП"},
};
} // namespace

class WindowLayoutTest : public WindowTest {};

TEST_F(WindowLayoutTest, ControlsHaveTheirNamesCaptionsAndStates) {
    TZorvan& w = OpenWindow();
    w.show();
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        const auto* control = w.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(CaptionOf(control), QString::fromUtf8(row.caption));
        EXPECT_EQ(control->isVisible(), row.visible);
        EXPECT_EQ(control->isEnabled(), row.enabled);
    }
    EXPECT_TRUE(w.LogBox->isChecked());
    EXPECT_FALSE(w.TxtBox->isChecked());
    EXPECT_FALSE(w.HexBox->isChecked());
    EXPECT_TRUE(w.ELogBox->isChecked());
    EXPECT_FALSE(w.ETxtBox->isChecked());
    EXPECT_FALSE(w.EHexBox->isChecked());
    EXPECT_TRUE(w.ClearSumButton->font().bold());
    EXPECT_TRUE(w.RadioMax->isChecked());
    EXPECT_FALSE(w.RadioBec->isChecked());
    EXPECT_FALSE(w.AutoBox->isChecked());
    EXPECT_FALSE(w.Timer.isActive());
}

TEST_F(WindowLayoutTest, SpinEditsHaveTheirRangesAndLabels) {
    TZorvan& w = OpenWindow();
    for (const SpinRow& row : kSpins) {
        SCOPED_TRACE(row.name);
        const auto* spin = w.findChild<QSpinBox*>(QString::fromLatin1(row.name));
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), row.minimum);
        EXPECT_EQ(spin->maximum(), row.maximum);
        EXPECT_EQ(spin->value(), row.value);
        EXPECT_EQ(spin->isEnabled(), row.enabled);
        EXPECT_EQ(spin->accessibleName(), QString::fromLatin1(row.accessible));
    }
}

TEST_F(WindowLayoutTest, PanelsStartEmptyInTheirGroups) {
    TZorvan& w = OpenWindow();
    for (const PanelRow& row : kPanels) {
        SCOPED_TRACE(row.name);
        const auto* group = w.findChild<QWidget*>(QString::fromLatin1(row.group));
        ASSERT_NE(group, nullptr);
        const auto* panel = group->findChild<QLabel*>(QString::fromLatin1(row.name));
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->text().isEmpty());
        EXPECT_EQ(panel->accessibleName(), QString::fromUtf8(row.label));
        EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);
    }
}

TEST_F(WindowLayoutTest, StateRowsAreHiddenWithBitSevenAtTheLeft) {
    TZorvan& w = OpenWindow();
    w.show();
    const struct {
        const char* prefix;
        const std::array<QLabel*, 8>& row;
    } rows[] = {
        {"RelayPanel", w.RelayPanel}, {"DigitPanel", w.DigitPanel}, {"DigoutPanel", w.DigoutPanel}};
    for (const auto& r : rows) {
        for (int bit = 0; bit < 8; ++bit) {
            const QString name = QString::fromLatin1(r.prefix) + QString::number(bit);
            SCOPED_TRACE(name.toStdString());
            const QLabel* panel = r.row[static_cast<std::size_t>(bit)];
            ASSERT_NE(panel, nullptr);
            EXPECT_EQ(panel->objectName(), name);
            EXPECT_EQ(w.findChild<QLabel*>(name), panel);
            EXPECT_FALSE(panel->isVisible());
            EXPECT_FALSE(panel->accessibleName().isEmpty());
        }
    }
    // Shown for a moment, a row reads like the byte in base 2.
    for (const auto& r : rows) {
        for (QLabel* panel : r.row)
            panel->show();
    }
    w.ErrGroupBox->layout()->activate();
    for (const auto& r : rows) {
        for (std::size_t bit = 1; bit < 8; ++bit) {
            EXPECT_LT(r.row[bit]->x(), r.row[bit - 1]->x()) << r.prefix << bit;
            EXPECT_EQ(r.row[bit]->y(), r.row[0]->y());
        }
    }
}

TEST_F(WindowLayoutTest, PanelsShowMessageTextsAsTheyAre) {
    TZorvan& w = OpenWindow();
    w.Texts.relay[1] = QStringLiteral("<b>Перегрузка</b>");
    // A relay event: minute, hour, day, month, year, weight, reach, relay,
    // output and input bytes, reason.
    const std::uint8_t record[] = {0x31, 0x12, 0x07, 0x12, 0x26, 0x0C,
                                   0x05, 0x02, 0x00, 0x00, 0x41};
    for (std::size_t k = 0; k < std::size(record); ++k)
        w.Link.RxBuffer[k + 1] = record[k];
    w.ErrPanelSet();
    ASSERT_TRUE(w.EReasonPanel->text().contains(QStringLiteral("<b>Перегрузка</b>")));
    // Markup in a text is shown as typed, never interpreted.
    EXPECT_EQ(w.EReasonPanel->textFormat(), Qt::PlainText);
    for (const QLabel* panel : w.findChildren<QLabel*>()) {
        if (panel->objectName().contains(QStringLiteral("Panel"))) {
            EXPECT_EQ(panel->textFormat(), Qt::PlainText) << panel->objectName().toStdString();
        }
    }
}

TEST_F(WindowLayoutTest, ReducedLayoutDropsThePlusFromTheCaption) {
    TZorvan& w = OpenWindow();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZorvanNew от 27.02.2010"));
    // A caption without "+" stays as it is.
    w.minus();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ZorvanNew от 27.02.2010"));
}

TEST_F(WindowLayoutTest, FixedClientAreaAndStatusBar) {
    TZorvan& w = OpenWindow();
    w.show();
    EXPECT_EQ(w.size(), QSize(802, 413));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    ASSERT_NE(w.StatusBar, nullptr);
    EXPECT_EQ(w.statusBar(), w.StatusBar);
    EXPECT_EQ(w.StatusBar->objectName(), QStringLiteral("StatusBar"));
    const int widths[] = {400, 200, 150};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(w.StatusPanel[i]->width(), widths[i]);
    EXPECT_EQ(w.StatusColour(), TZorvan::ButtonFaceColour());
    EXPECT_EQ(w.ReadBar->minimum(), 0);
    EXPECT_EQ(w.ReadBar->maximum(), 65536);
    EXPECT_EQ(w.ReadBar->value(), 0);
}

TEST_F(WindowLayoutTest, EveryControlHasAnAccessibleName) {
    TZorvan& w = OpenWindow();
    EXPECT_EQ(w.StatusBar->accessibleName(), QStringLiteral("Строка состояния"));
    EXPECT_EQ(w.ReadBar->accessibleName(), QStringLiteral("Ход чтения"));
    const auto controls = w.findChildren<QWidget*>();
    int checked = 0;
    for (const QWidget* c : controls) {
        const bool interactive = qobject_cast<const QAbstractButton*>(c) != nullptr ||
                                 qobject_cast<const QSpinBox*>(c) != nullptr ||
                                 qobject_cast<const QGroupBox*>(c) != nullptr;
        const bool panel = c->objectName().endsWith(QStringLiteral("Panel")) ||
                           c->objectName().contains(QStringLiteral("Panel"));
        if (!interactive && !panel)
            continue;
        if (c->objectName().isEmpty()) // the spin edits' inner parts
            continue;
        ++checked;
        EXPECT_FALSE(c->accessibleName().isEmpty()) << c->objectName().toStdString();
        const auto* button = qobject_cast<const QAbstractButton*>(c);
        if (button != nullptr && !button->text().isEmpty()) {
            EXPECT_EQ(button->accessibleName(), button->text()) << c->objectName().toStdString();
        }
        if (const auto* group = qobject_cast<const QGroupBox*>(c)) {
            EXPECT_EQ(group->accessibleName(), group->title());
        }
    }
    EXPECT_GT(checked, 60);
}

TEST_F(WindowLayoutTest, RendersToAPicture) {
    TZorvan& w = OpenWindow();
    w.show();
    QCoreApplication::processEvents();
    const QPixmap picture = w.grab();
    EXPECT_EQ(picture.size(), QSize(802, 413));
    // Looked at by hand against the control table; never committed.
    EXPECT_TRUE(picture.save(QStringLiteral("/tmp/zorvan_window.png")));
}
