#include "duty/duty_report.h"

#include "duty/ru_numbers.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

const QString None = QStringLiteral("—");

template <typename T> QJsonValue Json(const std::optional<T>& v) {
    return v ? QJsonValue(double(*v)) : QJsonValue(QJsonValue::Null);
}

QJsonValue Text(const QString& s) {
    return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QString DateText(const QDateTime& t) {
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy hh:mm")) : None;
}

QString DayText(const QDateTime& t) {
    return t.isValid() ? t.toString(QStringLiteral("dd.MM.yyyy")) : None;
}

QJsonValue JsonTime(const QDateTime& t) {
    return t.isValid() ? QJsonValue(t.toString(QStringLiteral("yyyy-MM-ddTHH:mm")))
                       : QJsonValue(QJsonValue::Null);
}

QString BasisKey(RateBasis basis) {
    switch (basis) {
    case RateBasis::Counters:
        return QStringLiteral("counters");
    case RateBasis::CounterStart:
        return QStringLiteral("counter_start");
    case RateBasis::Cycles:
        return QStringLiteral("cycles");
    case RateBasis::Commissioning:
        return QStringLiteral("commissioning");
    case RateBasis::None:
        break;
    }
    return {};
}

QString CountStartKey(CountStart start) {
    switch (start) {
    case CountStart::EraseTime:
        return QStringLiteral("erase_time");
    case CountStart::Installation:
        return QStringLiteral("installation");
    case CountStart::Commissioning:
        return QStringLiteral("commissioning");
    case CountStart::None:
        break;
    }
    return {};
}

QString CountStartText(const DutyEstimate& e) {
    switch (e.countStart) {
    case CountStart::EraseTime:
        return QStringLiteral("время стирания регистратора");
    case CountStart::Installation:
        return QStringLiteral("установка регистратора (2.6)");
    case CountStart::Commissioning:
        return QStringLiteral("ввод в эксплуатацию: иного начала не известно");
    case CountStart::None:
        break;
    }
    return {};
}

QString Or(const QString& s) {
    return s.isEmpty() ? None : s;
}

QString Quoted(const QString& s) {
    return s.isEmpty() ? QStringLiteral("(пусто)") : QStringLiteral("«") + s + QStringLiteral("»");
}

} // namespace

QString DutyKpText(double kp) {
    return RuNumber(kp, 3);
}

QString DutyShareText(double share) {
    return RuNumber(share * 100.0, 1) + QStringLiteral(" %");
}

QString DutyCountText(double count) {
    return RuCount(std::llround(count));
}

QString DutyYearsLeftText(double years) {
    return years > YearsLeftShown
               ? QStringLiteral("более %1 лет").arg(RuCount(std::llround(YearsLeftShown)))
               : RuYears(years);
}

QString DutyRateText(const DutyEstimate& e) {
    if (!e.cyclesPerYear)
        return None;
    const QString rate = DutyCountText(*e.cyclesPerYear);
    const QString period = QStringLiteral("%1 за %2, с %3 по %4")
                               .arg(DutyCountText(double(e.rateCycles)), RuYears(e.rateYears),
                                    DayText(e.rateFrom), DayText(e.rateTo));
    switch (e.rateBasis) {
    case RateBasis::Counters:
        return rate + QStringLiteral(" (по счетчику циклов записей в памяти: %1)").arg(period);
    case RateBasis::CounterStart:
        return rate + QStringLiteral(" (по счетчику циклов с начала счета: %1)").arg(period);
    case RateBasis::Cycles:
        return rate + QStringLiteral(" (по прочитанным циклам: %1)").arg(period);
    case RateBasis::Commissioning:
        return rate +
               QStringLiteral(" (по счетчику за все годы с ввода в эксплуатацию: %1)").arg(period);
    case RateBasis::None:
        break;
    }
    return rate;
}

