// The window talking to the recorder simulator: single refreshes, the clock,
// the automatic refresh, the bracket around each, and a port that is missing.

#include "app/time_form.h"
#include "decoding/event_panel.h"
#include "simulator/recorder_sim.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QSpinBox>

#include <cstdint>
#include <vector>

namespace {
QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QColor Background(const QLabel* panel) {
    return panel->palette().color(QPalette::Window);
}

const QColor kRed(255, 0, 0);

// Read requests as (address, length, selector).
struct Read {
    std::uint32_t address;
    std::uint16_t length;
    std::uint8_t selector;
    bool operator==(const Read&) const = default;
};
const Read kSumRead{35, 16, 4};
const Read kEventRead{120, 11, 4};
const Read kClockRead{0, 5, 7};

std::vector<Read> Reads(const RecorderSimulator& sim) {
    std::vector<Read> reads;
    for (const auto& r : sim.Requests()) {
        if (r.command == 0x04)
            reads.push_back({r.address, r.length, r.selector});
    }
    return reads;
}
} // namespace

class RecorderWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        TZorvan& w = OpenWindow();
        // A silent recorder costs 10 ticks per byte instead of 5 s.
        w.Link.ReplyTimeout = 0;
        w.show();
    }

    void TearDown() override {
        WindowTest::TearDown();
        sim.Stop();
    }

    RecorderSimulator sim;
};

// ---- the event and summator panels

TEST_F(RecorderWindowTest, EventRefreshReadsOnlyTheCurrentEvent) {
    sim.SetBytes(4, 120, Bytes({0x31, 0x12, 0x07, 0x12, 0x26, 0x0C, 0x05, 0x01, 0x00, 0x80, 0x41}));
    TZorvan& w = *window;
    w.ERefreshButton->click();
    EXPECT_TRUE(gateway.shown.empty()) << gateway.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w.EdatePanel->text(), QStringLiteral("07.12.2026"));
    EXPECT_EQ(Reads(sim), std::vector<Read>{kEventRead});
    ExpectIdle(w);
}

TEST_F(RecorderWindowTest, EditedTextsAreUsedByTheNextEvent) {
    sim.SetBytes(4, 120, Bytes({0x31, 0x12, 0x07, 0x12, 0x26, 0x0C, 0x05, 0x01, 0x00, 0x80, 0x41}));
    TZorvan& w = *window;
    w.Texts.relay[1] = QStringLiteral("Перегрузка");
    w.ERefreshButton->click();
    EXPECT_TRUE(w.EReasonPanel->text().contains(QStringLiteral("Перегрузка")));
}

TEST_F(RecorderWindowTest, SummatorRefreshReadsOnlyTheCurrentRecord) {
    sim.SetBytes(4, 35,
                 Bytes({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01, 0xF4, 0x00,
                        0x03, 0xE8, 0x0C, 0x05}));
    TZorvan& w = *window;
    w.RefreshButton->click();
    EXPECT_TRUE(gateway.shown.empty()) << gateway.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w.MomentPanel->text(), QStringLiteral("60"));
    EXPECT_EQ(Reads(sim), std::vector<Read>{kSumRead});
    ExpectIdle(w);
}

TEST_F(RecorderWindowTest, FailedRefreshKeepsThePanelsAndReportsOnce) {
    sim.SetBytes(4, 35,
                 Bytes({0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01, 0xF4, 0x00,
                        0x03, 0xE8, 0x0C, 0x05}));
    sim.SetBytes(4, 120, Bytes({0x31, 0x12, 0x07, 0x12, 0x26, 0x0C, 0x05, 0x01, 0x00, 0x80, 0x41}));
    TZorvan& w = *window;
    w.RefreshButton->click();
    w.ERefreshButton->click();
    ASSERT_TRUE(gateway.shown.empty());

    RecorderSimulator::Faults faults;
    faults.silent = true;
    sim.SetFaults(faults);
    w.RefreshButton->click();
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(gateway.shown[0].text, QStringLiteral("Не удалось обновить панель сумматора"));
    EXPECT_EQ(w.DatePanel->text(), QStringLiteral("07.03.2009"));
    EXPECT_EQ(w.MomentPanel->text(), QStringLiteral("60"));
    ExpectIdle(w);

    w.ERefreshButton->click();
    ASSERT_EQ(gateway.shown.size(), 2u);
    EXPECT_EQ(gateway.shown[1].text, QStringLiteral("Не удалось обновить панель событий 1"));
    EXPECT_EQ(w.EdatePanel->text(), QStringLiteral("07.12.2026"));
    EXPECT_EQ(Background(w.RelayPanel[0]), kRed);
    ExpectIdle(w);
}

