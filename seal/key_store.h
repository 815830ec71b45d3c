#pragma once

#include "seal/minisign.h"
#include "seal/seal_files.h"

#include <QString>

// The engineer's signing key: made on first use in the user's configuration
// folder ("zorvan" there, beside zorvan.ini), the secret key readable by the
// user alone, the public key beside it in minisign's layout.

constexpr char SecretKeyName[] = "zorvan.key";

// ~/.config/zorvan ($XDG_CONFIG_HOME/zorvan when set; the user's configuration
// folder on Windows); empty when there is none.
[[nodiscard]] QString UserKeyFolder();

struct KeyLoad {
    bool ok = false;
    bool made = false; // the pair did not exist and was made now
    QString error;
};

// The key pair of folder, made (and the folder with it) when there is none.
// A secret key that cannot be read is an error, never replaced: signatures
// made with it would otherwise stop matching the public key handed out.
[[nodiscard]] KeyLoad LoadOrMakeKeyPair(const QString& folder, KeyPair& pair);
