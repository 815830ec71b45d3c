#include "simulator/history_generator.h"

#include "simulator/recorder_memory.h"

#include <algorithm>
#include <vector>

namespace {

// SplitMix64: tiny, and the same sequence on every platform and library
// (the standard distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive
    int Range(int lo, int hi) { return lo + int(Next() % std::uint64_t(hi - lo + 1)); }
    bool Chance(int percent) { return Range(0, 99) < percent; }

private:
    std::uint64_t state_;
};

constexpr std::uint8_t Absent = 0xFF;
constexpr std::uint8_t Removal = 0x80;
constexpr std::uint8_t RelayGroup = 0x40;
constexpr std::uint8_t OutputGroup = 0x20;
constexpr std::uint8_t InputGroup = 0x10;
constexpr std::uint8_t PowerOff = 0x03;
constexpr std::uint8_t PowerOn = 0x04;
constexpr std::uint8_t EraseCode = 0x07;

// Record times, oldest first, ending at newest; steps in minutes.
std::vector<QDateTime> timesBackFrom(const QDateTime& newest, int count, Random& rnd, int minStep,
                                     int maxStep) {
    // Wall-clock arithmetic without daylight-saving gaps.
    QDateTime t(newest.date(), QTime(newest.time().hour(), newest.time().minute()), Qt::UTC);
    std::vector<QDateTime> times(std::size_t(std::max(count, 0)));
    for (int i = count - 1; i >= 0; --i) {
        times[std::size_t(i)] = t;
        t = t.addSecs(-60LL * rnd.Range(minStep, maxStep));
    }
    return times;
}

// count record times, oldest first, after `after` (when valid) and the last
// at until; steps of minStep..maxStep minutes, shrunk alike to fit.
std::vector<QDateTime> timesUntil(const QDateTime& after, const QDateTime& until, int count,
                                  Random& rnd, int minStep, int maxStep) {
    std::vector<std::int64_t> steps(std::size_t(std::max(count - 1, 0)));
    std::int64_t span = 0;
    for (std::int64_t& step : steps) {
        step = rnd.Range(minStep, maxStep);
        span += step;
    }
    const QDateTime last(until.date(), QTime(until.time().hour(), until.time().minute()), Qt::UTC);
    if (after.isValid()) {
        const QDateTime first(after.date(), QTime(after.time().hour(), after.time().minute()),
                              Qt::UTC);
        const std::int64_t room = std::max<std::int64_t>(first.secsTo(last) / 60 - 1, 0);
        if (span > room)
            for (std::int64_t& step : steps)
                step = step * room / span;
    }
    std::vector<QDateTime> times(std::size_t(std::max(count, 0)));
    QDateTime t = last;
    for (int i = count - 1; i >= 0; --i) {
        times[std::size_t(i)] = t;
        if (i > 0)
            t = t.addSecs(-60LL * steps[std::size_t(i - 1)]);
    }
    return times;
}

// The load moment the crane may lift at any reach, in tonne-metres: the rated
// load up to 3.2 m, less and less beyond.
constexpr int CraneRatedMoment = 80;

// Weight and reach of one lifting cycle.
struct Cycle {
    std::uint8_t weight;
    std::uint8_t reach;
};

Cycle drawCycle(Random& rnd, HistoryModel model) {
    if (model == HistoryModel::Uniform) {
        const auto weight = std::uint8_t(rnd.Range(1, 50));
        return {weight, std::uint8_t(rnd.Range(2, 40))};
    }
    // Short reaches are the more common (the lower of two even draws); the
    // load, as a share of what the load chart allows there, is mostly light
    // to moderate (likewise), and about one lift in a hundred goes past it.
    const int reach =
        std::min(rnd.Range(CraneMinReach, CraneMaxReach), rnd.Range(CraneMinReach, CraneMaxReach));
    const int allowed = std::min(CraneRatedLoad * 10, CraneRatedMoment * 10 / reach); // 0.1 t
    const int percent =
        rnd.Chance(1) ? rnd.Range(101, 115) : std::min(rnd.Range(10, 99), rnd.Range(10, 99));
    const int weight = std::max(1, (allowed * percent + 500) / 1000);
    return {std::uint8_t(weight), std::uint8_t(reach)};
}

class EventMaker {
public:
    EventMaker(Random& rnd, HistoryModel model) : rnd_(rnd), model_(model) {}

