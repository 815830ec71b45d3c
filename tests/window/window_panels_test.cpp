// The event and summator panels filled by their refresh buttons from records
// the recorder simulator holds: the worked examples of both panels.

#include "simulator/recorder_sim.h"
#include "window_fixture.h"

#include <QPushButton>

#include <cstdint>
#include <vector>

namespace {
QByteArray Bytes(const std::vector<int>& values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QColor Background(const QLabel* panel) {
    return panel->palette().color(QPalette::Window);
}

// A recorder on a simulated line, bound as COM1, and a window using it.
class SimulatedRecorder : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        OpenWindow().Link.ReplyTimeout = 0;
    }
    void TearDown() override {
        WindowTest::TearDown();
        sim.Stop();
    }
    RecorderSimulator sim;
};

struct EventExample {
    const char* name;
    std::vector<int> record; // 11 bytes at address 120
    const char* date;
    const char* time;
    const char* weight;
    const char* reach;
    const char* reason;
    bool grey; // power off / on: all state panels in the button face
    int relay, digOut, digIn;
};

void PrintTo(const EventExample& row, std::ostream* os) {
    *os << row.name;
}

const EventExample kEvents[] = {
    {"relay_2_operated",
     {0x31, 0x12, 0x07, 0x12, 0x26, 0x0C, 0x05, 0x01, 0x00, 0x80, 0x41},
     "07.12.2026",
     "12:31",
     "12",
     "5",
     "+ Срабатывание реле 2",
     false,
     0x01,
     0x00,
     0x80},
    {"power_off",
     {0x00, 0x08, 0x01, 0x02, 0x10, 0xFF, 0xFF, 0xFF, 0x0F, 0xF0, 0x03},
     "01.02.2010",
     "08:00",
     "",
     "",
     "+ Отключение питания",
     true,
     0,
     0,
     0},
    {"power_off_ended_is_coloured",
     {0x15, 0x09, 0x20, 0x05, 0x24, 0x0C, 0x05, 0x0F, 0x00, 0xF0, 0x83},
     "20.05.2024",
     "09:15",
     "",
     "",
     "- Отключение питания",
     false,
     0x0F,
     0x00,
     0xF0},
    {"input_3_with_load",
     {0x45, 0x23, 0x28, 0x02, 0x25, 0x20, 0x0A, 0x00, 0x55, 0x04, 0x12},
     "28.02.2025",
     "23:45",
     "32",
     "10",
     "+ Цифровой вход 3",
     false,
     0x00,
     0x55,
     0x04},
    {"erased_slot",
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
     "165.165.20165",
     "165:165",
     "",
     "",
     "- Срабатывание реле 8Цифровой выход 8Цифровой вход 8",
     false,
     0xFF,
     0xFF,
     0xFF},
};

struct SumExample {
    const char* name;
    std::vector<int> record; // 16 bytes at address 35
    const char* date;
    const char* time;
    const char* hours;
    const char* totalWeight;
    const char* cycles;
    const char* weight;
    const char* reach;
    const char* moment;
};

void PrintTo(const SumExample& row, std::ostream* os) {
    *os << row.name;
}

const SumExample kSums[] = {
    {"full_cycle",
     {0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01, 0xF4, 0x00, 0x03, 0xE8, 0x0C,
      0x05},
     "07.03.2009",
     "14:25",
     "4660",
     "500",
     "1000",
     "12",
     "5",
     "60"},
    {"reach_missing",
     {0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01, 0xF4, 0x00, 0x03, 0xE8, 0x0C,
      0xFF},
     "07.03.2009",
     "14:25",
     "4660",
     "500",
     "1000",
     "12",
     "",
     "3060"},
    {"no_cycle",
     {0x25, 0x14, 0x07, 0x03, 0x09, 0x00, 0x12, 0x34, 0x00, 0x01, 0xF4, 0x00, 0x03, 0xE8, 0xFF,
      0xFF},
     "07.03.2009",
     "14:25",
     "4660",
     "500",
     "1000",
     "",
     "",
     ""},
    {"erased",
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF},
     "165.165.20165",
     "165:165",
     "16777215",
     "16777215",
     "16777215",
     "",
     "",
     ""},
};
} // namespace

class EventPanelTest : public SimulatedRecorder,
                       public ::testing::WithParamInterface<EventExample> {};

TEST_P(EventPanelTest, RefreshShowsTheNewestEvent) {
    const EventExample& e = GetParam();
    sim.SetBytes(4, 120, Bytes(e.record));
    TZorvan& w = *window;
    w.ERefreshButton->click();
    EXPECT_TRUE(gateway.shown.empty()) << gateway.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w.EdatePanel->text(), QString::fromUtf8(e.date));
    EXPECT_EQ(w.ETimePanel->text(), QString::fromUtf8(e.time));
    EXPECT_EQ(w.EVeightPanel->text(), QString::fromUtf8(e.weight));
    EXPECT_EQ(w.EArrowPanel->text(), QString::fromUtf8(e.reach));
    EXPECT_EQ(w.EReasonPanel->text(), QString::fromUtf8(e.reason));
    EXPECT_EQ(w.EReasonPanel->toolTip(), QString::fromUtf8(e.reason));
    const struct {
        const std::array<QLabel*, 8>& panels;
        int bits;
    } rows[] = {{w.RelayPanel, e.relay}, {w.DigitPanel, e.digOut}, {w.DigoutPanel, e.digIn}};
    for (const auto& row : rows) {
        for (std::size_t n = 0; n < 8; ++n) {
            const QColor expected = e.grey                ? TZorvan::ButtonFaceColour()
                                    : (row.bits >> n) & 1 ? QColor(255, 0, 0)
                                                          : QColor(0, 128, 0);
            EXPECT_EQ(Background(row.panels[n]), expected)
                << row.panels[n]->objectName().toStdString();
        }
    }
    ExpectIdle(w);
}

INSTANTIATE_TEST_SUITE_P(Examples, EventPanelTest, ::testing::ValuesIn(kEvents),
                         [](const auto& row) { return std::string(row.param.name); });

class SumPanelTest : public SimulatedRecorder, public ::testing::WithParamInterface<SumExample> {};

TEST_P(SumPanelTest, RefreshShowsTheCurrentRecord) {
    const SumExample& s = GetParam();
    sim.SetBytes(4, 35, Bytes(s.record));
    TZorvan& w = *window;
    w.RefreshButton->click();
    EXPECT_TRUE(gateway.shown.empty()) << gateway.texts().join(QLatin1Char('|')).toStdString();
    const std::pair<const QLabel*, const char*> panels[] = {
        {w.DatePanel, s.date},       {w.TimePanel, s.time},
        {w.TimeSumPanel, s.hours},   {w.VeightSumPanel, s.totalWeight},
        {w.CycleSumPanel, s.cycles}, {w.VeightPanel, s.weight},
        {w.ArrowPanel, s.reach},     {w.MomentPanel, s.moment}};
    for (const auto& [panel, text] : panels)
        EXPECT_EQ(panel->text(), QString::fromUtf8(text)) << panel->objectName().toStdString();
    ExpectIdle(w);
}

INSTANTIATE_TEST_SUITE_P(Examples, SumPanelTest, ::testing::ValuesIn(kSums),
                         [](const auto& row) { return std::string(row.param.name); });
