#include "duty/duty_estimate.h"

#include "duty/duty_history.h"
#include "duty/duty_scheme.h"
#include "duty/ru_numbers.h"

#include <algorithm>
#include <cmath>

namespace {

// Field 2.6, the date the recorder was installed on the crane.
constexpr int RecorderInstalled = 281;
constexpr int RecorderInstalledWidth = 10;

QString Num(double v, int decimals) {
    return RuNumber(v, decimals);
}

void ReadNameplate(const DutyInput& in, DutyEstimate& e) {
    if (!in.hasIdent) {
        e.reasons << QStringLiteral("Идентификационная информация не прочитана: нет "
                                    "грузоподъемности, группы, срока службы и даты ввода.");
    } else {
        e.ratedLoadText =
            IdentField(in.ident, NameplateField::RatedLoad, NameplateField::RatedLoadWidth);
        e.groupText = IdentField(in.ident, NameplateField::Group, NameplateField::GroupWidth);
        e.lifeText =
            IdentField(in.ident, NameplateField::ServiceLife, NameplateField::ServiceLifeWidth);
        e.commissionedText =
            IdentField(in.ident, NameplateField::Commissioned, NameplateField::CommissionedWidth);
    }
    const auto unread = [](const QString& field, const QString& text) {
        return text.isEmpty() ? QStringLiteral("Поле %1 пусто.").arg(field)
                              : QStringLiteral("Поле %1 «%2» не читается.").arg(field, text);
    };
    if (in.ratedLoadGiven && *in.ratedLoadGiven > 0) {
        e.ratedLoad = in.ratedLoadGiven;
        e.ratedLoadGiven = true;
    } else if (in.hasIdent) {
        e.ratedLoad = ReadRatedLoad(e.ratedLoadText);
        if (!e.ratedLoad)
            e.reasons << unread(QStringLiteral("1.6 (грузоподъемность)"), e.ratedLoadText) +
                             QStringLiteral(" Без грузоподъемности нет Kp; её можно задать "
                                            "(--rated-load).");
    }
    if (!in.hasIdent)
        return;
    if (const std::optional<GroupReading> g = ReadGroup(e.groupText)) {
        e.nameplateGroup = g->group;
        e.oldGroupMark = g->oldMark;
        if (g->oldMark)
            e.notes << QStringLiteral("Группа «%1» (старое обозначение) прочитана как %2.")
                           .arg(e.groupText, GroupName(g->group));
    } else {
        e.reasons << unread(QStringLiteral("1.7 (группа классификации)"), e.groupText) +
                         QStringLiteral(" Без группы по паспорту нет доли израсходованного "
                                        "ресурса.");
    }
    e.lifeYears = ReadServiceLife(e.lifeText);
    if (!e.lifeYears)
        e.reasons << unread(QStringLiteral("1.8 (нормативный срок службы)"), e.lifeText) +
                         QStringLiteral(" Без срока службы нет прогноза циклов и фактической "
                                        "группы.");
    e.commissioned = ReadCommissioning(e.commissionedText);
    // The counters run from the recorder's installation (or the last erase),
    // which may be years after the crane's commissioning.
    const QString installedText = IdentField(in.ident, RecorderInstalled, RecorderInstalledWidth);
    const std::optional<QDate> installed = ReadCommissioning(installedText);
    if (e.commissioned && installed && *installed > *e.commissioned)
        e.recorderInstalled = installed;
    if (!e.commissioned)
        e.reasons << unread(QStringLiteral("1.9 (дата ввода в эксплуатацию)"), e.commissionedText) +
                         QStringLiteral(" Без нее нет календарного срока службы и лет без счета.");
}

void RateCycles(const DutyInput& in, DutyEstimate& e) {
    double sum = 0;
    e.oldest = in.cyclesOldest;
    e.newest = in.cyclesNewest;
    for (int weight = 0; weight < int(in.weightCounts.size()); ++weight) {
        const std::uint64_t count = in.weightCounts[std::size_t(weight)];
        if (count == 0)
            continue;
        e.cycles += int(count);
        if (weight == 0xFF) {
            e.cyclesNoWeight += int(count);
            continue;
        }
        e.cyclesRated += int(count);
        if (!e.ratedLoad)
            continue;
        const double ratio = weight / *e.ratedLoad;
        if (ratio > 1.0)
            e.overloads += int(count);
        sum += double(count) * ratio * ratio * ratio;
    }
    if (e.cyclesRated == 0) {
        e.reasons << (e.cycles == 0 ? QStringLiteral("Нет прочитанных циклов: нет Kp.")
                                    : QStringLiteral("Ни у одного цикла нет веса: нет Kp."));
        return;
    }
    if (!e.ratedLoad)
        return;
    e.kp = sum / e.cyclesRated;
    e.loadState = Iso4301::LoadStateIndex(*e.kp);
    e.kpAboveOne = *e.kp > 1.0;
    if (e.kpAboveOne)
        e.notes << QStringLiteral("Kp = %1 больше 1: циклы тяжелее номинальной "
                                  "грузоподъемности; отнесено к Q4. Проверьте поле 1.6 и "
                                  "перегрузы.")
                       .arg(Num(*e.kp, 3));
    if (e.cyclesNoWeight > 0)
        e.notes
            << QStringLiteral("Циклов без веса: %1, в Kp не вошли.").arg(RuCount(e.cyclesNoWeight));
    if (!in.recordsWhole)
        e.notes << QStringLiteral("Прочитаны не все записи: Kp только по прочитанным.");
}

void CheckCounters(const DutyInput& in, DutyEstimate& e) {
    if (!in.totalCycles)
        e.reasons << QStringLiteral("Счетчик циклов не прочитан (нет записи или она стерта): нет "
                                    "циклов за срок, доли ресурса и прогноза.");
    else
        e.cyclesTotal = in.totalCycles;
    e.weightTotal = in.totalWeight;
    if (!e.cyclesTotal || *e.cyclesTotal == 0 || !e.weightTotal || !e.ratedLoad)
        return;
    const double m = *e.weightTotal / (double(*e.cyclesTotal) * *e.ratedLoad);
    e.meanLoad = m;
    if (!e.kp)
        return;
    // Kp is the mean of r³, the counters give the mean of r: for r ≤ 1,
    // mean(r)³ ≤ mean(r³) ≤ mean(r). With overloads only the lower bound holds.
    constexpr double slack = 1e-9;
    const bool above = *e.kp >= m * m * m - slack;
    const bool below = e.overloads > 0 || *e.kp <= m + slack;
    e.kpInRange = above && below;
    if (!*e.kpInRange)
        e.notes << QStringLiteral("Kp прочитанных циклов (%1) вне границ, которые дают счетчики "
                                  "(%2 … %3): прочитанные циклы нетипичны для всего срока или "
                                  "счетчики не сходятся с весами циклов.")
                       .arg(Num(*e.kp, 3), Num(m * m * m, 3), Num(m, 3));
    if (e.overloads > 0)
        e.notes << QStringLiteral("Перегрузов среди прочитанных циклов: %1; верхняя граница "
                                  "Kp по счетчикам не действует.")
                       .arg(RuCount(e.overloads));
}

void Classify(DutyEstimate& e) {
    if (e.cyclesPerYear && e.lifeYears) {
        e.projectedCycles = *e.cyclesPerYear * *e.lifeYears;
        e.utilization = Iso4301::UtilizationIndex(*e.projectedCycles);
        if (e.loadState)
            e.group = Iso4301::Group(*e.loadState, *e.utilization);
    }
    if (!e.group && e.lifeYears && e.cyclesPerYear && !e.loadState)
        e.reasons << QStringLiteral("Без Kp нет фактической группы.");
}

// The smaller of the calendar's years left and the budget's, and which.
void ChooseYearsLeft(DutyEstimate& e) {
    if (e.calendarYearsLeft && (!e.cycleYearsLeft || *e.calendarYearsLeft <= *e.cycleYearsLeft)) {
        e.yearsLeft = e.calendarYearsLeft;
        e.yearsBinding = YearsBinding::Calendar;
    } else if (e.cycleYearsLeft) {
        e.yearsLeft = e.cycleYearsLeft;
        e.yearsBinding = YearsBinding::Cycles;
    }
}

} // namespace

