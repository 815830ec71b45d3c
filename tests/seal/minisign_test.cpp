// Keys and signatures in minisign's layout, held to minisign itself, and the
// engineer's key store.

#include "seal/key_store.h"
#include "seal/minisign.h"
#include "tests/support/file_bytes.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// minisign -V over file with the key: its exit code and what it printed.
int MinisignVerify(const QString& file, const QString& pub, QString* out = nullptr) {
    QProcess p;
    p.start(QStringLiteral("minisign"),
            {QStringLiteral("-V"), QStringLiteral("-m"), file, QStringLiteral("-p"), pub});
    if (!p.waitForStarted(5000) || !p.waitForFinished(10000))
        return -1;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

TEST(Minisign, KeyFilesReadBackAndNameTheKeyAsMinisignDoes) {
    KeyPair pair;
    ASSERT_TRUE(MakeKeyPair(pair));
    const QByteArray text = PublicKeyFile(pair.pub);
    const QString id = KeyIdText(pair.pub.id);
    ASSERT_EQ(id.size(), 16);
    // The id as a little-endian number: its last byte leads.
    EXPECT_EQ(id.left(2),
              QStringLiteral("%1").arg(pair.pub.id[7], 2, 16, QLatin1Char('0')).toUpper());
    EXPECT_TRUE(text.startsWith("untrusted comment: minisign public key " + id.toLatin1() + "\n"));
    PublicKey back;
    QString error;
    ASSERT_TRUE(ParsePublicKeyFile(text, back, error)) << error.toStdString();
    EXPECT_EQ(back.id, pair.pub.id);
    EXPECT_EQ(back.key, pair.pub.key);
    EXPECT_FALSE(ParsePublicKeyFile("untrusted comment: x\nnot base64\n", back, error));
}

TEST(Minisign, SignatureHoldsOnlyForItsMessageCommentAndKey) {
    KeyPair pair, other;
    ASSERT_TRUE(MakeKeyPair(pair));
    ASSERT_TRUE(MakeKeyPair(other));
    const QByteArray message = "crane 1\nline 2\n";
    const QByteArray sig = SignatureFile(pair, message, QStringLiteral("sealed by me"));
    QString comment;
    EXPECT_EQ(CheckSignature(sig, message, pair.pub, &comment), SignatureCheck::Valid);
    EXPECT_EQ(comment, QStringLiteral("sealed by me"));
    EXPECT_EQ(CheckSignature(sig, "crane 1\nline 3\n", pair.pub), SignatureCheck::BadMessage);
    EXPECT_EQ(CheckSignature(sig, message, other.pub), SignatureCheck::OtherKey);
    // Another key under this key's id: the signature itself fails.
    PublicKey impostor = other.pub;
    impostor.id = pair.pub.id;
    EXPECT_EQ(CheckSignature(sig, message, impostor), SignatureCheck::BadMessage);
    QByteArray swapped = sig;
    swapped.replace("sealed by me", "sealed by X ");
    EXPECT_EQ(CheckSignature(swapped, message, pair.pub), SignatureCheck::BadComment);
    EXPECT_EQ(CheckSignature("garbage", message, pair.pub), SignatureCheck::Malformed);
    KeyId id;
    ASSERT_TRUE(SignatureKeyId(sig, id));
    EXPECT_EQ(id, pair.pub.id);
}

// The point of the format: a standard tool checks what we sign, and refuses
// it once changed.
TEST(Minisign, MinisignItselfAcceptsOurSignatureAndRefusesAnAlteredFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    KeyPair pair;
    ASSERT_TRUE(MakeKeyPair(pair));
    const QString file = dir.filePath(QStringLiteral("manifest.txt"));
    const QString pub = dir.filePath(QStringLiteral("zorvan.pub"));
    const QByteArray message = "zorvan run seal\nabc  zorvan.xls\n";
    ASSERT_TRUE(WriteFileBytes(file, message));
    ASSERT_TRUE(WriteFileBytes(pub, PublicKeyFile(pair.pub)));
    ASSERT_TRUE(WriteFileBytes(file + QStringLiteral(".minisig"),
                               SignatureFile(pair, message, QStringLiteral("run 08_12_2026"))));
    QString out;
    EXPECT_EQ(MinisignVerify(file, pub, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Trusted comment: run 08_12_2026")))
        << out.toStdString();

    ASSERT_TRUE(WriteFileBytes(file, "zorvan run seal\nabd  zorvan.xls\n"));
    EXPECT_EQ(MinisignVerify(file, pub, &out), 1) << out.toStdString();
}

TEST(KeyStore, MadeOnceReadableByTheUserAloneAndNeverReplaced) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("config/zorvan"));
    KeyPair first;
    const KeyLoad made = LoadOrMakeKeyPair(folder, first);
    ASSERT_TRUE(made.ok) << made.error.toStdString();
    EXPECT_TRUE(made.made);
    const QString secret = folder + QStringLiteral("/zorvan.key");
    EXPECT_EQ(QFile::permissions(secret), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(ReadFileBytes(folder + QStringLiteral("/zorvan.pub")), PublicKeyFile(first.pub));

    KeyPair again;
    const KeyLoad read = LoadOrMakeKeyPair(folder, again);
    ASSERT_TRUE(read.ok);
    EXPECT_FALSE(read.made);
    EXPECT_EQ(again.pub.id, first.pub.id);
    EXPECT_EQ(again.pub.key, first.pub.key);
    EXPECT_EQ(again.secret, first.secret);

    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(WriteFileBytes(secret, "damaged"));
    KeyPair broken;
    const KeyLoad refused = LoadOrMakeKeyPair(folder, broken);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains(QStringLiteral("не читается")));
    EXPECT_EQ(ReadFileBytes(secret), QByteArray("damaged"));
}

} // namespace
