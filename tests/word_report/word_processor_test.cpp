#include "summator/word_report.h"
#include "summator/word_rtf_app.h"
#include "tests/support/answering_gateway.h"
#include "tests/word_report/report_rows.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>
#include <memory>

namespace {

// The report as a real word processor reads it: LibreOffice Writer, run
// headless, turns the saved files into plain text. It is slow to start, so
// every file is converted in one run for the whole suite.
class WordProcessor : public ::testing::Test {
protected:
    static constexpr int RowCount = 8192;
    static inline const QString Typed =
        QStringLiteral("Проверка: {скобки} \\ ёЁ № «кавычки» — 100 %");

    static void SetUpTestSuite() {
        dir_ = std::make_unique<QTemporaryDir>();
        failure_ = Prepare();
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override { ASSERT_TRUE(failure_.isEmpty()) << failure_.toStdString(); }

    static QString Prepare() {
        if (!dir_->isValid())
            return QStringLiteral("no temporary folder");
        const QDir dir(dir_->path());
        if (!WriteAll(dir.filePath(WordTemplateName), ShippedTemplate()))
            return QStringLiteral("the template cannot be written");

        AnsweringGateway messages;
        RtfWordApplication word([](const QString&) {});
        if (!MakeWordReport(word, ReportRows(RowCount), dir.path(), messages))
            return QStringLiteral("no report: ") + messages.texts().join(' ');

        // Text with what RTF must escape, typed into a copy of the form.
        RtfWordApplication typing([](const QString&) {});
        WordDocument* doc = typing.Documents()->Open(dir.filePath(WordTemplateName));
        WordSelection* s = typing.Selection();
        if (doc == nullptr || s == nullptr ||
            !s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("narmh")) ||
            !s->TypeText(Typed) || !doc->SaveAs(dir.filePath(QStringLiteral("typed.doc"))))
            return QStringLiteral("no typed document: ") + typing.LastError();

        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            return QStringLiteral("soffice (LibreOffice Writer) is not installed; install the "
                                  "Debian package libreoffice-writer-nogui");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(soffice,
                      {QStringLiteral("-env:UserInstallation=") +
                           QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                       QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                       QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"),
                       dir.filePath(QStringLiteral("text")), dir.filePath(WordReportName),
                       dir.filePath(QStringLiteral("typed.doc"))});
        if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return QStringLiteral("soffice failed: ") + QString::fromLocal8Bit(process.readAll());
        report_ = ReadText(dir.filePath(QStringLiteral("text/list.txt")));
        typed_ = ReadText(dir.filePath(QStringLiteral("text/typed.txt")));
        if (report_.isEmpty() || typed_.isEmpty())
            return QStringLiteral("soffice wrote no text: ") +
                   QString::fromLocal8Bit(process.readAll());
        return QString();
    }

    static QString ReadText(const QString& path) {
        QString text = QString::fromUtf8(ReadAll(path));
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }

    static inline std::unique_ptr<QTemporaryDir> dir_;
    static inline QString failure_;
    static inline QString report_;
    static inline QString typed_;
};

TEST_F(WordProcessor, ShowsTheFormWithPeriodAndTotals) {
    const QStringList lines = report_.split('\n');
    const TSum newest = ReportRow(1);
    // The period reads from the oldest record to the newest.
    const QStringList expected{
        QStringLiteral("Отчет о работе крана"),
        QStringLiteral("Период: с ") + ReportRow(RowCount).date + QStringLiteral(" по ") +
            newest.date,
        QStringLiteral("Наработка, часов: ") + newest.hours,
        QStringLiteral("Количество циклов: ") + newest.cycles,
        QStringLiteral("Поднятый вес, тонн: ") + newest.weightTotal,
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(lines.mid(0, expected.size()), expected) << report_.left(400).toStdString();
}

TEST_F(WordProcessor, ShowsFiftyOneRowsInOrder) {
    // Plain text gives every table cell a line of its own.
    const QStringList lines = report_.split('\n');
    const auto heading = lines.indexOf(QStringLiteral("Вылет за цикл"));
    ASSERT_GE(heading, 4) << report_.left(600).toStdString();
    EXPECT_EQ(lines.mid(heading - 4, 4),
              (QStringList{"Кол-во циклов", "Дата", "Время", "Вес за цикл"}));
    QStringList cells;
    for (int k = 1; k <= WordReportMaxRows; ++k)
        cells += ReportCells(ReportRow(k));
    EXPECT_EQ(lines.mid(heading + 1, cells.size()), cells);
    const QStringList after = lines.mid(heading + 1 + cells.size());
    EXPECT_TRUE(after.join(QString()).trimmed().isEmpty()) << after.join('|').toStdString();
    EXPECT_FALSE(report_.contains(ReportRow(WordReportMaxRows + 1).cycles));
}

TEST_F(WordProcessor, ShowsTypedTextAsTyped) {
    EXPECT_TRUE(typed_.split('\n').contains(QStringLiteral("Наработка, часов: ") + Typed))
        << typed_.toStdString();
}

} // namespace
