#include "runner/readout_run.h"

#include "archive/crane_archive.h"
#include "image/image_tap.h"
#include "readout/event_readout.h"
#include "summary/run_summary.h"
#include "summator/sum_readout.h"

#include <QDateTime>

namespace {

// The steps around the records, for either memory; read runs the readout.
template <typename Readout, typename Read>
ReadoutRunEnd RunReadout(Readout& readout, const ReadoutLine& line, RunSummary& summary,
                         const PageFacts& page, const QString& pageFolder, Read read) {
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
    }
    UpdateSummaryPage(summary, page(), pageFolder);
    return end;
}

} // namespace

ReadoutRunEnd RunEventReadout(EventReadout& readout, const ReadoutLine& line,
                              const OutputChoice& files, bool withReach, RunSummary& summary,
                              const PageFacts& page, const QString& pageFolder) {
    return RunReadout(readout, line, summary, page, pageFolder,
                      [&] { readout.Run(files, withReach, QDateTime::currentDateTime()); });
}

ReadoutRunEnd RunSumReadout(SumReadout& readout, const ReadoutLine& line,
                            const SumReadoutChoice& choice, RunSummary& summary,
                            const PageFacts& page, const QString& pageFolder) {
    return RunReadout(readout, line, summary, page, pageFolder,
                      [&] { readout.Run(choice, QDateTime::currentDateTime()); });
}
