#include "summary/time_buckets.h"

namespace {

int StepsBetween(const QDate& first, const QDate& last, BucketUnit unit) {
    int steps = 1;
    for (QDate at = BucketStart(first, unit); NextBucket(at, unit) <= last;
         at = NextBucket(at, unit))
        if (++steps > MaxBuckets)
            break;
    return steps;
}

} // namespace

BucketUnit ChooseBucketUnit(const QDate& first, const QDate& last) {
    for (BucketUnit unit : {BucketUnit::Day, BucketUnit::Week, BucketUnit::Month})
        if (StepsBetween(first, last, unit) <= MaxBuckets)
            return unit;
    return BucketUnit::Year;
}

QDate BucketStart(const QDate& date, BucketUnit unit) {
    switch (unit) {
    case BucketUnit::Day:
        return date;
    case BucketUnit::Week:
        return date.addDays(1 - date.dayOfWeek());
    case BucketUnit::Month:
        return QDate(date.year(), date.month(), 1);
    case BucketUnit::Year:
        break;
    }
    return QDate(date.year(), 1, 1);
}

QDate NextBucket(const QDate& start, BucketUnit unit) {
    switch (unit) {
    case BucketUnit::Day:
        return start.addDays(1);
    case BucketUnit::Week:
        return start.addDays(7);
    case BucketUnit::Month:
        return start.addMonths(1);
    case BucketUnit::Year:
        break;
    }
    return start.addYears(1);
}

QString BucketLabel(const QDate& start, BucketUnit unit) {
    switch (unit) {
    case BucketUnit::Day:
        return start.toString(QStringLiteral("dd.MM"));
    case BucketUnit::Week:
        return start.toString(QStringLiteral("dd.MM.yy"));
    case BucketUnit::Month:
        return start.toString(QStringLiteral("MM.yyyy"));
    case BucketUnit::Year:
        break;
    }
    return start.toString(QStringLiteral("yyyy"));
}

QString BucketUnitText(BucketUnit unit) {
    switch (unit) {
    case BucketUnit::Day:
        return QStringLiteral("за день");
    case BucketUnit::Week:
        return QStringLiteral("за неделю");
    case BucketUnit::Month:
        return QStringLiteral("за месяц");
    case BucketUnit::Year:
        break;
    }
    return QStringLiteral("за год");
}
