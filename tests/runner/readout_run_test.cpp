// The readout run every front end calls: the image, the archive, the end of
// the exchange and the page around the records.

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "image/image_file.h"
#include "readout/event_readout.h"
#include "runner/readout_run.h"
#include "runner/stop_signals.h"
#include "summary/run_summary.h"
#include "tests/readout/readout_fixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

using EndExchange = std::function<void(const std::function<void()>&)>;

class ReadoutRunTest : public ReadoutTest {
protected:
    ReadoutRunEnd runEvents(bool sinceLast, const EndExchange& end) {
        if (!port.Open()) {
            EXPECT_TRUE(port.SetOpen(true));
        }
        EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
        summary = RunSummary();
        return RunEventReadout(
            readout, {link, 1, sinceLast, end}, {}, false, summary,
            [&] {
                return FinishedReadout{
                    ReadoutKind::Events, 1, host.ClockText(), ident, texts, false};
            },
            run.path());
    }

    MessageTexts texts = MessageTexts::Defaults();
    RunSummary summary;
};

TEST_F(ReadoutRunTest, TheRecordsAreImagedArchivedAndPagedAndTheFrontEndEndsTheExchange) {
    GenerateOptions options;
    options.events = 40;
    options.sums = 0;
    sim.Generate(options);
    sim.ClearRequests();
    bool portOpenAtEnd = false;
    const ReadoutRunEnd first = runEvents(false, [&](const std::function<void()>& finishFiles) {
        portOpenAtEnd = port.Open();
        (void)port.SetOpen(false);
        finishFiles();
    });
    EXPECT_EQ(first.result.outcome, ReadoutOutcome::Completed);
    EXPECT_FALSE(first.result.fileFailed);
    EXPECT_TRUE(first.archiveError.isEmpty()) << qPrintable(first.archiveError);
    EXPECT_TRUE(portOpenAtEnd);
    EXPECT_EQ(recordReads().size(), 40u);
    MemoryImage image;
    ASSERT_TRUE(LoadMemoryImageFile(QStringLiteral("recorder.img"), image).ok);
    EXPECT_TRUE(image.IsRead(4, 0x30000, 11));
    EXPECT_EQ(summary.Memory(ReadoutKind::Events).records, 40);
    EXPECT_TRUE(QFile::exists(QDir(run.path()).filePath(QStringLiteral("index.html"))));

    // The walk went into the archive: the next run takes from it.
    sim.ClearRequests();
    const ReadoutRunEnd again = runEvents(true, [&](const std::function<void()>& finishFiles) {
        (void)port.SetOpen(false);
        finishFiles();
    });
    EXPECT_EQ(again.result.outcome, ReadoutOutcome::Completed);
    EXPECT_LT(recordReads().size(), 40u);
    EXPECT_TRUE(fileLines(QStringLiteral("zorvlog.txt"))
                    .last()
                    .contains(QStringLiteral("взято из архива")));
}

TEST_F(ReadoutRunTest, AnEndingThatLeavesTheFilesAloneStillGetsThemFinished) {
    GenerateOptions options;
    options.events = 3;
    options.sums = 0;
    sim.Generate(options);
    const ReadoutRunEnd end =
        runEvents(false, [&](const std::function<void()>&) { (void)port.SetOpen(false); });
    EXPECT_EQ(end.result.outcome, ReadoutOutcome::Completed);
    EXPECT_GT(QFileInfo(QStringLiteral("zorvan.xls")).size(), 0);
}

TEST_F(ReadoutRunTest, TheLastWriteOfACutReadoutThatFailsIsReportedLikeAnyOther) {
    GenerateOptions options;
    options.events = 40;
    options.sums = 0;
    sim.Generate(options);
    int records = 0;
    host.onProgress = [&](int) { breakRequested = ++records == 10; };
    // Another program holds the archive's write lock from the end of the
    // exchange on: the blocks the cut readout still holds cannot go in.
    const QString connection = QStringLiteral("holder");
    bool locked = false;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        holder.setDatabaseName(ArchiveFolder() + QLatin1Char('/') + ArchiveDatabase::FileName);
        const ReadoutRunEnd end = runEvents(false, [&](const std::function<void()>& finishFiles) {
            (void)port.SetOpen(false);
            locked = holder.open() && QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE"));
            finishFiles();
        });
        EXPECT_TRUE(locked);
        EXPECT_EQ(end.result.outcome, ReadoutOutcome::Break);
        EXPECT_TRUE(end.archiveError.startsWith(QStringLiteral("база архива занята")))
            << qPrintable(end.archiveError);
        // The log tells it as it tells a failure at the start: the window's
        // user reads nothing else.
        EXPECT_EQ(fileLines(QStringLiteral("zorvlog.txt")).last(),
                  QStringLiteral("Архив не ведется: ") + end.archiveError)
            << qPrintable(fileLines(QStringLiteral("zorvlog.txt")).last());
        (void)QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        holder.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

// Each front end's stop signals come and go with it: none may leave an end of
// its pipe open, and the next one must be able to make its own.
TEST(StopSignalsTest, EachLeavesNoDescriptorOpen) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (!fds.exists())
        GTEST_SKIP() << "no /proc";
    const auto openCount = [&fds] {
        return fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    };
    const qsizetype before = openCount();
    for (int i = 0; i < 3; ++i) {
        const StopSignals stop({});
        ASSERT_TRUE(stop.Active()) << i;
    }
    EXPECT_EQ(openCount(), before);
}

} // namespace
