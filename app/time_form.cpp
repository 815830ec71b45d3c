#include "app/time_form.h"

#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <utility>

TTimeForm::TTimeForm(SetClockHandler onSet, QWidget* parent)
    : QDialog(parent), onSet_(std::move(onSet)) {
    setObjectName(QStringLiteral("TTimeForm"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    Label1 = new QLabel(QStringLiteral("Дата"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("Часов"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Минут"), this);
    Label3->setObjectName(QStringLiteral("Label3"));

    DateEdit1 = new QDateEdit(this);
    DateEdit1->setObjectName(QStringLiteral("DateEdit1"));
    DateEdit1->setCalendarPopup(true);
    DateEdit1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DateEdit1->setDateRange(QDate(FirstYear, 1, 1), QDate(LastYear, 12, 31));
    DateEdit1->setAccessibleName(Label1->text());
    Label1->setBuddy(DateEdit1);

    HourSpin = new QSpinBox(this);
    HourSpin->setObjectName(QStringLiteral("HourSpin"));
    HourSpin->setRange(0, 23);
    HourSpin->setAccessibleName(Label2->text());
    Label2->setBuddy(HourSpin);

    MinuteSpin = new QSpinBox(this);
    MinuteSpin->setObjectName(QStringLiteral("MinuteSpin"));
    MinuteSpin->setRange(0, 59);
    MinuteSpin->setAccessibleName(Label3->text());
    Label3->setBuddy(MinuteSpin);

    TimeSetButton = new QPushButton(QStringLiteral("Установить"), this);
    TimeSetButton->setObjectName(QStringLiteral("TimeSetButton"));
    TimeSetButton->setAccessibleName(TimeSetButton->text());

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DateEdit1, 1, 0);
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(HourSpin, 1, 1);
    grid->addWidget(Label3, 0, 2);
    grid->addWidget(MinuteSpin, 1, 2);
    grid->addWidget(TimeSetButton, 2, 0, 1, 3);
    setFixedSize(280, 110);

    connect(DateEdit1, &QDateEdit::dateChanged, this, [this] { DateEdit1Change(); });
    connect(HourSpin, &QSpinBox::valueChanged, this, [this] { HourSpinChange(); });
    connect(MinuteSpin, &QSpinBox::valueChanged, this, [this] { MinuteSpinChange(); });
    connect(TimeSetButton, &QPushButton::clicked, this, [this] { TimeSetButtonClick(); });
}

void TTimeForm::SetLinkBusy(bool busy) {
    linkBusy_ = busy;
    TimeSetButton->setEnabled(!busy);
    TimeSetButton->setToolTip(busy ? QStringLiteral("Идет обмен с регистратором") : QString());
}

ClockSetting TTimeForm::Setting() const {
    return ClockSetting{Year, Month, Day, Hour, Minute};
}

void TTimeForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TTimeForm::FormShow() {
    const QDateTime now = QDateTime::currentDateTime();
    DateEdit1->setDate(now.date());
    // The edit keeps to the years the recorder can hold, so the fields follow
    // what it shows rather than the raw clock.
    DateEdit1Change();
    HourSpin->setValue(now.time().hour());
    MinuteSpin->setValue(now.time().minute());
    Hour = static_cast<std::uint16_t>(now.time().hour());
    Minute = static_cast<std::uint16_t>(now.time().minute());
}

void TTimeForm::DateEdit1Change() {
    const QDate d = DateEdit1->date();
    Year = static_cast<std::uint16_t>(d.year());
    Month = static_cast<std::uint16_t>(d.month());
    Day = static_cast<std::uint16_t>(d.day());
}

void TTimeForm::HourSpinChange() {
    Hour = static_cast<std::uint16_t>(HourSpin->value());
}

void TTimeForm::MinuteSpinChange() {
    Minute = static_cast<std::uint16_t>(MinuteSpin->value());
}

void TTimeForm::TimeSetButtonClick() {
    // The button is off while the link is held; a click that slips through
    // (keyboard, a queued event) must not start a second exchange either.
    if (linkBusy_ || !onSet_)
        return;
    if (onSet_(Setting()))
        close();
}
