#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// Ed25519 keys and detached signatures in the text layout of minisign, so that
// `minisign -Vm FILE -p KEY.pub` checks what we sign without this program.
// Every primitive is libsodium's; nothing here is cryptography of our own.
//
// Public key file: "untrusted comment: ...\n" + base64("Ed" keyid pk) + "\n".
// Signature file:  "untrusted comment: ...\n" + base64("ED" keyid sig) + "\n"
//                  "trusted comment: TEXT\n" + base64(global sig) + "\n",
// where sig signs the BLAKE2b-512 hash of the file ("ED", prehashed; the
// older "Ed" signs the file itself) and the global signature signs sig
// followed by TEXT, so the trusted comment cannot be swapped.

using KeyId = std::array<std::uint8_t, 8>;

struct PublicKey {
    KeyId id{};
    std::array<std::uint8_t, 32> key{};
};

struct KeyPair {
    PublicKey pub;
    std::array<std::uint8_t, 64> secret{}; // libsodium's: seed, then the public key
};

// False when libsodium cannot be initialised (no source of randomness).
[[nodiscard]] bool SodiumReady();

// A new key pair with a random key id.
[[nodiscard]] bool MakeKeyPair(KeyPair& pair);

// The key id as minisign prints it: 16 upper-case hex digits of the id read
// as a little-endian number. It is the key's fingerprint.
[[nodiscard]] QString KeyIdText(const KeyId& id);

// The public key file, and its reading; false with the reason when the text
// is not one.
[[nodiscard]] QByteArray PublicKeyFile(const PublicKey& key);
[[nodiscard]] bool ParsePublicKeyFile(const QByteArray& text, PublicKey& key, QString& error);

// A detached signature of message; trustedComment is one line, signed too.
[[nodiscard]] QByteArray SignatureFile(const KeyPair& pair, const QByteArray& message,
                                       const QString& trustedComment);

enum class SignatureCheck {
    Valid,
    Malformed,  // not a signature file
    OtherKey,   // made with another key id than the key's
    BadMessage, // the message was changed (or the signature)
    BadComment, // the trusted comment was changed
};

// Checks signatureFile over message against key; comment gets the trusted
// comment once it was read.
[[nodiscard]] SignatureCheck CheckSignature(const QByteArray& signatureFile,
                                            const QByteArray& message, const PublicKey& key,
                                            QString* comment = nullptr);

// The key id a signature file names; false when it is not one.
[[nodiscard]] bool SignatureKeyId(const QByteArray& signatureFile, KeyId& id);
