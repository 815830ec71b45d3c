// The archive's database: what it keeps, and what it never does to a file
// it cannot use.

#include "archive/archive_database.h"
#include "archive/crane_store.h"
#include "image/image_file.h"
#include "image/image_tap.h"
#include "image/replay.h"
#include "tests/archive/archive_fixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ArchiveDatabaseTest : public SinceLastTest {
protected:
    QString databasePath() const {
        return archivePath + QLatin1Char('/') + ArchiveDatabase::FileName;
    }

    // One value of a query on the archive, through a connection of its own.
    QVariant scalar(const QString& sql) const {
        const QString name = ArchiveDatabase::NewConnectionName();
        QVariant value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(databasePath());
            QSqlQuery query(db);
            if (db.open() && query.exec(sql) && query.next())
                value = query.value(0);
        }
        QSqlDatabase::removeDatabase(name);
        return value;
    }
};

TEST_F(ArchiveDatabaseTest, KeepsEveryDistinctRecordOnceAndEveryEarlierContentOfASlot) {
    const auto sumBlocks = [this] {
        return scalar(QStringLiteral("SELECT count(*) FROM blocks WHERE memory = 2")).toInt();
    };
    (void)readSums(Archive::Add);
    (void)readSums(Archive::Add);
    EXPECT_EQ(sumBlocks(), 200 + 1); // the records and the blank last slot
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM visits")).toInt(), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM cranes")).toInt(), 1);
    // Written round: every record read is new, and the old ones stay.
    sim.AppendHistory(0, 8192, 12);
    const Outcome wrapped = readSums(Archive::Take);
    EXPECT_EQ(sumBlocks(), 200 + 1 + wrapped.recordReads);
}

// The log of a readout whose archive was not kept, less the line that says so.
QStringList WithoutArchiveProblem(QStringList log) {
    const qsizetype before = log.size();
    log.removeIf([](const QString& line) {
        return line.startsWith(QStringLiteral("Архив не ведется: база архива"));
    });
    EXPECT_EQ(log.size(), before - 1);
    return log;
}

TEST_F(ArchiveDatabaseTest, ADamagedOrNewerDatabaseIsLeftAsItIsAndTheReadoutGoesOn) {
    const Outcome plain = readEvents(Archive::None);
    for (const bool newer : {false, true}) {
        SCOPED_TRACE(newer ? "newer" : "damaged");
        if (newer) {
            QFile::remove(databasePath());
            (void)readEvents(Archive::Add);
            (void)scalar(QStringLiteral("UPDATE schema_version SET version = 2"));
            ASSERT_EQ(scalar(QStringLiteral("SELECT version FROM schema_version")).toInt(), 2);
        } else {
            ASSERT_TRUE(QDir().mkpath(archivePath));
            QFile file(databasePath());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, '\x5A'));
        }
        const QByteArray before = FileBytes(databasePath());
        Outcome taken = readEvents(Archive::Take);
        EXPECT_TRUE(FileBytes(databasePath()) == before);
        taken.log = WithoutArchiveProblem(taken.log);
        expectSameFiles(taken, plain, std::nullopt);
    }
}

TEST_F(ArchiveDatabaseTest, AnImageArchiveOfAnEarlierVersionIsImportedOnceAndTrustedForNothing) {
    // What an earlier version kept of this recorder: the image of a readout.
    ASSERT_TRUE(QDir().mkpath(archivePath));
    QString image;
    {
        const ImageTap tap(link, 1, run.filePath(QStringLiteral("old.img")));
        (void)readEvents(Archive::None);
        image = archivePath + QLatin1Char('/') +
                RecorderKey(QByteArray(reinterpret_cast<const char*>(ident.data()), 360)) +
                QStringLiteral(".img");
    }
    ASSERT_TRUE(QFile::copy(run.filePath(QStringLiteral("old.img")), image));
    const QByteArray imageBytes = FileBytes(image);
    // Another history under the same identification: the old records are
    // only in the image.
    GenerateOptions other;
    other.events = 100;
    other.seed = 9;
    other.identSeed = 7;
    sim.Generate(other);

    const auto eventBlocks = [this] {
        return scalar(QStringLiteral("SELECT count(*) FROM blocks WHERE memory = 1")).toInt();
    };
    const Outcome first = readEvents(Archive::Take);
    EXPECT_EQ(first.recordReads, 100);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM imports")).toInt(), 1);
    EXPECT_EQ(eventBlocks(), 300 + 1 + 100); // with the blank last slot
    EXPECT_TRUE(FileBytes(image) == imageBytes);
    // Read whole now: the next revisit takes from it, and imports nothing again.
    const Outcome second = readEvents(Archive::Take);
    EXPECT_EQ(second.recordReads, 16);
    EXPECT_EQ(eventBlocks(), 401);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM imports")).toInt(), 1);
}

