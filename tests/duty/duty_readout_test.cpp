// The duty estimate after real summator readouts of the simulator: the
// figures of duty.json and of the page counted again from the recorder's
// memory, and zorvan-cli duty on the run's memory image agreeing with both.

#include "duty/duty_report.h"
#include "duty/nameplate.h"
#include "duty_cases.h"
#include "summary/page_update.h"
#include "summary/summary_page.h"
#include "summator/sum_readout.h"
#include "tests/readout/readout_fixture.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>

namespace {

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));
constexpr double RatedLoad = 50.0; // the simulator's cycles weigh 1..50 t
const QDate Commissioned(2016, 6, 15);

QByteArray IdentBlock() {
    const IdentBytes ident = NameplateIdent("50 t", "a 5", "20", "15.06.2016");
    return QByteArray(reinterpret_cast<const char*>(ident.data()), int(ident.size()));
}

// What the page shows in a cell of the given id.
QString Cell(const QString& page, const QString& id) {
    const QRegularExpression cell(QStringLiteral("<td id=\"%1\">([^<]*)</td>").arg(id));
    return cell.match(page).captured(1);
}

// The label of the page's row whose cell has the given id.
QString Label(const QString& page, const QString& id) {
    const QRegularExpression row(QStringLiteral("<th>([^<]*)</th><td id=\"%1\">").arg(id));
    return row.match(page).captured(1);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The recorder's summator memory counted by hand: walked from the pointer
// down (not wrapped), Kp of the weighed cycles, the counters of the newest
// record down to the first with weight and reach.
struct HandCount {
    int cycles = 0, rated = 0, overloads = 0;
    double cubes = 0;
    std::uint32_t totalCycles = 0;
    bool settled = false;
    // The total-cycle counter of the newest and the oldest record, and their times.
    std::uint32_t newestCounter = 0, oldestCounter = 0;
    QDateTime newest, oldest;
};

std::uint32_t Counter(const QByteArray& r, int at) {
    return std::uint32_t(static_cast<std::uint8_t>(r[at])) << 16 |
           std::uint32_t(static_cast<std::uint8_t>(r[at + 1])) << 8 |
           static_cast<std::uint8_t>(r[at + 2]);
}

HandCount CountByHand(const RecorderSimulator& sim, double ratedLoad = RatedLoad) {
    HandCount h;
    for (std::uint32_t at = sim.SumPointer();; at -= 16) {
        const QByteArray r = sim.Bytes(4, at, 16);
        const QDateTime time =
            ClockFromBytes(std::span(reinterpret_cast<const std::uint8_t*>(r.constData()), 5));
        if (!h.newest.isValid()) {
            h.newest = time;
            h.newestCounter = Counter(r, 11);
        }
        h.oldest = time;
        h.oldestCounter = Counter(r, 11);
        const auto w = static_cast<std::uint8_t>(r[14]);
        const auto reach = static_cast<std::uint8_t>(r[15]);
        if (!h.settled) {
            h.totalCycles = std::uint32_t(static_cast<std::uint8_t>(r[11])) << 16 |
                            std::uint32_t(static_cast<std::uint8_t>(r[12])) << 8 |
                            static_cast<std::uint8_t>(r[13]);
            h.settled = w != 0xFF && reach != 0xFF;
        }
        if (w != 0xFF || reach != 0xFF)
            ++h.cycles;
        if (w != 0xFF) {
            ++h.rated;
            h.cubes += std::pow(w / ratedLoad, 3);
            h.overloads += w > ratedLoad;
        }
        if (at == 0x10000)
            break;
    }
    return h;
}

class DutyReadoutTest : public ReadoutTest {};

TEST_F(DutyReadoutTest, ASummatorReadoutWritesDutyJsonAndThePageSection) {
    GenerateOptions options;
    options.events = 0;
    options.sums = 400;
    options.seed = 7;
    sim.Generate(options);
    sim.SetBytes(3, 1538, IdentBlock());
    const HandCount hand = CountByHand(sim);
    ASSERT_GT(hand.rated, 300);

    RunSummary summary;
    SumReadout readout(host, requests, breakRequested, messages, pager, ident);
    readout.SetObserver(&summary);
    readout.Run({{}, RatingBasis::Moment, 800}, StartedAt);
    readout.Finish();
    const MessageTexts texts = MessageTexts::Defaults();
    UpdateSummaryPage(summary,
                      {ReadoutKind::Summator, 1, host.clockText, ident, texts, true, &readout, 800},
                      run.path());

    const QJsonObject json = QJsonDocument::fromJson(ReadAll(run.filePath(DutyFileName))).object();
    ASSERT_FALSE(json.isEmpty());
    const double kp = hand.cubes / hand.rated;
    EXPECT_EQ(json["rated_load_t"].toDouble(), RatedLoad);
    EXPECT_EQ(json["rated_load_source"].toString(), "nameplate");
    EXPECT_EQ(json["cycles_rated"].toInt(), hand.rated);
    EXPECT_EQ(json["cycles_no_weight"].toInt(), hand.cycles - hand.rated);
    EXPECT_EQ(json["overloads"].toInt(), hand.overloads);
    EXPECT_NEAR(json["kp"].toDouble(), kp, 1e-12);
    EXPECT_EQ(json["cycles_total"].toInt(), int(hand.totalCycles));
    // The rate from the counters of the records held.
    const double years = hand.oldest.secsTo(hand.newest) / (365.25 * 86400);
    const double rate = (hand.newestCounter - hand.oldestCounter) / years;
    EXPECT_NEAR(json["cycles_per_year"].toDouble(), rate, 1e-6);
    EXPECT_EQ(json["cycles_per_year_basis"].toString(), "counters");
    EXPECT_NEAR(json["projected_cycles"].toDouble(), 20 * rate, 1e-6);
    // The erase time lies after every record here: the count is taken from
    // commissioning, with no year assumed.
    EXPECT_EQ(json["counted_from_basis"].toString(), "commissioning");
    EXPECT_EQ(json["counted_from"].toString(), Commissioned.toString("yyyy-MM-ddT00:00"));
    EXPECT_EQ(json["nameplate_group"].toString(), "A5");
    EXPECT_NEAR(json["life_used"].toDouble(), hand.totalCycles * kp / 125'000, 1e-12);
    EXPECT_FALSE(json["group"].toString().isEmpty());
    EXPECT_TRUE(json["reasons"].toArray().isEmpty());

    const QString page = QString::fromUtf8(ReadAll(run.filePath(SummaryPageName)));
    EXPECT_TRUE(page.contains(QStringLiteral("<h2>Режим работы крана (оценка)</h2>")));
    EXPECT_TRUE(Cell(page, "duty-kp").startsWith(DutyKpText(kp)));
    EXPECT_EQ(Cell(page, "duty-used"), DutyShareText(hand.totalCycles * kp / 125'000));
    EXPECT_EQ(Cell(page, "duty-groups-actual"), json["group"].toString());
    EXPECT_EQ(Cell(page, "duty-groups-plate"), "A5");
    EXPECT_TRUE(page.contains(QStringLiteral("id=\"duty-disclaimer\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("<figure id=\"chart-duty\"><svg")));
    EXPECT_TRUE(page.contains(QStringLiteral("href=\"duty.json\"")));
}

TEST_F(DutyReadoutTest, NoCycleWithAWeightNoFileButThePageSaysWhy) {
    GenerateOptions options;
    options.events = 0;
    options.sums = 0;
    sim.Generate(options);
    sim.SetBytes(3, 1538, IdentBlock());
    QByteArray noWeight = QByteArray::fromHex("0010070326000001000009000003FF07");
    ASSERT_TRUE(sim.AppendSum(noWeight));
    // An earlier readout's file is not left to contradict the page.
    QFile earlier(run.filePath(DutyFileName));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.close();
    RunSummary summary;
    SumReadout readout(host, requests, breakRequested, messages, pager, ident);
    readout.SetObserver(&summary);
    readout.Run({{}, RatingBasis::Moment, 800}, StartedAt);
    readout.Finish();
    UpdateSummaryPage(summary,
                      {ReadoutKind::Summator, 1, host.clockText, ident, MessageTexts::Defaults(),
                       true, &readout, 800},
                      run.path());
    EXPECT_FALSE(QFile::exists(run.filePath(DutyFileName)));
    const QString page = QString::fromUtf8(ReadAll(run.filePath(SummaryPageName)));
    EXPECT_TRUE(page.contains(QStringLiteral("Ни у одного цикла нет веса")));
    EXPECT_EQ(Cell(page, "duty-kp"), QStringLiteral("—"));
}

// zorvan-cli: a summator readout into a folder, then `duty` on its image.
class DutyCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(portDir.isValid() && startDir.isValid() && outDir.isValid());
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(QFile::link(sim.DevicePath(), portDir.filePath("com1")));
        sim.SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 4)));
    }
    void TearDown() override { sim.Stop(); }

    struct Run {
        int exitCode = -1;
        QByteArray out, err;
    };
    Run Cli(const QStringList& args, const QString& dataHome = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!dataHome.isEmpty())
            env.insert("XDG_DATA_HOME", dataHome);
        env.insert("ZORVAN_PORTS", portDir.path());
        env.insert("ZORVAN_TIME_SCALE", "20");
        env.insert("LC_ALL", "C.UTF-8");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(startDir.path());
        process.start(ZORVAN_CLI_PROGRAM, args);
        Run r;
        if (!process.waitForFinished(60000))
            return r;
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = process.readAllStandardOutput();
        r.err = process.readAllStandardError();
        return r;
    }

    QTemporaryDir portDir, startDir, outDir;
    RecorderSimulator sim;
};

