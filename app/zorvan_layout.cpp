// The main window's controls and their arrangement: a strip for the memory
// readout across the top, then three columns (summator, event memory, texts,
// clock and settings) and the status bar.

#include "app/value_panel_accessible.h"
#include "app/zorvan_window.h"
#include "settings/readout_settings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
constexpr int PanelHeight = 19;
constexpr int StateSquare = 14;

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

// A read-only value panel; its accessible name is the caption of its label.
// One that shows a value (not a state square) speaks it too: marked before
// anything asks for its accessible interface, which is made only once.
QLabel* MakePanel(QWidget* parent, const QString& name, const QString& accessible,
                  bool showsValue = true) {
    auto* panel = new QLabel(parent);
    if (showsValue)
        MarkValuePanel(panel);
    panel->setObjectName(name);
    // Shown as it is: a message text that looks like markup is still text.
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFixedHeight(PanelHeight);
    panel->setAccessibleName(accessible);
    return panel;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    return button;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setAccessibleName(caption);
    box->setChecked(checked);
    return box;
}

QGroupBox* MakeGroup(QWidget* parent, const QString& name, const QString& title) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(name);
    group->setAccessibleName(title);
    return group;
}

QSpinBox* MakeSpin(QWidget* parent, const QString& name, SettingRange range, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(range.low, range.high);
    spin->setValue(value);
    // Every keystroke that gives a valid value counts at once, as the arrows
    // do: a value typed just before the window closes is saved all the same.
    // Below the spin's minimum a partial entry is no value, so a speed typed
    // as "5000" does not pass through 5, 50 and 500.
    return spin;
}

// Value panels in one column, each with its label at the left, which labels
// it for assistive technology too.
void AddPanelRows(QGridLayout* grid, QWidget* parent,
                  const std::vector<std::pair<QLabel*, QString>>& rows) {
    int row = grid->rowCount();
    for (const auto& [panel, caption] : rows) {
        auto* label = new QLabel(caption, parent);
        label->setBuddy(panel);
        grid->addWidget(label, row, 0);
        grid->addWidget(panel, row, 1);
        ++row;
    }
}

QGroupBox* MakeFormatGroup(QWidget* parent, const QString& name, QCheckBox* log, QCheckBox* txt,
                           QCheckBox* hex) {
    QGroupBox* group = MakeGroup(parent, name, QStringLiteral(" Сохранять файл в формате: "));
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(6, 2, 6, 2);
    column->setSpacing(0);
    for (QCheckBox* box : {log, txt, hex}) {
        box->setParent(group);
        column->addWidget(box);
    }
    return group;
}
} // namespace

void TZorvan::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);
    auto* page = new QVBoxLayout(central);
    page->setContentsMargins(4, 2, 4, 2);
    page->setSpacing(2);

    ReadGroupBox =
        MakeGroup(central, QStringLiteral("ReadGroupBox"), QStringLiteral(" Чтение памяти "));
    auto* strip = new QHBoxLayout(ReadGroupBox);
    strip->setContentsMargins(6, 2, 6, 4);
    ReadBar = new QProgressBar(ReadGroupBox);
    ReadBar->setObjectName(QStringLiteral("ReadBar"));
    ReadBar->setAccessibleName(QStringLiteral("Ход чтения"));
    ReadBar->setRange(0, ReadBarMaximum);
    ReadBar->setValue(0);
    ReadBar->setTextVisible(false);
    BreakButton =
        MakeButton(ReadGroupBox, QStringLiteral("BreakButton"), QStringLiteral("Прервать"));
    BreakButton->setEnabled(false);
    strip->addWidget(ReadBar, 1);
    strip->addWidget(BreakButton);
    page->addWidget(ReadGroupBox);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(4);
    columns->addWidget(buildSumColumn(), 0, Qt::AlignTop);
    // The event group is the shorter column: the box goes into the free space
    // below it, as wide as the group. One box serves both memories.
    auto* events = new QVBoxLayout;
    events->setSpacing(2);
    events->addWidget(buildEventColumn());
    SinceLastBox = MakeCheck(central, QStringLiteral("SinceLastBox"),
                             QStringLiteral("Только новые записи"), false);
    SinceLastBox->setFixedWidth(ErrGroupBox->width());
    events->addWidget(SinceLastBox);
    events->addStretch(1);
    columns->addLayout(events);
    columns->addWidget(buildRightColumn(), 0, Qt::AlignTop);
    page->addLayout(columns, 1);

    buildStatusBar();
}

