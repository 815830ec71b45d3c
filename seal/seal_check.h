#pragma once

#include "seal/manifest.h"
#include "seal/minisign.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The check of a sealed run folder, as a third party would make it: the
// signature over the manifest, each file's SHA-256, and each file written
// again from the folder's image by replaying the sealed readouts, compared
// byte for byte. Files that carry the computer's time (the log, the summary
// page) cannot be written again alike: they are checked by their hash alone.

enum class SealVerdict {
    Intact,   // signed, every sealed file as sealed and as the image gives it
    Altered,  // a file, the image, the manifest or its signature was changed
    Unsigned, // no manifest, no signature, or no key to check it with
    OtherKey, // signed, but not with the key asked for
};

struct FileFinding {
    enum Kind {
        Changed,      // its hash is not the sealed one
        Missing,      // sealed, and gone
        NotSealed,    // added after the seal: not part of the evidence
        NotFromImage, // replay from the image writes it otherwise
    };
    Kind kind = Changed;
    QString name;
    QString detail; // e.g. the first differing line
};

struct SealReport {
    SealVerdict verdict = SealVerdict::Unsigned;
    QString reason; // one line: why the verdict, when not intact
    std::optional<Manifest> manifest;
    std::optional<KeyId> signer; // the key id the signature names
    QString trustedComment;
    std::vector<FileFinding> findings;
    QStringList replayed; // written again from the image, byte for byte alike
    QStringList hashOnly; // checked by their hash alone
};

// expected: the engineer's public key to hold the signature to; without it,
// the key sealed beside the manifest is taken.
[[nodiscard]] SealReport CheckRunFolder(const QString& folder,
                                        const std::optional<PublicKey>& expected);

// Where two texts first differ: "line N: WASNAME "..", now ".."", or
// "byte N" when either is no text; empty when they are equal.
[[nodiscard]] QString FirstDifference(const QByteArray& was, const QByteArray& is,
                                      const QString& wasName = QStringLiteral("sealed"));