TEST_F(DutyCliTest, DutyOnTheRunsImageAgreesWithTheFileAndThePage) {
    GenerateOptions options;
    options.events = 0;
    options.sums = 300;
    options.seed = 11;
    sim.Generate(options);
    sim.SetBytes(3, 1538, IdentBlock());
    ASSERT_EQ(Cli({"summator", "--out", outDir.path(), "-q"}).exitCode, 0);
    const QDir out(outDir.path());
    const QByteArray file = ReadAll(out.filePath(DutyFileName));

    const Run json = Cli({"duty", out.filePath("recorder.img"), "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, file);

    const Run text = Cli({"duty", out.filePath("recorder.img")});
    EXPECT_EQ(text.exitCode, 0);
    const QString page = QString::fromUtf8(ReadAll(out.filePath(SummaryPageName)));
    const QStringList lines = QString::fromUtf8(text.out).split('\n');
    for (const char* id : {"duty-kp", "duty-used", "duty-group", "duty-per-year", "duty-years-left",
                           "duty-calendar"}) {
        const QString value = Cell(page, QLatin1String(id));
        EXPECT_FALSE(value.isEmpty()) << id;
        EXPECT_EQ(lines.count(Label(page, QLatin1String(id)) + QLatin1Char('\t') + value), 1) << id;
    }
    const QJsonObject o = QJsonDocument::fromJson(file).object();
    EXPECT_EQ(Cell(page, "duty-group"), o["group"].toString());

    // The rated load given instead of the nameplate's.
    const Run given = Cli({"duty", out.filePath("recorder.img"), "--json", "--rated-load", "25"});
    EXPECT_EQ(QJsonDocument::fromJson(given.out).object()["rated_load_t"].toDouble(), 25.0);
    EXPECT_EQ(Cli({"duty", out.filePath("recorder.img"), "--rated-load", "много"}).exitCode, 2);
    EXPECT_EQ(Cli({"duty", out.filePath("duty.json")}).exitCode, 3);

    // The crane's latest view in the archive gives the same, by its key.
    const Run listed = Cli({"duty", "--list-cranes"});
    ASSERT_EQ(listed.exitCode, 0);
    const QString key = QString::fromUtf8(listed.out).section(QLatin1Char(' '), 0, 0);
    ASSERT_EQ(key.size(), 20) << listed.out.toStdString();
    const Run archived = Cli({"duty", "--crane", key.left(6), "--json"});
    EXPECT_EQ(archived.exitCode, 0);
    EXPECT_EQ(archived.out, file);
    EXPECT_EQ(Cli({"duty", "--crane", "no-such-crane"}).exitCode, 3);
}

// A line of the tool's in one language: Cyrillic beside no Latin word but
// the program's name and the standards' marks.
bool OneLanguage(QString line) {
    line.remove(QStringLiteral("zorvan-cli")).remove(QStringLiteral("ISO"));
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]{3,}"));
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    return !(line.contains(latin) && line.contains(cyrillic));
}

// The default crane history (recorder-sim --generate --sums 8192 --events
// 3000 --seed 11): 10 years of service from a commissioning long past, the
// counters started at the last erase years after it.
TEST_F(DutyCliTest, TheDefaultCraneSaysItsLifeRanOutAndCountsFromTheErase) {
    GenerateOptions options;
    options.events = 3000;
    options.sums = 8192;
    options.seed = 11;
    options.model = HistoryModel::Crane;
    sim.Generate(options);
    IdentBytes ident;
    const QByteArray identBytes = sim.Bytes(3, 1538, 360);
    std::copy(identBytes.begin(), identBytes.end(), ident.begin());
    const std::optional<double> rated = ReadRatedLoad(IdentField(ident, 121, 20));
    const std::optional<QDate> commissioned = ReadCommissioning(IdentField(ident, 161, 10));
    ASSERT_TRUE(rated && commissioned);
    ASSERT_EQ(ReadServiceLife(IdentField(ident, 151, 10)), 10);
    ASSERT_EQ(ReadGroup(IdentField(ident, 141, 10))->group, 3); // А3: 31,250
    const QByteArray eraseBytes = sim.Bytes(5, 29, 5);
    const QDateTime erased =
        ClockFromBytes(std::span(reinterpret_cast<const std::uint8_t*>(eraseBytes.constData()), 5));
    const HandCount hand = CountByHand(sim, *rated);
    ASSERT_TRUE(erased.isValid() && erased <= hand.oldest);

    ASSERT_EQ(Cli({"summator", "--out", outDir.path(), "-q"}).exitCode, 0);
    const QDir out(outDir.path());
    const QJsonObject json = QJsonDocument::fromJson(ReadAll(out.filePath(DutyFileName))).object();
    ASSERT_FALSE(json.isEmpty());

    // The calendar: commissioning + 10 years, long before the recorder's clock.
    const QDate end = commissioned->addYears(10);
    ASSERT_LT(end, sim.Clock().date());
    const QString expired = QStringLiteral("Нормативный срок службы истек %1: требуется "
                                           "экспертиза промышленной безопасности")
                                .arg(end.toString("dd.MM.yyyy"));
    EXPECT_EQ(json["calendar_life"].toObject()["text"].toString(), expired);
    EXPECT_EQ(json["years_left"].toDouble(-1), 0.0);
    EXPECT_EQ(json["years_left_binding"].toString(), "calendar");

    // The rate: the counter's growth over the records held.
    constexpr double SecondsPerYear = 365.25 * 86400;
    const std::uint32_t grown = hand.newestCounter - hand.oldestCounter;
    const double rate = grown / (hand.oldest.secsTo(hand.newest) / SecondsPerYear);
    EXPECT_EQ(json["cycles_per_year_basis"].toString(), "counters");
    EXPECT_EQ(json["rate_cycles"].toInt(), int(grown));
    EXPECT_NEAR(json["cycles_per_year"].toDouble(), rate, 1e-6);

    // Counted since the erase; the years from commissioning to it taken at
    // the group's design rate × 1.5.
    EXPECT_EQ(json["counted_from_basis"].toString(), "erase_time");
    EXPECT_EQ(json["counted_from"].toString(), erased.toString("yyyy-MM-ddTHH:mm"));
    const double assumedYears =
        QDateTime(*commissioned, QTime(0, 0)).secsTo(erased) / SecondsPerYear;
    const double assumed = 1.5 * assumedYears / 10;
    const double counted = hand.totalCycles * (hand.cubes / hand.rated) / 31'250;
    EXPECT_NEAR(json["assumed_years"].toDouble(), assumedYears, 1e-9);
    EXPECT_NEAR(json["life_used_assumed"].toDouble(), assumed, 1e-9);
    EXPECT_NEAR(json["life_used_counted"].toDouble(), counted, 1e-9);
    EXPECT_NEAR(json["life_used"].toDouble(), counted + assumed, 1e-9);

    // The page: the calendar first, the figures in Russian, kept on one printed page.
    const QString page = QString::fromUtf8(ReadAll(out.filePath(SummaryPageName)));
    const qsizetype life =
        page.indexOf(QStringLiteral("<p id=\"duty-life\"><strong>") + expired + "</strong></p>");
    EXPECT_GT(life, page.indexOf(QStringLiteral("<section id=\"duty\">")));
    EXPECT_LT(life, page.indexOf(QStringLiteral("<h3>Исходные данные</h3>")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "id=\"duty-figures\" style=\"break-inside:avoid;page-break-inside:avoid\"")));
    EXPECT_TRUE(Cell(page, "duty-years-left")
                    .startsWith(QStringLiteral("0 лет — нормативный срок службы истек ") +
                                end.toString("dd.MM.yyyy")))
        << Cell(page, "duty-years-left").toStdString();
    EXPECT_TRUE(Cell(page, "duty-per-year")
                    .startsWith(DutyCountText(rate) +
                                QStringLiteral(" (по счетчику циклов записей в памяти: ") +
                                DutyCountText(grown)))
        << Cell(page, "duty-per-year").toStdString();
    EXPECT_TRUE(Cell(page, "duty-used-assumed").startsWith(DutyShareText(assumed)));
    EXPECT_EQ(Cell(page, "duty-used"), DutyShareText(counted + assumed));
    EXPECT_TRUE(Cell(page, "duty-kp").startsWith(DutyKpText(hand.cubes / hand.rated)));
    EXPECT_TRUE(DutyKpText(hand.cubes / hand.rated).contains(QLatin1Char(',')));

    // zorvan-cli duty on the run's image: the calendar first, one language a line.
    const Run text = Cli({"duty", out.filePath("recorder.img")});
    ASSERT_EQ(text.exitCode, 0);
    const QStringList lines = QString::fromUtf8(text.out).split('\n');
    ASSERT_GT(lines.size(), 1);
    EXPECT_EQ(lines[1], expired);
    for (const QString& line : lines + QString::fromUtf8(text.err).split('\n'))
        EXPECT_TRUE(OneLanguage(line)) << line.toStdString();
}

