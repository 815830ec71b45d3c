// The window as assistive technology sees it (in-process, through QAccessible):
// panels speak their values beside their captions, and an accessible toggle
// of a check box runs its handler as a click does.

#include "simulator/recorder_sim.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace {

struct Spoken {
    QString group;   // title of the nearest group around it
    QString caption; // its label's text (or its group's title), else its own name
    QString value;   // what its text interface holds
};

// Every text the tree offers, with the caption a screen reader puts before it.
void Walk(QAccessibleInterface* node, const QString& group, std::vector<Spoken>& out) {
    if (node == nullptr)
        return;
    QString inGroup = group;
    if (node->role() == QAccessible::Grouping)
        inGroup = node->text(QAccessible::Name);
    if (QAccessibleTextInterface* text = node->textInterface()) {
        const auto labels = node->relations(QAccessible::Label);
        const QString caption = labels.isEmpty() ? node->text(QAccessible::Name)
                                                 : labels.first().first->text(QAccessible::Name);
        out.push_back({inGroup, caption, text->text(0, text->characterCount())});
    }
    for (int i = 0; i < node->childCount(); ++i)
        Walk(node->child(i), inGroup, out);
}

class AccessibleWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        TZorvan& w = OpenWindow();
        w.Link.ReplyTimeout = 0;
        w.show();
    }
    void TearDown() override {
        WindowTest::TearDown();
        sim.Stop();
    }

    static void Toggle(QCheckBox* box) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(node, nullptr);
        ASSERT_NE(node->actionInterface(), nullptr);
        ASSERT_TRUE(node->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
        node->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    }

    RecorderSimulator sim;
};

TEST_F(AccessibleWindowTest, PanelsSpeakTheirValuesBesideTheirCaptions) {
    sim.SetBytes(4, 120,
                 QByteArray::fromHex("31120712260C0501008041")); // relay 2 operated
    sim.SetBytes(4, 35, QByteArray::fromHex("25140703090012340001F40003E80C05"));
    sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
    TZorvan& w = *window;
    w.ERefreshButton->click();
    w.RefreshButton->click();
    w.ReadTimeButton->click();
    ASSERT_TRUE(gateway.texts().isEmpty()) << qPrintable(gateway.texts().join('\n'));

    std::vector<Spoken> spoken;
    Walk(QAccessible::queryAccessibleInterface(&w), QString(), spoken);
    const struct {
        QLabel* panel;
        const char* group;
        const char* caption;
        const char* value;
    } expected[] = {
        {w.DatePanel, " Сумматор ", "Дата", "07.03.2009"},
        {w.TimePanel, " Сумматор ", "Время", "14:25"},
        {w.TimeSumPanel, " Сумматор ", "Наработка", "4660"},
        {w.CycleSumPanel, " Сумматор ", "Циклы", "1000"},
        {w.VeightSumPanel, " Сумматор ", "Сумм.вес", "500"},
        {w.VeightPanel, " Сумматор ", "Поднятый вес", "12"},
        {w.ArrowPanel, " Сумматор ", "Вылет стрелы", "5"},
        {w.MomentPanel, " Сумматор ", "Грузовой момент", "60"},
        {w.EdatePanel, " Черный ящик ", "Дата", "07.12.2026"},
        {w.ETimePanel, " Черный ящик ", "Время", "12:31"},
        {w.EReasonPanel, " Черный ящик ", "Событие", "+ Срабатывание реле 2"},
        {w.EVeightPanel, " Черный ящик ", "Поднятый вес", "12"},
        {w.EArrowPanel, " Черный ящик ", "Вылет стрелы", "5"},
        // No label of its own: its group's title labels it.
        {w.RealTimePanel, " Время ОГП ", " Время ОГП ", "07.12.2026 09:04"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.panel->objectName().toStdString());
        ASSERT_EQ(e.panel->text(), QString::fromUtf8(e.value)) << "the refresh itself";
        const auto found = std::find_if(spoken.begin(), spoken.end(), [&](const Spoken& s) {
            return s.group == QString::fromUtf8(e.group) &&
                   s.caption == QString::fromUtf8(e.caption);
        });
        ASSERT_NE(found, spoken.end());
        EXPECT_EQ(found->value, e.panel->text());
        // Tools that find the panel by its caption still do.
        EXPECT_EQ(e.panel->accessibleName(), QString::fromUtf8(e.caption).trimmed());
    }
}

TEST_F(AccessibleWindowTest, ToggleActionRunsTheCheckBoxHandlers) {
    TZorvan& w = *window;
    // The refresh starts as from a click, and the next tick after an
    // untick ends it.
    Toggle(w.AutoBox);
    EXPECT_TRUE(w.AutoBox->isChecked());
    EXPECT_TRUE(w.OperationRunning());
    EXPECT_TRUE(w.Timer.isActive());
    ASSERT_TRUE(WaitUntil([&] { return sim.Requests().size() >= 3; }, 5000));
    Toggle(w.AutoBox);
    ASSERT_TRUE(WaitUntil([&] { return !w.OperationRunning(); }, 5000));
    ExpectIdle(w);

    // A group keeps one format box ticked, however the last one was unticked.
    ASSERT_TRUE(w.ELogBox->isChecked());
    ASSERT_FALSE(w.ETxtBox->isChecked());
    Toggle(w.ELogBox);
    EXPECT_FALSE(w.ELogBox->isChecked());
    EXPECT_TRUE(w.ETxtBox->isChecked());
    Toggle(w.ETxtBox);
    EXPECT_TRUE(w.ELogBox->isChecked());
    ASSERT_TRUE(w.LogBox->isChecked());
    Toggle(w.LogBox);
    EXPECT_TRUE(w.TxtBox->isChecked());
    Toggle(w.TxtBox);
    EXPECT_TRUE(w.LogBox->isChecked());
}

} // namespace