QString DutyYearsLeftLine(const DutyEstimate& e) {
    if (!e.yearsLeft)
        return {};
    QString text = DutyYearsLeftText(*e.yearsLeft);
    if (e.yearsBinding == YearsBinding::Calendar) {
        text += e.lifeExpired ? QStringLiteral(" — нормативный срок службы истек %1")
                                    .arg(e.lifeEnd->toString(QStringLiteral("dd.MM.yyyy")))
                              : QStringLiteral(" — ограничивает нормативный срок службы (до %1)")
                                    .arg(e.lifeEnd->toString(QStringLiteral("dd.MM.yyyy")));
        if (e.cycleYearsLeft)
            text += QStringLiteral("; по ресурсу группы при нынешнем темпе — %1")
                        .arg(DutyYearsLeftText(*e.cycleYearsLeft));
    } else {
        text += QStringLiteral(" — ограничивает ресурс группы при нынешнем темпе");
        if (e.calendarYearsLeft)
            text += QStringLiteral("; по нормативному сроку службы — %1")
                        .arg(DutyYearsLeftText(*e.calendarYearsLeft));
    }
    return text;
}

QByteArray DutyJson(const DutyEstimate& e) {
    QJsonObject o;
    o[QStringLiteral("standard")] = QStringLiteral("ISO 4301-1:1986");
    o[QStringLiteral("estimate")] = DutyDisclaimer();
    o[QStringLiteral("rated_load_t")] = Json(e.ratedLoad);
    o[QStringLiteral("rated_load_source")] =
        !e.ratedLoad
            ? QJsonValue(QJsonValue::Null)
            : QJsonValue(e.ratedLoadGiven ? QStringLiteral("given") : QStringLiteral("nameplate"));
    QJsonObject plate;
    plate[QStringLiteral("1.6")] = e.ratedLoadText;
    plate[QStringLiteral("1.7")] = e.groupText;
    plate[QStringLiteral("1.8")] = e.lifeText;
    plate[QStringLiteral("1.9")] = e.commissionedText;
    o[QStringLiteral("nameplate_texts")] = plate;
    o[QStringLiteral("nameplate_group")] = Text(GroupName(e.nameplateGroup));
    o[QStringLiteral("nameplate_group_old_mark")] = e.oldGroupMark;
    o[QStringLiteral("service_life_years")] = Json(e.lifeYears);
    o[QStringLiteral("commissioned")] = e.commissioned
                                            ? QJsonValue(e.commissioned->toString(Qt::ISODate))
                                            : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("recorder_clock")] =
        e.recorderClock.isValid()
            ? QJsonValue(e.recorderClock.toString(QStringLiteral("yyyy-MM-ddTHH:mm")))
            : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("records_whole")] = e.recordsWhole;
    o[QStringLiteral("cycles_read")] = e.cycles;
    o[QStringLiteral("cycles_rated")] = e.cyclesRated;
    o[QStringLiteral("cycles_no_weight")] = e.cyclesNoWeight;
    o[QStringLiteral("overloads")] = e.overloads;
    o[QStringLiteral("period_from")] =
        e.oldest.isValid() ? QJsonValue(e.oldest.toString(QStringLiteral("yyyy-MM-ddTHH:mm")))
                           : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("period_to")] =
        e.newest.isValid() ? QJsonValue(e.newest.toString(QStringLiteral("yyyy-MM-ddTHH:mm")))
                           : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("kp")] = Json(e.kp);
    o[QStringLiteral("load_class")] = Text(LoadStateName(e.loadState));
    o[QStringLiteral("cycles_total")] = Json(e.cyclesTotal);
    o[QStringLiteral("weight_total_t")] = Json(e.weightTotal);
    if (e.meanLoad) {
        const double m = *e.meanLoad;
        QJsonObject range;
        range[QStringLiteral("low")] = m * m * m;
        range[QStringLiteral("high")] = e.overloads > 0 ? QJsonValue(QJsonValue::Null) : m;
        o[QStringLiteral("kp_range")] = range;
    } else {
        o[QStringLiteral("kp_range")] = QJsonValue(QJsonValue::Null);
    }
    o[QStringLiteral("kp_in_range")] = e.kpInRange ? QJsonValue(*e.kpInRange) : QJsonValue();
    o[QStringLiteral("cycles_per_year")] = Json(e.cyclesPerYear);
    o[QStringLiteral("cycles_per_year_basis")] = Text(BasisKey(e.rateBasis));
    o[QStringLiteral("cycles_per_year_text")] = DutyRateText(e);
    o[QStringLiteral("rate_cycles")] =
        e.cyclesPerYear ? QJsonValue(double(e.rateCycles)) : QJsonValue();
    o[QStringLiteral("rate_from")] = JsonTime(e.rateFrom);
    o[QStringLiteral("rate_to")] = JsonTime(e.rateTo);
    o[QStringLiteral("rate_years")] = e.cyclesPerYear ? QJsonValue(e.rateYears) : QJsonValue();
    o[QStringLiteral("counter_resets")] = e.counterResets;
    o[QStringLiteral("counted_cycles")] = Json(e.countedCycles);
    o[QStringLiteral("counted_from")] = JsonTime(e.countedFrom);
    o[QStringLiteral("counted_from_basis")] = Text(CountStartKey(e.countStart));
    o[QStringLiteral("assumed_years")] = e.assumedYears;
    o[QStringLiteral("assumed_factor")] = UnknownDutyFactor;
    o[QStringLiteral("assumed_equivalent_cycles")] = Json(e.assumedEquivalent);
    o[QStringLiteral("projected_cycles")] = Json(e.projectedCycles);
    o[QStringLiteral("utilization_class")] = Text(UtilizationName(e.utilization));
    o[QStringLiteral("group")] = Text(GroupName(e.group));
    o[QStringLiteral("group_budget")] = Json(e.budget);
    o[QStringLiteral("equivalent_cycles")] = Json(e.equivalentCycles);
    o[QStringLiteral("life_used")] = Json(e.lifeUsed);
    o[QStringLiteral("life_used_counted")] = Json(e.lifeUsedCounted);
    o[QStringLiteral("life_used_assumed")] = Json(e.lifeUsedAssumed);
    o[QStringLiteral("years_left")] = Json(e.yearsLeft);
    o[QStringLiteral("years_left_cycles")] = Json(e.cycleYearsLeft);
    o[QStringLiteral("years_left_calendar")] = Json(e.calendarYearsLeft);
    o[QStringLiteral("years_left_binding")] =
        e.yearsBinding == YearsBinding::Calendar ? QJsonValue(QStringLiteral("calendar"))
        : e.yearsBinding == YearsBinding::Cycles ? QJsonValue(QStringLiteral("cycles"))
                                                 : QJsonValue();
    o[QStringLiteral("years_left_text")] = Text(DutyYearsLeftLine(e));
    o[QStringLiteral("reasons")] = QJsonArray::fromStringList(e.reasons);
    o[QStringLiteral("notes")] = QJsonArray::fromStringList(e.notes);
    // The calendar life goes first, as on the page; an object sorts its keys,
    // so its member is put in front of the others' text.
    QJsonObject life;
    life[QStringLiteral("years")] = Json(e.calendarLifeYears);
    life[QStringLiteral("source")] = !e.calendarLifeYears ? QJsonValue()
                                     : e.lifeDefaulted
                                         ? QJsonValue(QStringLiteral("default_116_fz_art_7"))
                                         : QJsonValue(QStringLiteral("nameplate"));
    life[QStringLiteral("end")] =
        e.lifeEnd ? QJsonValue(e.lifeEnd->toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
    life[QStringLiteral("expired")] = e.lifeEnd ? QJsonValue(e.lifeExpired) : QJsonValue();
    life[QStringLiteral("years_left")] = Json(e.calendarYearsLeft);
    life[QStringLiteral("text")] = Text(CalendarLifeText(e));
    QJsonObject first;
    first[QStringLiteral("calendar_life")] = life;
    QByteArray head = QJsonDocument(first).toJson(QJsonDocument::Indented);
    const QByteArray rest = QJsonDocument(o).toJson(QJsonDocument::Indented);
    head.chop(3); // "\n}\n"
    return head + ",\n" + rest.mid(2);
}

