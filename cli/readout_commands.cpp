// `events` and `summator`: the memory readouts of the window, into files.

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/output_folder.h"
#include "cli/recorder_session.h"
#include "readout/event_readout.h"
#include "readout/record_archive.h"
#include "runner/exit_codes.h"
#include "runner/readout_run.h"
#include "settings/readout_settings.h"
#include "summary/page_update.h"
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
};

bool PrepareReadout(const Invocation& in, const QString& command, ReadoutSetup& setup,
                    EmptyRunFolderSweep& sweep, int& exitCode) {
    QString error;
    if (!ResolveSettings(in.options, in.console, setup.settings, error)) {
        exitCode = UsageFailure(in.console, command, error);
        return false;
    }
    setup.files = FilesFromOptions(in.options);
    setup.folder = EnterCommandFolder(in, command, sweep, exitCode);
    return !setup.folder.isEmpty();
}

// What the archive did: asked to take from it, how many records it gave;
// when it went without, one line says why.
void ReportArchive(const ReadoutRunEnd& end, const RecorderSession& session,
                   const QCommandLineParser& options, Console& console) {
    if (options.isSet(QStringLiteral("since-last")) && !session.RecordSources().isEmpty())
        console.Err(session.RecordSources());
    if (!end.archiveError.isEmpty())
        console.Err(ArchiveProblemText(end.archiveError));
}

// The window's ShutDown: the port first, then the files.
ReadoutLine LineOf(RecorderSession& session, int comPort, const QCommandLineParser& options) {
    return {session.Link, comPort, options.isSet(QStringLiteral("since-last")),
            [&session](const std::function<void()>& finishFiles) {
                session.End();
                finishFiles();
            }};
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
                                "\"list.doc\" from the template \"Dot_n.dot\" (beside the "
                                "program, else in ../share/zorvan/ from it), as the window does, "
                                "and print its path. An installed program saves it with the "
                                "other files; one in its build tree beside itself, when that "
                                "folder is writable.")});
    AddRatedLoadOption(p);
}

int RunEvents(const Invocation& in) {
    ReadoutSetup setup;
    EmptyRunFolderSweep sweep;
    int exitCode = ExitCode::Success;
    if (!PrepareReadout(in, QStringLiteral("events"), setup, sweep, exitCode))
        return exitCode;

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(setup.settings.ComPortNumber, setup.settings.BaudRate,
                       PortAddressOption(in.options)))
        return LinkExitCode(false, in.breakSignal.Interrupted());
    session.ShowStages();
    const Settings& s = setup.settings;
    const bool withReach = EventFilesWithReach(s.WeightMode);
    EventReadout readout(session, session.Requests, session.BreakRequested, session.Messages(),
                         session.Pager, s.Texts, session.Ident);
    RunSummary summary;
    const ReadoutRunEnd end = RunEventReadout(
        readout, LineOf(session, s.ComPortNumber, in.options), setup.files, withReach, summary,
        [&] {
            return FinishedReadout{ReadoutKind::Events, s.ComPortNumber, session.Clock,
                                   session.Ident,       s.Texts,         withReach};
        },
        setup.folder);
    ReportArchive(end, session, in.options, in.console);
    return OperationExitCode(end.result.outcome == ReadoutOutcome::Completed,
                             in.breakSignal.Interrupted(), end.result.fileFailed);
}

int RunSummator(const Invocation& in) {
    ReadoutSetup setup;
    int exitCode = ExitCode::Success;
    std::optional<double> ratedLoad;
    if (QString error; !RatedLoadFromOptions(in.options, ratedLoad, error))
        return UsageFailure(in.console, QStringLiteral("summator"), error);
    EmptyRunFolderSweep sweep;
    if (!PrepareReadout(in, QStringLiteral("summator"), setup, sweep, exitCode))
        return exitCode;

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(setup.settings.ComPortNumber, setup.settings.BaudRate,
                       PortAddressOption(in.options)))
        return LinkExitCode(false, in.breakSignal.Interrupted());
    session.ShowStages();
    SumReadout readout(session, session.Requests, session.BreakRequested, session.Messages(),
                       session.Pager, session.Ident);
    const Settings& s = setup.settings;
    const SumReadoutChoice choice =
        SumChoiceFor(setup.files, s.WeightMode, s.MaxMoment, s.MaxWeight);
    RunSummary summary;
    const ReadoutRunEnd end = RunSumReadout(
        readout, LineOf(session, s.ComPortNumber, in.options), choice, summary,
        [&] {
            return FinishedReadout{ReadoutKind::Summator,
                                   s.ComPortNumber,
                                   session.Clock,
                                   session.Ident,
                                   s.Texts,
                                   EventFilesWithReach(s.WeightMode),
                                   &readout,
                                   choice.fullScale,
                                   ratedLoad};
        },
        setup.folder);
    ReportArchive(end, session, in.options, in.console);

    const bool completed = end.result.outcome == ReadoutOutcome::Completed;
    if (completed && in.options.isSet(QStringLiteral("word"))) {
        // The report is the file; no desktop is asked to show it.
        RtfWordApplication word([](const QString&) {});
        if (MakeWordReport(word, readout.Rows(), QCoreApplication::applicationDirPath(),
                           in.console)) {
            in.console.Out(QDir::toNativeSeparators(word.LastSavedPath()));
            NoteWordReport(summary, word.LastSavedPath(), setup.folder);
            SealRunAgain(setup.folder);
        } else
            return ExitCode::FileFailure;
    }
    return OperationExitCode(completed, in.breakSignal.Interrupted(), end.result.fileFailed);
}
