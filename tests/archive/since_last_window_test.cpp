// The incremental readout from the real window (offscreen), against the
// simulator.

#include "link/tick_timer.h"
#include "readout/text_file.h"
#include "simulator/recorder_sim.h"
#include "tests/window/window_fixture.h"

#include <map>

namespace {

class SinceLastWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        OpenWindow().show();
        SetTimeScale(20);
        GenerateOptions options;
        options.events = 120;
        options.seed = 21;
        sim.Generate(options);
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    QByteArray runFile(const QString& name) const {
        QFile f(QDir(window->RunFolder()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // An event readout at the same recorder time: its sheet and log lines
    // after the computer's time.
    std::pair<QByteArray, QList<QByteArray>> readEvents() {
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
        const qsizetype before = runFile(QStringLiteral("zorvlog.txt")).size();
        window->ReadMemButton->click();
        const QByteArray log = runFile(QStringLiteral("zorvlog.txt"));
        return {runFile(QStringLiteral("zorvan.xls")), log.mid(before).split('\n').mid(2)};
    }

    // Where every named control of the main window lies (not of its dialogs).
    std::map<QString, QRect> placesOfControls() const {
        std::map<QString, QRect> places;
        for (const QWidget* control : window->findChildren<QWidget*>())
            if (control->window() == window.get() && !control->objectName().isEmpty() &&
                control != window->SinceLastBox)
                places[control->objectName()] =
                    QRect(control->mapTo(window.get(), QPoint(0, 0)), control->size());
        return places;
    }
    static std::string listed(const std::map<QString, QRect>& places) {
        std::string out;
        for (const auto& [name, r] : places)
            out += QStringLiteral("%1 %2,%3 %4x%5\n")
                       .arg(name)
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height())
                       .toStdString();
        return out;
    }

    RecorderSimulator sim;
};

TEST_F(SinceLastWindowTest, TheBoxStartsUntickedInFreeSpaceAndReadsOnlyTheNewRecords) {
    TZorvan& w = *window;
    ASSERT_NE(w.SinceLastBox, nullptr);
    EXPECT_EQ(w.SinceLastBox->text(), QStringLiteral("Только новые записи"));
    EXPECT_EQ(w.SinceLastBox->accessibleName(), w.SinceLastBox->text());
    EXPECT_FALSE(w.SinceLastBox->isChecked());
    EXPECT_TRUE(w.SinceLastBox->isVisible());
    // In free space: without it, every other control lies where it lies.
    const auto places = placesOfControls();
    w.SinceLastBox->hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(placesOfControls()), listed(places));
    w.SinceLastBox->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(placesOfControls()), listed(places));
    const QRect box(w.SinceLastBox->mapTo(&w, QPoint(0, 0)), w.SinceLastBox->size());
    EXPECT_TRUE(w.centralWidget()->geometry().contains(box));
    for (const auto& [name, place] : places) {
        const QWidget* control = w.findChild<QWidget*>(name);
        if (control->isVisible() && !control->isAncestorOf(w.SinceLastBox)) {
            EXPECT_FALSE(place.intersects(box)) << qPrintable(name);
        }
    }

    (void)readEvents(); // archived
    sim.AppendHistory(25, 0, 4);
    w.SinceLastBox->setChecked(true);
    const auto incremental = readEvents();
    w.SinceLastBox->setChecked(false);
    const auto full = readEvents();
    EXPECT_EQ(incremental.first, full.first);
    QList<QByteArray> expected = full.second;
    expected.insert(
        expected.size() - 1,
        TextFile::Encode(QStringLiteral("Записей прочитано с линии 41, взято из архива 104\r")));
    EXPECT_EQ(incremental.second, expected);
    ExpectIdle(w);

    // Never kept: a new start has it unticked again.
    w.SinceLastBox->setChecked(true);
    CloseWindow();
    EXPECT_FALSE(OpenWindow().SinceLastBox->isChecked());
}

} // namespace
