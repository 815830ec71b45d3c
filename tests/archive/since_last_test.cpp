// Incremental readouts against the archive: every file they write must equal
// the files of a full readout of the same recorder at the same moment.

#include "archive/crane_archive.h"
#include "readout/event_readout.h"
#include "summator/sum_readout.h"
#include "tests/readout/readout_fixture.h"

#include <QDirIterator>

#include <map>
#include <optional>

namespace {

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));
const QDateTime RecorderTime(QDate(2026, 12, 7), QTime(9, 4));
constexpr OutputChoice AllFiles{true, true, true};

// What a readout left behind: its files, its log and its record reads.
struct Outcome {
    std::map<QString, QByteArray> files;
    QStringList log;
    int recordReads = 0;
};

class SinceLastTest : public ReadoutTest {
protected:
    enum class Archive { None, Add, Take };

    void SetUp() override {
        ReadoutTest::SetUp();
        ASSERT_TRUE(archiveDir.isValid());
        GenerateOptions options;
        options.events = 300;
        options.sums = 200;
        options.seed = 7;
        sim.Generate(options);
    }

    // A readout in a run folder of its own, at the same recorder time.
    Outcome readEvents(Archive use) { return readOut(use, true); }
    Outcome readSums(Archive use) { return readOut(use, false); }

    Outcome readOut(Archive use, bool events) {
        const QString folder = run.filePath(QString::number(++runs));
        EXPECT_TRUE(QDir().mkpath(folder));
        QDir::setCurrent(folder);
        sim.SetClock(RecorderTime);
        sim.ClearRequests();
        std::optional<CraneArchive> archive;
        if (use != Archive::None)
            archive.emplace(link, 1, archiveDir.path());
        const ArchiveUse archiveUse{archive ? &*archive : nullptr, use == Archive::Take};
        if (events) {
            EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
            readout.SetArchive(archiveUse);
            readout.Run(AllFiles, true, StartedAt);
            readout.Finish();
        } else {
            SumReadout readout(host, requests, breakRequested, messages, pager, ident);
            readout.SetArchive(archiveUse);
            readout.Run({AllFiles, RatingBasis::Moment, 800}, StartedAt);
            readout.Finish();
        }
        Outcome outcome;
        for (QDirIterator it(folder, QDir::Files); it.hasNext();) {
            QFile file(it.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            outcome.files[it.fileName()] = file.readAll();
        }
        outcome.log = fileLines(QStringLiteral("zorvlog.txt"));
        outcome.recordReads = int(recordReads().size());
        return outcome;
    }

    // The incremental readout wrote what the full one writes, and told so
    // in one more log line.
    static void expectSameFiles(const Outcome& incremental, const Outcome& full,
                                const QString& countLine) {
        ASSERT_FALSE(full.files.empty());
        for (const auto& [name, bytes] : full.files) {
            if (name == QStringLiteral("zorvlog.txt"))
                continue;
            ASSERT_EQ(incremental.files.count(name), 1u) << qPrintable(name);
            EXPECT_TRUE(incremental.files.at(name) == bytes) << qPrintable(name);
        }
        EXPECT_EQ(incremental.files.size(), full.files.size());
        EXPECT_EQ(incremental.log.join(QLatin1Char('\n')).toStdString(),
                  (full.log + QStringList{countLine}).join(QLatin1Char('\n')).toStdString());
    }

    static QString counts(int line, int archived) {
        return QStringLiteral("Записей прочитано с линии %1, взято из архива %2")
            .arg(line)
            .arg(archived);
    }

    QTemporaryDir archiveDir;
    const MessageTexts texts = MessageTexts::Defaults();
    int runs = 0;
};

TEST_F(SinceLastTest, NewRecordsComeFromTheLineAndTheRestFromTheArchive) {
    // Adding to the archive is no change to the readout.
    const Outcome plain = readEvents(Archive::None);
    const Outcome archived = readEvents(Archive::Add);
    EXPECT_EQ(archived.files, plain.files);
    EXPECT_EQ(archived.recordReads, 300);
    const Outcome plainSums = readSums(Archive::None);
    EXPECT_EQ(readSums(Archive::Add).files, plainSums.files);

    sim.AppendHistory(40, 30, 11);
    const Outcome events = readEvents(Archive::Take);
    // The new records and a run of sixteen that ends the line's part.
    EXPECT_EQ(events.recordReads, 40 + 16);
    const Outcome sums = readSums(Archive::Take);
    EXPECT_EQ(sums.recordReads, 30 + 16);
    expectSameFiles(events, readEvents(Archive::None), counts(56, 340 - 56));
    expectSameFiles(sums, readSums(Archive::None), counts(46, 230 - 46));

    // Nothing new: only the run is read.
    const Outcome again = readEvents(Archive::Take);
    expectSameFiles(again, readEvents(Archive::None), counts(16, 340 - 16));
}

TEST_F(SinceLastTest, ASummatorWrittenPastTheArchivedPartIsReadWhole) {
    (void)readSums(Archive::Add);
    // Once round and on: every archived record is written over.
    sim.AppendHistory(0, 8192, 12);
    const Outcome sums = readSums(Archive::Take);
    const Outcome full = readSums(Archive::None);
    EXPECT_EQ(sums.recordReads, full.recordReads);
    expectSameFiles(sums, full, counts(full.recordReads, 0));
}

TEST_F(SinceLastTest, AfterAnEraseTheMemoryIsReadWhole) {
    (void)readEvents(Archive::Add);
    (void)readSums(Archive::Add);
    ASSERT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    // Past the archived pointer again, with other records at its address.
    sim.AppendHistory(400, 250, 13);
    const Outcome events = readEvents(Archive::Take);
    const Outcome sums = readSums(Archive::Take);
    expectSameFiles(events, readEvents(Archive::None), counts(401, 0));
    expectSameFiles(sums, readSums(Archive::None), counts(250, 0));
}

TEST_F(SinceLastTest, AWalkCutShortAfterAnEraseVouchesForNothingBelowTheCut) {
    (void)readEvents(Archive::Add);
    ASSERT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    sim.AppendHistory(400, 0, 14);
    // Broken off after 30 records: the archive holds the new history down to
    // there and the erased one below.
    int records = 0;
    host.onProgress = [&](int) { breakRequested = ++records == 30; };
    (void)readEvents(Archive::Add);
    host.onProgress = nullptr;
    breakRequested = false;
    sim.AppendHistory(10, 0, 15);
    const Outcome events = readEvents(Archive::Take);
    expectSameFiles(events, readEvents(Archive::None), counts(411, 0));
}

TEST_F(SinceLastTest, AnotherCraneWithTheSameIdentificationIsReadWhole) {
    (void)readEvents(Archive::Add);
    (void)readSums(Archive::Add);
    GenerateOptions other;
    other.events = 300;
    other.sums = 200;
    other.seed = 8;
    other.identSeed = 7;
    sim.Generate(other);
    const Outcome events = readEvents(Archive::Take);
    const Outcome sums = readSums(Archive::Take);
    expectSameFiles(events, readEvents(Archive::None), counts(300, 0));
    expectSameFiles(sums, readSums(Archive::None), counts(200, 0));
}

} // namespace
