#include "seal/key_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstring>
#include <sodium.h>

namespace {

constexpr char SecretHead[] = "zorvan secret key ";

QByteArray SecretKeyFile(const KeyPair& pair) {
    QByteArray blob(8 + 64, 0);
    std::memcpy(blob.data(), pair.pub.id.data(), 8);
    std::memcpy(blob.data() + 8, pair.secret.data(), 64);
    const QByteArray text =
        QByteArray(SecretHead) + KeyIdText(pair.pub.id).toLatin1() + '\n' + blob.toBase64() + '\n';
    sodium_memzero(blob.data(), std::size_t(blob.size()));
    return text;
}

bool ParseSecretKeyFile(const QByteArray& text, KeyPair& pair) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 2 || !lines[0].startsWith(SecretHead))
        return false;
    const auto decoded =
        QByteArray::fromBase64Encoding(lines[1].trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 8 + 64)
        return false;
    std::memcpy(pair.pub.id.data(), decoded.decoded.constData(), 8);
    std::memcpy(pair.secret.data(), decoded.decoded.constData() + 8, 64);
    // libsodium's secret key ends in the public key.
    std::memcpy(pair.pub.key.data(), pair.secret.data() + 32, 32);
    return true;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions) {
    QFile file(path);
    // Made with its permissions at once: the secret is never readable by others,
    // not even for a moment.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

QString UserKeyFolder() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : QDir(config).filePath(QStringLiteral("zorvan"));
}

KeyLoad LoadOrMakeKeyPair(const QString& folder, KeyPair& pair) {
    KeyLoad load;
    if (folder.isEmpty()) {
        load.error = QStringLiteral("нет папки настроек для ключа подписи");
        return load;
    }
    const QDir dir(folder);
    const QString secretPath = dir.filePath(QString::fromLatin1(SecretKeyName));
    if (QFileInfo::exists(secretPath)) {
        QFile file(secretPath);
        if (!file.open(QIODevice::ReadOnly) || !ParseSecretKeyFile(file.readAll(), pair)) {
            load.error = QStringLiteral("ключ подписи %1 не читается")
                             .arg(QDir::toNativeSeparators(secretPath));
            return load;
        }
        load.ok = true;
        return load;
    }
    if (!QDir().mkpath(folder) || !MakeKeyPair(pair) ||
        !WriteFile(secretPath, SecretKeyFile(pair),
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        load.error =
            QStringLiteral("ключ подписи не создается в %1").arg(QDir::toNativeSeparators(folder));
        return load;
    }
    // The public key is handed out; one lost or stale is made again from the secret.
    QSaveFile pub(dir.filePath(QString::fromLatin1(PublicKeyName)));
    if (pub.open(QIODevice::WriteOnly)) {
        pub.write(PublicKeyFile(pair.pub));
        (void)pub.commit();
    }
    load.ok = true;
    load.made = true;
    return load;
}
