// `verify`: whether a run folder is as its seal says, file by file.

#include "cli/commands.h"
#include "cli/console.h"
#include "runner/exit_codes.h"
#include "seal/seal_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString OutcomeText(ReadoutOutcome outcome) {
    switch (outcome) {
    case ReadoutOutcome::Completed:
        return QStringLiteral("completed");
    case ReadoutOutcome::Break:
        return QStringLiteral("cut short by Break");
    case ReadoutOutcome::Failed:
        break;
    }
    return QStringLiteral("cut short by a failure");
}

QString FindingWord(FileFinding::Kind kind) {
    switch (kind) {
    case FileFinding::Changed:
        return QStringLiteral("ALTERED");
    case FileFinding::Missing:
        return QStringLiteral("MISSING");
    case FileFinding::NotSealed:
        return QStringLiteral("NOT SEALED");
    case FileFinding::NotFromImage:
        break;
    }
    return QStringLiteral("NOT FROM IMAGE");
}

void PrintManifest(const Manifest& m, Console& console) {
    console.Out(QStringLiteral("sealed: %1 by %2 on %3 with %4")
                    .arg(m.sealedAt.toString(Qt::ISODate), m.user, m.computer, m.program));
    console.Out(QStringLiteral("crane: %1 %2 (key %3), recorder %4 %5, its clock %6")
                    .arg(m.craneType, m.craneSerial, m.craneKey, m.recorderType, m.recorderSerial,
                         m.recorderClock));
    for (const SealedReadout& r : m.readouts)
        console.Out(QStringLiteral("readout: %1, %2")
                        .arg(r.kind == ReadoutKind::Events ? QStringLiteral("events")
                                                           : QStringLiteral("summator"),
                             OutcomeText(r.outcome)));
}

int VerdictCode(SealVerdict verdict) {
    switch (verdict) {
    case SealVerdict::Intact:
        return ExitCode::Success;
    case SealVerdict::Altered:
        return ExitCode::SealAltered;
    case SealVerdict::Unsigned:
        return ExitCode::SealUnsigned;
    case SealVerdict::OtherKey:
        break;
    }
    return ExitCode::SealOtherKey;
}

QString VerdictText(SealVerdict verdict) {
    switch (verdict) {
    case SealVerdict::Intact:
        return QStringLiteral("intact");
    case SealVerdict::Altered:
        return QStringLiteral("ALTERED");
    case SealVerdict::Unsigned:
        return QStringLiteral("UNSIGNED");
    case SealVerdict::OtherKey:
        break;
    }
    return QStringLiteral("SIGNED BY ANOTHER KEY");
}

} // namespace

void AddVerifyOptions(QCommandLineParser& p) {
    p.addPositionalArgument(QStringLiteral("runfolder"),
                            QStringLiteral("The run folder to check."));
    p.addOption({QStringLiteral("key"),
                 QStringLiteral("The engineer's public key (minisign's format, e.g. "
                                "~/.config/zorvan/zorvan.pub): the seal must be made with it. "
                                "Without it, the key sealed in the folder is taken."),
                 QStringLiteral("PUBKEY")});
}

int RunVerify(const Invocation& in) {
    const QString command = QStringLiteral("verify");
    const QStringList arguments = in.options.positionalArguments();
    if (arguments.size() != 1)
        return UsageFailure(in.console, command, QStringLiteral("verify takes one run folder"));
    const QString folder = arguments[0];
    if (!QFileInfo(folder).isDir()) {
        in.console.Err(
            QStringLiteral("zorvan-cli: no folder %1").arg(QDir::toNativeSeparators(folder)));
        return ExitCode::FileFailure;
    }
    std::optional<PublicKey> expected;
    if (in.options.isSet(QStringLiteral("key"))) {
        const QString path = in.options.value(QStringLiteral("key"));
        QFile file(path);
        PublicKey key;
        QString error;
        if (!file.open(QIODevice::ReadOnly) || !ParsePublicKeyFile(file.readAll(), key, error)) {
            in.console.Err(QStringLiteral("zorvan-cli: %1 is no public key that can be read")
                               .arg(QDir::toNativeSeparators(path)));
            return ExitCode::FileFailure;
        }
        expected = key;
    }

    const SealReport report = CheckRunFolder(folder, expected);
    in.console.Out(QStringLiteral("folder: %1").arg(QDir::toNativeSeparators(folder)));
    if (report.signer)
        in.console.Out(QStringLiteral("signed with key: %1").arg(KeyIdText(*report.signer)));
    if (!report.trustedComment.isEmpty())
        in.console.Out(QStringLiteral("trusted comment: %1").arg(report.trustedComment));
    if (report.manifest)
        PrintManifest(*report.manifest, in.console);
    for (const QString& name : report.replayed)
        in.console.Out(QStringLiteral("ok: %1 (as sealed, and as the image gives it byte for byte)")
                           .arg(name));
    for (const QString& name : report.hashOnly) {
        const bool bad = std::any_of(report.findings.begin(), report.findings.end(),
                                     [&name](const FileFinding& f) { return f.name == name; });
        if (!bad)
            in.console.Out(QStringLiteral("ok: %1 (as sealed; by its hash only)").arg(name));
    }
    for (const FileFinding& f : report.findings)
        in.console.Out(QStringLiteral("%1: %2: %3").arg(FindingWord(f.kind), f.name, f.detail));
    in.console.Out(QStringLiteral("verdict: %1%2")
                       .arg(VerdictText(report.verdict),
                            report.reason.isEmpty()
                                ? QString()
                                : QStringLiteral(" (") + report.reason + QLatin1Char(')')));
    return VerdictCode(report.verdict);
}
