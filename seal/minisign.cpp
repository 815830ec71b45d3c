#include "seal/minisign.h"

#include <QList>

#include <cstring>
#include <sodium.h>

namespace {

constexpr char UntrustedPrefix[] = "untrusted comment: ";
constexpr char TrustedPrefix[] = "trusted comment: ";
constexpr int SigSize = crypto_sign_BYTES;

QByteArray Base64(const std::uint8_t* data, std::size_t size) {
    QByteArray out(qsizetype(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL)), 0);
    sodium_bin2base64(out.data(), std::size_t(out.size()), data, size,
                      sodium_base64_VARIANT_ORIGINAL);
    out.chop(1); // the terminating zero
    return out;
}

// Exactly size bytes, or false.
bool FromBase64(const QByteArray& text, std::uint8_t* out, std::size_t size) {
    std::size_t length = 0;
    return sodium_base642bin(out, size, text.constData(), std::size_t(text.size()), nullptr,
                             &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == size;
}

// The lines of a key or signature file; a CR before the LF is forgiven, as
// minisign forgives it.
QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

struct ParsedSignature {
    char algorithm[2]{};
    KeyId id{};
    std::uint8_t sig[SigSize]{};
    QByteArray trusted;
    std::uint8_t global[SigSize]{};
};

bool ParseSignature(const QByteArray& text, ParsedSignature& s) {
    const QList<QByteArray> lines = Lines(text);
    if (lines.size() < 4 || !lines[0].startsWith(UntrustedPrefix) ||
        !lines[2].startsWith(TrustedPrefix))
        return false;
    std::uint8_t head[2 + 8 + SigSize];
    if (!FromBase64(lines[1], head, sizeof head) || !FromBase64(lines[3], s.global, SigSize))
        return false;
    std::memcpy(s.algorithm, head, 2);
    std::memcpy(s.id.data(), head + 2, 8);
    std::memcpy(s.sig, head + 10, SigSize);
    s.trusted = lines[2].mid(qsizetype(sizeof TrustedPrefix) - 1);
    return (s.algorithm[0] == 'E' && (s.algorithm[1] == 'D' || s.algorithm[1] == 'd'));
}

void Prehash(const QByteArray& message, std::uint8_t (&hash)[crypto_generichash_BYTES_MAX]) {
    crypto_generichash(hash, sizeof hash,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       std::size_t(message.size()), nullptr, 0);
}

} // namespace

bool SodiumReady() {
    return sodium_init() >= 0;
}

bool MakeKeyPair(KeyPair& pair) {
    if (!SodiumReady())
        return false;
    randombytes_buf(pair.pub.id.data(), pair.pub.id.size());
    return crypto_sign_keypair(pair.pub.key.data(), pair.secret.data()) == 0;
}

QString KeyIdText(const KeyId& id) {
    QString text;
    for (auto it = id.rbegin(); it != id.rend(); ++it)
        text += QStringLiteral("%1").arg(*it, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

QByteArray PublicKeyFile(const PublicKey& key) {
    std::uint8_t blob[2 + 8 + 32] = {'E', 'd'};
    std::memcpy(blob + 2, key.id.data(), 8);
    std::memcpy(blob + 10, key.key.data(), 32);
    return QByteArray(UntrustedPrefix) + "minisign public key " + KeyIdText(key.id).toLatin1() +
           '\n' + Base64(blob, sizeof blob) + '\n';
}

bool ParsePublicKeyFile(const QByteArray& text, PublicKey& key, QString& error) {
    const QList<QByteArray> lines = Lines(text);
    std::uint8_t blob[2 + 8 + 32];
    if (lines.size() < 2 || !lines[0].startsWith(UntrustedPrefix) ||
        !FromBase64(lines[1], blob, sizeof blob) || blob[0] != 'E' || blob[1] != 'd') {
        error = QStringLiteral("not a minisign public key");
        return false;
    }
    std::memcpy(key.id.data(), blob + 2, 8);
    std::memcpy(key.key.data(), blob + 10, 32);
    return true;
}

QByteArray SignatureFile(const KeyPair& pair, const QByteArray& message,
                         const QString& trustedComment) {
    if (!SodiumReady())
        return {};
    std::uint8_t hash[crypto_generichash_BYTES_MAX];
    Prehash(message, hash);
    std::uint8_t head[2 + 8 + SigSize] = {'E', 'D'};
    std::memcpy(head + 2, pair.pub.id.data(), 8);
    crypto_sign_detached(head + 10, nullptr, hash, sizeof hash, pair.secret.data());

    // A line break would end the trusted comment early.
    QByteArray trusted = trustedComment.toUtf8();
    trusted.replace('\n', ' ').replace('\r', ' ');
    QByteArray global = QByteArray(reinterpret_cast<const char*>(head + 10), SigSize) + trusted;
    std::uint8_t globalSig[SigSize];
    crypto_sign_detached(globalSig, nullptr, reinterpret_cast<const unsigned char*>(global.data()),
                         std::size_t(global.size()), pair.secret.data());

    return QByteArray(UntrustedPrefix) + "signature from zorvan secret key\n" +
           Base64(head, sizeof head) + '\n' + TrustedPrefix + trusted + '\n' +
           Base64(globalSig, SigSize) + '\n';
}

SignatureCheck CheckSignature(const QByteArray& signatureFile, const QByteArray& message,
                              const PublicKey& key, QString* comment) {
    ParsedSignature s;
    if (!SodiumReady() || !ParseSignature(signatureFile, s))
        return SignatureCheck::Malformed;
    if (s.id != key.id)
        return SignatureCheck::OtherKey;
    if (comment)
        *comment = QString::fromUtf8(s.trusted);
    int verified = -1;
    if (s.algorithm[1] == 'D') {
        std::uint8_t hash[crypto_generichash_BYTES_MAX];
        Prehash(message, hash);
        verified = crypto_sign_verify_detached(s.sig, hash, sizeof hash, key.key.data());
    } else
        verified = crypto_sign_verify_detached(
            s.sig, reinterpret_cast<const unsigned char*>(message.constData()),
            std::size_t(message.size()), key.key.data());
    if (verified != 0)
        return SignatureCheck::BadMessage;
    const QByteArray global = QByteArray(reinterpret_cast<const char*>(s.sig), SigSize) + s.trusted;
    if (crypto_sign_verify_detached(s.global, reinterpret_cast<const unsigned char*>(global.data()),
                                    std::size_t(global.size()), key.key.data()) != 0)
        return SignatureCheck::BadComment;
    return SignatureCheck::Valid;
}

bool SignatureKeyId(const QByteArray& signatureFile, KeyId& id) {
    ParsedSignature s;
    if (!ParseSignature(signatureFile, s))
        return false;
    id = s.id;
    return true;
}
