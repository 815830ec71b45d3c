// `replay`: the files of a readout rebuilt from a memory image, without a
// serial port and without the pauses a recorder is owed.

#include "cli/break_signal.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/image_input.h"
#include "cli/output_folder.h"
#include "image/replay.h"
#include "readout/readout_log.h"
#include "runner/exit_codes.h"
#include "settings/readout_settings.h"

#include <QDir>

namespace {

// Only the progress of the records reaches the terminal.
class ProgressHost : public QuietReadoutHost {
public:
    explicit ProgressHost(ReadoutProgress& progress) : progress_(progress) {}
    void SetProgressMaximum(int maximum) override { progress_.Start(maximum); }
    void SetProgress(int value) override { progress_.Record(value); }

private:
    ReadoutProgress& progress_;
};

} // namespace

void AddReplayOptions(QCommandLineParser& p) {
    p.addPositionalArgument(QStringLiteral("image"),
                            QStringLiteral("The memory image, e.g. a run folder's recorder.img."));
    p.addPositionalArgument(QStringLiteral("memory"), QStringLiteral("events or summator."));
    AddRatingOptions(p);
    AddOutputOptions(p);
    AddQuietOption(p);
}

int RunReplay(const Invocation& in) {
    const QString command = QStringLiteral("replay");
    const QStringList arguments = in.options.positionalArguments();
    if (arguments.size() != 2)
        return UsageFailure(in.console, command,
                            QStringLiteral("replay takes an image and events or summator"));
    const QString& memory = arguments[1];
    if (memory != QLatin1String("events") && memory != QLatin1String("summator"))
        return UsageFailure(
            in.console, command,
            QStringLiteral("the memory is events or summator, not '%1'").arg(memory));
    const ReplayKind kind =
        memory == QLatin1String("events") ? ReplayKind::Events : ReplayKind::Summator;
    Settings s;
    QString error;
    if (!ResolveSettings(in.options, in.console, s, error))
        return UsageFailure(in.console, command, error);

    // Read before the output folder is entered: a relative path names a file
    // of the folder the tool was started in.
    MemoryImage image;
    if (!LoadImageArgument(arguments[0], image, error)) {
        in.console.Err(QStringLiteral("zorvan-cli: ") + error);
        return ExitCode::FileFailure;
    }

    // Nothing of the memory asked for: no folder and no empty files.
    if (!ImageHoldsMemory(image, kind)) {
        in.console.Err(QStringLiteral("zorvan-cli: the image %1 holds no %2 memory")
                           .arg(QDir::toNativeSeparators(arguments[0]),
                                kind == ReplayKind::Events ? QStringLiteral("event")
                                                           : QStringLiteral("summator")));
        return ExitCode::FileFailure;
    }

    EmptyRunFolderSweep sweep;
    int exitCode = ExitCode::Success;
    const QString folder = EnterCommandFolder(in, command, sweep, exitCode);
    if (folder.isEmpty())
        return exitCode;

    ReplaySettings settings;
    settings.files = FilesFromOptions(in.options);
    settings.withReach = EventFilesWithReach(s.WeightMode);
    const SumReadoutChoice choice =
        SumChoiceFor(settings.files, s.WeightMode, s.MaxMoment, s.MaxWeight);
    settings.basis = choice.basis;
    settings.fullScale = choice.fullScale;
    settings.texts = s.Texts;

    // Ctrl+C is Break here too: the replay lets the event loop see it.
    bool breakRequested = in.breakSignal.Interrupted();
    in.breakSignal.Watch(&breakRequested);
    ProgressHost progress(in.console.Progress());
    const ReplayResult result =
        ReplayReadout(image, kind, settings, folder, progress, in.console, &breakRequested);
    in.breakSignal.Watch(nullptr);
    in.console.Progress().Suspend();
    switch (result.status) {
    case ReplayStatus::NoFolder:
        in.console.Err(result.error);
        return ExitCode::FileFailure;
    case ReplayStatus::Broken:
        return ExitCode::Interrupted;
    case ReplayStatus::CutShort:
        if (result.firstMissing) {
            // Said once: the readout's own messages only tell of a silent recorder.
            const MissingRead& m = *result.firstMissing;
            in.console.Err(QStringLiteral("zorvan-cli: the image holds nothing at %1h (selector "
                                          "%2, %3 bytes)")
                               .arg(Hex5(m.address))
                               .arg(m.selector)
                               .arg(m.length));
        }
        return result.fileError ? ExitCode::FileFailure : ExitCode::LinkFailure;
    case ReplayStatus::Done:
        break;
    }
    return result.fileError ? ExitCode::FileFailure : ExitCode::Success;
}