    QByteArray Make(const QDateTime& time, bool first) {
        std::uint8_t reason = 0;
        std::uint8_t weight = Absent;
        std::uint8_t reach = Absent;
        const int kind = rnd_.Range(0, 99);
        if (first) {
            reason = EraseCode; // a history starts with the memory being erased
        } else if (powerIsOff_) {
            reason = PowerOn;
            powerIsOff_ = false;
        } else if (kind < 40) {
            reason = toggle(relays_, RelayGroup);
        } else if (kind < 60) {
            reason = toggle(outputs_, OutputGroup);
        } else if (kind < 80) {
            reason = toggle(inputs_, InputGroup);
        } else {
            reason = std::uint8_t(rnd_.Range(0, 6));
            if (reason <= 2 && rnd_.Chance(50)) {
                reason |= Removal; // the sensor or console fault has cleared
            }
            powerIsOff_ = reason == PowerOff;
        }
        if ((reason & (RelayGroup | OutputGroup | InputGroup)) != 0) {
            const Cycle cycle = drawCycle(rnd_, model_);
            weight = cycle.weight;
            reach = cycle.reach;
        }
        QByteArray record = RecorderMemory::TimeBytes(time);
        record.append(char(weight));
        record.append(char(reach));
        record.append(char(relays_));
        record.append(char(outputs_));
        record.append(char(inputs_));
        record.append(char(reason));
        return record;
    }

private:
    // A line changes state; the reason names it, with bit 7 when it drops.
    std::uint8_t toggle(std::uint8_t& states, std::uint8_t group) {
        const int n = rnd_.Range(0, 7);
        const std::uint8_t bit = std::uint8_t(1u << n);
        const bool wasOn = (states & bit) != 0;
        states ^= bit;
        return std::uint8_t(group | n | (wasOn ? Removal : 0));
    }

    Random& rnd_;
    HistoryModel model_;
    std::uint8_t relays_ = 0;
    std::uint8_t outputs_ = 0;
    std::uint8_t inputs_ = 0;
    bool powerIsOff_ = false;
};

class SumMaker {
public:
    SumMaker(Random& rnd, HistoryModel model)
        : rnd_(rnd), model_(model), hours_(std::uint32_t(rnd.Range(100, 5000))),
          tonnes_(std::uint32_t(rnd.Range(1000, 90000))),
          cycles_(std::uint32_t(rnd.Range(100, 9000))) {
        // The totals so far agree with the crane's work: some lifts an hour,
        // a few tonnes a lift.
        if (model == HistoryModel::Crane) {
            tonnes_ = cycles_ * std::uint32_t(rnd.Range(4, 8));
            hours_ = cycles_ / 6;
        }
    }

    QByteArray Make(const QDateTime& time) {
        hours_ += std::uint32_t(rnd_.Range(0, 2));
        std::uint8_t weight = Absent;
        std::uint8_t reach = Absent;
        if (rnd_.Chance(90)) {
            const Cycle cycle = drawCycle(rnd_, model_);
            weight = cycle.weight;
            reach = cycle.reach;
            tonnes_ += weight;
            cycles_ += 1;
        }
        QByteArray record = RecorderMemory::TimeBytes(time);
        append24(record, hours_);
        append24(record, tonnes_);
        append24(record, cycles_);
        record.append(char(weight));
        record.append(char(reach));
        return record;
    }

private:
    static void append24(QByteArray& out, std::uint32_t v) {
        out.append(char((v >> 16) & 0xFF));
        out.append(char((v >> 8) & 0xFF));
        out.append(char(v & 0xFF));
    }

    Random& rnd_;
    HistoryModel model_;
    std::uint32_t hours_;
    std::uint32_t tonnes_;
    std::uint32_t cycles_;
};

// Where the records go, oldest first, and the pointer to write.
struct Layout {
    std::vector<int> order;
    std::uint32_t pointer = 0;
};

// count records ending at the slot pointerIndex; wrapped, every slot is
// used and the oldest lies right after the newest.
Layout layoutFor(int slotCount, bool wrapped, int count, int pointerIndex) {
    Layout layout;
    if (wrapped) {
        for (int i = 0; i < slotCount; ++i) {
            layout.order.push_back((pointerIndex + 1 + i) % slotCount);
        }
    } else {
        for (int i = std::max(0, pointerIndex - count + 1); i <= pointerIndex; ++i) {
            layout.order.push_back(i);
        }
    }
    return layout;
}

int pointerIndexFor(int slotCount, bool wrapped, int count, int given) {
    if (given >= 0) {
        return given;
    }
    if (count <= 0) {
        return slotCount - 1;
    }
    // Not wrapped, more records than order simply fill the area.
    return wrapped ? (count - 1) % slotCount : std::min(count, slotCount) - 1;
}

} // namespace

