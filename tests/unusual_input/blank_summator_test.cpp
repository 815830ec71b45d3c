// A summator whose slot at the pointer was never written since a reset or an
// erase: the slot is read, but it is no record.

#include "recorder_window.h"
#include "summator/report_file.h"
#include "summator/sum_files.h"
#include "summator/word_report.h"

#include <functional>

namespace {

using BlankSummatorTest = RecorderWindowTest;

TEST_F(BlankSummatorTest, ResetOrEraseLeavesNoRecordToReport) {
    TZorvan& w = OpenOnRecorder();
    w.TxtBox->setChecked(true);
    w.HexBox->setChecked(true);
    const std::pair<const char*, std::function<void()>> clears[] = {
        {"summator reset", [&w] { w.ClearSumButtonClick(); }},
        {"memory erase", [&w] { w.ClearMemButtonClick(); }},
    };
    for (const auto& [what, clear] : clears) {
        GenerateOptions history;
        history.events = 20;
        history.sums = 40;
        sim.Generate(history);
        clear();
        gateway.shown.clear();
        sim.ClearRequests();

        w.ReadSumButton->click();
        ASSERT_EQ(gateway.texts(),
                  QStringList{"Данные прочитаны в файлы report.xls, summator.xls, summator.txt, "
                              "summator.hex"})
            << what;
        // The blank slot at the pointer is read as any record would be.
        std::vector<std::uint32_t> reads;
        for (const auto& r : sim.Requests())
            if (r.command == 4 && r.selector == 4 && r.address >= 0x10000)
                reads.push_back(r.address);
        EXPECT_EQ(reads, (std::vector<std::uint32_t>{0x2FFF0, 0x10000})) << what;

        // Headings only: identification, title, clock and column heading.
        const QStringList sheet = runFile(SumFiles::XlsName);
        ASSERT_EQ(sheet.size(), 24) << what;
        EXPECT_EQ(sheet.last(), SumSheetHeading(true)) << what;
        const QStringList print = runFile(SumFiles::TxtName);
        EXPECT_EQ(print.filter(QStringLiteral("165.165.20165")), QStringList()) << what;
        EXPECT_EQ(print.last(), "                           Страница 1") << what;
        // Only the debug file shows what was read.
        EXPECT_EQ(runFile(SumFiles::HexName), QStringList{"10000: " + QString("FF ").repeated(16)})
            << what;

        const QStringList report = runFile(ReportFileName);
        EXPECT_TRUE(report.contains(ReportNoDataText(w.EraseTimeText))) << what;
        EXPECT_EQ(report.filter(QStringLiteral("16777215")), QStringList()) << what;
        EXPECT_EQ(report.filter(QStringLiteral("Всего с")), QStringList()) << what;
        for (const char* label : LoadClassLabels)
            EXPECT_TRUE(report.contains(QString::fromLatin1(label) + "\t\t\t0\t0\t0\t0")) << what;

        gateway.shown.clear();
        w.Button1Click();
        EXPECT_EQ(gateway.texts(), QStringList{WordReportNoData}) << what;
    }
}

} // namespace
