#include "pty_client.h"
#include "simulator/history_generator.h"
#include "simulator/recorder_memory.h"
#include "simulator/sim_options.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>
#include <set>

namespace {

using M = RecorderMemory;

const QDateTime newest(QDate(2026, 12, 7), QTime(12, 31));

int bcd(char b) {
    return (std::uint8_t(b) >> 4) * 10 + (std::uint8_t(b) & 0x0F);
}

// Minutes since 2000 of a record's five BCD time bytes.
qint64 minutes(const QByteArray& r) {
    const QDateTime t(QDate(2000 + bcd(r[4]), bcd(r[3]), bcd(r[2])), QTime(bcd(r[1]), bcd(r[0])),
                      Qt::UTC);
    EXPECT_TRUE(t.isValid()) << Hex(r).constData();
    return t.toSecsSinceEpoch() / 60;
}

bool isBlank(const QByteArray& r) {
    return r.count('\xFF') == r.size();
}

std::uint32_t be24(const QByteArray& r, int offset) {
    return std::uint32_t(std::uint8_t(r[offset])) << 16 |
           std::uint32_t(std::uint8_t(r[offset + 1])) << 8 | std::uint8_t(r[offset + 2]);
}

M generated(const GenerateOptions& o) {
    M m;
    GenerateHistory(m, o, newest);
    return m;
}

// Event addresses from the oldest record to the newest.
std::vector<std::uint32_t> eventsOldestFirst(const M& m, bool wrapped) {
    std::vector<std::uint32_t> out;
    const int p = M::EventSlotIndex(m.EventPointer());
    const int first = wrapped ? p + 1 : 0;
    const int count = wrapped ? M::EventSlots : p + 1;
    for (int i = 0; i < count; ++i) {
        out.push_back(M::EventSlotAddress((first + i) % M::EventSlots));
    }
    return out;
}

} // namespace

TEST(HistoryGenerator, SameSeedSameBytesOtherSeedOtherBytes) {
    GenerateOptions o;
    o.seed = 7;
    const QByteArray a = generated(o).ToImage();
    EXPECT_EQ(generated(o).ToImage(), a);
    o.seed = 8;
    EXPECT_NE(generated(o).ToImage(), a);
}

TEST(HistoryGenerator, PointersFollowTheOptions) {
    const struct {
        int events;
        int sums;
        bool wrapped;
        std::optional<std::uint32_t> eventPointer;
        std::optional<std::uint32_t> sumPointer;
        std::uint32_t wantEvent;
        std::uint32_t wantSum;
    } cases[] = {
        {2, 5, false, {}, {}, 0x3000B, 0x10040},
        {1, 1, false, {}, {}, 0x30000, 0x10000},
        {0, 0, false, {}, {}, 0x30000, 0x10000},
        {5, 5, false, 0x40000, 0x18000, 0x40000, 0x18000},
        {5, 5, true, 0x5000B, 0x24000, 0x5000B, 0x24000},
        {5959, 8193, true, {}, {}, 0x4000B, 0x10000},
        {5, 5, false, 0x3FFF7, 0x10008, 0x3FFF7, 0x10008}, // bad pointers go in as given
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        GenerateOptions o;
        o.events = c.events;
        o.sums = c.sums;
        o.wrapped = c.wrapped;
        o.eventPointer = c.eventPointer;
        o.sumPointer = c.sumPointer;
        const M m = generated(o);
        EXPECT_EQ(m.EventPointer(), c.wantEvent);
        EXPECT_EQ(m.SumPointer(), c.wantSum);
    }
}

TEST(HistoryGenerator, NotWrappedFillsUpToThePointerOnly) {
    GenerateOptions o;
    o.eventPointer = 0x5000B;
    o.sumPointer = 0x10040;
    const M m = generated(o);
    for (std::uint32_t a : eventsOldestFirst(m, false)) {
        ASSERT_FALSE(isBlank(m.Get(M::MainSelector, a, 11))) << std::hex << a;
    }
    EXPECT_TRUE(isBlank(m.Get(M::MainSelector, 0x50016, 0xFFFFF - 0x50016)));
    EXPECT_TRUE(isBlank(m.Get(M::MainSelector, 0x10050, 0x30000 - 0x10050)));
    EXPECT_FALSE(isBlank(m.Get(M::MainSelector, 0x10000, 0x50)));
    // The first record of a history that never wrapped is the erase.
    EXPECT_EQ(std::uint8_t(m.Get(M::MainSelector, 0x30000, 11)[10]), 0x07);
    EXPECT_EQ(m.Get(M::MainSelector, M::CurrentEventAddress, 11),
              m.Get(M::MainSelector, 0x5000B, 11));
    EXPECT_EQ(m.Get(M::MainSelector, M::CurrentSumAddress, 16),
              m.Get(M::MainSelector, 0x10040, 16));
}

