// The page of a wrapped full memory, opened in a real browser (headless
// Chromium): it loads without console errors, every chart draws, and the
// texts the page must show are in the rendered document.

#include "memory_feed.h"
#include "page_probe.h"
#include "summary/summary_page.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QStringList Charts{"chart-events", "chart-totals", "chart-cycles", "chart-spectrum"};

struct BrowserRun {
    bool finished = false;
    QString out;
    QString err;
};

// One headless Chromium run on a fresh profile, nothing from the network.
BrowserRun RunChromium(const QString& chromium, const QStringList& args) {
    QTemporaryDir profile;
    QProcess p;
    p.start(chromium, QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                  "--no-first-run", "--disable-background-networking",
                                  "--disable-component-update", "--disable-sync",
                                  "--hide-scrollbars", "--user-data-dir=" + profile.path()} +
                          args);
    BrowserRun run;
    run.finished = p.waitForFinished(180000);
    if (!run.finished)
        p.kill();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

class BrowserPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        RecorderSimulator sim;
        GenerateOptions options;
        options.wrapped = true;
        options.eventPointer = RecorderMap::LastEventSlot;
        options.sumPointer = RecorderMap::LastSumSlot;
        options.newest = QDateTime(QDate(2026, 12, 7), QTime(9, 3));
        sim.Generate(options);
        RunSummary summary;
        const QDateTime now(QDate(2026, 12, 7), QTime(9, 5));
        FeedMemory(summary, sim, ReadoutKind::Events, now);
        FeedMemory(summary, sim, ReadoutKind::Summator, now);
        IdentData ident{};
        const QByteArray area = sim.Bytes(3, 1538, int(ident.size()));
        std::copy(area.begin(), area.end(), ident.begin());
        summary.NoteReadout(ReadoutKind::Events, 3, "07.12.2026 09:04", ident);
        summary.NoteReadout(ReadoutKind::Summator, 3, "07.12.2026 09:04", ident);
        LoadSpectrum spectrum;
        spectrum.Reset();
        for (std::uint32_t a = RecorderMap::LastSumSlot; a >= RecorderMap::SumStart; a -= 16) {
            const QByteArray r = sim.Bytes(4, a, 16);
            const RecordCopy reply =
                ReplyOf({reinterpret_cast<const std::uint8_t*>(r.constData()), 16}, 0xFF);
            (void)spectrum.Rating(ReplyView(reply), RatingBasis::Moment, 800);
        }
        summary.NoteSpectrum(spectrum, RatingBasis::Moment, 800, "01.02.2026 08:00");
        QFile sheet(folder->filePath("zorvan.xls"));
        (void)sheet.open(QIODevice::WriteOnly);
        sheet.close();
        QString error;
        written = WriteSummaryPage(summary, folder->path(), &error);
    }
    static void TearDownTestSuite() { delete folder; }

    void SetUp() override {
        ASSERT_TRUE(written);
        chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty())
            GTEST_SKIP() << "chromium is not installed (the test command installs the Debian "
                            "package chromium); the page was not opened in a browser";
    }

    static QString url() {
        return QUrl::fromLocalFile(folder->filePath(SummaryPageName)).toString(QUrl::FullyEncoded);
    }

    static inline QTemporaryDir* folder = nullptr;
    static inline bool written = false;
    QString chromium;
};

TEST_F(BrowserPageTest, LoadsWithoutConsoleErrorsAndShowsItsTexts) {
    const BrowserRun run =
        RunChromium(chromium, {"--enable-logging=stderr", "--v=0", "--dump-dom", url()});
    ASSERT_TRUE(run.finished);
    for (const QString& line : run.err.split('\n'))
        EXPECT_FALSE(line.contains("CONSOLE")) << line.toStdString();
    const QString& dom = run.out;
    // Grouped by a no-break space, as the browser's document writes it.
    EXPECT_EQ(PageCell(dom, "events-records"), "77&nbsp;441");
    EXPECT_EQ(PageCell(dom, "sums-records"), "8&nbsp;192");
    EXPECT_EQ(PageCell(dom, "events-wrapped"), "да");
    EXPECT_EQ(PageCell(dom, "sums-wrapped"), "да");
    for (const char* text :
         {"Сводка чтения регистратора", "Идентификационная информация крана", "Срабатывания реле",
          "Цифровые выходы", "Цифровые входы", "Прочие события", "Спектр нагружения", "COM3",
          "07.12.2026 09:04", "Последние события", "Последние циклы", "zorvan.xls"})
        EXPECT_TRUE(dom.contains(QString::fromUtf8(text))) << text;
    for (const QString& chart : Charts)
        EXPECT_TRUE(dom.contains("<figure id=\"" + chart + "\"><svg")) << chart.toStdString();
}

// Bands of rows, top to bottom, in which coloured pixels (bars, lines) stand
// no more than a few rows apart; text, tables and the page are grey or white.
std::vector<std::pair<int, int>> ColouredBands(const QImage& image) {
    std::vector<std::pair<int, int>> bands;
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        int coloured = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            coloured += c.hsvSaturation() > 90 && c.value() < 235;
        }
        if (coloured >= 2) {
            if (first < 0)
                first = y;
            last = y;
        } else if (first >= 0 && y - last > 12) {
            bands.emplace_back(first, last);
            first = -1;
        }
    }
    if (first >= 0)
        bands.emplace_back(first, last);
    return bands;
}

TEST_F(BrowserPageTest, EveryChartDraws) {
    // The whole page in one tall window: each chart is a tall coloured band;
    // the swatches of the legend table and the rules under headings are low.
    QTemporaryDir shots;
    const QString png = shots.filePath("page.png");
    const BrowserRun run =
        RunChromium(chromium, {"--screenshot=" + png, "--window-size=900,8000", url()});
    ASSERT_TRUE(run.finished);
    const QImage image(png);
    ASSERT_FALSE(image.isNull()) << run.err.toStdString();
    int charts = 0;
    for (const auto& [top, bottom] : ColouredBands(image))
        charts += bottom - top >= 150;
    EXPECT_EQ(charts, int(Charts.size()));
    if (charts != int(Charts.size()))
        image.save(QDir::temp().filePath("summary-page-failed.png"));
}

TEST_F(BrowserPageTest, NothingIsLoadedFromElsewhere) {
    const QString html = PageText(folder->filePath(SummaryPageName));
    for (const char* text : {"<script", "@import", "@font-face", "<link", "<iframe", "<img"})
        EXPECT_FALSE(html.contains(QString::fromUtf8(text))) << text;
    EXPECT_FALSE(html.contains(QRegularExpression(R"((src|href)\s*=\s*"?(https?:)?//)")));
    EXPECT_LT(QFileInfo(folder->filePath(SummaryPageName)).size(), 1024 * 1024);
}

} // namespace