// ---- the bracket as the user sees it during an exchange

TEST_F(RecorderWindowTest, ExchangeGreysTheOperationControlsOnly) {
    TZorvan& w = *window;
    gateway.onInform = [&w] {
        EXPECT_TRUE(w.OperationRunning());
        EXPECT_TRUE(w.Port.Open());
        EXPECT_EQ(w.StatusColour(), QColor(255, 0, 0));
        EXPECT_EQ(w.StatusPanel[0]->text(), QStringLiteral(" Обращение к регистратору"));
        EXPECT_TRUE(w.BreakButton->isEnabled());
        for (const QWidget* control : w.OperationControls())
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_FALSE(w.AutoBox->isEnabled());
        // These stay usable during an exchange.
        for (const QWidget* control :
             {static_cast<QWidget*>(w.MaxSpin), static_cast<QWidget*>(w.SexSpin),
              static_cast<QWidget*>(w.OGPButton), static_cast<QWidget*>(w.RELButton),
              static_cast<QWidget*>(w.DIGButton), static_cast<QWidget*>(w.RegButton)})
            EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_FALSE(w.TimeForm->TimeSetButton->isEnabled());
    };
    RecorderSimulator::Faults faults;
    faults.silent = true;
    sim.SetFaults(faults);
    w.ReadTimeButton->click(); // the failure message is shown while the bracket is open
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].text, QStringLiteral("Не удалось прочитать время"));
    ExpectIdle(w);
    EXPECT_TRUE(w.TimeForm->TimeSetButton->isEnabled());
}

TEST_F(RecorderWindowTest, BreakEndsTheWaitingExchange) {
    TZorvan& w = *window;
    RecorderSimulator::Faults faults;
    faults.silent = true;
    sim.SetFaults(faults);
    w.Link.ReplyTimeout = 5; // long enough that only Break can end it soon
    QTimer::singleShot(300, &w, [&w] { w.BreakButton->click(); });
    QElapsedTimer clock;
    clock.start();
    w.RefreshButton->click();
    EXPECT_LT(clock.elapsed(), 4000);
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].text, QStringLiteral("Не удалось обновить панель сумматора"));
    ExpectIdle(w);
}

// ---- the recorder clock

TEST_F(RecorderWindowTest, ClockReadShowsTheRecordersTime) {
    sim.SetBytes(7, 0, Bytes({0x59, 0x23, 0x31, 0x12, 0x99}));
    TZorvan& w = *window;
    w.ReadTimeButton->click();
    EXPECT_TRUE(gateway.shown.empty());
    EXPECT_EQ(w.RealTimePanel->text(), QStringLiteral("31.12.2099 23:59"));
    EXPECT_EQ(w.ClockText, w.RealTimePanel->text());
    EXPECT_EQ(Reads(sim), std::vector<Read>{kClockRead});
    ExpectIdle(w);
}

