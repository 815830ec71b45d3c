#include "readout/event_files.h"

#include "readout/ident_block.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int EventRecordLength = 11;
constexpr int EventWeightPos = 6;
constexpr int EventReachPos = 7;
// The reason byte of an erased slot: no record there.
constexpr std::uint8_t AbsentReason = 0xFF;

constexpr std::size_t index(OutputKind kind) {
    return static_cast<std::size_t>(kind);
}

} // namespace

RecordCopy RecordWithFlags(ReplyView reply, std::uint8_t flags) {
    RecordCopy record;
    record.fill(0xFF);
    std::copy_n(reply.begin(), std::min(reply.size(), record.size()), record.begin());
    record[PresenceFlagsPos] = flags;
    return record;
}

// ---- ReadoutFiles ----

ReadoutFiles::ReadoutFiles(MessageGateway& messages, PrintPager& pager, OutputNames names)
    : messages_(messages), pager_(pager) {
    output(OutputKind::Xls).name = std::move(names.xls);
    output(OutputKind::Txt).name = std::move(names.txt);
    output(OutputKind::Hex).name = std::move(names.hex);
}

ReadoutFiles::~ReadoutFiles() {
    // No dialogs here: the window may be gone. Closing flushes what was written.
    for (Output& out : outputs_)
        (void)out.file.Close();
}

ReadoutFiles::Output& ReadoutFiles::output(OutputKind kind) {
    return outputs_[index(kind)];
}

const ReadoutFiles::Output& ReadoutFiles::output(OutputKind kind) const {
    return outputs_[index(kind)];
}

bool ReadoutFiles::IsOpen(OutputKind kind) const {
    return output(kind).file.IsOpen();
}

bool ReadoutFiles::AnyOpen() const {
    return std::any_of(outputs_.begin(), outputs_.end(),
                       [](const Output& out) { return out.file.IsOpen(); });
}

QString ReadoutFiles::Name(OutputKind kind) const {
    return output(kind).name;
}

void ReadoutFiles::report(Output& out, const QString& text) {
    errors_ << text;
    failed_ = true;
    if (out.reported)
        return;
    out.reported = true;
    messages_.inform(MessageIcon::Error, text);
}

bool ReadoutFiles::Open(const OutputChoice& choice) {
    // Files of an earlier readout that was never finished are closed first;
    // errors it left behind belong to no log of this readout.
    errors_.clear();
    failed_ = false;
    for (Output& out : outputs_) {
        (void)out.file.Close();
        out.reported = false;
        out.writeFailed = false;
    }
    pager_.Reset();

    const std::pair<OutputKind, bool> order[] = {{OutputKind::Xls, choice.xls},
                                                 {OutputKind::Txt, choice.txt},
                                                 {OutputKind::Hex, choice.hex}};
    for (const auto& [kind, chosen] : order) {
        if (!chosen)
            continue;
        Output& out = output(kind);
        if (!out.file.Create(out.name)) {
            report(out, QStringLiteral("Невозможно открыть файл ") + out.name);
            return false;
        }
    }
    return true;
}

bool ReadoutFiles::Write(OutputKind kind, const QStringList& lines) {
    Output& out = output(kind);
    if (!out.file.IsOpen())
        return false;
    for (const QString& line : lines) {
        if (!out.file.WriteLn(line)) {
            // The rest of this record is left out; later records try again.
            out.writeFailed = true;
            report(out, QStringLiteral("Ошибка записи в файл ") + out.name);
            return false;
        }
    }
    return true;
}

void ReadoutFiles::close(Output& out) {
    if (!out.file.IsOpen())
        return;
    if (!out.file.Close() && !out.writeFailed)
        report(out, QStringLiteral("Невозможно закрыть файл ") + out.name);
}

void ReadoutFiles::Finish() {
    Output& txt = output(OutputKind::Txt);
    if (txt.file.IsOpen())
        (void)Write(OutputKind::Txt, pager_.CompletionLines());
    close(txt);
    close(output(OutputKind::Xls));
    close(output(OutputKind::Hex));
}

QStringList ReadoutFiles::TakeErrors() {
    return std::exchange(errors_, QStringList());
}

// ---- Event lines ----

