// Which COM number leads where, as the window tells it: the port spin's
// tool-tip, and the status bar after a port that does not exist.

#include "simulator/recorder_sim.h"
#include "window_fixture.h"

#include <QFileInfo>
#include <QHelpEvent>
#include <QSpinBox>

namespace {

class PortHintTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        pty = QFileInfo(sim.DevicePath()).canonicalFilePath();
    }
    void TearDown() override {
        WindowTest::TearDown();
        sim.Stop();
    }

    RecorderSimulator sim;
    QString pty;
};

TEST_F(PortHintTest, AfterAMissingPortTheStatusBarListsThePortsThatExist) {
    BindPort(5, sim.DevicePath());
    TZorvan& w = OpenWindow();
    w.Link.ReplyTimeout = 0;
    w.show();
    w.ComSpin->setValue(97);

    QString panelDuringBox = QStringLiteral("unset");
    gateway.onInform = [&] { panelDuringBox = w.StatusPanel[0]->text(); };
    w.RefreshButton->click();
    ASSERT_EQ(gateway.texts(),
              QStringList{QStringLiteral("ie_BadId - Specified comport doesn't exist")});
    // The box as before; the list only after it.
    EXPECT_EQ(panelDuringBox, QString());
    const QString list = w.StatusPanel[0]->text();
    EXPECT_TRUE(list.startsWith(QStringLiteral("Есть: "))) << list.toStdString();
    EXPECT_TRUE(list.contains(QStringLiteral("COM5 ") + pty)) << list.toStdString();
    EXPECT_LE(w.StatusPanel[0]->fontMetrics().horizontalAdvance(list),
              w.StatusPanel[0]->contentsRect().width());
    EXPECT_TRUE(w.StatusPanel[1]->text().isEmpty());

    // The next operation takes it away.
    gateway.onInform = nullptr;
    gateway.shown.clear();
    w.ComSpin->setValue(5);
    w.ERefreshButton->click();
    EXPECT_TRUE(gateway.shown.empty()) << gateway.texts().join(QLatin1Char('|')).toStdString();
    ExpectIdle(w);
}

TEST_F(PortHintTest, ThePortSpinTellsWhereItsNumberLeads) {
    TZorvan& w = OpenWindow();
    w.ComSpin->setValue(97);
    EXPECT_EQ(w.ComSpin->toolTip(), QStringLiteral("COM97 никуда не ведет"));

    // Bound while the number stands: the tool-tip, about to show, looks again.
    w.ComSpin->setValue(8);
    BindPort(8, sim.DevicePath());
    EXPECT_FALSE(w.ComSpin->toolTip().contains(pty));
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), w.ComSpin->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(w.ComSpin, &hover);
    EXPECT_TRUE(w.ComSpin->toolTip().startsWith(QStringLiteral("COM8: ") + pty + QLatin1Char('\n')))
        << w.ComSpin->toolTip().toStdString();
}

} // namespace