QWidget* TZorvan::buildSumColumn() {
    SumGroupBox = MakeGroup(this, QStringLiteral("SumGroupBox"), QStringLiteral(" Сумматор "));
    SumGroupBox->setFixedWidth(250);
    auto* grid = new QGridLayout(SumGroupBox);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setVerticalSpacing(2);

    QWidget* g = SumGroupBox;
    DatePanel = MakePanel(g, QStringLiteral("DatePanel"), QStringLiteral("Дата"));
    TimePanel = MakePanel(g, QStringLiteral("TimePanel"), QStringLiteral("Время"));
    TimeSumPanel = MakePanel(g, QStringLiteral("TimeSumPanel"), QStringLiteral("Наработка"));
    CycleSumPanel = MakePanel(g, QStringLiteral("CycleSumPanel"), QStringLiteral("Циклы"));
    VeightSumPanel = MakePanel(g, QStringLiteral("VeightSumPanel"), QStringLiteral("Сумм.вес"));
    VeightPanel = MakePanel(g, QStringLiteral("VeightPanel"), QStringLiteral("Поднятый вес"));
    ArrowPanel = MakePanel(g, QStringLiteral("ArrowPanel"), QStringLiteral("Вылет стрелы"));
    MomentPanel = MakePanel(g, QStringLiteral("MomentPanel"), QStringLiteral("Грузовой момент"));
    AddPanelRows(grid, g,
                 {{DatePanel, DatePanel->accessibleName()},
                  {TimePanel, TimePanel->accessibleName()},
                  {TimeSumPanel, TimeSumPanel->accessibleName()},
                  {CycleSumPanel, CycleSumPanel->accessibleName()},
                  {VeightSumPanel, VeightSumPanel->accessibleName()},
                  {VeightPanel, VeightPanel->accessibleName()},
                  {ArrowPanel, ArrowPanel->accessibleName()},
                  {MomentPanel, MomentPanel->accessibleName()}});

    ReadSumButton = MakeButton(g, QStringLiteral("ReadSumButton"), QStringLiteral("Прочитать"));
    RefreshButton = MakeButton(g, QStringLiteral("RefreshButton"), QStringLiteral("Обновить"));
    int row = grid->rowCount();
    grid->addWidget(ReadSumButton, row, 0);
    grid->addWidget(RefreshButton, row, 1);

    LogBox = MakeCheck(g, QStringLiteral("LogBox"), QStringLiteral("Для просмотра в Excel"), true);
    TxtBox = MakeCheck(g, QStringLiteral("TxtBox"), QStringLiteral("Для вывода на печать"), false);
    HexBox = MakeCheck(g, QStringLiteral("HexBox"), QStringLiteral("Для отладки"), false);
    GroupBox2 = MakeFormatGroup(g, QStringLiteral("GroupBox2"), LogBox, TxtBox, HexBox);
    grid->addWidget(GroupBox2, row + 1, 0, 1, 2);

    ClearSumButton = MakeButton(g, QStringLiteral("ClearSumButton"), QStringLiteral("Стереть"));
    QFont bold = ClearSumButton->font();
    bold.setBold(true);
    ClearSumButton->setFont(bold);
    grid->addWidget(ClearSumButton, row + 2, 0, 1, 2);
    return SumGroupBox;
}