TEST_F(RecorderWindowTest, ClockWriteIsFollowedByTheEventAndClockReads) {
    TZorvan& w = *window;
    w.TimeButton->click();
    TTimeForm& form = *w.TimeForm;
    ASSERT_TRUE(form.isVisible());
    form.DateEdit1->setDate(QDate(2026, 12, 7));
    form.HourSpin->setValue(12);
    form.MinuteSpin->setValue(31);

    bool probed = false;
    gateway.onInform = [&] {
        if (probed)
            return;
        probed = true;
        EXPECT_EQ(w.StatusColour(), QColor(0, 255, 0));
        EXPECT_EQ(w.StatusTextColour(), QColor(Qt::white));
        EXPECT_EQ(w.StatusPanel[0]->text(), QStringLiteral("Установка времени"));
    };
    sim.ClearReceived();
    form.TimeSetButton->click();

    ASSERT_FALSE(gateway.shown.empty());
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(gateway.shown[0].text, QStringLiteral("Время установлено!"));
    EXPECT_EQ(gateway.shown.size(), 1u) << gateway.texts().join(QLatin1Char('|')).toStdString();

    // The frame after the wake byte, with its checksum making the sum 0xFF.
    QByteArray frame =
        Bytes({0x05, 0x00, 0x00, 0x00, 0x04, 0x31, 0x12, 0x07, 0x12, 0x26, 0x00, 0x00, 0x00});
    int sum = 0;
    for (char c : frame)
        sum += static_cast<std::uint8_t>(c);
    frame.append(static_cast<char>(0xFF - (sum & 0xFF)));
    EXPECT_TRUE(sim.ReceivedBytes().startsWith(QByteArray(1, '\x01') + frame))
        << sim.ReceivedBytes().toHex(' ').toStdString();

    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].command, 0x05);
    EXPECT_EQ(requests[0].frame, frame);
    EXPECT_EQ((Reads(sim)), (std::vector<Read>{kEventRead, kClockRead}));
    EXPECT_TRUE(w.RealTimePanel->text().startsWith(QStringLiteral("07.12.2026 12:3")))
        << w.RealTimePanel->text().toStdString();
    EXPECT_FALSE(form.isVisible());
    ExpectIdle(w);
    EXPECT_EQ(w.StatusTextColour(), QApplication::palette().color(QPalette::WindowText));
}

TEST_F(RecorderWindowTest, RejectedClockWriteSkipsTheReadsAndClosesTheDialog) {
    TZorvan& w = *window;
    w.TimeButton->click();
    RecorderSimulator::Faults faults;
    faults.badChecksum = true;
    sim.SetFaults(faults);
    w.TimeForm->TimeSetButton->click();
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(gateway.shown[0].text, QStringLiteral("Неверный ответ регистратора"));
    EXPECT_TRUE(Reads(sim).empty());
    EXPECT_FALSE(w.TimeForm->isVisible());
    ExpectIdle(w);
}

// ---- the automatic refresh

TEST_F(RecorderWindowTest, AutomaticRefreshRunsRoundsWithoutOverlapAndEndsOnAFailure) {
    TZorvan& w = *window;
    // A slow recorder: a round takes well over the 1 s period.
    RecorderSimulator::Faults slow;
    slow.byteDelayMs = 40;
    sim.SetFaults(slow);
    w.AutoBox->click();
    ASSERT_TRUE(w.AutoBox->isChecked());
    EXPECT_TRUE(w.OperationRunning());
    EXPECT_TRUE(w.Timer.isActive());
    EXPECT_EQ(w.Timer.interval(), 1000);
    EXPECT_EQ(w.StatusColour(), TZorvan::AutoRefreshColour());
    EXPECT_TRUE(w.AutoBox->isEnabled());

    ASSERT_TRUE(WaitUntil([&] { return Reads(sim).size() >= 6; }, 15000));
    // Strictly one round after the other: summator, event, clock.
    const std::vector<Read> reads = Reads(sim);
    const Read round[] = {kSumRead, kEventRead, kClockRead};
    for (std::size_t i = 0; i < reads.size(); ++i)
        EXPECT_EQ(reads[i], round[i % 3]) << i;
    EXPECT_TRUE(gateway.shown.empty());

    // A period changed meanwhile counts from the next tick.
    w.SexSpin->setValue(2);
    ASSERT_TRUE(WaitUntil([&] { return w.Timer.interval() == 2000; }, 5000));

    RecorderSimulator::Faults silent;
    silent.silent = true;
    sim.SetFaults(silent);
    ASSERT_TRUE(WaitUntil([&] { return !w.OperationRunning(); }, 20000));
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_TRUE(gateway.shown[0].text.startsWith(QStringLiteral("Не удалось")));
    ExpectIdle(w);
}

