#pragma once

#include <QDate>
#include <QString>

#include <map>
#include <vector>

// Days, weeks, months or years: the steps of a chart over time, chosen so
// that a chart never holds more bars than can be told apart on a page.
enum class BucketUnit { Day, Week, Month, Year };
constexpr int MaxBuckets = 62;

// The shortest step that covers first..last in at most MaxBuckets steps.
[[nodiscard]] BucketUnit ChooseBucketUnit(const QDate& first, const QDate& last);
// The step a date falls in: the day, the Monday, the first of the month or year.
[[nodiscard]] QDate BucketStart(const QDate& date, BucketUnit unit);
[[nodiscard]] QDate NextBucket(const QDate& start, BucketUnit unit);
// "07.12", "07.12.26" (week from that Monday), "12.2026", "2026".
[[nodiscard]] QString BucketLabel(const QDate& start, BucketUnit unit);
// "за день", "за неделю", "за месяц", "за год".
[[nodiscard]] QString BucketUnitText(BucketUnit unit);

// Per-day values summed into steps from the first day to the last, empty
// steps included, in time order.
template <typename Value, typename Add>
std::vector<std::pair<QDate, Value>> Bucketed(const std::map<QDate, Value>& days, BucketUnit unit,
                                              Add add) {
    std::vector<std::pair<QDate, Value>> out;
    if (days.empty())
        return out;
    const QDate last = BucketStart(days.rbegin()->first, unit);
    for (QDate at = BucketStart(days.begin()->first, unit); at <= last; at = NextBucket(at, unit))
        out.emplace_back(at, Value{});
    std::size_t i = 0;
    for (const auto& [day, value] : days) {
        const QDate start = BucketStart(day, unit);
        while (out[i].first != start)
            ++i;
        add(out[i].second, value);
    }
    return out;
}
