#include "duty/duty_history.h"

#include "duty/duty_scheme.h"
#include "duty/ru_numbers.h"

#include <algorithm>

namespace {

constexpr double DaysPerYear = 365.25;
constexpr double SecondsPerYear = DaysPerYear * 86400.0;
// Under a day says nothing of a year.
constexpr double ShortestPeriodDays = 1.0;
// A rate from a few weeks carries the season in it.
constexpr double ShortPeriodDays = 90.0;

QString Day(const QDate& d) {
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

QString Day(const QDateTime& t) {
    return Day(t.date());
}

double Years(const QDateTime& from, const QDateTime& to) {
    return double(from.secsTo(to)) / SecondsPerYear;
}

// The dated counter samples walked from the newest to the oldest.
struct CounterWalk {
    const CounterSample* newest = nullptr;
    const CounterSample* oldest = nullptr;
    std::uint64_t grown = 0;        // cycles counted between them
    std::uint64_t beforeResets = 0; // what the counter held before each drop
    int resets = 0;
    QDateTime newestResetAfter; // the record just before the newest drop
};

CounterWalk WalkCounters(const std::vector<CounterSample>& samples) {
    CounterWalk w;
    for (const CounterSample& s : samples) {
        if (!s.time.isValid())
            continue;
        if (w.oldest != nullptr) {
            const std::uint32_t newer = w.oldest->cycles;
            if (newer >= s.cycles) {
                w.grown += newer - s.cycles;
            } else {
                // A reset: the newer counter started from zero after s.
                w.grown += newer;
                w.beforeResets += s.cycles;
                if (w.resets++ == 0)
                    w.newestResetAfter = s.time;
            }
        } else {
            w.newest = &s;
        }
        w.oldest = &s;
    }
    return w;
}

void TakeRate(DutyEstimate& e, RateBasis basis, std::uint64_t cycles, const QDateTime& from,
              const QDateTime& to) {
    e.rateBasis = basis;
    e.rateCycles = cycles;
    e.rateFrom = from;
    e.rateTo = to;
    e.rateYears = Years(from, to);
    e.cyclesPerYear = double(cycles) / e.rateYears;
    if (from.secsTo(to) < ShortPeriodDays * 86400.0)
        e.notes << QStringLiteral("Период, по которому взят темп, короче %1 сут.: темп работы "
                                  "оценен грубо, сезонность и простои он не отражает.")
                       .arg(int(ShortPeriodDays));
}

// The cycles a year by commissioning: the newest counter over all the years
// in service, as if nothing had ever reset it.
bool RateSinceCommissioning(DutyEstimate& e) {
    if (!e.commissioned || !e.cyclesTotal)
        return false;
    if (!e.recorderClock.isValid()) {
        e.reasons << QStringLiteral("Часы регистратора не прочитаны: срок с ввода в "
                                    "эксплуатацию неизвестен.");
        return false;
    }
    const QDateTime from(*e.commissioned, QTime(0, 0), e.recorderClock.timeSpec());
    if (from.daysTo(e.recorderClock) <= 0) {
        e.reasons << QStringLiteral("Дата ввода %1 не раньше часов регистратора %2.")
                         .arg(Day(*e.commissioned),
                              e.recorderClock.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
        return false;
    }
    TakeRate(e, RateBasis::Commissioning, *e.cyclesTotal, from, e.recorderClock);
    e.notes << QStringLiteral("Циклы в год — по счетчику за все годы с ввода в эксплуатацию: "
                              "ни записей со счетчиком за сутки и больше, ни начала счета нет. "
                              "Если счетчик начинал не с ввода, темп занижен.");
    return true;
}

bool RateFromCycles(DutyEstimate& e) {
    if (!e.oldest.isValid() || !e.newest.isValid())
        return false;
    if (e.oldest.secsTo(e.newest) < ShortestPeriodDays * 86400.0)
        return false;
    TakeRate(e, RateBasis::Cycles, std::uint64_t(e.cycles), e.oldest, e.newest);
    return true;
}

// A cycle takes a minute at the least: a counter at the oldest record that
// is higher than the minutes since the erase was not zeroed by it, and its
// cycles from before the erase are counted, and taken again in the years
// without counts.
void CheckCountedSinceErase(DutyEstimate& e, const CounterSample& oldest) {
    const std::int64_t minutes = e.countedFrom.secsTo(oldest.time) / 60;
    if (std::int64_t(oldest.cycles) <= minutes + 1)
        return;
    QString note =
        QStringLiteral("Счетчик циклов у самой старой записи (%1 на %2) больше, чем "
                       "циклов могло быть с времени стирания %3 (не больше одного в "
                       "минуту): при стирании счетчик не обнулялся.")
            .arg(RuCount(oldest.cycles), oldest.time.toString(QStringLiteral("dd.MM.yyyy hh:mm")),
                 e.countedFrom.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    if (e.assumedYears > 0)
        note += QStringLiteral(" Его циклы до стирания вошли в подсчитанную долю, а годы до "
                               "стирания приняты еще и как годы без счета: израсходованный "
                               "ресурс может быть завышен.");
    e.notes << note;
}

// Where the counted history begins, and the years before it since
// commissioning that nothing counted.
void CountedHistory(const DutyInput& in, DutyEstimate& e, const CounterWalk& w) {
    if (e.cyclesTotal)
        e.countedCycles = *e.cyclesTotal + w.beforeResets;
    e.counterResets = w.resets;
    const Qt::TimeSpec zone =
        in.counterStart.isValid() ? in.counterStart.timeSpec() : e.recorderClock.timeSpec();
    // An erase wipes the records: one held from before it says the erase
    // time is not where these counters began.
    const bool eraseBeforeRecords =
        in.counterStart.isValid() && (w.oldest == nullptr || in.counterStart <= w.oldest->time);
    if (in.counterStart.isValid() && !eraseBeforeRecords)
        e.notes << QStringLiteral("Время стирания %1 позже самой старой записи %2: за начало "
                                  "счета не принято.")
                       .arg(in.counterStart.toString(QStringLiteral("dd.MM.yyyy hh:mm")),
                            w.oldest->time.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    if (eraseBeforeRecords) {
        e.countStart = CountStart::EraseTime;
        e.countedFrom = in.counterStart;
    } else if (e.recorderInstalled) {
        e.countStart = CountStart::Installation;
        e.countedFrom = QDateTime(*e.recorderInstalled, QTime(0, 0), zone);
        e.notes << QStringLiteral("%1: начало счета — установка регистратора на кран %2 (2.6), "
                                  "позже ввода в эксплуатацию.")
                       .arg(in.counterStart.isValid()
                                ? QStringLiteral("Время стирания не принято")
                                : QStringLiteral("Время стирания не прочитано"),
                            Day(*e.recorderInstalled));
    } else if (e.commissioned) {
        e.countStart = CountStart::Commissioning;
        e.countedFrom = QDateTime(*e.commissioned, QTime(0, 0), zone);
        e.notes << QStringLiteral("Начало счета неизвестно: "
                                  "принято, что счетчик считает с ввода в эксплуатацию. Если его "
                                  "обнуляли, израсходованный ресурс занижен.");
    }
    if (w.resets > 0)
        e.notes << QStringLiteral("Счетчик циклов обнулялся между записями (%1 %2): циклы до "
                                  "обнуления (%3) прибавлены к счетчику.")
                       .arg(RuCount(w.resets),
                            RuPlural(w.resets, QStringLiteral("раз"), QStringLiteral("раза"),
                                     QStringLiteral("раз")),
                            RuCount(std::int64_t(w.beforeResets)));
    if (e.commissioned && e.countedFrom.isValid()) {
        const QDateTime commissioned(*e.commissioned, QTime(0, 0), e.countedFrom.timeSpec());
        if (e.countedFrom > commissioned)
            e.assumedYears = Years(commissioned, e.countedFrom);
    }
    if (eraseBeforeRecords && w.oldest != nullptr)
        CheckCountedSinceErase(e, *w.oldest);
}

} // namespace

void EstimateCalendar(DutyEstimate& e) {
    if (!e.commissioned)
        return; // the reason for 1.9 is given with the nameplate
    e.lifeDefaulted = !e.lifeYears;
    e.calendarLifeYears = e.lifeYears.value_or(DefaultServiceLifeYears);
    e.lifeEnd = e.commissioned->addYears(*e.calendarLifeYears);
    if (e.lifeDefaulted)
        e.notes << QStringLiteral("Срок службы в паспорте не указан: принят %1 (116-ФЗ, ст. 7).")
                       .arg(RuYears(DefaultServiceLifeYears));
    if (!e.recorderClock.isValid()) {
        e.reasons << QStringLiteral("Часы регистратора не прочитаны: остаток нормативного срока "
                                    "службы не определен.");
        return;
    }
    const QDate today = e.recorderClock.date();
    e.lifeExpired = today >= *e.lifeEnd;
    e.calendarYearsLeft = e.lifeExpired ? 0.0 : today.daysTo(*e.lifeEnd) / DaysPerYear;
}

void EstimateRate(const DutyInput& in, DutyEstimate& e) {
    const CounterWalk w = WalkCounters(in.counters);
    CountedHistory(in, e, w);
    const double span =
        w.newest != nullptr ? double(w.oldest->time.secsTo(w.newest->time)) / 86400.0 : 0.0;
    // The newest counter started at the erase or, later, at a reset.
    QDateTime start = e.countStart == CountStart::EraseTime ? in.counterStart : QDateTime();
    if (w.resets > 0 && (!start.isValid() || w.newestResetAfter > start))
        start = w.newestResetAfter;
    const double sinceStart = w.newest != nullptr && start.isValid()
                                  ? double(start.secsTo(w.newest->time)) / 86400.0
                                  : 0.0;
    if (span >= ShortPeriodDays || (span >= ShortestPeriodDays && sinceStart <= span)) {
        TakeRate(e, RateBasis::Counters, w.grown, w.oldest->time, w.newest->time);
        return;
    }
    if (sinceStart >= ShortestPeriodDays) {
        TakeRate(e, RateBasis::CounterStart, w.newest->cycles, start, w.newest->time);
        return;
    }
    if (RateFromCycles(e) || RateSinceCommissioning(e))
        return;
    if (!e.oldest.isValid() || !e.newest.isValid())
        e.reasons << QStringLiteral("Нет датированных циклов: нет циклов в год.");
    else
        e.reasons << QStringLiteral("Прочитанные циклы охватывают меньше суток: нет циклов в "
                                    "год.");
}

void EstimateLifeUsed(DutyEstimate& e) {
    if (!e.nameplateGroup)
        return;
    e.budget = Iso4301::GroupBudget(*e.nameplateGroup);
    if (e.calendarLifeYears && e.countStart != CountStart::None) {
        e.assumedEquivalent =
            double(*e.budget) / *e.calendarLifeYears * UnknownDutyFactor * e.assumedYears;
        e.lifeUsedAssumed = *e.assumedEquivalent / *e.budget;
        if (e.assumedYears > 0)
            e.notes << QStringLiteral(
                           "С ввода в эксплуатацию %1 до начала счета %2 (%3) кран работал без "
                           "счета: эти годы приняты с расчетным темпом группы %4 (ресурс %5 за "
                           "%6) и коэффициентом %7 на неизвестную историю нагружения — как в "
                           "ISO 12482, по аналогии (этот стандарт не распространяется на "
                           "стреловые самоходные краны).")
                           .arg(Day(*e.commissioned), Day(e.countedFrom), RuYears(e.assumedYears),
                                GroupName(e.nameplateGroup), RuCount(*e.budget),
                                RuYears(*e.calendarLifeYears), RuShortest(UnknownDutyFactor, 1));
    }
    if (!e.kp || !e.countedCycles)
        return;
    e.equivalentCycles = double(*e.countedCycles) * *e.kp;
    e.lifeUsedCounted = *e.equivalentCycles / *e.budget;
    e.lifeUsed = *e.lifeUsedCounted + e.lifeUsedAssumed.value_or(0.0);
    if (!e.lifeUsedAssumed)
        e.reasons << QStringLiteral("Годы до начала счета не оценены (нет даты ввода в "
                                    "эксплуатацию): израсходованный ресурс — только по счетчику.");
    if (*e.lifeUsed >= 1.0)
        e.notes << QStringLiteral("По оценке ресурс группы %1 израсходован.")
                       .arg(GroupName(e.nameplateGroup));
    if (e.cyclesPerYear) {
        const double perYear = *e.cyclesPerYear * *e.kp;
        if (perYear > 0)
            e.cycleYearsLeft = std::max(
                0.0,
                (*e.budget - *e.equivalentCycles - e.assumedEquivalent.value_or(0.0)) / perYear);
        else
            e.reasons << QStringLiteral("Kp = 0: ресурс при таком темпе не расходуется, остаток "
                                        "лет по ресурсу не определен.");
    }
}