QByteArray EncodeCp1251(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out.append(char(u));
        } else if (u >= 0x0410 && u <= 0x044F) {
            out.append(char(0xC0 + (u - 0x0410)));
        } else if (u == 0x0401) {
            out.append(char(0xA8)); // Ё
        } else if (u == 0x0451) {
            out.append(char(0xB8)); // ё
        } else if (u == 0x2116) {
            out.append(char(0xB9)); // №
        } else if (u == 0x00AB) {
            out.append(char(0xAB)); // «
        } else if (u == 0x00BB) {
            out.append(char(0xBB)); // »
        } else if (u == 0x00B0) {
            out.append(char(0xB0)); // °
        } else {
            out.append('?');
        }
    }
    return out;
}

QByteArray MakeIdentification(std::uint32_t seed) {
    Random rnd(seed ^ 0x1D1D1D1DULL);
    const QString craneNumber = QString::number(rnd.Range(100, 9999));
    const QString recorderNumber = QString::number(rnd.Range(1000, 99999)).rightJustified(6, u'0');
    const int year = rnd.Range(2005, 2012);
    const QString commissioned = QStringLiteral("%1.%2.%3")
                                     .arg(rnd.Range(1, 28), 2, 10, QChar(u'0'))
                                     .arg(rnd.Range(1, 12), 2, 10, QChar(u'0'))
                                     .arg(year);
    // Fields in the order they lie in the area, with their widths.
    const std::pair<QString, int> fields[] = {
        {QStringLiteral("КС-45717К-1"), 20},
        {craneNumber, 20},
        {QString::number(year), 10},
        {QStringLiteral("ОАО «Ивановский машзавод»"), 30},
        {QStringLiteral("ООО «Стройтехмонтаж» №3"), 40},
        {QStringLiteral("25 т"), 20},
        {QStringLiteral("А3"), 10},
        {QStringLiteral("10 лет"), 10},
        {commissioned, 10},
        {QStringLiteral("нет"), 20},
        {QStringLiteral("РП-2М регистратор параметров"), 30},
        {recorderNumber, 10},
        {QString::number(year), 10},
        {QStringLiteral("ЗАО «Приборист»"), 20},
        {QStringLiteral("ООО «Кран-Сервис»"), 20},
        {commissioned, 10},
        {QStringLiteral("Крюк, стрела 21,7 м, гусек 9 м"), 70},
    };
    // No field uses the letter я: its code 0xFF prints as a blank.
    QByteArray out;
    int index = 0;
    for (const auto& [text, width] : fields) {
        // Some fields are padded with blanks, others with zero bytes, as
        // programming tools leave them.
        const char pad = index % 3 == 1 ? '\0' : ' ';
        out.append(EncodeCp1251(text).left(width).leftJustified(width, pad));
        ++index;
    }
    return out;
}

