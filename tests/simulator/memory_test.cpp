#include "image/image_file.h"
#include "pty_client.h"
#include "simulator/recorder_memory.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using M = RecorderMemory;

QByteArray eventRecord(std::uint8_t reason, std::uint8_t fill = 0x11) {
    QByteArray r = FromHex("25 14 07 03 09");
    r.append(5, char(fill));
    r.append(char(reason));
    return r;
}

QByteArray sumRecord(std::uint8_t fill) {
    QByteArray r = FromHex("25 14 07 03 09");
    r.append(11, char(fill));
    return r;
}

bool blank(const M& m, std::uint32_t from, std::uint32_t to) {
    return m.Get(M::MainSelector, from, int(to - from)).count('\xFF') == qsizetype(to - from);
}

} // namespace

TEST(RecorderMemorySlots, EventSlotAddresses) {
    const struct {
        std::uint32_t address;
        int index;
    } cases[] = {
        {0x30000, 0},  {0x3000B, 1},  {0x3FFEC, 5956}, {0x40000, 5957}, {0xFFFEC, 77440},
        {0x3FFF7, -1}, {0x30005, -1}, {0x2FFFF, -1},   {0x100000, -1},  {0x5000B, 2 * 5957 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(M::EventSlotIndex(c.address), c.index);
        if (c.index >= 0) {
            EXPECT_EQ(M::EventSlotAddress(c.index), c.address);
        }
    }
    EXPECT_EQ(M::EventSlots, 77441);
}

TEST(RecorderMemorySlots, SumSlotAddresses) {
    EXPECT_EQ(M::SumSlotIndex(0x10000), 0);
    EXPECT_EQ(M::SumSlotIndex(0x2FFF0), 8191);
    EXPECT_EQ(M::SumSlotIndex(0x10008), -1);
    EXPECT_EQ(M::SumSlotIndex(0x30000), -1);
    EXPECT_EQ(M::SumSlotIndex(0x0FFF0), -1);
    EXPECT_EQ(M::SumSlotAddress(8191), 0x2FFF0u);
}

TEST(RecorderMemoryAreas, BlankMemoryReadsFFAndPointsAtFirstSlots) {
    M m;
    EXPECT_EQ(m.Get(M::MainSelector, 0x30000, 11), QByteArray(11, '\xFF'));
    EXPECT_EQ(Hex(m.Get(M::PointerSelector, 0, 8)), "00 03 00 00 00 01 00 00");
    EXPECT_EQ(m.Get(M::IdentSelector, M::IdentAddress, 10), QByteArray(10, '\xFF'));
}

TEST(RecorderMemoryAreas, ReadsOutsideAnAreaGiveFF) {
    M m;
    m.Set(M::PointerSelector, 0, FromHex("00 03 00 0B 00 01 FF F0"));
    EXPECT_EQ(Hex(m.Get(M::PointerSelector, 6, 4)), "FF F0 FF FF");
    EXPECT_EQ(m.Get(M::MainSelector, 0xFFFFF, 3), FromHex("FF FF FF"));
    EXPECT_EQ(m.Get(9, 0, 4), QByteArray(4, '\xFF'));
    m.Set(M::MainSelector, 0xFFFFE, FromHex("12 34 56")); // the part inside is kept
    EXPECT_EQ(Hex(m.Get(M::MainSelector, 0xFFFFE, 3)), "12 34 FF");
}

TEST(RecorderMemoryAreas, PointerBlockIsMostSignificantByteFirst) {
    M m;
    m.Set(M::PointerSelector, 0, FromHex("00 03 00 0B 00 01 FF F0"));
    EXPECT_EQ(m.EventPointer(), 0x3000Bu);
    EXPECT_EQ(m.SumPointer(), 0x1FFF0u);
    m.SetEventPointer(0x5000B);
    EXPECT_EQ(Hex(m.Get(M::PointerSelector, 0, 4)), "00 05 00 0B");
}

TEST(RecorderMemoryClock, SetClockReadsBackAsBcd) {
    const struct {
        QDateTime time;
        const char* bytes;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 7), QTime(12, 31, 40)), "31 12 07 12 26"},
        {QDateTime(QDate(2000, 1, 1), QTime(0, 0)), "00 00 01 01 00"},
        {QDateTime(QDate(2099, 12, 31), QTime(23, 59)), "59 23 31 12 99"},
    };
    for (const auto& c : cases) {
        M m;
        m.SetClock(c.time);
        EXPECT_EQ(Hex(m.ClockBytes()), c.bytes);
        EXPECT_EQ(Hex(m.Get(M::ClockSelector, 0, 5)), c.bytes);
    }
}

