// A reply of the recorder, any bytes that reached the reply buffer, decoded
// into every place a record goes: the event and summator panels, the print,
// spreadsheet and debug files of both memories, the load spectrum and the
// report file, all headed by the identification block.
//
// Input: one byte of choices (bit 0 reach/moment columns, bit 1 rating by
// weight, bits 4-6 records - 1), four bytes of the 100 % value, then the
// records' reply buffers of 32 bytes each, then the identification block.
// Missing bytes read as erased (0xFF).

#include "decoding/event_panel.h"
#include "fuzz/fuzz_support.h"
#include "link/dtrans.h"
#include "readout/event_files.h"
#include "readout/print_pager.h"
#include "summator/load_rating.h"
#include "summator/report_file.h"
#include "summator/sum_files.h"
#include "summator/sum_panel.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace {

using Reply = decltype(DTrans::RxBuffer);

int LineCount(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        std::abort(); // a file the readout reported as written is not there
    return static_cast<int>(file.readAll().count("\r\n"));
}

// Every line the files got must end where a record's line ends: a stray line
// break out of a record would shift every column after it.
void CheckDebugFile(const QString& name, int records) {
    if (LineCount(name) != records)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = EnterScratchFolder();
    InputBytes in(data, size);

    const std::uint8_t choices = in.Next();
    const bool columns = (choices & 0x01) != 0;
    const RatingBasis basis = (choices & 0x02) != 0 ? RatingBasis::Weight : RatingBasis::Moment;
    const int count = ((choices >> 4) & 0x07) + 1;
    std::uint32_t scale = 0;
    for (int i = 0; i < 4; ++i)
        scale = scale << 8 | in.Next();
    const auto fullScale = static_cast<std::int32_t>(scale);

    std::vector<Reply> replies(static_cast<std::size_t>(count));
    for (Reply& reply : replies)
        for (std::uint8_t& b : reply)
            b = in.Next();
    IdentData ident;
    for (std::uint8_t& b : ident)
        b = in.Next();

    const MessageTexts texts = MessageTexts::Defaults();
    const QString clock = QStringLiteral("08.12.2026 05:30");
    QuietGateway messages;
    PrintPager pager;
    const OutputChoice all{true, true, true};

    // The panels show the newest record, straight out of the reply buffer.
    (void)MakeEventPanelView(ReplyView(replies.front()), texts);
    (void)MakeSumPanelView(ReplyView(replies.front()));

    pager.Reset();
    EventFiles events(messages, pager);
    if (!events.Open(all))
        std::abort();
    std::uint32_t address = 0xFFFEC;
    for (const Reply& reply : replies)
        events.SaveLog(ReplyView(reply), address -= 11, {columns, clock, texts, ident});
    events.Finish();
    CheckDebugFile(EventFiles::HexName, count);

    pager.Reset();
    SumFiles sums(messages, pager);
    LoadSpectrum spectrum;
    if (!sums.Open(all))
        std::abort();
    address = 0x2FFF0;
    for (const Reply& reply : replies) {
        (void)spectrum.Rating(ReplyView(reply), basis, fullScale);
        sums.SummLog(ReplyView(reply), address -= 16, {columns, clock, ident});
    }
    sums.Finish();
    CheckDebugFile(SumFiles::HexName, count);
    // A blank slot (all 0xFF) is no record: it gives no row.
    const auto records = std::count_if(replies.begin(), replies.end(), [](const Reply& reply) {
        return !BlankSumRecord(ReplyView(reply));
    });
    if (sums.Rows().Count() != records || messages.shown != 0)
        std::abort();

    TextFile report;
    if (!report.Create(ReportFileName) ||
        !RepoPrint(report, {ident, spectrum, clock, clock, basis, fullScale}) || !report.Close())
        std::abort();
    return 0;
}
