#include "fleet/sealed_visit.h"

#include "link/recorder_map.h"
#include "seal/seal_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QByteArray FileBytes(const QDir& dir, const char* name) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

bool AddSealedVisit(const QString& folder, const MemoryImage& image, PushCrane& crane,
                    QString& error, bool& altered) {
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(QString::fromLatin1(ManifestName))))
        return true;
    const SealReport report = CheckRunFolder(folder, std::nullopt);
    if (report.verdict != SealVerdict::Intact) {
        QString why = report.reason;
        for (const FileFinding& f : report.findings)
            if (f.kind != FileFinding::NotSealed) {
                why = f.name + QStringLiteral(": ") + f.detail;
                break;
            }
        error = QStringLiteral("%1 does not match its seal (%2)")
                    .arg(QDir::toNativeSeparators(folder), why);
        altered = true;
        return false;
    }
    const Manifest& m = *report.manifest;
    PushVisit visit;
    visit.started = crane.firstRead;
    visit.computer = m.computer;
    visit.userName = m.user;
    visit.comPort = image.Origin(RecorderMap::IdentSelector, RecorderMap::IdentAddress)
                        .value_or(ReadOrigin{})
                        .comPort;
    if (!m.readouts.empty()) {
        visit.memory = m.readouts.back().kind == ReadoutKind::Events ? 1 : 2;
        const bool whole =
            std::all_of(m.readouts.begin(), m.readouts.end(), [](const SealedReadout& r) {
                return r.outcome == ReadoutOutcome::Completed;
            });
        visit.outcome = whole ? QStringLiteral("whole") : QStringLiteral("cut");
    }
    visit.seal = PushSeal{KeyIdText(*report.signer), m.user + QLatin1Char('@') + m.computer,
                          FileBytes(dir, PublicKeyName), FileBytes(dir, ManifestName),
                          FileBytes(dir, SignatureName)};
    crane.visits.push_back(visit);
    return true;
}
