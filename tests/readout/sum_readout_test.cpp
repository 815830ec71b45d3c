#include "readout_fixture.h"
#include "summator/sum_readout.h"

namespace {

const QDateTime StartedAt(QDate(2009, 3, 7), QTime(9, 5));

std::vector<std::uint32_t> expectedOrder(std::uint32_t pointer, bool wrapped) {
    const SumRange range = SumReadRange(pointer, wrapped);
    std::vector<std::uint32_t> order;
    std::uint32_t a = pointer;
    do {
        order.push_back(a);
        a = PreviousSumSlot(a, wrapped);
    } while (a != range.end - 16 && order.size() <= 8192u); // not past the whole memory
    return order;
}

TEST(SumRangeTest, OrdersOfTheSummatorMemory) {
    EXPECT_EQ(expectedOrder(0x10000, false), (std::vector<std::uint32_t>{0x10000}));
    EXPECT_EQ(expectedOrder(0x10040, false),
              (std::vector<std::uint32_t>{0x10040, 0x10030, 0x10020, 0x10010, 0x10000}));

    const auto low = expectedOrder(0x18000, true);
    EXPECT_EQ(SumReadRange(0x18000, true).end, 0x20000u);
    ASSERT_EQ(low.size(), 2049u + 4096u);
    EXPECT_EQ(low[2048], 0x10000u);
    EXPECT_EQ(low[2049], 0x2FFF0u);
    EXPECT_EQ(low.back(), 0x20000u);

    const auto high = expectedOrder(0x24000, true);
    const SumRange range = SumReadRange(0x24000, true);
    EXPECT_EQ(range.end, 0x30000u);
    EXPECT_EQ(range.progress, 0x14000u);
    ASSERT_EQ(high.size(), 5121u);
    EXPECT_EQ(high.back(), 0x10000u);
}

TEST(SumRangeTest, FinalMessageStartsWithTheReport) {
    EXPECT_EQ(SumFinalMessage({true, true, false}),
              "Данные прочитаны в файлы report.xls, summator.xls, summator.txt");
    EXPECT_EQ(SumFinalMessage({false, true, true}),
              "Данные прочитаны в файлы report.xls, summator.txt, summator.hex");
}

class SumReadoutTest : public ReadoutTest {
protected:
    void readOut(const OutputChoice& files = {}, RatingBasis basis = RatingBasis::Moment,
                 std::int32_t fullScale = 800) {
        readout.Run({files, basis, fullScale}, StartedAt);
        readout.Finish();
    }

    void fillSums(std::uint32_t pointer, bool wrapped) {
        GenerateOptions options;
        options.sumPointer = pointer;
        options.wrapped = wrapped;
        options.events = 0;
        sim.Generate(options);
        sim.SetBytes(5, 29, QByteArray::fromHex("0010150309"));
        sim.ClearRequests();
    }

