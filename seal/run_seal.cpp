#include "seal/run_seal.h"

#include "archive/archive_folder.h"
#include "decoding/ident_text.h"
#include "image/image_file.h"
#include "image/image_recorder.h"
#include "link/recorder_map.h"
#include "seal/key_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#ifndef ZORVAN_VERSION
#define ZORVAN_VERSION "unknown"
#endif

namespace {

bool Save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

void NoteCraneFromImage(const QString& imagePath, Manifest& m) {
    MemoryImage image;
    if (!LoadMemoryImageFile(imagePath, image).ok)
        return;
    const std::optional<QByteArray> ident =
        image.Bytes(RecorderMap::IdentSelector, RecorderMap::IdentAddress, RecorderMap::IdentSize);
    if (!ident)
        return;
    m.craneKey = RecorderKey(*ident);
    // The fields the files head with: 1.1, 1.2, 2.1 and 2.2.
    m.craneType = IdentText(*ident, 1, 20).simplified();
    m.craneSerial = IdentText(*ident, 21, 20).simplified();
    m.recorderType = IdentText(*ident, 191, 30).simplified();
    m.recorderSerial = IdentText(*ident, 221, 10).simplified();
}

SealOutcome SealRunFolder(const QString& folder, const SealedReadout* readout,
                          const QString& recorderClock, const QString& keyFolder) {
    SealOutcome seal;
    KeyPair pair;
    const KeyLoad load = LoadOrMakeKeyPair(keyFolder, pair);
    seal.keyMade = load.made;
    seal.key = pair.pub;
    if (!load.ok) {
        seal.error = load.error;
        return seal;
    }

    const QDir dir(folder);
    Manifest m;
    {
        // The readouts sealed before this one; a manifest that is no longer
        // ours to read starts afresh.
        QFile before(dir.filePath(QString::fromLatin1(ManifestName)));
        QString ignored;
        if (before.open(QIODevice::ReadOnly) && !ParseManifest(before.readAll(), m, ignored))
            m = Manifest();
    }
    m.folder = dir.dirName();
    m.program =
        QCoreApplication::applicationName() + QStringLiteral(" ") + QStringLiteral(ZORVAN_VERSION);
    m.user = SealUserName();
    m.computer = SealComputerName();
    m.sealedAt = QDateTime::currentDateTimeUtc();
    if (!recorderClock.isEmpty())
        m.recorderClock = recorderClock;
    if (readout)
        m.readouts.push_back(*readout);
    NoteCraneFromImage(dir.filePath(ImageRecorder::FileName), m);
    m.files.clear();
    for (const QString& name : SealableFiles(folder)) {
        SealedFile f{name, {}};
        if (!FileSha256(dir.filePath(name), f.sha256)) {
            seal.error = QStringLiteral("файл %1 не читается").arg(name);
            return seal;
        }
        m.files.push_back(f);
    }

    const QByteArray text = ManifestText(m);
    const QString comment =
        QStringLiteral("zorvan run seal of %1, crane %2, by %3 on %4 at %5")
            .arg(m.folder, m.craneKey.isEmpty() ? QStringLiteral("unknown") : m.craneKey, m.user,
                 m.computer, m.sealedAt.toString(Qt::ISODate));
    const QByteArray signature = SignatureFile(pair, text, comment);
    // The old signature goes first and the new one comes last: a manifest cut
    // off half way is unsigned, never a signature over something else.
    (void)QFile::remove(dir.filePath(QString::fromLatin1(SignatureName)));
    if (signature.isEmpty() ||
        !Save(dir.filePath(QString::fromLatin1(PublicKeyName)), PublicKeyFile(pair.pub)) ||
        !Save(dir.filePath(QString::fromLatin1(ManifestName)), text) ||
        !Save(dir.filePath(QString::fromLatin1(SignatureName)), signature)) {
        seal.error =
            QStringLiteral("печать не записывается в %1").arg(QDir::toNativeSeparators(folder));
        return seal;
    }
    seal.ok = true;
    return seal;
}

QString NewKeyNote(const SealOutcome& seal, const QString& keyFolder) {
    const QList<QByteArray> lines = PublicKeyFile(seal.key).split('\n');
    return QStringLiteral("New signing key %1 in %2; public key %3")
        .arg(KeyIdText(seal.key.id), QDir::toNativeSeparators(keyFolder),
             QString::fromLatin1(lines.value(1)));
}