void GenerateHistory(RecorderMemory& memory, const GenerateOptions& options,
                     const QDateTime& newest) {
    Random rnd(options.seed);
    QByteArray& main = memory.Main();
    std::fill(main.begin() + RecorderMemory::SumFirst, main.end(), '\xFF');
    std::fill(main.begin() + RecorderMemory::CurrentSumAddress,
              main.begin() + RecorderMemory::CurrentSumAddress + RecorderMemory::SumSize, '\xFF');
    std::fill(main.begin() + RecorderMemory::CurrentEventAddress,
              main.begin() + RecorderMemory::CurrentEventAddress + RecorderMemory::EventSize,
              '\xFF');

    // Events.
    const int givenEvent =
        options.eventPointer ? RecorderMemory::EventSlotIndex(*options.eventPointer) : -1;
    const bool eventsWanted = options.wrapped || options.events > 0 || givenEvent >= 0;
    std::uint32_t eventPointer = RecorderMemory::EventFirst;
    QDateTime oldestEvent = newest;
    // The crane's erase came before every record kept; the uniform history
    // puts it before the oldest event only, as its fixed data have it.
    QDateTime oldestRecord = newest;
    if (eventsWanted) {
        const int pointerIndex = pointerIndexFor(RecorderMemory::EventSlots, options.wrapped,
                                                 options.events, givenEvent);
        const int count = givenEvent >= 0 ? givenEvent + 1 : options.events;
        const Layout layout =
            layoutFor(RecorderMemory::EventSlots, options.wrapped, count, pointerIndex);
        const auto times = timesBackFrom(newest, int(layout.order.size()), rnd, 1, 120);
        EventMaker maker(rnd, options.model);
        for (std::size_t i = 0; i < layout.order.size(); ++i) {
            const QByteArray record = maker.Make(times[i], i == 0 && !options.wrapped);
            main.replace(RecorderMemory::EventSlotAddress(layout.order[i]),
                         RecorderMemory::EventSize, record);
            if (i + 1 == layout.order.size()) {
                main.replace(RecorderMemory::CurrentEventAddress, RecorderMemory::EventSize,
                             record);
            }
        }
        eventPointer = RecorderMemory::EventSlotAddress(pointerIndex);
        if (!times.empty()) {
            oldestEvent = times.front();
        }
        oldestRecord = oldestEvent;
    }
    // A pointer that is no slot goes in as given: tests want bad pointers too.
    memory.SetEventPointer(options.eventPointer ? *options.eventPointer : eventPointer);

    // Summator.
    const int givenSum =
        options.sumPointer ? RecorderMemory::SumSlotIndex(*options.sumPointer) : -1;
    const bool sumsWanted = options.wrapped || options.sums > 0 || givenSum >= 0;
    std::uint32_t sumPointer = RecorderMemory::SumFirst;
    if (sumsWanted) {
        const int pointerIndex =
            pointerIndexFor(RecorderMemory::SumSlots, options.wrapped, options.sums, givenSum);
        const int count = givenSum >= 0 ? givenSum + 1 : options.sums;
        const Layout layout =
            layoutFor(RecorderMemory::SumSlots, options.wrapped, count, pointerIndex);
        const auto times = timesBackFrom(newest, int(layout.order.size()), rnd, 5, 600);
        SumMaker maker(rnd, options.model);
        for (std::size_t i = 0; i < layout.order.size(); ++i) {
            const QByteArray record = maker.Make(times[i]);
            main.replace(RecorderMemory::SumSlotAddress(layout.order[i]), RecorderMemory::SumSize,
                         record);
            if (i + 1 == layout.order.size()) {
                main.replace(RecorderMemory::CurrentSumAddress, RecorderMemory::SumSize, record);
            }
        }
        sumPointer = RecorderMemory::SumSlotAddress(pointerIndex);
        if (!times.empty() && options.model == HistoryModel::Crane)
            oldestRecord = std::min(oldestRecord, times.front());
    }
    memory.SetSumPointer(options.sumPointer ? *options.sumPointer : sumPointer);

    // The last erase came shortly before the oldest record.
    memory.Set(RecorderMemory::EraseTimeSelector, RecorderMemory::EraseTimeAddress,
               RecorderMemory::TimeBytes(oldestRecord.addSecs(-60LL * rnd.Range(1, 30))));

    if (options.identification) {
        memory.Set(RecorderMemory::IdentSelector, RecorderMemory::IdentAddress,
                   MakeIdentification(options.identSeed.value_or(options.seed)));
    }
}

void AppendHistory(RecorderMemory& memory, int events, int sums, std::uint32_t seed,
                   const QDateTime& from, HistoryModel model) {
    Random rnd(seed ^ 0xA5A5A5A5u);
    const QDateTime start(from.date(), QTime(from.time().hour(), from.time().minute()), Qt::UTC);
    QDateTime t = start;
    EventMaker eventMaker(rnd, model);
    for (int i = 0; i < events; ++i) {
        memory.AppendEvent(eventMaker.Make(t, false));
        t = t.addSecs(60LL * rnd.Range(1, 120));
    }
    t = start;
    SumMaker sumMaker(rnd, model);
    for (int i = 0; i < sums; ++i) {
        memory.AppendSum(sumMaker.Make(t));
        t = t.addSecs(60LL * rnd.Range(5, 600));
    }
}

void AppendHistoryUntil(RecorderMemory& memory, int events, int sums, std::uint32_t seed,
                        const QDateTime& until, HistoryModel model) {
    // The clock read as UTC, as the records are written.
    const QDateTime clock(until.date(), until.time(), Qt::UTC);
    const QDateTime newest = memory.NewestRecordTime();
    const QDateTime after =
        newest.isValid() ? QDateTime(newest.date(), newest.time(), Qt::UTC) : QDateTime();
    // A revisit's new records differ from the last revisit's: the newest
    // record tells the memory apart.
    const std::uint64_t mixed =
        seed ^ (after.isValid() ? std::uint64_t(after.toSecsSinceEpoch()) << 20 : 0);
    Random steps(mixed ^ 0x5A5A5A5Au);
    const auto eventTimes = timesUntil(after, clock, events, steps, 1, 120);
    const auto sumTimes = timesUntil(after, clock, sums, steps, 5, 600);
    Random rnd(mixed ^ 0xA5A5A5A5u);
    EventMaker eventMaker(rnd, model);
    for (const QDateTime& t : eventTimes)
        memory.AppendEvent(eventMaker.Make(t, false));
    SumMaker sumMaker(rnd, model);
    for (const QDateTime& t : sumTimes)
        memory.AppendSum(sumMaker.Make(t));
}
