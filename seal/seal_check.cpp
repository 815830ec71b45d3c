#include "seal/seal_check.h"

#include "image/image_file.h"
#include "image/image_recorder.h"
#include "image/replay.h"
#include "readout/readout_log.h"
#include "readout/run_folder.h"
#include "seal/key_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Replay writes these anew with the computer's time in them.
bool TimeBound(const QString& name) {
    return name == ReadoutLog::FileName || name == SummaryPageName;
}

class SilentMessages : public MessageGateway {
public:
    void inform(MessageIcon, const QString&) override {}
    bool confirm(const QString&) override { return false; }
};

bool ReadAll(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

QByteArray Sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// A line as text: the readouts' files are cp1251, the page UTF-8.
QString LineText(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(line);
    if (utf8.hasError())
        text = QStringDecoder("windows-1251")(line);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text.size() > 100 ? text.left(100) + QStringLiteral("...") : text;
}

// The files of the sealed readouts written again from image into folder.
void ReplaySealed(const MemoryImage& image, const Manifest& m, const QString& folder) {
    QuietReadoutHost host;
    SilentMessages messages;
    for (const SealedReadout& r : m.readouts) {
        ReplaySettings s;
        s.files = r.files;
        s.withReach = r.withReach;
        s.basis = r.basis;
        s.fullScale = r.fullScale;
        s.texts = r.texts;
        (void)ReplayReadout(
            image, r.kind == ReadoutKind::Events ? ReplayKind::Events : ReplayKind::Summator, s,
            folder, host, messages);
    }
}

QString SignatureReason(const SealReport& r, const PublicKey& key) {
    return QStringLiteral("signed with key %1, not with %2")
        .arg(KeyIdText(*r.signer), KeyIdText(key.id));
}

// The signature over the manifest: false with the verdict when it does not hold.
bool CheckSigned(const QDir& dir, const std::optional<PublicKey>& expected, SealReport& r,
                 QByteArray& manifestText) {
    const auto fail = [&r](SealVerdict verdict, const QString& reason) {
        r.verdict = verdict;
        r.reason = reason;
        return false;
    };
    QByteArray signature;
    if (!ReadAll(dir.filePath(QString::fromLatin1(ManifestName)), manifestText))
        return fail(SealVerdict::Unsigned, QStringLiteral("no manifest %1").arg(ManifestName));
    if (!ReadAll(dir.filePath(QString::fromLatin1(SignatureName)), signature))
        return fail(SealVerdict::Unsigned, QStringLiteral("no signature %1").arg(SignatureName));
    KeyId id;
    if (!SignatureKeyId(signature, id))
        return fail(SealVerdict::Unsigned,
                    QStringLiteral("%1 is no minisign signature").arg(SignatureName));
    r.signer = id;

    PublicKey key;
    if (expected) {
        key = *expected;
    } else {
        QByteArray text;
        QString error;
        if (!ReadAll(dir.filePath(QString::fromLatin1(PublicKeyName)), text) ||
            !ParsePublicKeyFile(text, key, error))
            return fail(SealVerdict::Unsigned,
                        QStringLiteral("no public key %1 beside the signature").arg(PublicKeyName));
    }
    switch (CheckSignature(signature, manifestText, key, &r.trustedComment)) {
    case SignatureCheck::Valid:
        return true;
    case SignatureCheck::Malformed:
        return fail(SealVerdict::Unsigned,
                    QStringLiteral("%1 is no minisign signature").arg(SignatureName));
    case SignatureCheck::OtherKey:
        // The key beside the manifest is not the one that signed it: replaced.
        return fail(expected ? SealVerdict::OtherKey : SealVerdict::Altered,
                    SignatureReason(r, key));
    case SignatureCheck::BadMessage:
        return fail(SealVerdict::Altered,
                    QStringLiteral("the signature does not match %1: it was changed after "
                                   "the seal")
                        .arg(ManifestName));
    case SignatureCheck::BadComment:
        break;
    }
    return fail(SealVerdict::Altered,
                QStringLiteral("the trusted comment of %1 was changed").arg(SignatureName));
}

} // namespace