TEST(RecorderMemoryClock, WrittenBytesThatAreNoDateReadBackAsWritten) {
    M m;
    m.WriteClockBytes(FromHex("61 25 32 13 AA"));
    EXPECT_EQ(Hex(m.ClockBytes()), "61 25 32 13 AA");
    m.Set(M::ClockSelector, 0, FromHex("30 10 15 03 09"));
    EXPECT_EQ(Hex(m.ClockBytes()), "30 10 15 03 09");
    EXPECT_EQ(m.Clock().date(), QDate(2009, 3, 15));
}

TEST(RecorderMemoryAppend, FirstEventGoesAtTheBlankPointer) {
    M m;
    ASSERT_TRUE(m.AppendEvent(eventRecord(0x41)));
    EXPECT_EQ(m.EventPointer(), 0x30000u);
    EXPECT_EQ(m.Get(M::MainSelector, 0x30000, 11), eventRecord(0x41));
    EXPECT_EQ(m.Get(M::MainSelector, M::CurrentEventAddress, 11), eventRecord(0x41));
    ASSERT_TRUE(m.AppendEvent(eventRecord(0xC1)));
    EXPECT_EQ(m.EventPointer(), 0x3000Bu);
    EXPECT_EQ(m.Get(M::MainSelector, M::CurrentEventAddress, 11), eventRecord(0xC1));
}

TEST(RecorderMemoryAppend, WrongSizesAreRefused) {
    M m;
    EXPECT_FALSE(m.AppendEvent(QByteArray(10, '\0')));
    EXPECT_FALSE(m.AppendSum(QByteArray(11, '\0')));
    EXPECT_EQ(m.Get(M::MainSelector, 0x30000, 11), QByteArray(11, '\xFF'));
}

TEST(RecorderMemoryAppend, EnteringAPageBlanksItFirst) {
    const struct {
        std::uint32_t pointer;
        std::uint32_t next;
        std::uint32_t page;
    } cases[] = {
        {0x3FFEC, 0x40000, 0x40000}, // into the next page
        {0xFFFEC, 0x30000, 0x30000}, // round to the first page
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pointer);
        M m;
        m.Set(M::MainSelector, 0x30000, QByteArray(0xD0000, '\x22')); // old records everywhere
        m.SetEventPointer(c.pointer);
        ASSERT_TRUE(m.AppendEvent(eventRecord(0x05)));
        EXPECT_EQ(m.EventPointer(), c.next);
        EXPECT_EQ(m.Get(M::MainSelector, c.next, 11), eventRecord(0x05));
        EXPECT_TRUE(blank(m, c.next + 11, c.page + 0x10000));
        // The page left behind keeps its records.
        EXPECT_EQ(m.Get(M::MainSelector, c.pointer, 1), QByteArray(1, '\x22'));
    }
}

TEST(RecorderMemoryAppend, StayingInAPageBlanksNothing) {
    M m;
    m.Set(M::MainSelector, 0x30000, QByteArray(0x10000, '\x22'));
    m.SetEventPointer(0x3000B);
    ASSERT_TRUE(m.AppendEvent(eventRecord(0x05)));
    EXPECT_EQ(m.EventPointer(), 0x30016u);
    EXPECT_EQ(m.Get(M::MainSelector, 0x30021, 1), QByteArray(1, '\x22'));
}

