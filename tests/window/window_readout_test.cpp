// The readouts and the erase commands started from the window, against the
// recorder simulator.

#include "link/tick_timer.h"
#include "simulator/recorder_sim.h"
#include "summator/word_report.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QStringDecoder>
#include <QTimer>

namespace {

class WindowReadoutTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        TZorvan& w = OpenWindow();
        w.show();
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    QStringList runFile(const QString& name) const {
        QFile f(QDir(window->RunFolder()).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<missing>")};
        QStringDecoder decoder("windows-1251");
        const QString text = decoder(f.readAll());
        QStringList lines = text.split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    std::vector<std::uint8_t> commands() const {
        std::vector<std::uint8_t> out;
        for (const auto& r : sim.Requests())
            out.push_back(r.command);
        return out;
    }

    std::vector<std::uint32_t> readAddresses() const {
        std::vector<std::uint32_t> out;
        for (const auto& r : sim.Requests())
            if (r.command == 4)
                out.push_back(r.address);
        return out;
    }

    RecorderSimulator sim;
};

TEST_F(WindowReadoutTest, EventReadoutWritesTheChosenFilesAndShowsTheNewestRecord) {
    SetTimeScale(20);
    GenerateOptions options;
    options.eventPointer = 0x3000B;
    sim.Generate(options);
    sim.SetBytes(4, 0x3000B, QByteArray::fromHex("0714251209050C01008041"));
    TZorvan& w = *window;
    w.ETxtBox->setChecked(true);
    w.ReadMemButton->click();
    EXPECT_EQ(gateway.texts(), QStringList{"Данные прочитаны в файлы zorvan.xls, zorvan.txt"});
    EXPECT_EQ(w.EdatePanel->text(), "25.12.2009");
    EXPECT_EQ(w.EReasonPanel->text(), "+ Срабатывание реле 2");
    EXPECT_EQ(w.RealTimePanel->text(), "07.12.2026 09:04");
    const QStringList sheet = runFile("zorvan.xls");
    EXPECT_TRUE(sheet.contains(
        "25.12.2009\t14:07\t5\t12\t\tСрабатывание реле 2\t00000001b\t00000000b\t10000000b"));
    const QStringList print = runFile("zorvan.txt");
    ASSERT_EQ(print.size(), 58);
    EXPECT_EQ(print.last(), "                           Страница 1");
    EXPECT_EQ(runFile("zorvlog.txt").last(), "Конечный адрес 30000h");
    ExpectIdle(w);
}

TEST_F(WindowReadoutTest, SummatorReadoutWritesFilesReportAndPanel) {
    SetTimeScale(20);
    GenerateOptions options;
    options.sumPointer = 0x10040;
    sim.Generate(options);
    sim.SetBytes(4, 0x10040, QByteArray::fromHex("25140703090012340001F40003E80C05"));
    sim.SetBytes(5, 29, QByteArray::fromHex("0010150309"));
    TZorvan& w = *window;
    w.ReadSumButton->click();
    EXPECT_EQ(gateway.texts(), QStringList{"Данные прочитаны в файлы report.xls, summator.xls"});
    EXPECT_EQ(w.DatePanel->text(), "07.03.2009");
    EXPECT_EQ(w.TimeSumPanel->text(), "4660");
    EXPECT_EQ(w.MomentPanel->text(), "60");
    EXPECT_EQ(w.EraseTimeText, "15.03.2009 10:00");
    EXPECT_GT(runFile("report.xls").size(), 30);
    EXPECT_EQ(runFile("zorvlog.txt").last(), "Прочитано время стирания 15.03.2009 10:00");
    ExpectIdle(w);
}

TEST_F(WindowReadoutTest, ClosingDuringAReadoutStopsItAndKeepsTheRecords) {
    SetTimeScale(20);
    GenerateOptions options;
    options.wrapped = true;
    options.eventPointer = 0x58001;
    sim.Generate(options);
    TZorvan& w = *window;
    w.EHexBox->setChecked(true);
    // The user closes the window while the records flow.
    int valueAtClose = 0;
    QTimer::singleShot(2000, &w, [&w, &valueAtClose] {
        valueAtClose = w.ReadBar->value();
        w.close();
    });
    w.ReadMemButton->click();
    ASSERT_GT(valueAtClose, 11 * 200) << "the readout should have been running";
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 5000));
    EXPECT_EQ(gateway.texts(), QStringList{"Чтение данных прервано"});
    EXPECT_TRUE(runFile("zorvlog.txt").last().startsWith("Прервано чтение данных по адресу "));
    const QStringList hex = runFile("zorvan.hex");
    EXPECT_GT(hex.size(), 200);
    EXPECT_TRUE(hex.first().startsWith("58001: "));
    EXPECT_FALSE(w.Port.Open());
}