QString FirstDifference(const QByteArray& was, const QByteArray& is, const QString& wasName) {
    if (was == is)
        return {};
    if (was.contains('\0') || is.contains('\0')) {
        qsizetype i = 0;
        while (i < was.size() && i < is.size() && was[i] == is[i])
            ++i;
        return QStringLiteral("byte %1").arg(i + 1);
    }
    const QList<QByteArray> a = was.split('\n');
    const QList<QByteArray> b = is.split('\n');
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    const QString sealed = i < a.size() ? QLatin1Char('"') + LineText(a[i]) + QLatin1Char('"')
                                        : QStringLiteral("(no such line)");
    const QString now = i < b.size() ? QLatin1Char('"') + LineText(b[i]) + QLatin1Char('"')
                                     : QStringLiteral("(no such line)");
    return QStringLiteral("line %1: %2 %3, now %4").arg(i + 1).arg(wasName, sealed, now);
}

SealReport CheckRunFolder(const QString& folder, const std::optional<PublicKey>& expected) {
    SealReport r;
    const QDir dir(folder);
    QByteArray manifestText;
    if (!CheckSigned(dir, expected, r, manifestText))
        return r;
    Manifest m;
    if (QString error; !ParseManifest(manifestText, m, error)) {
        r.verdict = SealVerdict::Altered;
        r.reason = error;
        return r;
    }
    r.manifest = m;

    // Each sealed file by its hash; what the folder holds besides is not sealed.
    std::vector<QByteArray> now(m.files.size());
    std::vector<bool> changed(m.files.size(), false);
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const SealedFile& f = m.files[i];
        if (!ReadAll(dir.filePath(f.name), now[i])) {
            r.findings.push_back(
                {FileFinding::Missing, f.name, QStringLiteral("sealed, now gone")});
            continue;
        }
        changed[i] = Sha256(now[i]) != f.sha256;
    }
    for (const QString& name : SealableFiles(folder))
        if (std::none_of(m.files.begin(), m.files.end(),
                         [&name](const SealedFile& f) { return f.name == name; }))
            r.findings.push_back(
                {FileFinding::NotSealed, name, QStringLiteral("added after the seal")});

    // Each file again from the image, as the sealed readouts wrote it. The
    // image is taken as it lies: a replaced one shows in the files it gives.
    QTemporaryDir replayDir;
    MemoryImage image;
    const bool replayed = !m.readouts.empty() && replayDir.isValid() &&
                          LoadMemoryImageFile(dir.filePath(ImageRecorder::FileName), image).ok;
    if (replayed)
        ReplaySealed(image, m, replayDir.path());
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const SealedFile& f = m.files[i];
        QByteArray again;
        const bool fromImage = replayed && !TimeBound(f.name) &&
                               ReadAll(QDir(replayDir.path()).filePath(f.name), again);
        if (!fromImage) {
            r.hashOnly << f.name;
            if (changed[i])
                r.findings.push_back({FileFinding::Changed, f.name,
                                      QStringLiteral("its SHA-256 is not the sealed one")});
            continue;
        }
        const bool sealedAsReplayed = Sha256(again) == f.sha256;
        if (changed[i])
            r.findings.push_back({FileFinding::Changed, f.name,
                                  sealedAsReplayed ? FirstDifference(again, now[i])
                                                   : QStringLiteral("its SHA-256 is not the "
                                                                    "sealed one")});
        if (!sealedAsReplayed)
            r.findings.push_back({FileFinding::NotFromImage, f.name,
                                  FirstDifference(again, now[i], QStringLiteral("image"))});
        else if (!changed[i])
            r.replayed << f.name;
    }

    const bool altered = std::any_of(r.findings.begin(), r.findings.end(), [](const auto& f) {
        return f.kind != FileFinding::NotSealed;
    });
    r.verdict = altered ? SealVerdict::Altered : SealVerdict::Intact;
    if (altered)
        r.reason = QStringLiteral("the folder is not as sealed");
    return r;
}
