#pragma once

#include "decoding/reasons.h"
#include "readout/event_files.h"
#include "readout/readout_observer.h"
#include "seal/seal_files.h"
#include "summator/load_rating.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

// The manifest of a run folder: what was read, from which crane, by whom,
// and the SHA-256 of every file then in the folder. Plain UTF-8 text, so it
// can be read and checked without this program: its file lines are those of
// `sha256sum`, so `sha256sum -c --ignore-missing manifest.txt` checks the files.

constexpr char ManifestFormatLine[] = "zorvan run seal, format 1";

// One readout of the run, with the settings that shaped its files, so that
// they can be written again from the image.
struct SealedReadout {
    ReadoutKind kind = ReadoutKind::Events;
    ReadoutOutcome outcome = ReadoutOutcome::Completed;
    OutputChoice files;
    bool withReach = true;
    RatingBasis basis = RatingBasis::Moment;
    int fullScale = 800;
    MessageTexts texts = MessageTexts::Defaults();
};

struct SealedFile {
    QString name;
    QByteArray sha256; // 32 bytes
};

struct Manifest {
    QString folder;  // the run folder's name when sealed
    QString program; // name and version
    QString user;
    QString computer;
    QDateTime sealedAt;    // the computer's clock, UTC
    QString recorderClock; // as the readout read it
    QString craneKey;      // the archive's key of the identification
    QString craneType;
    QString craneSerial;
    QString recorderType;
    QString recorderSerial;
    std::vector<SealedReadout> readouts; // in the order they ran
    std::vector<SealedFile> files;       // by name
};

[[nodiscard]] QByteArray ManifestText(const Manifest& m);
// False with the reason when text is no manifest of ours.
[[nodiscard]] bool ParseManifest(const QByteArray& text, Manifest& m, QString& error);

// The files a seal covers: every file of folder but the seal's own.
[[nodiscard]] QStringList SealableFiles(const QString& folder);
// The SHA-256 of a file; false when it cannot be read.
[[nodiscard]] bool FileSha256(const QString& path, QByteArray& hash);

// Who and where: the login name (else the home folder's name), the host name.
[[nodiscard]] QString SealUserName();
[[nodiscard]] QString SealComputerName();
