// `events` and `summator`: the memory readouts of the window, into files.

#include "archive/crane_archive.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/output_folder.h"
#include "cli/recorder_session.h"
#include "image/image_tap.h"
#include "readout/event_readout.h"
#include "settings/readout_settings.h"
#include "summary/page_update.h"
#include "summator/sum_readout.h"
#include "summator/word_report.h"
#include "summator/word_rtf_app.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// Settings, files and the output folder of a readout; false after a usage
// or folder failure, with the exit code.
struct ReadoutSetup {
    Settings settings;
    OutputChoice files;
    QString folder;
    bool madeFolder = false; // a new run folder, not one given with --out
};

bool PrepareReadout(const Invocation& in, const QString& command, ReadoutSetup& setup,
                    int& exitCode) {
    QString error;
    if (!ResolveSettings(in.options, in.console, setup.settings, error)) {
        exitCode = UsageFailure(in.console, command, error);
        return false;
    }
    setup.files = FilesFromOptions(in.options);
    if (HoldsAReadout(in.options.value(QStringLiteral("out")))) {
        exitCode = UsageFailure(in.console, command,
                                HoldsAReadoutError(in.options.value(QStringLiteral("out"))));
        return false;
    }
    setup.folder = EnterOutputFolder(in.options.value(QStringLiteral("out")),
                                     QDateTime::currentDateTime(), in.console, &setup.madeFolder);
    if (setup.folder.isEmpty()) {
        exitCode = ExitCode::FileFailure;
        return false;
    }
    // First, so that a script knows where to look whatever follows.
    in.console.Out(QDir::toNativeSeparators(setup.folder));
    return true;
}

// The readout went on without its archive: one line says why.
void ReportArchive(const CraneArchive& archive, Console& console) {
    if (!archive.Error().isEmpty())
        console.Err(QStringLiteral("Архив не ведется: ") + archive.Error());
}

bool SinceLast(const QCommandLineParser& p) {
    return p.isSet(QStringLiteral("since-last"));
}

} // namespace

void AddEventsOptions(QCommandLineParser& p) {
    AddLineOptions(p);
    AddRatingOptions(p);
    AddOutputOptions(p);
    AddQuietOption(p);
    p.addOption({QStringLiteral("since-last"),
                 QStringLiteral("Read from the line only what is new since the last readout of "
                                "this recorder and take the rest from the archive; the files are "
                                "those of a full readout.")});
}

void AddSummatorOptions(QCommandLineParser& p) {
    AddEventsOptions(p);
    p.addOption({QStringLiteral("word"),
                 QStringLiteral("After a complete readout, also make the word-processor report "
                                "\"list.doc\" from the template \"Dot_n.dot\", both beside the "
                                "program, as the window does.")});
    AddRatedLoadOption(p);
}

int RunEvents(const Invocation& in) {
    ReadoutSetup setup;
    int exitCode = ExitCode::Success;
    if (!PrepareReadout(in, QStringLiteral("events"), setup, exitCode))
        return exitCode;
    EmptyRunFolderSweep sweep;
    if (setup.madeFolder)
        sweep.Watch(setup.folder);

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(setup.settings.ComPortNumber, setup.settings.BaudRate))
        return OperationExitCode(false, in.breakSignal.Interrupted(), in.console.FileErrorSeen());
    session.ShowStages();
    const Settings& s = setup.settings;
    RunSummary summary;
    ReadoutResult result;
    {
        const ImageTap image(session.Link, s.ComPortNumber);
        EventReadout readout(session, session.Requests, session.BreakRequested, in.console,
                             session.Pager, s.Texts, session.Ident);
        readout.SetObserver(&summary);
        CraneArchive archive(session.Link, s.ComPortNumber);
        readout.SetArchive({&archive, SinceLast(in.options)});
        readout.Run(setup.files, EventFilesWithReach(s.WeightMode), QDateTime::currentDateTime());
        // The window's ShutDown: the port first, then the files.
        session.End();
        result = readout.Finish();
        ReportArchive(archive, in.console);
    }
    UpdateSummaryPage(summary,
                      {ReadoutKind::Events, s.ComPortNumber, session.Clock, session.Ident, s.Texts,
                       EventFilesWithReach(s.WeightMode)},
                      setup.folder);
    return OperationExitCode(result.outcome == ReadoutOutcome::Completed,
                             in.breakSignal.Interrupted(), result.fileFailed);
}

int RunSummator(const Invocation& in) {
    ReadoutSetup setup;
    int exitCode = ExitCode::Success;
    std::optional<double> ratedLoad;
    if (QString error; !RatedLoadFromOptions(in.options, ratedLoad, error))
        return UsageFailure(in.console, QStringLiteral("summator"), error);
    if (!PrepareReadout(in, QStringLiteral("summator"), setup, exitCode))
        return exitCode;
    EmptyRunFolderSweep sweep;
    if (setup.madeFolder)
        sweep.Watch(setup.folder);

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(setup.settings.ComPortNumber, setup.settings.BaudRate))
        return OperationExitCode(false, in.breakSignal.Interrupted(), in.console.FileErrorSeen());
    session.ShowStages();
    SumReadout readout(session, session.Requests, session.BreakRequested, in.console, session.Pager,
                       session.Ident);
    const Settings& s = setup.settings;
    const SumReadoutChoice choice =
        SumChoiceFor(setup.files, s.WeightMode, s.MaxMoment, s.MaxWeight);
    RunSummary summary;
    readout.SetObserver(&summary);
    ReadoutResult result;
    {
        const ImageTap image(session.Link, s.ComPortNumber);
        CraneArchive archive(session.Link, s.ComPortNumber);
        readout.SetArchive({&archive, SinceLast(in.options)});
        readout.Run(choice, QDateTime::currentDateTime());
        readout.SetArchive({});
        session.End();
        result = readout.Finish();
        ReportArchive(archive, in.console);
    }
    UpdateSummaryPage(summary,
                      {ReadoutKind::Summator, s.ComPortNumber, session.Clock, session.Ident,
                       s.Texts, EventFilesWithReach(s.WeightMode), &readout, choice.fullScale,
                       ratedLoad},
                      setup.folder);

    const bool completed = result.outcome == ReadoutOutcome::Completed;
    if (completed && in.options.isSet(QStringLiteral("word"))) {
        // The report is the file; no desktop is asked to show it.
        RtfWordApplication word([](const QString&) {});
        if (MakeWordReport(word, readout.Rows(), QCoreApplication::applicationDirPath(),
                           in.console))
            in.console.Out(QDir::toNativeSeparators(word.LastSavedPath()));
        else
            return ExitCode::FileFailure;
    }
    return OperationExitCode(completed, in.breakSignal.Interrupted(), result.fileFailed);
}