QString DebugLine(ReplyView reply, std::uint32_t address, int length) {
    QString line = QStringLiteral("%1: ").arg(address, 5, 16, QLatin1Char('0')).toUpper();
    for (int k = 1; k <= length; ++k) {
        const unsigned b =
            static_cast<std::size_t>(k) < reply.size() ? reply[static_cast<std::size_t>(k)] : 0xFFu;
        line += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return line;
}

QString PrintClockLine(const QString& clockText) {
    return QString(17, QLatin1Char(' ')) + clockText;
}

QString EventPrintLine(ReplyView reply, const MessageTexts& texts, bool withReach) {
    QString line = QLatin1Char(' ') + RDate(reply) + QLatin1Char(' ') + RTime(reply) +
                   QStringLiteral("  ") + FSmallNum(reply, EventWeightPos) + QStringLiteral("   ");
    if (withReach)
        line += FSmallNum(reply, EventReachPos) + QStringLiteral("   ");
    return line + FReason(reply, texts);
}

QString EventSheetLine(ReplyView reply, const MessageTexts& texts, bool withReach) {
    const QChar tab = QLatin1Char('\t');
    QString line = RDate(reply) + tab + RTime(reply) + tab + SmallNum(reply, EventWeightPos) + tab;
    if (withReach)
        line += SmallNum(reply, EventReachPos) + tab;
    // The reason begins with its own tab: an empty column precedes the text.
    return line + Reason(reply, texts);
}

QString EventDebugLine(ReplyView reply, std::uint32_t address) {
    return DebugLine(reply, address, EventRecordLength);
}

QString EventSheetHeading(bool withReach) {
    QString heading = QStringLiteral("Дата\tВремя\tВес, тонн\t");
    if (withReach)
        heading += QStringLiteral("Вылет, метров\t");
    return heading + QStringLiteral("\tПричина записи\tСостояние реле\tСостояние цифровых "
                                    "выходов\tСостояние цифровых входов");
}

QStringList EventPrintColumns(bool withReach) {
    if (withReach)
        return {QStringLiteral("    Дата    Время  Вес, Вылет, Причина записи"),
                QStringLiteral("                   тонн метров")};
    return {QStringLiteral("    Дата    Время  Вес,  Причина записи"),
            QStringLiteral("                   тонн")};
}

// ---- EventFiles ----

EventFiles::EventFiles(MessageGateway& messages, PrintPager& pager)
    : files_(messages, pager, OutputNames{XlsName, TxtName, HexName}) {}

void EventFiles::SaveLog(ReplyView reply, std::uint32_t readAddress, const EventLogInput& input) {
    // The reason byte decides which measurements the lines show.
    const std::uint8_t reason = reply.size() > ReasonPos ? reply[ReasonPos] : AbsentReason;
    const RecordCopy record = RecordWithFlags(reply, reason);
    const ReplyView view(record);
    const bool absent = reason == AbsentReason;
    PrintPager& pager = files_.Pager();

    if (files_.IsOpen(OutputKind::Hex))
        files_.Write(OutputKind::Hex, {EventDebugLine(view, readAddress)});

    if (files_.IsOpen(OutputKind::Xls)) {
        QStringList lines;
        if (pager.FirstRecord())
            lines << KranLines(input.ident) << QStringLiteral("Содержимое черного ящика")
                  << input.clockText << EventSheetHeading(input.withReach);
        if (!absent)
            lines << EventSheetLine(view, input.texts, input.withReach);
        files_.Write(OutputKind::Xls, lines);
    }

    if (files_.IsOpen(OutputKind::Txt)) {
        PrintHead head;
        if (pager.FirstRecord()) {
            head.opening = KranLines(input.ident);
            head.opening << QStringLiteral("            Содержимое черного ящика")
                         << PrintClockLine(input.clockText) << QString();
            head.openingCount = KranPageLines + 3;
        }
        head.columns = EventPrintColumns(input.withReach);
        std::optional<QString> line;
        if (!absent)
            line = EventPrintLine(view, input.texts, input.withReach);
        files_.Write(OutputKind::Txt, pager.RecordLines(head, line));
    }

    pager.RecordDone();
}
