// The manifest's text: read back as written, and checkable by sha256sum.

#include "seal/manifest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Manifest, ReadsBackWhatItWroteWithEveryReadoutAndItsSettings) {
    Manifest m;
    m.folder = QStringLiteral("08_12_2026_13_38_33");
    m.program = QStringLiteral("zorvan-cli 0.1");
    m.user = QStringLiteral("engineer");
    m.computer = QStringLiteral("laptop\nsecond line"); // kept on one line
    m.sealedAt = QDateTime(QDate(2026, 12, 8), QTime(13, 40, 2), Qt::UTC);
    m.recorderClock = QStringLiteral("07.12.2026 09:04");
    m.craneKey = QStringLiteral("abc123");
    m.craneType = QStringLiteral("КС-55713");
    m.craneSerial = QStringLiteral("1234");
    SealedReadout events;
    events.files = {true, true, false};
    events.outcome = ReadoutOutcome::Break;
    events.withReach = false;
    events.texts.relay[0] = QStringLiteral("Реле = свое, с пробелом");
    SealedReadout sum;
    sum.kind = ReadoutKind::Summator;
    sum.outcome = ReadoutOutcome::Failed;
    sum.files = {false, false, true};
    sum.basis = RatingBasis::Weight;
    sum.fullScale = 250;
    m.readouts = {events, sum};
    m.files = {{QStringLiteral("recorder.img"), QByteArray(32, '\x01')},
               {QStringLiteral("zorvan.xls"), QByteArray(32, '\xfe')}};

    const QByteArray text = ManifestText(m);
    EXPECT_TRUE(text.contains("readout: events cut-short-by-break files=xls,txt reach=no texts="));
    EXPECT_TRUE(text.contains("readout: summator cut-short-by-failure files=hex reach=yes "
                              "basis=weight full-scale=250 texts=default\n"));
    EXPECT_TRUE(text.contains("computer: laptop second line\n"));
    Manifest back;
    QString error;
    ASSERT_TRUE(ParseManifest(text, back, error)) << error.toStdString();
    EXPECT_EQ(back.computer, QStringLiteral("laptop second line"));
    EXPECT_EQ(back.sealedAt, m.sealedAt);
    EXPECT_EQ(back.craneType, m.craneType);
    EXPECT_EQ(back.recorderClock, m.recorderClock);
    ASSERT_EQ(back.readouts.size(), 2u);
    EXPECT_EQ(back.readouts[0].outcome, ReadoutOutcome::Break);
    EXPECT_TRUE(back.readouts[0].files.txt);
    EXPECT_FALSE(back.readouts[0].files.hex);
    EXPECT_FALSE(back.readouts[0].withReach);
    EXPECT_EQ(back.readouts[0].texts.relay, events.texts.relay);
    EXPECT_EQ(back.readouts[1].kind, ReadoutKind::Summator);
    EXPECT_TRUE(back.readouts[1].withReach);
    EXPECT_EQ(back.readouts[1].outcome, ReadoutOutcome::Failed);
    EXPECT_EQ(back.readouts[1].basis, RatingBasis::Weight);
    EXPECT_EQ(back.readouts[1].fullScale, 250);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[1].name, QStringLiteral("zorvan.xls"));
    EXPECT_EQ(back.files[1].sha256, m.files[1].sha256);

    EXPECT_FALSE(ParseManifest("zorvan run seal, format 2\n", back, error));
    EXPECT_FALSE(ParseManifest(text + "0123  short\n", back, error));
}

// A third party checks the files with coreutils alone.
TEST(Manifest, ItsFileLinesAreSha256sumsOwn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray content = "9.12.2026 6:30\r\n";
    {
        QFile f(dir.filePath(QStringLiteral("zorvlog.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray hash;
    ASSERT_TRUE(FileSha256(dir.filePath(QStringLiteral("zorvlog.txt")), hash));
    EXPECT_EQ(hash, QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    EXPECT_EQ(SealableFiles(dir.path()), QStringList{QStringLiteral("zorvlog.txt")});

    Manifest m;
    m.files = {{QStringLiteral("zorvlog.txt"), hash}};
    QFile out(dir.filePath(QStringLiteral("manifest.txt")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(ManifestText(m));
    out.close();
    EXPECT_EQ(SealableFiles(dir.path()), QStringList{QStringLiteral("zorvlog.txt")});

    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), QStringLiteral("--ignore-missing"),
                                          QStringLiteral("manifest.txt")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().contains("zorvlog.txt: OK"));
}

} // namespace
