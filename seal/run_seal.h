#pragma once

#include "seal/manifest.h"
#include "seal/minisign.h"

#include <QString>

// Sealing a run folder: its manifest written anew over every file then in
// it, signed with the engineer's key, the public key beside them. A folder
// holds several readouts (events, then the summator): each one's end seals
// the folder again, the readouts sealed before it kept from the manifest
// already there.

struct SealOutcome {
    bool ok = false;
    QString error;        // why there is no seal
    bool keyMade = false; // the engineer's key pair was made for this seal
    PublicKey key;        // the key that signed (or would have)
};

// readout: the one that has just ended (null to seal again what is there,
// e.g. after a file was added); recorderClock as it read the clock; empty
// keeps the one sealed before. keyFolder holds the key pair.
[[nodiscard]] SealOutcome SealRunFolder(const QString& folder, const SealedReadout* readout,
                                        const QString& recorderClock, const QString& keyFolder);

// The manifest's facts of the crane, read from the folder's image.
void NoteCraneFromImage(const QString& imagePath, Manifest& m);

// The line the user is shown once, when the key pair is made.
[[nodiscard]] QString NewKeyNote(const SealOutcome& seal, const QString& keyFolder);
