#include "readout/run_folder.h"
#include "settings/settings_file.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// --- Run folder name -----------------------------------------------------------

struct FolderNameCase {
    const char* name;
    QDate date;
    QTime time;
    const char* expected;
};

class RunFolderNameTest : public ::testing::TestWithParam<FolderNameCase> {};

TEST_P(RunFolderNameTest, DateAndTimeWithUnderscores) {
    const FolderNameCase& c = GetParam();
    EXPECT_EQ(RunFolderName(QDateTime(c.date, c.time)), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RunFolderNameTest,
    ::testing::Values(
        FolderNameCase{"afternoon", QDate(2026, 12, 7), QTime(12, 19, 17), "07_12_2026_12_19_17"},
        FolderNameCase{"leadingZeros", QDate(2026, 1, 5), QTime(9, 5, 3), "05_01_2026_09_05_03"},
        FolderNameCase{"lastSecond", QDate(2026, 12, 31), QTime(23, 59, 59), "31_12_2026_23_59_59"},
        FolderNameCase{"exactlyMidnight", QDate(2026, 12, 7), QTime(0, 0, 0, 0), "07_12_2026"},
        FolderNameCase{"halfSecondPastMidnight", QDate(2026, 12, 7), QTime(0, 0, 0, 500),
                       "07_12_2026_00_00_00"},
        FolderNameCase{"oneSecondPastMidnight", QDate(2026, 12, 7), QTime(0, 0, 1),
                       "07_12_2026_00_00_01"},
        FolderNameCase{"leapDay", QDate(2028, 2, 29), QTime(0, 0), "29_02_2028"}),
    [](const auto& p) { return std::string(p.param.name); });

// --- Making the run folder -----------------------------------------------------

class MakeRunFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QTemporaryDir dir_;
    const QDateTime at_{QDate(2026, 12, 7), QTime(12, 19, 17)};
};

TEST_F(MakeRunFolderTest, MakesTheFolderAndLeavesTheCurrentDirectory) {
    const QString before = QDir::currentPath();
    const QString made = MakeRunFolder(QDir(dir_.path()), at_);
    ASSERT_FALSE(made.isEmpty());
    EXPECT_EQ(QFileInfo(made).fileName(), RunFolderName(at_));
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_TRUE(QFileInfo(made).isAbsolute());
    EXPECT_EQ(QFileInfo(made).dir().canonicalPath(), QDir(dir_.path()).canonicalPath());
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST_F(MakeRunFolderTest, ATakenNameGetsTheNextFreeSuffix) {
    const QString first = MakeRunFolder(QDir(dir_.path()), at_);
    QFile marker(QDir(first).filePath(QStringLiteral("zorvlog.txt")));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    // A file holding a name takes it as much as a folder does.
    QFile blocker(QDir(dir_.path()).filePath(RunFolderName(at_) + QStringLiteral("_2")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QString second = MakeRunFolder(QDir(dir_.path()), at_);
    EXPECT_EQ(QFileInfo(first).fileName(), RunFolderName(at_));
    EXPECT_EQ(QFileInfo(second).fileName(), RunFolderName(at_) + QStringLiteral("_3"));
    EXPECT_TRUE(QFileInfo(second).isDir());
    EXPECT_TRUE(marker.exists()) << "the first folder's files stay";
    EXPECT_EQ(QDir(first).entryList(QDir::Files), QStringList{QStringLiteral("zorvlog.txt")});
}

TEST_F(MakeRunFolderTest, StartsAtTheSameMomentEachGetAFolderOfTheirOwn) {
    constexpr int Starts = 8;
    std::vector<QString> made(Starts);
    std::vector<std::thread> threads;
    for (int i = 0; i < Starts; ++i)
        threads.emplace_back(
            [&, i] { made[std::size_t(i)] = MakeRunFolder(QDir(dir_.path()), at_); });
    for (std::thread& t : threads)
        t.join();
    const std::set<QString> distinct(made.begin(), made.end());
    EXPECT_EQ(distinct.size(), std::size_t(Starts));
    EXPECT_EQ(distinct.count(QString()), 0u);
}

TEST_F(MakeRunFolderTest, FailsInAMissingDirectory) {
    const QDir missing(QDir(dir_.path()).filePath(QStringLiteral("gone")));
    EXPECT_TRUE(MakeRunFolder(missing, at_).isEmpty());
    EXPECT_FALSE(missing.exists()) << "no parent folders are made";
}

// --- FileExists ----------------------------------------------------------------

TEST(FileExistsTest, AnswersWhetherTheFileCanBeOpened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("zorvlog.txt"));

    EXPECT_FALSE(FileExists(QString())) << "empty name";
    EXPECT_FALSE(FileExists(log)) << "missing";
    EXPECT_FALSE(FileExists(dir.path())) << "a folder is no file";

    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(FileExists(log)) << "existing, empty";

    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write("line\r\n"), 6);
    f.close();
    EXPECT_TRUE(FileExists(log)) << "existing, with content";
    EXPECT_TRUE(QFile::exists(log)) << "checking does not remove it";
}

TEST(FileExistsTest, BareNameIsLookedUpInTheCurrentDirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_FALSE(FileExists(QStringLiteral("zorvlog.txt")));
    QFile f(QStringLiteral("zorvlog.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(FileExists(QStringLiteral("zorvlog.txt")));
    ASSERT_TRUE(QDir::setCurrent(before));
}

TEST(FileExistsTest, UnreadableFileDoesNotCount) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("locked.txt"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(f.setPermissions(QFileDevice::WriteOwner));
    EXPECT_FALSE(FileExists(name));
}

} // namespace
