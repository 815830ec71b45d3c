// The spreadsheet files are tab-separated text in code page 1251 behind an
// ".xls" name. Here a real spreadsheet program opens them headless and saves
// them as UTF-8 CSV, so the Cyrillic texts and the columns are checked the way
// a user's spreadsheet sees them.

#include "readout/print_pager.h"
#include "summator/load_rating.h"
#include "summator/report_file.h"
#include "summator/sum_files.h"
#include "tests/rating/summator_records.h"
#include "tests/support/answering_gateway.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Tab separated, double quotes, code page 1251 (LibreOffice's number 34).
const QString TabsIn1251 = QStringLiteral("Text - txt - csv (StarCalc):9,34,34");
const QString CommasInUtf8 = QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76");

// Rows of the sheet as the spreadsheet program read them.
QList<QStringList> openInSpreadsheet(const QTemporaryDir& dir, const QString& name) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        ADD_FAILURE() << "soffice not found: the test command installs libreoffice-calc-nogui";
        return {};
    }
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath("profile"),
                      QStringLiteral("--headless"), QStringLiteral("--infilter=") + TabsIn1251,
                      QStringLiteral("--convert-to"), CommasInUtf8, QStringLiteral("--outdir"),
                      dir.filePath("csv"), dir.filePath(name)});
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << "soffice did not finish";
        return {};
    }
    QFile csv(dir.filePath("csv/" + QFileInfo(name).completeBaseName() + ".csv"));
    if (!csv.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "no CSV from soffice: " << p.readAllStandardError().toStdString();
        return {};
    }
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(csv.readAll()).split('\n')) {
        // Simple CSV: our texts hold commas only inside quotes.
        QStringList cells;
        QString cell;
        bool quoted = false;
        for (QChar c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted) {
                cells << cell;
                cell.clear();
            } else if (c != '\r')
                cell += c;
        }
        cells << cell;
        rows << cells;
    }
    return rows;
}

const QStringList* findRow(const QList<QStringList>& rows, const QString& first) {
    for (const QStringList& row : rows) {
        if (!row.isEmpty() && row.first() == first)
            return &row;
    }
    return nullptr;
}

TEST(SpreadsheetTest, SummatorAndReportFilesOpenAsTables) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());

    AnsweringGateway messages;
    PrintPager pager;
    SumFiles files(messages, pager);
    ASSERT_TRUE(files.Open({true, false, false}));
    IdentData ident;
    ident.fill(0x00);
    const QByteArray type = TextFile::Encode(QStringLiteral("КС-45717К-1"));
    std::copy(type.begin(), type.end(), ident.begin());
    LoadSpectrum spectrum;
    SumFields record;
    record.day = 7;
    record.month = 3;
    record.year = 9;
    record.hour = 14;
    record.minute = 25;
    record.hours = 4660;
    record.totalWeight = 500;
    record.cycles = 1000;
    record.weight = 12;
    record.reach = 5;
    const SumReply reply = MakeSumReply(record);
    const ReplyView view(reply.data(), reply.size());
    (void)spectrum.Rating(view, RatingBasis::Moment, 800);
    files.SummLog(view, 0x10040, {true, QStringLiteral("07.12.2026 12:31"), ident});
    files.Finish();

    TextFile report;
    ASSERT_TRUE(report.Create(ReportFileName));
    ASSERT_TRUE(RepoPrint(report, {ident, spectrum, QStringLiteral("07.12.2026 12:31"),
                                   QStringLiteral("15.03.2009 10:00"), RatingBasis::Moment, 800}));
    ASSERT_TRUE(report.Close());
    QDir::setCurrent(previous);

    const QList<QStringList> sheet = openInSpreadsheet(dir, SumFiles::XlsName);
    ASSERT_FALSE(sheet.isEmpty());
    const QStringList* type1 = findRow(sheet, QStringLiteral("1.1)"));
    ASSERT_NE(type1, nullptr) << "identification lines lost";
    ASSERT_GE(type1->size(), 3);
    EXPECT_EQ((*type1)[1], QStringLiteral("Тип и индекс"));
    EXPECT_TRUE((*type1)[2].startsWith(QStringLiteral("КС-45717К-1")));
    const QStringList* data = findRow(sheet, QStringLiteral("07.03.2009"));
    ASSERT_NE(data, nullptr) << "the record's row is missing";
    EXPECT_TRUE(data->contains(QStringLiteral("4660")));
    EXPECT_TRUE(data->contains(QStringLiteral("1000")));
    EXPECT_TRUE(data->contains(QStringLiteral("60"))) << "the moment column";
    bool headingFound = false;
    for (const QStringList& row : sheet)
        headingFound = headingFound || row.contains(QStringLiteral("Дата"));
    EXPECT_TRUE(headingFound) << "the Cyrillic heading did not come through";

    const QList<QStringList> reportSheet = openInSpreadsheet(dir, ReportFileName);
    ASSERT_FALSE(reportSheet.isEmpty());
    const QStringList* reportType = findRow(reportSheet, QStringLiteral("1.1)"));
    ASSERT_NE(reportType, nullptr);
    EXPECT_EQ((*reportType)[1], QStringLiteral("Тип и индекс"));
    bool classFound = false;
    for (const QStringList& row : reportSheet)
        classFound = classFound || row.contains(QStringLiteral("<25%"));
    EXPECT_TRUE(classFound) << "the load classes are not cells of their own";
}

} // namespace
