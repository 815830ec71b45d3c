#include "duty/duty_report.h"

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

QString Or(const QString& s) {
    return s.isEmpty() ? None : s;
}

QString Quoted(const QString& s) {
    return s.isEmpty() ? QStringLiteral("(пусто)") : QStringLiteral("«") + s + QStringLiteral("»");
}

} // namespace

QString DutyKpText(double kp) {
    return QString::number(kp, 'f', 3);
}

QString DutyShareText(double share) {
    return QString::number(share * 100.0, 'f', 1) + QStringLiteral(" %");
}

QString DutyCountText(double count) {
    QString digits = QString::number(std::llround(count));
    for (int i = int(digits.size()) - 3; i > 0 && digits[i - 1].isDigit(); i -= 3)
        digits.insert(i, QChar(u' '));
    return digits;
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
    o[QStringLiteral("cycles_per_year_basis")] =
        e.rateBasis == RateBasis::Commissioning ? QJsonValue(QStringLiteral("commissioning"))
        : e.rateBasis == RateBasis::Cycles      ? QJsonValue(QStringLiteral("cycles"))
                                                : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("projected_cycles")] = Json(e.projectedCycles);
    o[QStringLiteral("utilization_class")] = Text(UtilizationName(e.utilization));
    o[QStringLiteral("group")] = Text(GroupName(e.group));
    o[QStringLiteral("group_budget")] = Json(e.budget);
    o[QStringLiteral("equivalent_cycles")] = Json(e.equivalentCycles);
    o[QStringLiteral("life_used")] = Json(e.lifeUsed);
    o[QStringLiteral("years_left")] = Json(e.yearsLeft);
    o[QStringLiteral("reasons")] = QJsonArray::fromStringList(e.reasons);
    o[QStringLiteral("notes")] = QJsonArray::fromStringList(e.notes);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
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
    QString load =
        e.ratedLoad ? QString::number(*e.ratedLoad, 'g', 6) + QStringLiteral(" т") : None;
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
                  (e.lifeYears ? QString::number(*e.lifeYears) + QStringLiteral(" лет") : None) +
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
    lines.append(
        {QStringLiteral("duty-kp"), QStringLiteral("Коэффициент распределения нагрузок Kp"),
         e.kp ? DutyKpText(*e.kp) + QStringLiteral(" по %1 циклам").arg(e.cyclesRated) : None});
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
    QString rate = e.cyclesPerYear ? DutyCountText(*e.cyclesPerYear) : None;
    if (e.rateBasis == RateBasis::Commissioning)
        rate += QStringLiteral(" (счетчик за %1 лет с ввода в эксплуатацию)")
                    .arg(QString::number(e.rateYears, 'f', 2));
    else if (e.rateBasis == RateBasis::Cycles)
        rate += QStringLiteral(" (по прочитанным циклам за %1 лет)")
                    .arg(QString::number(e.rateYears, 'f', 3));
    lines.append({QStringLiteral("duty-per-year"), QStringLiteral("Циклов в год"), rate});
    lines.append({QStringLiteral("duty-projected"),
                  QStringLiteral("Циклов за нормативный срок (прогноз)"),
                  e.projectedCycles ? DutyCountText(*e.projectedCycles) : None});
    lines.append({QStringLiteral("duty-utilization"), QStringLiteral("Класс использования"),
                  Or(UtilizationName(e.utilization))});
    lines.append({QStringLiteral("duty-group"), QStringLiteral("Группа фактическая (оценка)"),
                  Or(GroupName(e.group))});
    lines.append({QStringLiteral("duty-group-plate"), QStringLiteral("Группа по паспорту"),
                  Or(GroupName(e.nameplateGroup))});
    lines.append({QStringLiteral("duty-equivalent"),
                  QStringLiteral("Эквивалентных циклов полной нагрузки (циклы × Kp)"),
                  e.equivalentCycles
                      ? QStringLiteral("%1 из %2")
                            .arg(DutyCountText(*e.equivalentCycles), DutyCountText(*e.budget))
                      : None});
    lines.append({QStringLiteral("duty-used"), QStringLiteral("Израсходовано ресурса группы"),
                  e.lifeUsed ? DutyShareText(*e.lifeUsed) : None});
    lines.append({QStringLiteral("duty-years-left"),
                  QStringLiteral("Остаток лет при нынешнем темпе"),
                  e.yearsLeft ? QString::number(*e.yearsLeft, 'f', 1) : None});
    return lines;
}

QString DutyText(const DutyEstimate& e) {
    QString out = QStringLiteral("Режим работы крана (оценка по ISO 4301-1:1986)\n");
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
