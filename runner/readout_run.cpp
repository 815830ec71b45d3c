#include "runner/readout_run.h"

#include "archive/crane_archive.h"
#include "image/image_tap.h"
#include "readout/event_readout.h"
#include "readout/readout_log.h"
#include "readout/record_archive.h"
#include "seal/key_store.h"
#include "seal/run_seal.h"
#include "summary/run_summary.h"
#include "summator/sum_readout.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The new key is told to whoever sits at a terminal; a script or a window
// started from the menu finds it beside every manifest (zorvan.pub), and the
// texts scripts read stay as they were.
void TellNewKey(const QString& note) {
#ifdef Q_OS_WIN
    const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
    const bool terminal = isatty(STDERR_FILENO) != 0;
#endif
    if (terminal)
        std::fprintf(stderr, "%s\n", qPrintable(note));
}

// The folder sealed over every file it now holds. The seal is a bystander
// too: when it fails the files stay as written and the log says why in one
// line; the key made for it is told once.
void Seal(const QString& folder, const SealedReadout* sealed, const QString& clockText) {
    const QString keyFolder = UserKeyFolder();
    const SealOutcome seal = SealRunFolder(folder, sealed, clockText, keyFolder);
    if (seal.keyMade)
        TellNewKey(NewKeyNote(seal, keyFolder));
    if (seal.ok)
        return;
    ReadoutLog log;
    if (log.Open()) {
        log.Line(QStringLiteral("Не удалось запечатать папку: ") + seal.error);
        (void)log.Close();
    }
}

void SealReadout(const QString& folder, SealedReadout sealed, const ReadoutRunEnd& end,
                 const FinishedReadout& facts) {
    sealed.outcome = end.result.outcome;
    sealed.withReach = facts.withReach;
    sealed.texts = facts.texts;
    if (facts.kind == ReadoutKind::Summator)
        sealed.fullScale = facts.fullScale;
    Seal(folder, &sealed, facts.clockText);
}

void TellArchiveProblem(const QString& problem) {
    ReadoutLog log;
    if (log.Open()) {
        log.Line(ArchiveProblemText(problem));
        (void)log.Close();
    }
}

// The steps around the records, for either memory; read runs the readout.
template <typename Readout, typename Read>
ReadoutRunEnd RunReadout(Readout& readout, const ReadoutLine& line, RunSummary& summary,
                         const PageFacts& page, const QString& pageFolder,
                         const SealedReadout& sealed, Read read) {
    ReadoutRunEnd end;
    {
        const ImageTap image(line.link, line.comPort);
        readout.SetObserver(&summary);
        CraneArchive archive(line.link, line.comPort);
        readout.SetArchive({&archive, line.sinceLast});
        read();
        // The summator readout outlives the run (its rows feed the report).
        readout.SetArchive({});
        bool finished = false;
        line.endExchange([&] {
            end.result = readout.Finish();
            finished = true;
        });
        if (!finished)
            end.result = readout.Finish();
        // The last blocks of a cut readout are written only now.
        archive.Close();
        end.archiveError = archive.Error();
        // A failure after the walk began (a batch, the last write) is told in
        // the log as one at its start is: the window's user has nothing else.
        if (const QString problem = archive.TakeProblem(); !problem.isEmpty())
            TellArchiveProblem(problem);
    }
    const FinishedReadout facts = page();
    UpdateSummaryPage(summary, facts, pageFolder);
    SealReadout(pageFolder, sealed, end, facts);
    return end;
}

} // namespace

ReadoutRunEnd RunEventReadout(EventReadout& readout, const ReadoutLine& line,
                              const OutputChoice& files, bool withReach, RunSummary& summary,
                              const PageFacts& page, const QString& pageFolder) {
    SealedReadout sealed;
    sealed.kind = ReadoutKind::Events;
    sealed.files = files;
    return RunReadout(readout, line, summary, page, pageFolder, sealed,
                      [&] { readout.Run(files, withReach, QDateTime::currentDateTime()); });
}

ReadoutRunEnd RunSumReadout(SumReadout& readout, const ReadoutLine& line,
                            const SumReadoutChoice& choice, RunSummary& summary,
                            const PageFacts& page, const QString& pageFolder) {
    SealedReadout sealed;
    sealed.kind = ReadoutKind::Summator;
    sealed.files = choice.files;
    sealed.basis = choice.basis;
    sealed.fullScale = choice.fullScale;
    return RunReadout(readout, line, summary, page, pageFolder, sealed,
                      [&] { readout.Run(choice, QDateTime::currentDateTime()); });
}

void SealRunAgain(const QString& folder) {
    // Only a folder a readout sealed: a report made before any readout seals nothing.
    if (QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(ManifestName))))
        Seal(folder, nullptr, QString());
}