    SumReadout readout{host, requests, breakRequested, messages, pager, ident};
};

TEST_F(SumReadoutTest, OneRecordAndTheReport) {
    fillSums(0x10000, false);
    readOut();
    EXPECT_EQ(recordReads(), (std::vector<std::uint32_t>{0x10000}));
    EXPECT_EQ(host.progressMaximum, 0);
    EXPECT_EQ(messages.texts(), QStringList{"Данные прочитаны в файлы report.xls, summator.xls"});
    EXPECT_GT(fileLines("report.xls").size(), 21);
    EXPECT_EQ(readout.Rows().Count(), 1);
}

TEST_F(SumReadoutTest, LogOfAFiveRecordReadout) {
    fillSums(0x10040, false);
    readOut({true, true, false});
    EXPECT_EQ(recordReads(),
              (std::vector<std::uint32_t>{0x10040, 0x10030, 0x10020, 0x10010, 0x10000}));
    EXPECT_EQ(
        fileLines("zorvlog.txt"),
        QStringList({"", "7.3.2009 9:5", "Чтение сумматора",
                     "Идентификационная информация прочитана", "Прочитано время 07.12.2026 09:04",
                     "Прочитана последняя запись. Она пуста", "Стартовый адрес 10040h",
                     "Конечный адрес 10000h", "Прочитано время стирания 15.03.2009 10:00"}));
    EXPECT_EQ(messages.texts(),
              QStringList{"Данные прочитаны в файлы report.xls, summator.xls, summator.txt"});
    EXPECT_EQ(host.newestShown, 1);
    EXPECT_EQ(readout.Rows().Count(), 5);
    EXPECT_EQ(readout.EraseTimeText(), "15.03.2009 10:00");
}

TEST_F(SumReadoutTest, WrappedHighPointerEndsAtTheStartOfTheMemory) {
    fillSums(0x24000, true);
    readOut();
    EXPECT_EQ(recordReads(), expectedOrder(0x24000, true));
    EXPECT_EQ(host.progressMaximum, 0x14000);
    // The steps add up to one more record than the maximum: the bar is full.
    EXPECT_GE(host.progress, 0x14000);
    EXPECT_TRUE(fileLines("zorvlog.txt").contains("Конечный адрес 30000h"));
}

TEST_F(SumReadoutTest, WrappedLowPointerGoesOnFromTheTop) {
    fillSums(0x18000, true);
    readOut();
    EXPECT_EQ(recordReads(), expectedOrder(0x18000, true));
    EXPECT_TRUE(fileLines("zorvlog.txt").contains("Конечный адрес 20000h"));
}

TEST_F(SumReadoutTest, InvalidPointersReadNothing) {
    for (auto [pointer, text] : {std::pair{0x30000u, "Прочитан некорректный адрес 00030000h"},
                                 std::pair{0x0FFF0u, "Прочитан некорректный адрес 0000FFF0h"},
                                 std::pair{0x10008u, "Прочитан некорректный адрес 00010008h"}}) {
        sim.SetSumPointer(pointer);
        sim.ClearRequests();
        messages.shown.clear();
        readOut();
        EXPECT_TRUE(recordReads().empty());
        EXPECT_EQ(messages.texts(), QStringList{text});
        EXPECT_EQ(fileLines("zorvlog.txt").last(), text);
    }
}

TEST_F(SumReadoutTest, FailedEraseTimeReadEndsTheReadout) {
    fillSums(0x10040, false);
    link.ReplyTimeout = 0;
    sim.FailNextRequests(29, 5);
    readOut();
    EXPECT_EQ(fileLines("zorvlog.txt").last(), "Не удалось прочитать время стирания. Error 1");
    EXPECT_EQ(messages.texts(), QStringList{"Не удалось прочитать время стирания"});
    EXPECT_TRUE(recordReads().empty());
    EXPECT_EQ(link.ReplyTimeout, 5);
}

TEST_F(SumReadoutTest, RecordFailingThreeTimesSlowsTheRestOfTheReadout) {
    fillSums(0x10040, false);
    link.ReplyTimeout = 0;
    sim.FailNextRequests(0x10030, 3 * 5); // three attempts of five tries each
    readOut();
    const QStringList log = fileLines("zorvlog.txt");
    const int first =
        static_cast<int>(log.indexOf("Прочитано время стирания 15.03.2009 10:00")) + 1;
    EXPECT_EQ(log.mid(first),
              QStringList({"Не удалось прочитать данные по адресу 10030h. Error 1", "2-я попытка",
                           "Не удалось прочитать данные по адресу 10030h. Error 1", "3-я попытка",
                           "Не удалось прочитать данные по адресу 10030h. Error 1",
                           "Введена пауза 1мс."}));
    EXPECT_EQ(readout.Rows().Count(), 5);
}

TEST_F(SumReadoutTest, HundredPercentValueChangedDuringTheReadoutAppliesFromThen) {
    fillSums(0x10400, false);
    int maxMoment = 60000;
    host.onProgress = [&maxMoment](int) { maxMoment = 0; };
    SumReadoutChoice choice;
    choice.fullScale = 800;
    choice.fullScaleSource = &maxMoment;
    readout.Run(choice, StartedAt);
    readout.Finish();

    // With no record above 60000 and every later one rated against 0, all
    // rated cycles but the first are in the top class.
    const auto& classes = readout.Spectrum().LoadClasses();
    int rated = 0;
    for (const TRepoSum& c : classes)
        rated += c.count;
    ASSERT_GT(rated, 1);
    EXPECT_GE(classes[0].count, rated - 1);
    EXPECT_LT(classes[0].count, rated);
    EXPECT_TRUE(fileLines("report.xls").contains("100% момент = 0"));
}

TEST_F(SumReadoutTest, BreakWritesNoReport) {
    fillSums(0x10400, false);
    host.onProgress = [this](int value) {
        if (value >= 16 * 3)
            breakRequested = true;
    };
    readOut();
    EXPECT_EQ(messages.texts(), QStringList{"Чтение данных прервано"});
    EXPECT_TRUE(fileLines("zorvlog.txt").last().startsWith("Прервано чтение данных по адресу "));
    EXPECT_TRUE(fileText("report.xls").isEmpty());
}

} // namespace