TEST_F(RecorderWindowTest, UntickingStopsTheRefreshAtTheNextTick) {
    TZorvan& w = *window;
    w.AutoBox->click();
    ASSERT_TRUE(WaitUntil([&] { return Reads(sim).size() >= 3 && !w.AutoRefreshBusy; }, 5000));
    w.AutoBox->click();
    EXPECT_FALSE(w.AutoBox->isChecked());
    EXPECT_TRUE(w.OperationRunning()); // not at once
    ASSERT_TRUE(WaitUntil([&] { return !w.OperationRunning(); }, 3000));
    EXPECT_TRUE(gateway.shown.empty());
    ExpectIdle(w);
}

TEST_F(RecorderWindowTest, TickingAgainBeforeTheEndKeepsTheRefreshGoing) {
    TZorvan& w = *window;
    w.AutoBox->click();
    ASSERT_TRUE(WaitUntil([&] { return Reads(sim).size() >= 3 && !w.AutoRefreshBusy; }, 5000));
    w.AutoBox->click();
    w.AutoBox->click();
    EXPECT_TRUE(w.AutoBox->isChecked());
    const std::size_t before = Reads(sim).size();
    ASSERT_TRUE(WaitUntil([&] { return Reads(sim).size() >= before + 3; }, 5000));
    EXPECT_TRUE(w.OperationRunning());
    EXPECT_TRUE(gateway.shown.empty());
}

TEST_F(RecorderWindowTest, ClosingBetweenRefreshRoundsEndsAtOnce) {
    TZorvan& w = *window;
    w.AutoBox->click();
    ASSERT_TRUE(WaitUntil([&] { return Reads(sim).size() >= 3 && !w.AutoRefreshBusy; }, 5000));
    const QString runFolder = w.RunFolder();
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    ExpectIdle(w);
    EXPECT_TRUE(QFile::exists(QDir(runFolder).filePath(QStringLiteral("zorvan.ini"))));
    EXPECT_TRUE(gateway.shown.empty());
}

// ---- closing during an exchange

TEST_F(RecorderWindowTest, ClosingDuringAnExchangeWaitsForItsEnd) {
    TZorvan& w = *window;
    RecorderSimulator::Faults faults;
    faults.silent = true;
    sim.SetFaults(faults);
    w.Link.ReplyTimeout = 5;
    bool closedDuring = true;
    QTimer::singleShot(300, &w, [&] {
        w.close();
        closedDuring = !w.isVisible();
    });
    const QString runFolder = w.RunFolder();
    w.ERefreshButton->click();
    EXPECT_FALSE(closedDuring);
    EXPECT_TRUE(w.ClosePending());
    // The exchange was asked to stop and ended as a failure...
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_TRUE(
        gateway.shown[0].text.startsWith(QStringLiteral("Не удалось обновить панель событий")));
    // ...and the window closes once the handler is over.
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 2000));
    ExpectIdle(w);
    EXPECT_TRUE(QFile::exists(QDir(runFolder).filePath(QStringLiteral("zorvan.ini"))));
}

// ---- a port that leads nowhere

class MissingPortTest : public WindowTest {};

TEST_F(MissingPortTest, EveryOperationReportsThePortAndChangesNothing) {
    BindPort(1, QDir(portDir.path()).filePath(QStringLiteral("no-such-device")));
    TZorvan& w = OpenWindow();
    w.show();
    const QString badId = QStringLiteral("ie_BadId - Specified comport doesn't exist");
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"RefreshButton", [&] { w.RefreshButton->click(); }},
        {"ERefreshButton", [&] { w.ERefreshButton->click(); }},
        {"ReadTimeButton", [&] { w.ReadTimeButton->click(); }},
        {"AutoBox", [&] { w.AutoBox->click(); }},
        {"TimeSetButton",
         [&] {
             w.TimeButton->click();
             w.TimeForm->TimeSetButton->click();
         }},
    };
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(name);
        gateway.shown.clear();
        run();
        ASSERT_EQ(gateway.shown.size(), 1u);
        EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(gateway.shown[0].text, badId);
        // After the box, the first status panel lists the ports that exist
        // until the next operation; otherwise the window is as before.
        EXPECT_FALSE(w.StatusPanel[0]->text().isEmpty());
        w.StatusPanel[0]->clear();
        ExpectIdle(w);
    }
    // The clock dialog stays open when its operation could not start.
    EXPECT_TRUE(w.TimeForm->isVisible());
}
