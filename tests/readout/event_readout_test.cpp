#include "readout/event_readout.h"
#include "readout_fixture.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));

// Walks the order of a readout with the same rules as the readout, for
// comparison with what the recorder saw. A walk that would never end stops
// one slot past the whole memory.
std::vector<std::uint32_t> expectedOrder(std::uint32_t pointer, bool wrapped) {
    const EventRange range = EventReadRange(pointer, wrapped);
    std::vector<std::uint32_t> order;
    std::uint32_t a = pointer;
    do {
        order.push_back(a);
        a = PreviousEventSlot(a, wrapped);
    } while (a != range.end - 20 && order.size() <= 13u * 5957u);
    return order;
}

TEST(EventRangeTest, OrderFollowsThePagesDownwards) {
    EXPECT_EQ(expectedOrder(0x3000B, false), (std::vector<std::uint32_t>{0x3000B, 0x30000}));
    EXPECT_EQ(expectedOrder(0x30000, false), (std::vector<std::uint32_t>{0x30000}));

    const auto fromPage4 = expectedOrder(0x40000, false);
    ASSERT_EQ(fromPage4.size(), 1u + 5957u);
    EXPECT_EQ(fromPage4[1], 0x3FFECu);
    EXPECT_EQ(fromPage4[2], 0x3FFE1u);
    EXPECT_EQ(fromPage4.back(), 0x30000u);
}

TEST(EventRangeTest, WrappedMemoryContinuesFromTheTopDownToThePageAbove) {
    const EventRange range = EventReadRange(0x5000B, true);
    EXPECT_EQ(range.end, 0x60000u);
    EXPECT_EQ(range.progress, 0xC000Bu);
    const auto order = expectedOrder(0x5000B, true);
    EXPECT_EQ(order[0], 0x5000Bu);
    EXPECT_EQ(order[1], 0x50000u);
    EXPECT_EQ(order[2], 0x4FFECu);
    const auto top = std::find(order.begin(), order.end(), 0xFFFECu);
    ASSERT_NE(top, order.end());
    EXPECT_EQ(*(top - 1), 0x30000u);
    EXPECT_EQ(order.back(), 0x60000u);
    // Every slot but those of the pointer's page above it, once.
    EXPECT_EQ(order.size(), 2u + 12u * 5957u);

    const auto fromTopPage = expectedOrder(0xF0000, true);
    EXPECT_EQ(fromTopPage.back(), 0x30000u);
}

TEST(EventRangeTest, FinalMessageNamesTheFiles) {
    EXPECT_EQ(EventFinalMessage({true, false, false}), "Данные прочитаны в файл zorvan.xls");
    EXPECT_EQ(EventFinalMessage({false, true, false}), "Данные прочитаны в файл zorvan.txt");
    EXPECT_EQ(EventFinalMessage({true, false, true}),
              "Данные прочитаны в файлы zorvan.xls, zorvan.hex");
    EXPECT_EQ(EventFinalMessage({true, true, true}),
              "Данные прочитаны в файлы zorvan.xls, zorvan.txt, zorvan.hex");
    EXPECT_EQ(EventFinalMessage({false, true, true}),
              "Данные прочитаны в файлы zorvan.txt, zorvan.hex");
}

class EventReadoutTest : public ReadoutTest {
protected:
    void readOut(const OutputChoice& choice = {}, bool withReach = false) {
        EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
        readout.Run(choice, withReach, StartedAt);
        readout.Finish();
    }

    void fillEvents(std::uint32_t pointer, bool wrapped) {
        GenerateOptions options;
        options.eventPointer = pointer;
        options.wrapped = wrapped;
        options.sums = 0;
        sim.Generate(options);
        sim.ClearRequests();
    }

    MessageTexts texts = MessageTexts::Defaults();
};

