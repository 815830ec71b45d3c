#include "bench/soak_check.h"

#include "link/dtrans.h"
#include "readout/event_files.h"
#include "readout/event_readout.h"
#include "readout/text_file.h"
#include "summator/sum_files.h"
#include "summator/sum_readout.h"

#include <QList>

#include <set>
#include <vector>

namespace {

constexpr int EventLength = 11;
constexpr int SumLength = 16;
// Identification (21 lines), title, clock and column heading.
constexpr int SheetHeadLines = 24;

struct Walk {
    std::uint32_t start = 0;
    std::uint32_t past = 0; // the step after the last record
    int length = 0;
    std::function<std::uint32_t(std::uint32_t)> previous;
};

Walk MakeWalk(const SoakExpectation& e) {
    Walk w;
    const bool wrapped = e.wrapped;
    if (e.memory == SoakMemory::Events) {
        const EventRange range = EventReadRange(e.pointer, wrapped);
        w.start = range.start;
        w.length = EventLength;
        w.previous = [wrapped](std::uint32_t a) { return PreviousEventSlot(a, wrapped); };
        w.past = w.previous(range.end);
    } else {
        const SumRange range = SumReadRange(e.pointer, wrapped);
        w.start = range.start;
        w.length = SumLength;
        w.previous = [wrapped](std::uint32_t a) { return PreviousSumSlot(a, wrapped); };
        w.past = w.previous(range.end);
    }
    return w;
}

QList<QByteArray> Lines(const QByteArray& file, QString* problem) {
    if (!file.isEmpty() && !file.endsWith("\r\n"))
        *problem = QStringLiteral("the file does not end with a whole line");
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast(); // after the last line end
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            *problem = QStringLiteral("a line without CR LF");
        line.chop(1);
    }
    return lines;
}

// "AAAAA: XX XX … " back to its address and bytes.
bool ParseDebugLine(const QByteArray& line, int length, std::uint32_t* address, QByteArray* bytes) {
    if (line.size() != 7 + 3 * length || line.mid(5, 2) != ": ")
        return false;
    bool ok = false;
    *address = line.left(5).toUInt(&ok, 16);
    *bytes = QByteArray::fromHex(line.mid(7));
    return ok && bytes->size() == length;
}

// The spreadsheet line of a record, or nothing for a record the sheet leaves out.
std::optional<QByteArray> SheetLine(const SoakExpectation& e, const QByteArray& record) {
    decltype(DTrans::RxBuffer) reply{};
    for (int k = 0; k < record.size(); ++k)
        reply[static_cast<std::size_t>(k + 1)] = static_cast<std::uint8_t>(record[k]);
    if (e.memory == SoakMemory::Events) {
        const std::uint8_t reason = reply[ReasonPos];
        if (reason == 0xFF)
            return std::nullopt;
        const RecordCopy copy = RecordWithFlags(ReplyView(reply), reason);
        return TextFile::Encode(EventSheetLine(ReplyView(copy), e.texts, e.columns));
    }
    const RecordCopy copy = RecordWithFlags(ReplyView(reply), 0xFF);
    if (NoCycle(ReplyView(copy)))
        return std::nullopt;
    return TextFile::Encode(SumSheetLine(ReplyView(copy), e.columns));
}

SoakFiles Failed(SoakFiles result, const QString& problem) {
    result.problem = problem;
    return result;
}

} // namespace

SoakFiles CheckSoakFiles(const SoakExpectation& expect, const QByteArray& debugFile,
                         const QByteArray& sheetFile) {
    SoakFiles result;
    const Walk walk = MakeWalk(expect);
    for (std::uint32_t a = walk.start;;) {
        ++result.walkLength;
        a = walk.previous(a);
        if (a == walk.past)
            break;
    }

    const QList<QByteArray> debug = Lines(debugFile, &result.problem);
    std::vector<QByteArray> sheetWanted;
    std::set<std::uint32_t> seen;
    std::uint32_t next = walk.start;
    for (const QByteArray& line : debug) {
        std::uint32_t address = 0;
        QByteArray bytes;
        if (!ParseDebugLine(line, walk.length, &address, &bytes))
            return Failed(result,
                          QStringLiteral("garbled debug line: ") + QString::fromLatin1(line));
        if (!seen.insert(address).second)
            return Failed(result,
                          QStringLiteral("record read twice: ") + QString::number(address, 16));
        if (address != next || result.records >= result.walkLength)
            return Failed(result, QStringLiteral("out of order: ") + QString::number(address, 16));
        if (bytes != expect.bytes(address, walk.length))
            return Failed(result, QStringLiteral("not the recorder's record at ") +
                                      QString::number(address, 16));
        if (const std::optional<QByteArray> sheet = SheetLine(expect, bytes))
            sheetWanted.push_back(*sheet);
        ++result.records;
        next = walk.previous(address);
    }

    const QList<QByteArray> sheet = Lines(sheetFile, &result.problem);
    const qsizetype records = result.records == 0 ? 0 : sheet.size() - SheetHeadLines;
    if (records != static_cast<qsizetype>(sheetWanted.size()))
        return Failed(result,
                      QStringLiteral(
                          "the spreadsheet holds %1 record lines, the debug file's records make %2")
                          .arg(records)
                          .arg(sheetWanted.size()));
    for (std::size_t i = 0; i < sheetWanted.size(); ++i) {
        if (sheet[SheetHeadLines + static_cast<qsizetype>(i)] != sheetWanted[i])
            return Failed(result, QStringLiteral("garbled spreadsheet line %1").arg(i + 1));
    }
    return result;
}