TEST(HistoryGenerator, WrappedFillsEverySlotNewestAtThePointer) {
    GenerateOptions o;
    o.wrapped = true;
    o.eventPointer = 0x5000B;
    o.sumPointer = 0x18000;
    const M m = generated(o);
    const auto order = eventsOldestFirst(m, true);
    ASSERT_EQ(order.size(), std::size_t(M::EventSlots));
    qint64 last = 0;
    for (std::uint32_t a : order) {
        const QByteArray r = m.Get(M::MainSelector, a, 11);
        ASSERT_FALSE(isBlank(r)) << std::hex << a;
        const qint64 t = minutes(r);
        ASSERT_GE(t, last) << std::hex << a; // time runs forward round the ring
        last = t;
    }
    EXPECT_EQ(order.back(), 0x5000Bu);
    EXPECT_EQ(last, QDateTime(newest.date(), newest.time(), Qt::UTC).toSecsSinceEpoch() / 60);
    // Slots of the pointer's page above the pointer hold older records too.
    EXPECT_FALSE(isBlank(m.Get(M::MainSelector, 0x5FFEC, 11)));
    for (int i = 0; i < M::SumSlots; ++i) {
        ASSERT_FALSE(isBlank(m.Get(M::MainSelector, M::SumSlotAddress(i), 16))) << i;
    }
}

TEST(HistoryGenerator, EventsAreConsistent) {
    GenerateOptions o;
    o.events = 3000;
    const M m = generated(o);
    std::set<int> kinds;
    std::uint8_t relays = 0;
    std::uint8_t outputs = 0;
    std::uint8_t inputs = 0;
    for (std::uint32_t a : eventsOldestFirst(m, false)) {
        const QByteArray r = m.Get(M::MainSelector, a, 11);
        const std::uint8_t reason = std::uint8_t(r[10]);
        const std::uint8_t code = reason & 0x7F;
        const std::uint8_t weight = std::uint8_t(r[5]);
        const std::uint8_t reach = std::uint8_t(r[6]);
        if (code < 8) {
            kinds.insert(code);
            EXPECT_EQ(weight, 0xFF);
            EXPECT_EQ(reach, 0xFF);
        } else {
            ASSERT_TRUE(code == (0x40 | (code & 7)) || code == (0x20 | (code & 7)) ||
                        code == (0x10 | (code & 7)))
                << int(reason);
            kinds.insert(code & 0x70);
            EXPECT_GE(weight, 1);
            EXPECT_LE(weight, 50);
            EXPECT_GE(reach, 2);
            EXPECT_LE(reach, 40);
            // A line that starts is on afterwards, one that ends is off.
            std::uint8_t& states = code & 0x40 ? relays : code & 0x20 ? outputs : inputs;
            const std::uint8_t bit = std::uint8_t(1u << (code & 7));
            EXPECT_EQ((states & bit) != 0, (reason & 0x80) != 0);
            states ^= bit;
        }
        EXPECT_EQ(std::uint8_t(r[7]), relays);
        EXPECT_EQ(std::uint8_t(r[8]), outputs);
        EXPECT_EQ(std::uint8_t(r[9]), inputs);
    }
    for (int k : {0, 1, 2, 3, 4, 5, 6, 7, 0x10, 0x20, 0x40}) {
        EXPECT_TRUE(kinds.count(k)) << k;
    }
}

TEST(HistoryGenerator, SummatorTotalsGrow) {
    GenerateOptions o;
    o.sums = 2000;
    const M m = generated(o);
    QByteArray previous;
    int withoutCycle = 0;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray r = m.Get(M::MainSelector, M::SumSlotAddress(i), 16);
        const std::uint8_t weight = std::uint8_t(r[14]);
        const std::uint8_t reach = std::uint8_t(r[15]);
        if (weight == 0xFF) {
            EXPECT_EQ(reach, 0xFF);
            ++withoutCycle;
        } else {
            EXPECT_GE(weight, 1);
            EXPECT_LE(weight, 50);
            EXPECT_GE(reach, 2);
            EXPECT_LE(reach, 40);
        }
        if (!previous.isEmpty()) {
            EXPECT_GE(minutes(r), minutes(previous));
            EXPECT_GE(be24(r, 5), be24(previous, 5));
            const bool cycle = weight != 0xFF;
            EXPECT_EQ(be24(r, 8), be24(previous, 8) + (cycle ? weight : 0u));
            EXPECT_EQ(be24(r, 11), be24(previous, 11) + (cycle ? 1u : 0u));
        }
        previous = r;
    }
    EXPECT_GT(withoutCycle, 0);
    EXPECT_LT(withoutCycle, 1000);
}

TEST(HistoryGenerator, IdentificationIsCp1251TextOfTheRightWidth) {
    const QByteArray ident = MakeIdentification(1);
    ASSERT_EQ(ident.size(), 360);
    EXPECT_EQ(ident.left(11), EncodeCp1251(QStringLiteral("КС-45717К-1")));
    EXPECT_EQ(Hex(ident.left(3)), "CA D1 2D");
    EXPECT_EQ(ident.mid(11, 9), QByteArray(9, ' '));
    EXPECT_EQ(ident.count('\xFF'), 0); // 0xFF would print as a blank
    GenerateOptions o;
    const M m = generated(o);
    EXPECT_EQ(m.Get(M::IdentSelector, M::IdentAddress, 360), ident);
}