TEST_F(WindowReadoutTest, PulledAdapterEndsTheReadoutQuicklyAndAPluggedOneWorksAgain) {
    SetTimeScale(20);
    GenerateOptions options;
    options.eventPointer = 0x30000 + 11 * 40;
    sim.Generate(options);
    TZorvan& w = *window;
    w.EHexBox->setChecked(true);
    // Identification, clock, last slot and pointers, then seven records.
    sim.SetFaults({.vanishAfter = 36 + 3 + 7});
    // On the link's clock, which keeps every limit and pause in proportion.
    std::int64_t lastRecordAt = 0;
    QObject::connect(w.ReadBar, &QProgressBar::valueChanged, &w, [&lastRecordAt](int value) {
        if (value > 0)
            lastRecordAt = MonotonicMs();
    });
    w.ReadMemButton->click();
    const std::int64_t afterLoss = MonotonicMs() - lastRecordAt;
    EXPECT_LT(afterLoss, 15000) << "limits of a device that is gone were waited out";
    EXPECT_EQ(gateway.texts(), QStringList{"Не удалось прочитать данные"});
    EXPECT_EQ(runFile("zorvan.hex").size(), 7);
    const QStringList log = runFile("zorvlog.txt");
    const qsizetype lost = log.indexOf("Порт COM1 закрыт: устройство отключено");
    ASSERT_GT(lost, 0);
    EXPECT_EQ(log.count("Порт COM1 закрыт: устройство отключено"), 1);
    // Told before the first failure that follows it; the rest of the log is as ever.
    EXPECT_EQ(log[lost + 1], "Не удалось прочитать данные по адресу 3016Bh. Error 1");
    EXPECT_EQ(log.last(), log[lost + 1]);
    ExpectIdle(w);

    // The adapter is plugged in again on the same COM link.
    sim.Stop();
    sim.SetFaults({});
    ASSERT_TRUE(sim.Start());
    BindPort(1, sim.DevicePath());
    gateway.shown.clear();
    w.ReadMemButton->click();
    EXPECT_EQ(gateway.texts(), QStringList{"Данные прочитаны в файлы zorvan.xls, zorvan.hex"});
    EXPECT_EQ(runFile("zorvan.hex").size(), 41);
    ExpectIdle(w);
}

TEST_F(WindowReadoutTest, EraseAskedNoSendsNothingAndOpensNoPort) {
    gateway.answerYes = false;
    window->ClearMemButtonClick();
    window->ClearSumButtonClick();
    EXPECT_EQ(gateway.questions,
              QStringList({"Вы действительно хотите стереть все записи черного ящика и сумматора?",
                           "Вы действительно хотите стереть все записи сумматора?"}));
    EXPECT_TRUE(sim.ReceivedBytes().isEmpty());
    EXPECT_TRUE(gateway.shown.empty());
    ExpectIdle(*window);
}

TEST_F(WindowReadoutTest, EraseSucceedsAndRefreshesSummatorThenEvents) {
    TZorvan& w = *window;
    w.ClearMemButtonClick();
    EXPECT_EQ(sim.ReceivedBytes().left(3), QByteArray::fromHex("010AF5"));
    EXPECT_EQ(gateway.texts(), QStringList{"Память очищена!"});
    EXPECT_EQ(commands(), (std::vector<std::uint8_t>{0x0A, 4, 4}));
    EXPECT_EQ(readAddresses(), (std::vector<std::uint32_t>{35, 120}));
    // The recorder noted its erase as the newest event.
    EXPECT_EQ(w.EReasonPanel->text(), "+ Стирание записей");
    EXPECT_EQ(w.Link.ReplyTimeout, 5);
    ExpectIdle(w);
}

TEST_F(WindowReadoutTest, SummatorResetIsItsOwnFrame) {
    window->ClearSumButtonClick();
    EXPECT_EQ(sim.ReceivedBytes().left(3), QByteArray::fromHex("010BF4"));
    EXPECT_EQ(gateway.texts(), QStringList{"Сумматор очищен!"});
    EXPECT_EQ(readAddresses(), (std::vector<std::uint32_t>{35, 120}));
    EXPECT_EQ(window->Link.ReplyTimeout, 5);
}

TEST_F(WindowReadoutTest, WrongAcknowledgementRefreshesNothing) {
    sim.SetFaults({.badChecksum = true});
    window->ClearMemButtonClick();
    EXPECT_EQ(gateway.texts(), QStringList{"Неверный ответ регистратора"});
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(commands(), (std::vector<std::uint8_t>{0x0A}));
    EXPECT_EQ(window->Link.ReplyTimeout, 5);
    ExpectIdle(*window);
}

TEST_F(WindowReadoutTest, SlowAcknowledgementWithinItsThirtySecondsSucceeds) {
    sim.SetFaults({.eraseAckDelayMs = 5600}); // past the normal 5 s limit
    QElapsedTimer t;
    t.start();
    window->ClearSumButtonClick();
    EXPECT_GE(t.elapsed(), 5600);
    EXPECT_EQ(gateway.texts().first(), "Сумматор очищен!");
    EXPECT_EQ(window->Link.ReplyTimeout, 5);
}

TEST_F(WindowReadoutTest, WordReportBeforeAnySummatorReadoutIsRefused) {
    window->Button1Click();
    EXPECT_EQ(gateway.texts(), QStringList{WordReportNoData});
    EXPECT_TRUE(sim.ReceivedBytes().isEmpty());
    EXPECT_FALSE(QFile::exists(QDir(QCoreApplication::applicationDirPath()).filePath("list.doc")));
}

} // namespace