bool WriteDutyFile(const DutyEstimate& estimate, const QString& folder, QString* error) {
    QSaveFile file(QDir(folder).filePath(DutyFileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(DutyJson(estimate)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QList<DutyLine> DutyInputLines(const DutyEstimate& e) {
    QList<DutyLine> lines;
    QString load = e.ratedLoad ? RuShortest(*e.ratedLoad, 3) + QStringLiteral(" т") : None;
    if (e.ratedLoad)
        load += e.ratedLoadGiven ? QStringLiteral(" (задана пользователем, в паспорте %1)")
                                       .arg(Quoted(e.ratedLoadText))
                                 : QStringLiteral(" (1.6 %1)").arg(Quoted(e.ratedLoadText));
    else if (!e.ratedLoadText.isEmpty())
        load += QStringLiteral(" (1.6 %1 не читается)").arg(Quoted(e.ratedLoadText));
    lines.append({QStringLiteral("duty-rated-load"), QStringLiteral("Грузоподъемность"), load});
    QString plate = e.nameplateGroup ? GroupName(e.nameplateGroup) : None;
    plate += QStringLiteral(" (1.7 %1)").arg(Quoted(e.groupText));
    lines.append({QStringLiteral("duty-plate-group"),
                  QStringLiteral("Группа классификации по паспорту"), plate});
    lines.append({QStringLiteral("duty-life"), QStringLiteral("Нормативный срок службы"),
                  (e.lifeYears ? RuYears(*e.lifeYears) : None) +
                      QStringLiteral(" (1.8 %1)").arg(Quoted(e.lifeText))});
    lines.append({QStringLiteral("duty-commissioned"), QStringLiteral("Дата ввода в эксплуатацию"),
                  (e.commissioned ? e.commissioned->toString(QStringLiteral("dd.MM.yyyy")) : None) +
                      QStringLiteral(" (1.9 %1)").arg(Quoted(e.commissionedText))});
    lines.append({QStringLiteral("duty-clock"), QStringLiteral("Часы регистратора при чтении"),
                  DateText(e.recorderClock)});
    lines.append({QStringLiteral("duty-cycles-total"), QStringLiteral("Циклов по счетчику"),
                  e.cyclesTotal ? DutyCountText(*e.cyclesTotal) : None});
    lines.append({QStringLiteral("duty-weight-total"),
                  QStringLiteral("Суммарный вес по счетчику, т"),
                  e.weightTotal ? DutyCountText(*e.weightTotal) : None});
    lines.append({QStringLiteral("duty-cycles"), QStringLiteral("Прочитанных циклов"),
                  DutyCountText(e.cycles) +
                      (e.recordsWhole ? QString() : QStringLiteral(" (прочитаны не все)"))});
    lines.append({QStringLiteral("duty-period"), QStringLiteral("Период прочитанных циклов"),
                  e.oldest.isValid()
                      ? QStringLiteral("с %1 по %2").arg(DateText(e.oldest), DateText(e.newest))
                      : None});
    lines.append({QStringLiteral("duty-no-weight"), QStringLiteral("Циклов без веса (не учтены)"),
                  DutyCountText(e.cyclesNoWeight)});
    lines.append({QStringLiteral("duty-overloads"),
                  QStringLiteral("Перегрузов (выше грузоподъемности)"),
                  e.ratedLoad ? DutyCountText(e.overloads) : None});
    return lines;
}

QList<DutyLine> DutyFigureLines(const DutyEstimate& e) {
    QList<DutyLine> lines;
    lines.append({QStringLiteral("duty-calendar"), QStringLiteral("Календарный срок службы"),
                  Or(CalendarLifeText(e))});
    lines.append({QStringLiteral("duty-kp"),
                  QStringLiteral("Коэффициент распределения нагрузок Kp"),
                  e.kp ? DutyKpText(*e.kp) +
                             QStringLiteral(" по %1 %2")
                                 .arg(RuCount(e.cyclesRated),
                                      RuPlural(e.cyclesRated, QStringLiteral("циклу"),
                                               QStringLiteral("циклам"), QStringLiteral("циклам")))
                       : None});
    lines.append({QStringLiteral("duty-load-class"), QStringLiteral("Класс нагружения"),
                  e.loadState ? LoadStateName(e.loadState) +
                                    (e.kpAboveOne ? QStringLiteral(" (Kp > 1)") : QString())
                              : None});
    QString range = None;
    if (e.meanLoad) {
        const double m = *e.meanLoad;
        range = e.overloads > 0
                    ? QStringLiteral("не ниже %1").arg(DutyKpText(m * m * m))
                    : QStringLiteral("%1 … %2").arg(DutyKpText(m * m * m), DutyKpText(m));
        if (e.kpInRange)
            range += *e.kpInRange ? QStringLiteral(": Kp в границах")
                                  : QStringLiteral(": Kp вне границ");
    }
    lines.append(
        {QStringLiteral("duty-kp-range"), QStringLiteral("Границы Kp по счетчикам"), range});
    lines.append(
        {QStringLiteral("duty-per-year"), QStringLiteral("Циклов в год"), DutyRateText(e)});
    lines.append({QStringLiteral("duty-projected"),
                  QStringLiteral("Циклов за нормативный срок (прогноз)"),
                  e.projectedCycles ? DutyCountText(*e.projectedCycles) : None});
    lines.append({QStringLiteral("duty-utilization"), QStringLiteral("Класс использования"),
                  Or(UtilizationName(e.utilization))});
    lines.append({QStringLiteral("duty-group"), QStringLiteral("Группа фактическая (оценка)"),
                  Or(GroupName(e.group))});
    lines.append({QStringLiteral("duty-group-plate"), QStringLiteral("Группа по паспорту"),
                  Or(GroupName(e.nameplateGroup))});
    lines.append({QStringLiteral("duty-counted-from"), QStringLiteral("Начало счета циклов"),
                  e.countedFrom.isValid() ? DayText(e.countedFrom) + QStringLiteral(" (") +
                                                CountStartText(e) + QStringLiteral(")")
                                          : None});
    lines.append(
        {QStringLiteral("duty-equivalent"),
         QStringLiteral("Эквивалентных циклов полной нагрузки (циклы × Kp) по счетчику"),
         e.equivalentCycles
             ? QStringLiteral("%1 (%2 %3 × Kp) из %4")
                   .arg(DutyCountText(*e.equivalentCycles), DutyCountText(double(*e.countedCycles)),
                        RuPlural(std::int64_t(*e.countedCycles), QStringLiteral("цикл"),
                                 QStringLiteral("цикла"), QStringLiteral("циклов")),
                        DutyCountText(*e.budget))
             : None});
    lines.append({QStringLiteral("duty-used-counted"),
                  QStringLiteral("Израсходовано по счетчику (подсчитанная доля)"),
                  e.lifeUsedCounted ? DutyShareText(*e.lifeUsedCounted) : None});
    QString assumed = None;
    if (e.lifeUsedAssumed) {
        assumed = DutyShareText(*e.lifeUsedAssumed);
        if (e.assumedYears > 0)
            assumed += QStringLiteral(" (%1 без счета, с %2 по %3: %4 эквивалентных циклов по "
                                      "расчетному темпу группы × %5)")
                           .arg(RuYears(e.assumedYears),
                                e.commissioned->toString(QStringLiteral("dd.MM.yyyy")),
                                DayText(e.countedFrom), DutyCountText(*e.assumedEquivalent),
                                RuShortest(UnknownDutyFactor, 1));
        else
            assumed += QStringLiteral(" (лет без счета нет)");
    }
    lines.append({QStringLiteral("duty-used-assumed"),
                  QStringLiteral("Принято за годы без счета (допущение)"), assumed});
    lines.append({QStringLiteral("duty-used"),
                  QStringLiteral("Израсходовано ресурса группы (всего)"),
                  e.lifeUsed ? DutyShareText(*e.lifeUsed) : None});
    lines.append({QStringLiteral("duty-years-left"),
                  QStringLiteral("Остаток лет (меньший из срока службы и ресурса)"),
                  Or(DutyYearsLeftLine(e))});
    return lines;
}

QString DutyText(const DutyEstimate& e) {
    QString out = QStringLiteral("Режим работы крана (оценка по ISO 4301-1:1986)\n");
    if (const QString life = CalendarLifeText(e); !life.isEmpty())
        out += life + QStringLiteral("\n");
    const auto put = [&out](const QList<DutyLine>& lines) {
        for (const DutyLine& l : lines)
            out += l.label + QStringLiteral("\t") + l.value + QStringLiteral("\n");
    };
    put(DutyInputLines(e));
    put(DutyFigureLines(e));
    for (const QString& r : e.reasons)
        out += QStringLiteral("Не определено: ") + r + QStringLiteral("\n");
    for (const QString& n : e.notes)
        out += QStringLiteral("Примечание: ") + n + QStringLiteral("\n");
    out += DutyDisclaimer() + QStringLiteral("\n");
    return out;
}
