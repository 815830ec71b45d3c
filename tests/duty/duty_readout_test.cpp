// The duty estimate after real summator readouts of the simulator: the
// figures of duty.json and of the page counted again from the recorder's
// memory, and zorvan-cli duty on the run's memory image agreeing with both.

#include "duty/duty_report.h"
#include "duty_cases.h"
#include "summary/page_update.h"
#include "summary/summary_page.h"
#include "summator/sum_readout.h"
#include "tests/readout/readout_fixture.h"

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
};

HandCount CountByHand(const RecorderSimulator& sim) {
    HandCount h;
    for (std::uint32_t at = sim.SumPointer();; at -= 16) {
        const QByteArray r = sim.Bytes(4, at, 16);
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
            h.cubes += std::pow(w / RatedLoad, 3);
            h.overloads += w > RatedLoad;
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
    const double years = Commissioned.daysTo(sim.Clock().date()) / 365.25;
    EXPECT_NEAR(json["cycles_per_year"].toDouble(), hand.totalCycles / years, 1e-6);
    EXPECT_EQ(json["cycles_per_year_basis"].toString(), "commissioning");
    EXPECT_NEAR(json["projected_cycles"].toDouble(), 20 * hand.totalCycles / years, 1e-6);
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
        QByteArray out;
    };
    Run Cli(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
    for (const char* id :
         {"duty-kp", "duty-used", "duty-group", "duty-per-year", "duty-years-left"}) {
        const QString value = Cell(page, QLatin1String(id));
        EXPECT_FALSE(value.isEmpty()) << id;
        EXPECT_EQ(lines.filter(QLatin1Char('\t') + value).size(), 1) << id;
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

} // namespace