QWidget* TZorvan::buildEventColumn() {
    ErrGroupBox = MakeGroup(this, QStringLiteral("ErrGroupBox"), QStringLiteral(" Черный ящик "));
    ErrGroupBox->setFixedWidth(300);
    auto* grid = new QGridLayout(ErrGroupBox);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setVerticalSpacing(2);

    QWidget* g = ErrGroupBox;
    EdatePanel = MakePanel(g, QStringLiteral("EdatePanel"), QStringLiteral("Дата"));
    ETimePanel = MakePanel(g, QStringLiteral("ETimePanel"), QStringLiteral("Время"));
    EReasonPanel = MakePanel(g, QStringLiteral("EReasonPanel"), QStringLiteral("Событие"));
    EVeightPanel = MakePanel(g, QStringLiteral("EVeightPanel"), QStringLiteral("Поднятый вес"));
    EArrowPanel = MakePanel(g, QStringLiteral("EArrowPanel"), QStringLiteral("Вылет стрелы"));
    AddPanelRows(grid, g,
                 {{EdatePanel, EdatePanel->accessibleName()},
                  {ETimePanel, ETimePanel->accessibleName()},
                  {EReasonPanel, EReasonPanel->accessibleName()},
                  {EVeightPanel, EVeightPanel->accessibleName()},
                  {EArrowPanel, EArrowPanel->accessibleName()}});

    // Three rows of eight squares, bit 7 at the left, so a row reads like the
    // byte written in base 2. The row labels are named the other way round
    // from the rows they head; the captions are what counts.
    ERelayLabel = MakeLabel(g, QStringLiteral("ERelayLabel"), QStringLiteral("Состояние реле"));
    EDigoutLabel = MakeLabel(g, QStringLiteral("EDigoutLabel"), QStringLiteral("Цифровые выходы"));
    EDigitLabel = MakeLabel(g, QStringLiteral("EDigitLabel"), QStringLiteral("Цифровые входы"));
    const struct {
        QLabel* label;
        std::array<QLabel*, 8>& row;
        QString prefix;
    } stateRows[] = {{ERelayLabel, RelayPanel, QStringLiteral("RelayPanel")},
                     {EDigoutLabel, DigitPanel, QStringLiteral("DigitPanel")},
                     {EDigitLabel, DigoutPanel, QStringLiteral("DigoutPanel")}};
    for (const auto& state : stateRows) {
        auto* squares = new QHBoxLayout;
        squares->setSpacing(1);
        for (int bit = 7; bit >= 0; --bit) {
            QLabel* panel =
                MakePanel(g, state.prefix + QString::number(bit), state.label->text(), false);
            panel->setFixedSize(StateSquare, StateSquare);
            panel->setAutoFillBackground(true);
            panel->setAccessibleDescription(QStringLiteral("Бит %1").arg(bit));
            state.row[static_cast<std::size_t>(bit)] = panel;
            squares->addWidget(panel);
        }
        squares->addStretch(1);
        const int row = grid->rowCount();
        grid->addWidget(state.label, row, 0);
        grid->addLayout(squares, row, 1);
    }

    ReadMemButton = MakeButton(g, QStringLiteral("ReadMemButton"), QStringLiteral("Прочитать"));
    ERefreshButton = MakeButton(g, QStringLiteral("ERefreshButton"), QStringLiteral("Обновить"));
    const int row = grid->rowCount();
    grid->addWidget(ReadMemButton, row, 0);
    grid->addWidget(ERefreshButton, row, 1);

    ELogBox =
        MakeCheck(g, QStringLiteral("ELogBox"), QStringLiteral("Для просмотра в Excel"), true);
    ETxtBox =
        MakeCheck(g, QStringLiteral("ETxtBox"), QStringLiteral("Для вывода на печать"), false);
    EHexBox = MakeCheck(g, QStringLiteral("EHexBox"), QStringLiteral("Для отладки"), false);
    GroupBox1 = MakeFormatGroup(g, QStringLiteral("GroupBox1"), ELogBox, ETxtBox, EHexBox);
    grid->addWidget(GroupBox1, row + 1, 0, 1, 2);

    ClearMemButton = MakeButton(g, QStringLiteral("ClearMemButton"), QStringLiteral("Стереть"));
    grid->addWidget(ClearMemButton, row + 2, 0, 1, 2);
    Button1 = MakeButton(g, QStringLiteral("Button1"), QStringLiteral("Отчет"));
    Button1->setVisible(false);
    grid->addWidget(Button1, row + 3, 0, 1, 2);
    return ErrGroupBox;
}