DutyEstimate EstimateDuty(const DutyInput& input) {
    DutyEstimate e;
    e.recorderClock = input.recorderClock;
    e.recordsWhole = input.recordsWhole;
    ReadNameplate(input, e);
    RateCycles(input, e);
    CheckCounters(input, e);
    EstimateCalendar(e);
    EstimateRate(input, e);
    Classify(e);
    EstimateLifeUsed(e);
    ChooseYearsLeft(e);
    if (e.cyclesTotal && e.cycles > 0 && double(*e.cyclesTotal) > e.cycles)
        e.notes << QStringLiteral("Kp взят по %1 %2 и принят для всех %3 %4 по счетчику.")
                       .arg(RuCount(e.cyclesRated),
                            RuPlural(e.cyclesRated, QStringLiteral("прочитанному циклу"),
                                     QStringLiteral("прочитанным циклам"),
                                     QStringLiteral("прочитанным циклам")),
                            RuCount(*e.cyclesTotal),
                            RuPlural(*e.cyclesTotal, QStringLiteral("цикла"),
                                     QStringLiteral("циклов"), QStringLiteral("циклов")));
    return e;
}

QString LoadStateName(const std::optional<int>& index) {
    return index ? QString::fromLatin1(Iso4301::LoadStates[std::size_t(*index)].name) : QString();
}

QString UtilizationName(const std::optional<int>& index) {
    return index ? QString::fromLatin1(Iso4301::UtilizationClasses[std::size_t(*index)].name)
                 : QString();
}

QString GroupName(const std::optional<int>& group) {
    return group ? QString::fromLatin1(Iso4301::GroupName(*group)) : QString();
}

QString CalendarLifeText(const DutyEstimate& e) {
    if (!e.lifeEnd)
        return {};
    const QString end = e.lifeEnd->toString(QStringLiteral("dd.MM.yyyy"));
    QString text;
    if (e.lifeExpired)
        text = QStringLiteral("Нормативный срок службы истек %1: требуется экспертиза "
                              "промышленной безопасности")
                   .arg(end);
    else if (e.calendarYearsLeft)
        text = QStringLiteral("Нормативный срок службы истекает %1: осталось %2")
                   .arg(end, RuYears(*e.calendarYearsLeft));
    else
        text = QStringLiteral("Нормативный срок службы истекает %1 (часы регистратора не "
                              "прочитаны)")
                   .arg(end);
    if (e.lifeDefaulted)
        text += QStringLiteral(" (срок в паспорте не указан: принят %1 по 116-ФЗ, ст. 7)")
                    .arg(RuYears(DefaultServiceLifeYears));
    return text;
}

QString DutyDisclaimer() {
    return QStringLiteral("Это оценка по ISO 4301-1 (ГОСТ 25546-82) из записей регистратора — "
                          "исходные данные для экспертизы промышленной безопасности, а не ее "
                          "заключение.");
}
