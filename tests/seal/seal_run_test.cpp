// Every readout seals its run folder, and verify catches each kind of change:
// readouts by the built tool and the window against the recorder simulator,
// the sealed folders then changed as someone after the readout would.

#include "image/image_file.h"
#include "seal/key_store.h"
#include "seal/run_seal.h"
#include "seal/seal_check.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/file_bytes.h"

#include <QCryptographicHash>
#include <QPushButton>

namespace {

bool CopyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden))
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)))
            return false;
    return true;
}

// One byte in the middle of the file changed.
bool FlipByte(const QString& path) {
    QByteArray bytes = ReadFileBytes(path);
    if (bytes.isEmpty())
        return false;
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
    return WriteFileBytes(path, bytes);
}

int MinisignVerify(const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start("minisign", {"-V", "-q", "-m", "manifest.txt", "-p", "zorvan.pub"});
    return p.waitForFinished(10000) ? p.exitCode() : -1;
}

bool HasFinding(const SealReport& r, FileFinding::Kind kind, const QString& name) {
    return std::any_of(r.findings.begin(), r.findings.end(),
                       [&](const FileFinding& f) { return f.kind == kind && f.name == name; });
}

QString Findings(const SealReport& r) {
    QString text = r.reason;
    for (const FileFinding& f : r.findings)
        text += QStringLiteral("\n%1 %2 %3").arg(f.kind).arg(f.name, f.detail);
    return text;
}

class SealRunTest : public CliProcessTest {
protected:
    QString KeyFolder() const {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("zorvan");
    }

    void Generate(int events, int sums, std::uint32_t seed = GenerateOptions().seed) {
        GenerateOptions options;
        options.events = events;
        options.sums = sums;
        options.seed = seed;
        sim.Generate(options);
    }