QWidget* TZorvan::buildRightColumn() {
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("RightColumn"));
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(2);

    GroupBox3 = MakeGroup(column, QStringLiteral("GroupBox3"), QStringLiteral(" Сообщения ОГП "));
    auto* texts = new QVBoxLayout(GroupBox3);
    texts->setContentsMargins(6, 2, 6, 4);
    texts->setSpacing(2);
    RELButton =
        MakeButton(GroupBox3, QStringLiteral("RELButton"), QStringLiteral("Срабатывания реле"));
    DIGButton =
        MakeButton(GroupBox3, QStringLiteral("DIGButton"), QStringLiteral("Цифровые выходы"));
    RegButton =
        MakeButton(GroupBox3, QStringLiteral("RegButton"), QStringLiteral("Цифровые входы"));
    OGPButton =
        MakeButton(GroupBox3, QStringLiteral("OGPButton"), QStringLiteral("Прочие события"));
    for (QPushButton* b : {RELButton, DIGButton, RegButton, OGPButton})
        texts->addWidget(b);
    stack->addWidget(GroupBox3);

    GroupBox4 = MakeGroup(column, QStringLiteral("GroupBox4"), QStringLiteral(" Время ОГП "));
    auto* clock = new QGridLayout(GroupBox4);
    clock->setContentsMargins(6, 2, 6, 4);
    clock->setVerticalSpacing(2);
    RealTimePanel =
        MakePanel(GroupBox4, QStringLiteral("RealTimePanel"), QStringLiteral("Время ОГП"));
    ReadTimeButton =
        MakeButton(GroupBox4, QStringLiteral("ReadTimeButton"), QStringLiteral("Обновить"));
    TimeButton = MakeButton(GroupBox4, QStringLiteral("TimeButton"), QStringLiteral("Установить"));
    clock->addWidget(RealTimePanel, 0, 0, 1, 2);
    clock->addWidget(ReadTimeButton, 1, 0);
    clock->addWidget(TimeButton, 1, 1);
    stack->addWidget(GroupBox4);

    auto* settings = new QGridLayout;
    settings->setContentsMargins(4, 0, 4, 0);
    settings->setVerticalSpacing(2);
    RadioMax = new QRadioButton(column);
    RadioMax->setObjectName(QStringLiteral("RadioMax"));
    RadioMax->setChecked(true);
    MaxSpin = MakeSpin(column, QStringLiteral("MaxSpin"), FullScaleRange, 800);
    Label1 = MakeLabel(column, QStringLiteral("Label1"), QStringLiteral("100% Moment"));
    RadioBec = new QRadioButton(column);
    RadioBec->setObjectName(QStringLiteral("RadioBec"));
    BecSpin = MakeSpin(column, QStringLiteral("BecSpin"), FullScaleRange, 50);
    BecSpin->setEnabled(false);
    Label3 = MakeLabel(column, QStringLiteral("Label3"), QStringLiteral("100% Veight"));
    Label3->setEnabled(false);
    ComSpin = MakeSpin(column, QStringLiteral("ComSpin"), ComPortRange, 1);
    ComLabel = MakeLabel(column, QStringLiteral("ComLabel"), QStringLiteral("ComPort"));
    SpidSpin = MakeSpin(column, QStringLiteral("SpidSpin"), BaudRange, 9600);
    Label4 = MakeLabel(column, QStringLiteral("Label4"), QStringLiteral("Baud"));
    SexSpin = MakeSpin(column, QStringLiteral("SexSpin"), RefreshRange, 1);
    Label2 = MakeLabel(column, QStringLiteral("Label2"), QStringLiteral("Refresh period"));
    AutoBox = MakeCheck(column, QStringLiteral("AutoBox"), QStringLiteral("Auto refresh"), false);

    // The radios carry no caption of their own: the label beside them speaks.
    RadioMax->setAccessibleName(Label1->text());
    RadioBec->setAccessibleName(Label3->text());
    const struct {
        QRadioButton* radio;
        QSpinBox* spin;
        QLabel* label;
    } rows[] = {{RadioMax, MaxSpin, Label1},
                {RadioBec, BecSpin, Label3},
                {nullptr, ComSpin, ComLabel},
                {nullptr, SpidSpin, Label4},
                {nullptr, SexSpin, Label2}};
    int row = 0;
    for (const auto& r : rows) {
        if (r.radio != nullptr)
            settings->addWidget(r.radio, row, 0);
        r.spin->setAccessibleName(r.label->text());
        r.label->setBuddy(r.spin);
        settings->addWidget(r.spin, row, 1);
        settings->addWidget(r.label, row, 2);
        ++row;
    }
    settings->addWidget(AutoBox, row, 1, 1, 2);
    settings->setColumnStretch(2, 1);
    stack->addLayout(settings);
    stack->addStretch(1);
    return column;
}

void TZorvan::buildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setAccessibleName(QStringLiteral("Строка состояния"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setAutoFillBackground(true);
    const QString names[] = {QStringLiteral("Состояние обмена"), QStringLiteral("Начальный адрес"),
                             QStringLiteral("Конечный адрес")};
    for (std::size_t i = 0; i < StatusPanel.size(); ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAccessibleName(names[i]);
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(StatusWidths[i]);
        StatusBar->addWidget(panel);
        StatusPanel[i] = panel;
    }
    setStatusBar(StatusBar);
    SetStatusColours(ButtonFaceColour(), palette().color(QPalette::WindowText));
}
