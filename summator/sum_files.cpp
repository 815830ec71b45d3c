#include "summator/sum_files.h"

#include "readout/ident_block.h"
#include "summator/load_rating.h"

#include <utility>

namespace {

constexpr int SumRecordLength = 16;
constexpr int HoursPos = 6;
constexpr int WeightTotalPos = 9;
constexpr int CyclesPos = 12;
constexpr int WeightPos = 15;
constexpr int ReachPos = 16;
// A summator record shows all its fields; only 0xFF values stay empty.
constexpr std::uint8_t AllPresent = 0xFF;

} // namespace

bool SumRows::Add(TSum row) {
    if (Count() >= Capacity)
        return false;
    rows_.push_back(std::move(row));
    return true;
}

const TSum& SumRows::Row(int i) const {
    static const TSum none;
    if (i < 1 || i > Count())
        return none;
    return rows_[static_cast<std::size_t>(i - 1)];
}

QString SumPrintLine(ReplyView reply, bool withMoment) {
    QString line = QLatin1Char(' ') + RDate(reply) + QLatin1Char(' ') + RTime(reply) +
                   QStringLiteral("  ") + FBigNum(reply, HoursPos) + QLatin1Char(' ') +
                   FBigNum(reply, WeightTotalPos) + QLatin1Char(' ') + FBigNum(reply, CyclesPos) +
                   QStringLiteral("  ") + FSmallNum(reply, WeightPos);
    if (withMoment)
        line += QStringLiteral("  ") + FSmallNum(reply, ReachPos) + QStringLiteral("  ") +
                FRMoment(reply);
    return line;
}

QString SumSheetLine(ReplyView reply, bool withMoment) {
    const QChar tab = QLatin1Char('\t');
    QString line = RDate(reply) + tab + RTime(reply) + tab + BigNum(reply, HoursPos) + tab +
                   BigNum(reply, WeightTotalPos) + tab + BigNum(reply, CyclesPos) + tab +
                   SmallNum(reply, WeightPos);
    if (withMoment)
        line += tab + SmallNum(reply, ReachPos) + tab + RMoment(reply);
    return line;
}

QString SumDebugLine(ReplyView reply, std::uint32_t address) {
    return DebugLine(reply, address, SumRecordLength);
}

TSum SumRow(ReplyView reply) {
    return TSum{RDate(reply),
                RTime(reply),
                BigNum(reply, HoursPos),
                BigNum(reply, WeightTotalPos),
                BigNum(reply, CyclesPos),
                SmallNum(reply, WeightPos),
                SmallNum(reply, ReachPos)};
}

QString SumSheetHeading(bool withMoment) {
    QString heading = QStringLiteral("Дата\tВремя\tСуммарная наработка, часов\tПоднятый вес, "
                                     "тонн\tКоличество циклов\tВес за цикл");
    if (withMoment)
        heading += QStringLiteral("\tВылет за цикл\tМомент за цикл");
    return heading;
}

QStringList SumPrintColumns(bool withMoment) {
    if (withMoment)
        return {QStringLiteral("    Дата    Время  Наработ- Поднятый Кол-во    За цикл:"),
                QStringLiteral("                   ка,часов вес,тонн   циклов  вес вылет момент")};
    return {QStringLiteral("    Дата    Время  Наработ- Поднятый Кол-во    Вес за цикл,"),
            QStringLiteral("                   ка,часов вес,тонн   циклов  тонн")};
}

bool NoCycle(ReplyView reply) {
    const auto at = [&](int k) {
        return static_cast<std::size_t>(k) < reply.size() ? reply[static_cast<std::size_t>(k)]
                                                          : std::uint8_t{0xFF};
    };
    return at(WeightPos) == 0xFF && at(ReachPos) == 0xFF;
}

SumFiles::SumFiles(MessageGateway& messages, PrintPager& pager)
    : files_(messages, pager, OutputNames{XlsName, TxtName, HexName}) {}

bool SumFiles::Open(const OutputChoice& choice) {
    rows_.Clear();
    return files_.Open(choice);
}

void SumFiles::SummLog(ReplyView reply, std::uint32_t readAddress, const SumLogInput& input) {
    const RecordCopy record = RecordWithFlags(reply, AllPresent);
    const ReplyView view(record);
    const bool noCycle = NoCycle(view);
    PrintPager& pager = files_.Pager();

    // A blank slot is no record: the word report would take its 0xFF bytes
    // for dates and totals. Only the debug file shows it, as it shows every
    // slot read.
    if (!BlankSumRecord(view))
        (void)rows_.Add(SumRow(view));

    if (files_.IsOpen(OutputKind::Hex))
        files_.Write(OutputKind::Hex, {SumDebugLine(view, readAddress)});

    if (files_.IsOpen(OutputKind::Xls)) {
        QStringList lines;
        if (pager.FirstRecord())
            lines << KranLines(input.ident) << QStringLiteral("Содержимое сумматора")
                  << input.clockText << SumSheetHeading(input.withMoment);
        if (!noCycle)
            lines << SumSheetLine(view, input.withMoment);
        files_.Write(OutputKind::Xls, lines);
    }

    if (files_.IsOpen(OutputKind::Txt)) {
        PrintHead head;
        if (pager.FirstRecord()) {
            head.opening = KranLines(input.ident);
            head.opening << QStringLiteral("               Содержимое сумматора")
                         << PrintClockLine(input.clockText) << QString();
            head.openingCount = KranPageLines + 3;
        }
        head.columns = SumPrintColumns(input.withMoment);
        std::optional<QString> line;
        if (!noCycle)
            line = SumPrintLine(view, input.withMoment);
        files_.Write(OutputKind::Txt, pager.RecordLines(head, line));
    }

    pager.RecordDone();
}