    // A sealed summator readout with every file, in outDir.
    void ReadSummator() {
        Generate(20, 60, 21);
        ResetClock();
        const CliRun run =
            Run({"summator", "--xls", "--txt", "--hex", "--out", outDir.path(), "-q"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }

    CliRun Verify(const QString& folder, const QStringList& more = {}) {
        return Run(QStringList{"verify", folder} + more);
    }

    QTemporaryDir work;
    int copies = 0;
    QString Copy() {
        const QString to = work.filePath(QString::number(++copies));
        EXPECT_TRUE(CopyFolder(outDir.path(), to));
        return to;
    }
};

TEST_F(SealRunTest, ASummatorReadoutIsSealedAndVerifiesByMinisignAndByReplay) {
    ReadSummator();
    const QDir dir(outDir.path());
    for (const char* name : {"manifest.txt", "manifest.txt.minisig", "zorvan.pub"})
        EXPECT_TRUE(QFileInfo(dir.filePath(name)).size() > 0) << name;
    // The engineer's key pair, made on first use; its public key beside the manifest.
    EXPECT_EQ(ReadFileBytes(dir.filePath("zorvan.pub")),
              ReadFileBytes(KeyFolder() + "/zorvan.pub"));
    EXPECT_EQ(MinisignVerify(outDir.path()), 0);

    Manifest m;
    QString error;
    ASSERT_TRUE(ParseManifest(ReadFileBytes(dir.filePath("manifest.txt")), m, error));
    QStringList sealed;
    for (const SealedFile& f : m.files)
        sealed << f.name;
    EXPECT_EQ(sealed, QStringList({"duty.json", "index.html", "recorder.img", "report.xls",
                                   "summator.hex", "summator.txt", "summator.xls", "zorvlog.txt"}));
    ASSERT_EQ(m.readouts.size(), 1u);
    EXPECT_EQ(m.readouts[0].kind, ReadoutKind::Summator);
    EXPECT_EQ(m.readouts[0].outcome, ReadoutOutcome::Completed);
    EXPECT_EQ(m.recorderClock, "07.12.2026 09:04");
    EXPECT_FALSE(m.craneKey.isEmpty());
    EXPECT_FALSE(m.craneType.isEmpty());
    EXPECT_EQ(m.program, "zorvan-cli 0.1");

    const CliRun verify = Verify(outDir.path(), {"--key", KeyFolder() + "/zorvan.pub"});
    EXPECT_EQ(verify.exitCode, 0) << verify.out.join('\n').toStdString();
    for (const char* name :
         {"duty.json", "report.xls", "summator.hex", "summator.txt", "summator.xls"})
        EXPECT_TRUE(verify.out.contains(
            QString("ok: %1 (as sealed, and as the image gives it byte for byte)").arg(name)))
            << name << verify.out.join('\n').toStdString();
    EXPECT_TRUE(verify.out.contains("ok: zorvlog.txt (as sealed; by its hash only)"));
    EXPECT_EQ(verify.out.last(), "verdict: intact");

    // Replay writes the files the seal vouches for.
    QTemporaryDir replayDir;
    ASSERT_EQ(Run({"replay", dir.filePath("recorder.img"), "summator", "--xls", "--txt", "--hex",
                   "--out", replayDir.path(), "-q"})
                  .exitCode,
              0);
    for (const SealedFile& f : m.files) {
        if (f.name == "zorvlog.txt" || f.name == "index.html" || f.name == "recorder.img")
            continue;
        EXPECT_EQ(QCryptographicHash::hash(ReadFileBytes(QDir(replayDir.path()).filePath(f.name)),
                                           QCryptographicHash::Sha256),
                  f.sha256)
            << f.name.toStdString();
    }
}

TEST_F(SealRunTest, AByteChangedInAnyFileIsCaughtAndNamed) {
    ReadSummator();
    Manifest m;
    QString error;
    ASSERT_TRUE(
        ParseManifest(ReadFileBytes(QDir(outDir.path()).filePath("manifest.txt")), m, error));
    for (const SealedFile& f : m.files) {
        const QString copy = Copy();
        ASSERT_TRUE(FlipByte(QDir(copy).filePath(f.name)));
        const SealReport r = CheckRunFolder(copy, std::nullopt);
        EXPECT_EQ(r.verdict, SealVerdict::Altered) << f.name.toStdString();
        EXPECT_TRUE(HasFinding(r, FileFinding::Changed, f.name))
            << f.name.toStdString() << Findings(r).toStdString();
        // Only that file.
        EXPECT_EQ(r.findings.size(), 1u) << f.name.toStdString() << Findings(r).toStdString();
    }

    // Where the image gives the file again, the first differing line is named.
    const QString copy = Copy();
    QByteArray xls = ReadFileBytes(QDir(copy).filePath("summator.xls"));
    const qsizetype line5 = xls.indexOf('\n', xls.indexOf('\n', 0) + 1) + 1; // line 3
    xls[line5] = xls[line5] == 'x' ? 'y' : 'x';
    ASSERT_TRUE(WriteFileBytes(QDir(copy).filePath("summator.xls"), xls));
    const CliRun verify = Verify(copy);
    EXPECT_EQ(verify.exitCode, 10);
    ASSERT_FALSE(verify.out.filter("ALTERED: summator.xls: line 3: sealed \"").isEmpty())
        << verify.out.join('\n').toStdString();
    EXPECT_EQ(verify.out.last(), "verdict: ALTERED (the folder is not as sealed)");
}

TEST_F(SealRunTest, ReplacedImageEditedManifestOtherKeyMissingAndAddedFilesAndARename) {
    ReadSummator();
    const QString pub = KeyFolder() + "/zorvan.pub";

    // An image that loads well, with one summator record changed.
    QString copy = Copy();
    MemoryImage image;
    ASSERT_TRUE(LoadMemoryImageFile(QDir(copy).filePath("recorder.img"), image).ok);
    const std::optional<QByteArray> record = image.Bytes(4, 0x10000, 16);
    ASSERT_TRUE(record.has_value());
    QByteArray changed = *record;
    changed[5] = char(changed[5] ^ 0x10);
    image.Record(4, 0x10000, reinterpret_cast<const std::uint8_t*>(changed.constData()), 16, {});
    ASSERT_TRUE(WriteFileBytes(QDir(copy).filePath("recorder.img"), ImageFormat::Serialize(image)));
    SealReport r = CheckRunFolder(copy, std::nullopt);
    EXPECT_EQ(r.verdict, SealVerdict::Altered);
    EXPECT_TRUE(HasFinding(r, FileFinding::Changed, "recorder.img")) << Findings(r).toStdString();
    EXPECT_TRUE(HasFinding(r, FileFinding::NotFromImage, "summator.xls"))
        << Findings(r).toStdString();

    // A file changed and its hash in the manifest with it: the signature breaks.
    copy = Copy();
    ASSERT_TRUE(FlipByte(QDir(copy).filePath("summator.txt")));
    QByteArray manifest = ReadFileBytes(QDir(copy).filePath("manifest.txt"));
    const QByteArray oldHash =
        QCryptographicHash::hash(ReadFileBytes(QDir(outDir.path()).filePath("summator.txt")),
                                 QCryptographicHash::Sha256)
            .toHex();
    const QByteArray newHash =
        QCryptographicHash::hash(ReadFileBytes(QDir(copy).filePath("summator.txt")),
                                 QCryptographicHash::Sha256)
            .toHex();
    ASSERT_TRUE(manifest.contains(oldHash));
    ASSERT_TRUE(
        WriteFileBytes(QDir(copy).filePath("manifest.txt"), manifest.replace(oldHash, newHash)));
    EXPECT_EQ(MinisignVerify(copy), 1);
    CliRun v = Verify(copy);
    EXPECT_EQ(v.exitCode, 10);
    EXPECT_TRUE(v.out.last().contains("the signature does not match manifest.txt"))
        << v.out.join('\n').toStdString();

    // Sealed again by someone else's key: intact by the key beside it, but not
    // that engineer's.
    copy = Copy();
    const QString otherKeys = work.filePath("other-keys");
    ASSERT_TRUE(SealRunFolder(copy, nullptr, {}, otherKeys).ok);
    EXPECT_EQ(Verify(copy).exitCode, 0);
    v = Verify(copy, {"--key", pub});
    EXPECT_EQ(v.exitCode, 12);
    EXPECT_TRUE(v.out.last().startsWith("verdict: SIGNED BY ANOTHER KEY"))
        << v.out.join('\n').toStdString();
    // Only the signature swapped, the engineer's public key left beside it.
    ASSERT_TRUE(QFile::remove(QDir(copy).filePath("zorvan.pub")));
    ASSERT_TRUE(
        QFile::copy(QDir(outDir.path()).filePath("zorvan.pub"), QDir(copy).filePath("zorvan.pub")));
    EXPECT_EQ(Verify(copy).exitCode, 10);

    copy = Copy();
    ASSERT_TRUE(QFile::remove(QDir(copy).filePath("summator.hex")));
    r = CheckRunFolder(copy, std::nullopt);
    EXPECT_EQ(r.verdict, SealVerdict::Altered);
    EXPECT_TRUE(HasFinding(r, FileFinding::Missing, "summator.hex")) << Findings(r).toStdString();

    // Added after the seal: named, and the folder still intact.
    copy = Copy();
    ASSERT_TRUE(WriteFileBytes(QDir(copy).filePath("notes.txt"), "crane inspected\n"));
    v = Verify(copy);
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_TRUE(v.out.contains("NOT SEALED: notes.txt: added after the seal"))
        << v.out.join('\n').toStdString();

    copy = Copy();
    const QString renamed = work.filePath("09_12_2026_renamed");
    ASSERT_TRUE(QDir().rename(copy, renamed));
    EXPECT_EQ(Verify(renamed, {"--key", pub}).exitCode, 0);

    ASSERT_TRUE(QFile::remove(QDir(renamed).filePath("manifest.txt.minisig")));
    v = Verify(renamed);
    EXPECT_EQ(v.exitCode, 11);
    EXPECT_EQ(v.out.last(), "verdict: UNSIGNED (no signature manifest.txt.minisig)");
}

// The word report rewrites the run's page after the readout's seal: the
// folder is sealed again, and stays intact.
TEST_F(SealRunTest, TheWordReportAndItsPageAreSealedAgain) {
    Generate(10, 40, 24);
    const QString report = QDir(QFileInfo(ZORVAN_CLI_PROGRAM).path()).filePath("list.doc");
    QFile::remove(report);
    ResetClock();
    const CliRun run = Run({"summator", "--word", "--out", outDir.path(), "-q"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(QFileInfo::exists(report));
    const CliRun v = Verify(outDir.path());
    EXPECT_EQ(v.exitCode, 0) << v.out.join('\n').toStdString();
    EXPECT_TRUE(v.out.contains("ok: index.html (as sealed; by its hash only)"));
}

// A readout cut short by the line is sealed too, saying so, and replays alike.
TEST_F(SealRunTest, ACutReadoutIsSealedAsCut) {
    Generate(30, 0, 22);
    sim.FailNextRequests(0x3000B, 1000);
    ResetClock();
    const CliRun run = Run({"events", "--xls", "--txt", "--out", outDir.path(), "-q"});
    ASSERT_EQ(run.exitCode, 1) << run.err.toStdString();
    Manifest m;
    QString error;
    ASSERT_TRUE(
        ParseManifest(ReadFileBytes(QDir(outDir.path()).filePath("manifest.txt")), m, error));
    ASSERT_EQ(m.readouts.size(), 1u);
    EXPECT_EQ(m.readouts[0].outcome, ReadoutOutcome::Failed);
    EXPECT_TRUE(ReadFileBytes(QDir(outDir.path()).filePath("manifest.txt"))
                    .contains("readout: events cut-short-by-failure"));
    const CliRun v = Verify(outDir.path());
    EXPECT_EQ(v.exitCode, 0) << v.out.join('\n').toStdString();
    EXPECT_TRUE(v.out.contains("readout: events, cut short by a failure"));
    EXPECT_TRUE(
        v.out.contains("ok: zorvan.xls (as sealed, and as the image gives it byte for byte)"))
        << v.out.join('\n').toStdString();
}

// A seal that cannot be made costs the readout nothing: its files, and one
// line in the log.
TEST_F(SealRunTest, ASealThatCannotBeMadeKeepsTheReadout) {
    Generate(15, 0);
    const QString notAFolder = work.filePath("config-is-a-file");
    ASSERT_TRUE(WriteFileBytes(notAFolder, "x"));
    extraEnv.insert("XDG_CONFIG_HOME", notAFolder);
    ResetClock();
    const CliRun run = Run({"events", "--out", outDir.path(), "-q"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(QDir(outDir.path()).filePath("zorvan.xls")).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(QDir(outDir.path()).filePath("manifest.txt")));
    const QStringList log = LogLines(outDir.path());
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].startsWith("Не удалось запечатать папку: ключ подписи не "
                                               "создается в "))
        << log.join('|').toStdString();
    EXPECT_EQ(Verify(outDir.path()).exitCode, 11);
}

// The window's run folder holds both readouts under one seal; the settings
// it writes on closing come after it.
TEST_F(SealRunTest, TheWindowSealsBothReadoutsOfItsRunFolder) {
    Generate(25, 30, 23);
    TZorvan& w = OpenWindow();
    ResetClock();
    w.ReadMemButton->click();
    ResetClock();
    w.ReadSumButton->click();
    const QString folder = w.RunFolder();
    CloseWindow();
    ASSERT_TRUE(QFileInfo::exists(QDir(folder).filePath("zorvan.ini")));

    Manifest m;
    QString error;
    ASSERT_TRUE(ParseManifest(ReadFileBytes(QDir(folder).filePath("manifest.txt")), m, error));
    ASSERT_EQ(m.readouts.size(), 2u);
    EXPECT_EQ(m.readouts[0].kind, ReadoutKind::Events);
    EXPECT_EQ(m.readouts[1].kind, ReadoutKind::Summator);
    EXPECT_EQ(MinisignVerify(folder), 0);
    // The page lists the readout's files, not the seal's.
    EXPECT_FALSE(ReadFileBytes(QDir(folder).filePath("index.html")).contains("manifest.txt"));

    const CliRun v = Verify(folder);
    EXPECT_EQ(v.exitCode, 0) << v.out.join('\n').toStdString();
    for (const char* name : {"zorvan.xls", "summator.xls", "report.xls"})
        EXPECT_TRUE(v.out.contains(
            QString("ok: %1 (as sealed, and as the image gives it byte for byte)").arg(name)))
            << name << v.out.join('\n').toStdString();
    EXPECT_TRUE(v.out.contains("NOT SEALED: zorvan.ini: added after the seal"));
}

} // namespace