TEST_F(ArchiveDatabaseTest, TheImageOfAnIncrementalRunReplaysAsAFullReadout) {
    (void)readEvents(Archive::Add);
    sim.AppendHistory(40, 0, 11);
    const Outcome full = readEvents(Archive::None);
    const QString folder = run.filePath(QStringLiteral("incremental"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QDir::setCurrent(folder);
    {
        const ImageTap tap(link, 1);
        const Outcome taken = readEvents(Archive::Take);
        ASSERT_EQ(taken.recordReads, 56);
    }
    // readOut moved on to a folder of its own: the tap wrote here.
    MemoryImage image;
    ASSERT_TRUE(
        LoadMemoryImageFile(QDir(folder).filePath(QStringLiteral("recorder.img")), image).ok);
    QuietReadoutHost quiet;
    ReplaySettings settings;
    settings.files = AllFiles;
    const ReplayResult replay =
        ReplayReadout(image, ReplayKind::Events, settings, run.filePath(QStringLiteral("replayed")),
                      quiet, messages);
    EXPECT_EQ(replay.status, ReplayStatus::Done);
    EXPECT_EQ(replay.readsMissing, 0);
    for (const QString& name :
         {QStringLiteral("zorvan.xls"), QStringLiteral("zorvan.txt"), QStringLiteral("zorvan.hex")})
        EXPECT_TRUE(FileBytes(run.filePath(QStringLiteral("replayed/") + name)) ==
                    full.files.at(name))
            << qPrintable(name);
}

} // namespace

namespace {

// Two readouts of one crane meet in the archive (two processes, or two
// cranes that identify alike): an anchor is trusted, and given back, only
// when no other readout of that memory began or wrote in between.
TEST(CraneStoreTest, AnAnchorVouchesOnlyWhenNoOtherReadoutCameBetween) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(ArchiveDatabase::FileName);
    const QByteArray ident(360, 'x');
    const QByteArray record(11, '\x21');
    const auto bytes = [&record] { return reinterpret_cast<const std::uint8_t*>(record.data()); };
    constexpr std::uint32_t Newest = 0x30000 + 11 * 5;
    const auto open = [&](CraneStore& store) {
        ASSERT_TRUE(store.Open(db, QStringLiteral("k"), ident, 1, 1000))
            << qPrintable(store.Error());
    };

    {
        CraneStore whole;
        open(whole);
        EXPECT_EQ(whole.BeginWalk(RecordMemory::Events), std::nullopt);
        ASSERT_TRUE(whole.Add(4, Newest, bytes(), 11, 1000));
        whole.WalkRead(RecordMemory::Events, Newest, 1000);
    }
    CraneStore first, second;
    open(first);
    open(second);
    // Both saw the anchor; the one that begins first may use it.
    EXPECT_EQ(second.BeginWalk(RecordMemory::Events), Newest);
    EXPECT_EQ(first.BeginWalk(RecordMemory::Events), std::nullopt);
    ASSERT_TRUE(second.Add(4, Newest, bytes(), 11, 2000));
    ASSERT_TRUE(first.Add(4, Newest - 11, bytes(), 11, 2000));
    // Another began since second did; second wrote since first began.
    second.WalkRead(RecordMemory::Events, Newest, 2000);
    first.WalkRead(RecordMemory::Events, Newest, 2000);
    first.Close();
    second.Close();
    CraneStore third;
    open(third);
    EXPECT_EQ(third.BeginWalk(RecordMemory::Events), std::nullopt);
    ASSERT_TRUE(third.Add(4, Newest, bytes(), 11, 3000));
    third.WalkRead(RecordMemory::Events, Newest, 3000);
    third.Close();
    // Alone, a walk read whole gives it back.
    CraneStore fourth;
    open(fourth);
    EXPECT_EQ(fourth.BeginWalk(RecordMemory::Events), Newest);
}

TEST(ArchiveMemoryTest, OnlyARecordsLengthInsideItsAreaIsArchivedAsARecord) {
    using namespace RecorderMap;
    using ArchiveDatabase::MemoryOf;
    // The current records are read with a record's length below both areas.
    EXPECT_EQ(MemoryOf(MemorySelector, CurrentSumAddress, SumLength), ArchiveDatabase::OtherBlock);
    EXPECT_EQ(MemoryOf(MemorySelector, CurrentEventAddress, EventLength),
              ArchiveDatabase::OtherBlock);
    EXPECT_EQ(MemoryOf(MemorySelector, SumStart, SumLength), ArchiveDatabase::SumRecord);
    EXPECT_EQ(MemoryOf(MemorySelector, SumEnd - SumLength, SumLength), ArchiveDatabase::SumRecord);
    EXPECT_EQ(MemoryOf(MemorySelector, SumEnd, SumLength), ArchiveDatabase::OtherBlock);
    EXPECT_EQ(MemoryOf(MemorySelector, EventStart, EventLength), ArchiveDatabase::EventRecord);
    EXPECT_EQ(MemoryOf(MemorySelector, EventEnd, EventLength), ArchiveDatabase::OtherBlock);
    EXPECT_EQ(MemoryOf(MemorySelector, SumStart, EventLength), ArchiveDatabase::OtherBlock);
    EXPECT_EQ(MemoryOf(MemorySelector + 1, SumStart, SumLength), ArchiveDatabase::OtherBlock);
}

} // namespace