TEST(HistoryGenerator, Cp1251Letters) {
    const struct {
        const char16_t* text;
        const char* bytes;
    } cases[] = {
        {u"АЯая", "C0 DF E0 FF"}, {u"Ёё№", "A8 B8 B9"}, {u"A-1 ", "41 2D 31 20"}, {u"€", "3F"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(EncodeCp1251(QString::fromUtf16(c.text))), c.bytes);
    }
}

// The program's own history shows the crane its identification names at
// work: a service engineer reads it as he would a real one.
TEST(HistoryGenerator, ProgramHistoryIsThatOfTheIdentifiedCrane) {
    SimOptions so;
    QString error;
    ASSERT_TRUE(
        ParseSimOptions({"recorder-sim", "--sums", "3000", "--events", "3000"}, &so, &error))
        << error.toStdString();
    const M m = generated(so.generateOptions);

    // Rated load (field 6) and boom (field 17) as the identification gives them.
    const QByteArray ident = m.Get(M::IdentSelector, M::IdentAddress, M::IdentSize);
    QStringDecoder cp1251("windows-1251");
    const QString rated = cp1251(ident.mid(120, 20));
    const QString equipment = cp1251(ident.mid(290, 70));
    const int ratedLoad = rated.section(QLatin1Char(' '), 0, 0).toInt();
    ASSERT_EQ(ratedLoad, 25) << rated.toStdString();
    const QRegularExpressionMatch boom =
        QRegularExpression(QStringLiteral("стрела (\\d+),(\\d) м")).match(equipment);
    ASSERT_TRUE(boom.hasMatch()) << equipment.toStdString();
    const double boomLength = boom.captured(1).toInt() + boom.captured(2).toInt() / 10.0;

    std::vector<int> weights;
    int aboveRated = 0;
    int reachesBeyondTheBoom = 0;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray r = m.Get(M::MainSelector, M::SumSlotAddress(i), M::SumSize);
        if (i == 0) {
            // The totals so far: a few tonnes a lift, not hundreds.
            EXPECT_LE(be24(r, 8), be24(r, 11) * std::uint32_t(ratedLoad));
        }
        const int weight = std::uint8_t(r[14]);
        const int reach = std::uint8_t(r[15]);
        if (weight == 0xFF)
            continue;
        weights.push_back(weight);
        aboveRated += weight > ratedLoad ? 1 : 0;
        reachesBeyondTheBoom += reach < 2 || reach >= boomLength ? 1 : 0;
    }
    EXPECT_EQ(reachesBeyondTheBoom, 0);
    ASSERT_GT(weights.size(), 2000u);
    // Mostly well below the rated load, overloads rare.
    std::sort(weights.begin(), weights.end());
    EXPECT_LE(weights[weights.size() / 2] * 3, ratedLoad);
    EXPECT_LE(weights[weights.size() * 9 / 10] * 3, ratedLoad * 2);
    EXPECT_LE(aboveRated * 100, int(weights.size()));

    // The erase came before the oldest record of either memory.
    const qint64 erase = minutes(m.Get(M::EraseTimeSelector, M::EraseTimeAddress, 5));
    EXPECT_LT(erase, minutes(m.Get(M::MainSelector, M::SumSlotAddress(0), M::SumSize)));
    EXPECT_LT(erase, minutes(m.Get(M::MainSelector, M::EventSlotAddress(0), M::EventSize)));
}

TEST(HistoryGenerator, RecordsAddedAtARevisitLieBetweenTheNewestRecordAndTheClock) {
    GenerateOptions o;
    o.newest = newest;
    o.events = 40;
    o.sums = 20;
    // Few minutes or many between the visits: never a record dated after
    // the clock, never one before the newest already there.
    for (const int gap : {5, 100000}) {
        SCOPED_TRACE(gap);
        M m = generated(o);
        const int firstEvent = M::EventSlotIndex(m.EventPointer()) + 1;
        const int firstSum = M::SumSlotIndex(m.SumPointer()) + 1;
        const QDateTime clock = newest.addSecs(60LL * gap);
        AppendHistoryUntil(m, 300, 100, 3, clock);
        const qint64 after = minutes(M::TimeBytes(newest));
        const qint64 until = minutes(M::TimeBytes(clock));
        qint64 previous = after;
        for (int i = 0; i < 300; ++i) {
            const qint64 t = minutes(m.Get(4, M::EventSlotAddress(firstEvent + i), 11));
            EXPECT_GE(t, previous); // in the order written
            EXPECT_GT(t, after);
            EXPECT_LE(t, until);
            previous = t;
        }
        EXPECT_EQ(minutes(m.Get(4, M::CurrentEventAddress, 11)), until);
        for (int i = 0; i < 100; ++i) {
            const qint64 t = minutes(m.Get(4, M::SumSlotAddress(firstSum + i), 16));
            EXPECT_GT(t, after);
            EXPECT_LE(t, until);
        }
    }
}