TEST_F(DutyCliTest, NoSummatorRecordNoEstimateAndALookAtTheArchiveMakesNothing) {
    GenerateOptions options;
    options.events = 20;
    options.sums = 0;
    sim.Generate(options);
    ASSERT_EQ(Cli({"summator", "--out", outDir.path(), "-q"}).exitCode, 0);
    const Run blank = Cli({"duty", QDir(outDir.path()).filePath("recorder.img")});
    EXPECT_EQ(blank.exitCode, 3);
    EXPECT_TRUE(blank.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(blank.err).trimmed(),
              QStringLiteral("zorvan-cli: в образе нет записей сумматора: прочитайте сумматор"));

    // No archive, then an empty file: said so, exit as for a usage error,
    // and neither is made an archive.
    QTemporaryDir data;
    const QString archive = data.filePath("zorvan/archive.sqlite");
    const Run none = Cli({"duty", "--list-cranes"}, data.path());
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.contains("nothing has been read yet")) << none.err.toStdString();
    EXPECT_FALSE(QFile::exists(archive));
    ASSERT_TRUE(QDir(data.path()).mkpath("zorvan"));
    QFile empty(archive);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const Run emptyLook = Cli({"duty", "--list-cranes"}, data.path());
    EXPECT_EQ(emptyLook.exitCode, 2);
    EXPECT_TRUE(emptyLook.err.contains("nothing has been read yet"));
    EXPECT_EQ(QFileInfo(archive).size(), 0);
}

} // namespace