TEST(RecorderMemoryAppend, SummatorPagesLikewise) {
    const struct {
        std::uint32_t pointer;
        std::uint32_t next;
    } cases[] = {{0x1FFF0, 0x20000}, {0x2FFF0, 0x10000}, {0x10010, 0x10020}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pointer);
        M m;
        m.Set(M::MainSelector, 0x10000, QByteArray(0x20000, '\x33'));
        m.SetSumPointer(c.pointer);
        ASSERT_TRUE(m.AppendSum(sumRecord(0x01)));
        EXPECT_EQ(m.SumPointer(), c.next);
        EXPECT_EQ(m.Get(M::MainSelector, M::CurrentSumAddress, 16), sumRecord(0x01));
        const bool newPage = c.next % 0x10000 == 0;
        EXPECT_EQ(blank(m, c.next + 16, c.next / 0x10000 * 0x10000 + 0x10000), newPage);
    }
}

TEST(RecorderMemoryCommands, EraseBlanksAndRecordsItself) {
    M m;
    m.Set(M::MainSelector, 0x10000, QByteArray(0xF0000, '\x44'));
    m.Set(M::MainSelector, M::CurrentSumAddress, QByteArray(16, '\x44'));
    m.SetEventPointer(0x5000B);
    m.SetSumPointer(0x18000);
    m.SetClock(QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
    m.Erase();
    EXPECT_EQ(m.EventPointer(), 0x30000u);
    EXPECT_EQ(m.SumPointer(), 0x10000u);
    EXPECT_EQ(Hex(m.Get(M::EraseTimeSelector, M::EraseTimeAddress, 5)), "31 12 07 12 26");
    const QByteArray event = m.Get(M::MainSelector, 0x30000, 11);
    EXPECT_EQ(Hex(event), "31 12 07 12 26 FF FF 00 00 00 07");
    EXPECT_EQ(m.Get(M::MainSelector, M::CurrentEventAddress, 11), event);
    EXPECT_TRUE(blank(m, 0x3000B, 0x100000));
    EXPECT_TRUE(blank(m, 0x10000, 0x30000));
    EXPECT_TRUE(blank(m, M::CurrentSumAddress, M::CurrentSumAddress + 16));
}

TEST(RecorderMemoryCommands, ResetBlanksTheSummatorOnly) {
    M m;
    m.Set(M::MainSelector, 0x10000, QByteArray(0xF0000, '\x44'));
    m.SetEventPointer(0x5000B);
    m.SetSumPointer(0x18000);
    m.ResetSummator();
    EXPECT_EQ(m.SumPointer(), 0x10000u);
    EXPECT_EQ(m.EventPointer(), 0x5000Bu);
    EXPECT_TRUE(blank(m, 0x10000, 0x30000));
    EXPECT_EQ(m.Get(M::MainSelector, 0x30000, 1), QByteArray(1, '\x44'));
    EXPECT_TRUE(blank(m, M::CurrentSumAddress, M::CurrentSumAddress + 16));
    // The next record starts the memory again at its first slot.
    ASSERT_TRUE(m.AppendSum(sumRecord(0x02)));
    EXPECT_EQ(m.SumPointer(), 0x10000u);
}

TEST(RecorderMemoryImage, RoundTripKeepsEveryArea) {
    M m;
    for (std::uint32_t a = 0x10000; a < 0x100000; a += 0x1111) {
        m.Set(M::MainSelector, a, QByteArray(1, char(a * 7)));
    }
    m.Set(M::IdentSelector, M::IdentAddress, QByteArray(360, 'x'));
    m.Set(M::EraseTimeSelector, M::EraseTimeAddress, FromHex("00 10 15 03 09"));
    m.SetEventPointer(0x5000B);
    m.SetSumPointer(0x1FFF0);
    m.SetClock(QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
    const QByteArray image = m.ToImage();
    M loaded;
    ASSERT_TRUE(loaded.FromImage(image));
    EXPECT_EQ(loaded.ToImage(), image);
    EXPECT_EQ(loaded.Get(M::MainSelector, 0, 0x100000), m.Get(M::MainSelector, 0, 0x100000));
    EXPECT_EQ(loaded.EventPointer(), 0x5000Bu);
    EXPECT_EQ(Hex(loaded.ClockBytes()), "31 12 07 12 26");
}

TEST(RecorderMemoryImage, DamagedImagesAreRefusedAndChangeNothing) {
    M source;
    source.SetEventPointer(0x3000B);
    const QByteArray good = source.ToImage();
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    QByteArray badChunk = good;
    badChunk[40] = char(badChunk[40] + 1); // a byte of the first chunk's data
    const QByteArray cases[] = {QByteArray(), good.left(8), badMagic, badChunk};
    for (const auto& image : cases) {
        M m;
        m.SetEventPointer(0x5000B);
        QString error;
        EXPECT_FALSE(m.FromImage(image, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(m.EventPointer(), 0x5000Bu);
    }
}

TEST(RecorderMemoryImage, ServesOnlyWhatTheImageHoldsWithTheClockStanding) {
    M source;
    source.SetClock(QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
    source.Set(M::MainSelector, 0x3000B, QByteArray(11, 'e'));
    // Cut short in its last chunk (the clock): everything before it loads.
    const QByteArray image = source.ToImage();
    M cut;
    ASSERT_TRUE(cut.FromImage(image.left(image.size() - 2)));
    EXPECT_TRUE(cut.Answers(M::MainSelector, 0x3000B, 11));
    EXPECT_FALSE(cut.Answers(M::ClockSelector, 0, 5));

    // An image of a readout holds only what was read.
    MemoryImage read;
    const QByteArray clock = FromHex("31 12 07 12 26");
    read.Record(M::ClockSelector, 0, reinterpret_cast<const std::uint8_t*>(clock.constData()), 5,
                {});
    read.Record(M::MainSelector, 0x3000B,
                reinterpret_cast<const std::uint8_t*>(QByteArray(11, 'e').constData()), 11, {});
    M served;
    ASSERT_TRUE(served.FromImage(ImageFormat::Serialize(read)));
    EXPECT_TRUE(served.Answers(M::MainSelector, 0x3000B, 11));
    EXPECT_FALSE(served.Answers(M::MainSelector, 0x3000B, 12));
    EXPECT_FALSE(served.Answers(M::PointerSelector, 0, 8));
    EXPECT_EQ(Hex(served.ClockBytes()), "31 12 07 12 26");
    // Standing, not running on from the minute read.
    QThread::msleep(5);
    EXPECT_EQ(served.Clock(), QDateTime(QDate(2026, 12, 7), QTime(12, 31)));
    EXPECT_EQ(served.ToImage(), ImageFormat::Serialize(read));
}

TEST(RecorderMemoryImage, RecordsAppendedToALoadedImageAreServed) {
    MemoryImage read;
    const QByteArray pointers = FromHex("00 03 00 0B 00 01 00 00");
    read.Record(M::PointerSelector, 0, reinterpret_cast<const std::uint8_t*>(pointers.constData()),
                8, {});
    read.Record(M::MainSelector, 0x3000B,
                reinterpret_cast<const std::uint8_t*>(QByteArray(11, 'e').constData()), 11, {});
    M served;
    ASSERT_TRUE(served.FromImage(ImageFormat::Serialize(read)));
    ASSERT_TRUE(served.AppendEvent(QByteArray(11, 'n')));
    EXPECT_EQ(served.EventPointer(), 0x30016u);
    EXPECT_TRUE(served.Answers(M::MainSelector, 0x30016, 11));
    EXPECT_TRUE(served.Answers(M::MainSelector, M::CurrentEventAddress, 11));
    EXPECT_TRUE(served.Answers(M::PointerSelector, 0, 8));
    // What the imaged recorder never gave stays unanswered.
    EXPECT_TRUE(served.Answers(M::MainSelector, 0x3000B, 11));
    EXPECT_FALSE(served.Answers(M::MainSelector, 0x30000, 11));
}
