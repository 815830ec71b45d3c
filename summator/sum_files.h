#pragma once

#include "decoding/fields.h"
#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/event_files.h"
#include "readout/print_pager.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// One summator record as text, in the plain forms of the spreadsheet.
struct TSum {
    QString date;        // dd.mm.20yy
    QString time;        // hh:mm
    QString hours;       // operating hours
    QString weightTotal; // total lifted weight, tonnes
    QString cycles;      // number of cycles
    QString weight;      // weight of the cycle, empty when absent
    QString reach;       // reach of the cycle, empty when absent
};

// The formatted rows of the last summator readout, newest first: row 1 is the
// newest record. A readout yields at most 8192 records; rows beyond the
// capacity are not stored.
class SumRows {
public:
    static constexpr int Capacity = 9000;

    void Clear() { rows_.clear(); }
    // False when the table is full and the row was not stored.
    bool Add(TSum row);
    [[nodiscard]] int Count() const { return static_cast<int>(rows_.size()); }
    // Row i, 1 ... Count(); an empty row for any other index.
    [[nodiscard]] const TSum& Row(int i) const;

private:
    std::vector<TSum> rows_;
};

// What the summator files are headed with and how their lines are laid out.
struct SumLogInput {
    bool withMoment = false; // reach and moment columns (moment basis chosen)
    QString clockText;       // recorder clock, "dd.mm.20yy hh:mm"
    IdentData ident{};       // identification block, heads the files
};

// The summator memory's files "summator.xls", "summator.txt" and
// "summator.hex", and the table of rows of the last readout.
class SumFiles {
public:
    static inline const QString XlsName = QStringLiteral("summator.xls");
    static inline const QString TxtName = QStringLiteral("summator.txt");
    static inline const QString HexName = QStringLiteral("summator.hex");

    SumFiles(MessageGateway& messages, PrintPager& pager);

    // Empties the table of rows and creates the chosen files.
    [[nodiscard]] bool Open(const OutputChoice& choice);

    // One record as read at readAddress: reply[1..16] is the record. It goes
    // to the debug file always; to the table unless it is a blank slot (all
    // 0xFF); to the spreadsheet and print files only when it holds a cycle
    // (weight or reach present). The first record of a readout also writes
    // the file headings.
    void SummLog(ReplyView reply, std::uint32_t readAddress, const SumLogInput& input);

    void Finish() { files_.Finish(); }
    [[nodiscard]] QStringList TakeErrors() { return files_.TakeErrors(); }
    [[nodiscard]] ReadoutFiles& Files() { return files_; }

    // The rows outlive the readout: the word report reads them afterwards.
    [[nodiscard]] const SumRows& Rows() const { return rows_; }
    [[nodiscard]] SumRows& Rows() { return rows_; }

private:
    ReadoutFiles files_;
    SumRows rows_;
};

// Lines of the summator files, from a reply whose presence flags are set.
[[nodiscard]] QString SumPrintLine(ReplyView reply, bool withMoment);
[[nodiscard]] QString SumSheetLine(ReplyView reply, bool withMoment);
[[nodiscard]] QString SumDebugLine(ReplyView reply, std::uint32_t address);
[[nodiscard]] TSum SumRow(ReplyView reply);
[[nodiscard]] QString SumSheetHeading(bool withMoment);
[[nodiscard]] QStringList SumPrintColumns(bool withMoment);
// Neither weight nor reach: the record is not a lifting cycle.
[[nodiscard]] bool NoCycle(ReplyView reply);
