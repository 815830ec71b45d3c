#include "summator/word_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

bool Touch(const QString& path) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly);
}

// An installed tree: usr/bin for the program, usr/share/zorvan for its data.
TEST(WordPathsTest, TemplateBesideTheProgramFirstThenTheDataFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString beside = bin + QStringLiteral("/Dot_n.dot");
    const QString data = root.filePath(QStringLiteral("usr/share/zorvan/Dot_n.dot"));
    ASSERT_TRUE(QDir().mkpath(bin));

    // Neither: the usual place, so the failure names it.
    EXPECT_EQ(WordTemplatePath(bin), beside);
    ASSERT_TRUE(Touch(data));
    EXPECT_EQ(WordTemplatePath(bin), data);
    EXPECT_EQ(WordTemplatePath(bin + QLatin1Char('/')), data);
    ASSERT_TRUE(Touch(beside));
    EXPECT_EQ(WordTemplatePath(bin), beside);
}

TEST(WordPathsTest, ReportBesideTheProgramUnlessItsFolderIsReadOnly) {
    QTemporaryDir program;
    QTemporaryDir run;
    ASSERT_TRUE(program.isValid() && run.isValid());
    EXPECT_EQ(WordReportPath(program.path(), run.path()),
              program.filePath(QStringLiteral("list.doc")));

    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    if (QFileInfo(program.path()).isWritable())
        GTEST_SKIP() << "this user writes into read-only folders";
    EXPECT_EQ(WordReportPath(program.path(), run.path()), run.filePath(QStringLiteral("list.doc")));
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// For root every folder is writable: the template's place, not the folder's
// permissions, tells an installed program, which never writes into usr/bin.
TEST(WordPathsTest, InstalledProgramPutsTheReportInTheRunFolder) {
    QTemporaryDir root;
    QTemporaryDir run;
    ASSERT_TRUE(root.isValid() && run.isValid());
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(Touch(root.filePath(QStringLiteral("usr/share/zorvan/Dot_n.dot"))));
    ASSERT_TRUE(QFileInfo(bin).isWritable());
    EXPECT_EQ(WordReportPath(bin, run.path()), run.filePath(QStringLiteral("list.doc")));

    // A template beside the program is a build tree (or the user's copy).
    ASSERT_TRUE(Touch(bin + QStringLiteral("/Dot_n.dot")));
    EXPECT_EQ(WordReportPath(bin, run.path()), bin + QStringLiteral("/list.doc"));
}

} // namespace