TEST_F(EventReadoutTest, CleanReadoutLogsEveryStep) {
    fillEvents(0x3000B, false);
    sim.SetBytes(4, 0x3000B, QByteArray::fromHex("0714251209050C01008041"));
    readOut();

    EXPECT_EQ(
        fileLines("zorvlog.txt"),
        QStringList({"", "7.12.2026 9:5", "Чтение черного ящика",
                     "Идентификационная информация прочитана", "Прочитано время 07.12.2026 09:04",
                     "Прочитана последняя запись. Она пуста", "Стартовый адрес 3000Bh",
                     "Конечный адрес 30000h"}));
    EXPECT_EQ(recordReads(), (std::vector<std::uint32_t>{0x3000B, 0x30000}));
    EXPECT_EQ(host.progressMaximum, 11);
    EXPECT_EQ(host.newestShown, 1);
    EXPECT_TRUE(host.readoutColour);
    EXPECT_EQ(host.status[1], " Стартовый адрес 3000Bh");
    EXPECT_EQ(host.status[2], " Конечный адрес 30000h");
    EXPECT_TRUE(host.status[0].startsWith(" Чтение записи от "));
    EXPECT_TRUE(host.status[0].endsWith(" по адресу 30000h"));
    EXPECT_EQ(messages.texts(), QStringList{"Данные прочитаны в файл zorvan.xls"});
    EXPECT_TRUE(QFile::exists("zorvan.xls"));
    EXPECT_FALSE(QFile::exists("zorvan.txt"));
    EXPECT_FALSE(QFile::exists("zorvan.hex"));

    // The request order: identification, clock, last slot, pointers, records.
    const auto seen = sim.Requests();
    ASSERT_EQ(seen.size(), 36u + 1u + 1u + 1u + 2u);
    EXPECT_EQ(seen[35].address, 1888u);
    EXPECT_EQ(seen[36].selector, 7);
    EXPECT_EQ(seen[37].address, 0xFFFECu);
    EXPECT_EQ(seen[38].selector, 6);
}

TEST_F(EventReadoutTest, LogGrowsFromReadoutToReadout) {
    fillEvents(0x30000, false);
    readOut();
    readOut();
    const QStringList log = fileLines("zorvlog.txt");
    EXPECT_EQ(log.count("Чтение черного ящика"), 2);
    EXPECT_EQ(log.count("Конечный адрес 30000h"), 2);
}

TEST_F(EventReadoutTest, SingleRecordAtTheStartOfTheMemory) {
    fillEvents(0x30000, false);
    readOut();
    EXPECT_EQ(recordReads(), (std::vector<std::uint32_t>{0x30000}));
    EXPECT_EQ(host.progressMaximum, 0);
}

TEST_F(EventReadoutTest, RejectedPointersReadNothing) {
    struct Case {
        std::uint32_t pointer;
        const char* text;
    };
    for (const Case& c : {Case{0x2FFFF, "Прочитан некорректный адрес 0002FFFFh"},
                          Case{0x100000, "Прочитан некорректный адрес 00100000h"},
                          Case{0x3FFF7, "Прочитан некорректный адрес 0003FFF7h"},
                          Case{0x30005, "Прочитан некорректный адрес 00030005h"}}) {
        sim.SetEventPointer(c.pointer);
        sim.ClearRequests();
        messages.shown.clear();
        readOut();
        EXPECT_TRUE(recordReads().empty());
        EXPECT_EQ(messages.texts(), QStringList{c.text});
        EXPECT_EQ(fileLines("zorvlog.txt").last(), c.text);
    }
}

TEST_F(EventReadoutTest, RecordFailingTwiceIsRetriedWithoutPause) {
    fillEvents(0x30016, false);
    sim.FailNextRequests(0x3000B, 2 * 5); // two attempts of five tries each
    link.ReplyTimeout = 0;
    readOut();
    const QStringList log = fileLines("zorvlog.txt");
    const int first = static_cast<int>(log.indexOf("Конечный адрес 30000h")) + 1;
    EXPECT_EQ(log.mid(first),
              QStringList({"Не удалось прочитать данные по адресу 3000Bh. Error 1", "2-я попытка",
                           "Не удалось прочитать данные по адресу 3000Bh. Error 1"}));
    EXPECT_EQ(recordReads().size(), 3u + 10u); // 5 tries for each failed attempt
    EXPECT_EQ(messages.texts(), QStringList{"Данные прочитаны в файл zorvan.xls"});
}

TEST_F(EventReadoutTest, ThirdFailureIntroducesAPauseThatStays) {
    fillEvents(0x30016, false);
    sim.FailNextRequests(0x30016, 3 * 5); // three attempts of five tries each
    link.ReplyTimeout = 0;
    readOut();
    const QStringList log = fileLines("zorvlog.txt");
    const int first = static_cast<int>(log.indexOf("Конечный адрес 30000h")) + 1;
    EXPECT_EQ(log.mid(first),
              QStringList({"Не удалось прочитать данные по адресу 30016h. Error 1", "2-я попытка",
                           "Не удалось прочитать данные по адресу 30016h. Error 1", "3-я попытка",
                           "Не удалось прочитать данные по адресу 30016h. Error 1",
                           "Введена пауза 1мс."}));
    EXPECT_EQ(messages.texts(), QStringList{"Данные прочитаны в файл zorvan.xls"});
}

