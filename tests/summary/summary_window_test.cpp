// The page after readouts in the window, against the recorder simulator.

#include "link/tick_timer.h"
#include "page_probe.h"
#include "simulator/recorder_sim.h"
#include "summary/summary_page.h"
#include "tests/window/window_fixture.h"

#include <QStringDecoder>

namespace {

class SummaryWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(sim.Start());
        BindPort(1, sim.DevicePath());
        OpenWindow().show();
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
        SetTimeScale(20);
        GenerateOptions options;
        options.events = 120;
        options.sums = 60;
        sim.Generate(options);
    }

    void TearDown() override {
        SetTimeScale(1);
        WindowTest::TearDown();
        sim.Stop();
    }

    QString runPath(const QString& name) const { return QDir(window->RunFolder()).filePath(name); }
    QStringList log() const {
        QFile f(runPath("zorvlog.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringDecoder decoder("windows-1251");
        return QString(decoder(f.readAll())).split("\r\n");
    }

    RecorderSimulator sim;
};

TEST_F(SummaryWindowTest, EachReadoutLeavesThePageAndTheLogAsItWas) {
    window->ReadMemButton->click();
    QString html = PageText(runPath(SummaryPageName));
    EXPECT_EQ(PageCell(html, "events-records"), "120");
    EXPECT_TRUE(html.contains("Сумматор в этом запуске не читался."));
    EXPECT_TRUE(html.contains("<a href=\"zorvan.xls\">"));
    EXPECT_TRUE(html.contains("<a href=\"zorvlog.txt\">"));
    QStringList lines = log();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "Конечный адрес 30000h");

    window->ReadSumButton->click();
    html = PageText(runPath(SummaryPageName));
    EXPECT_EQ(PageCell(html, "events-records"), "120");
    EXPECT_EQ(PageCell(html, "sums-records"), "60");
    EXPECT_FALSE(html.contains("не читался"));
    EXPECT_TRUE(html.contains("<a href=\"report.xls\">"));
    // The duty estimate of the window's readout: its file and its section,
    // with no message and no log line of its own.
    EXPECT_TRUE(QFileInfo(runPath("duty.json")).size() > 0);
    EXPECT_TRUE(html.contains("<a href=\"duty.json\">"));
    EXPECT_TRUE(html.contains("<section id=\"duty\">"));
    // Written, the page adds nothing to the log: it ends with the readout's steps.
    lines = log();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("Прочитано время стирания "));
    EXPECT_EQ(gateway.texts(), QStringList({"Данные прочитаны в файл zorvan.xls",
                                            "Данные прочитаны в файлы report.xls, summator.xls"}));
    ExpectIdle(*window);
}

TEST_F(SummaryWindowTest, APageThatCannotBeWrittenIsOneLineOfTheLog) {
    // A folder where the page would go: no file can take its name.
    ASSERT_TRUE(QDir(window->RunFolder()).mkdir(SummaryPageName));
    window->ReadMemButton->click();
    EXPECT_EQ(gateway.texts(), QStringList{"Данные прочитаны в файл zorvan.xls"});
    const QStringList lines = log();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3], "Конечный адрес 30000h");
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("Не удалось записать страницу index.html: "));
    EXPECT_EQ(lines.last(), "");
    ExpectIdle(*window);
}

} // namespace