TEST_F(EventReadoutTest, TenFailuresEndTheReadoutWithWhatWasRead) {
    fillEvents(0x30016, false);
    sim.FailNextRequests(0x3000B, 1000);
    link.ReplyTimeout = 0;
    readOut({true, false, true});
    const QStringList log = fileLines("zorvlog.txt");
    EXPECT_EQ(log.count("Не удалось прочитать данные по адресу 3000Bh. Error 1"), 11);
    EXPECT_TRUE(log.contains("10-я попытка"));
    EXPECT_TRUE(log.contains("Введена пауза 5мс."));
    EXPECT_FALSE(log.contains("Введена пауза 6мс."));
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать данные"});
    // The newest record, read before the failure, is on disk.
    EXPECT_EQ(fileLines("zorvan.hex").size(), 1);
    EXPECT_TRUE(fileLines("zorvan.hex").first().startsWith("30016: "));
}

TEST_F(EventReadoutTest, BreakStopsAfterTheCurrentRecord) {
    fillEvents(0x30000 + 11 * 40, false);
    host.onProgress = [this](int value) {
        if (value >= 11 * 5)
            breakRequested = true;
    };
    readOut({false, false, true});
    const QStringList log = fileLines("zorvlog.txt");
    EXPECT_TRUE(log.last().startsWith("Прервано чтение данных по адресу "));
    EXPECT_EQ(messages.texts(), QStringList{"Чтение данных прервано"});
    EXPECT_EQ(fileLines("zorvan.hex").size(), 5);
}

TEST_F(EventReadoutTest, VanishedRecorderEndsTheReadoutWithItsRecordsOnDisk) {
    fillEvents(0x30000 + 11 * 40, false);
    link.ReplyTimeout = 0;
    // Identification, clock, last slot and pointers, then seven records.
    sim.SetFaults({.vanishAfter = 36 + 3 + 7});
    readOut({true, true, true});
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать данные"});
    EXPECT_EQ(fileLines("zorvan.hex").size(), 7);
    // The print file is complete: one numbered page.
    EXPECT_EQ(fileLines("zorvan.txt").last(), "                           Страница 1");
}

TEST_F(EventReadoutTest, WriteErrorIsShownOnceAndTheReadoutGoesOn) {
    fillEvents(0x30000 + 11 * 30, false);
    ASSERT_TRUE(QFile::link("/dev/full", "zorvan.xls"));
    readOut({true, false, true});
    const QStringList shown = messages.texts();
    EXPECT_EQ(shown.count("Ошибка записи в файл zorvan.xls"), 1);
    EXPECT_EQ(shown.last(), "Данные прочитаны в файлы zorvan.xls, zorvan.hex");
    EXPECT_EQ(fileLines("zorvan.hex").size(), 31);
    EXPECT_GE(fileLines("zorvlog.txt").count("Ошибка записи в файл zorvan.xls"), 2);
}

TEST_F(EventReadoutTest, FailedClockReadStopsBeforeAnyRecord) {
    fillEvents(0x3000B, false);
    link.ReplyTimeout = 0;
    sim.FailNextRequests(0, 5); // the clock
    readOut({false, true, false});
    EXPECT_EQ(fileLines("zorvlog.txt").last(), "Не удалось прочитать время. Error 1");
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать время"});
    EXPECT_TRUE(recordReads().empty());
    const QStringList print = fileLines("zorvan.txt");
    ASSERT_EQ(print.size(), 57);
    EXPECT_EQ(print.last(), "                           Страница 1");
}

TEST_F(EventReadoutTest, FullWrappedMemoryArrivesOnceAndInOrder) {
    const std::uint32_t pointer = 0x58001; // mid-page
    fillEvents(pointer, true);
    QElapsedTimer t;
    t.start();
    readOut({true, true, true}, true);
    const auto order = expectedOrder(pointer, true);
    EXPECT_EQ(recordReads(), order);
    const QStringList hex = fileLines("zorvan.hex");
    ASSERT_EQ(hex.size(), static_cast<qsizetype>(order.size()));
    for (std::size_t i = 0; i < order.size(); i += 997) {
        const QByteArray bytes = sim.Bytes(4, order[i], 11);
        QString line = Hex5(order[i]) + ": ";
        for (char b : bytes)
            line += QStringLiteral("%1 ")
                        .arg(static_cast<std::uint8_t>(b), 2, 16, QLatin1Char('0'))
                        .toUpper();
        ASSERT_EQ(hex[static_cast<qsizetype>(i)], line) << i;
    }
    EXPECT_EQ(messages.texts(),
              QStringList{"Данные прочитаны в файлы zorvan.xls, zorvan.txt, zorvan.hex"});
    std::printf("full wrapped event readout: %zu records in %lld ms\n", order.size(), t.elapsed());
}

} // namespace
