#include "readout/event_readout.h"

#include "readout/readout_steps.h"

using namespace RecorderMap;

namespace {

// Steps from a page start to the last slot of the page below.
constexpr std::uint32_t PageStep = 20;
constexpr std::uint32_t SlotStep = 11;

} // namespace

EventRange EventReadRange(std::uint32_t pointer, bool wrapped) {
    return MemoryReadRange(pointer, wrapped, EventStart, EventEnd);
}

std::uint32_t PreviousEventSlot(std::uint32_t address, bool wrapped) {
    if (wrapped && address == EventStart)
        address = EventEnd;
    return address - (LoWord(address) == 0 ? PageStep : SlotStep);
}

int EventRecordCount(std::uint32_t pointer, bool wrapped) {
    return SlotCount(EventReadRange(pointer, wrapped),
                     [wrapped](std::uint32_t a) { return PreviousEventSlot(a, wrapped); });
}

QString EventFinalMessage(const OutputChoice& choice) {
    const int ticked = int(choice.xls) + int(choice.txt) + int(choice.hex);
    QString text = QStringLiteral("Данные прочитаны в файл");
    if (ticked > 1)
        text += QStringLiteral("ы");
    if (choice.xls)
        text += QLatin1Char(' ') + EventFiles::XlsName;
    if (choice.xls && (choice.txt || choice.hex))
        text += QLatin1Char(',');
    if (choice.txt)
        text += QLatin1Char(' ') + EventFiles::TxtName;
    if (choice.txt && choice.hex)
        text += QLatin1Char(',');
    if (choice.hex)
        text += QLatin1Char(' ') + EventFiles::HexName;
    return text;
}

EventReadout::EventReadout(ReadoutHost& host, RecorderRequests& requests,
                           const bool& breakRequested, MessageGateway& messages, PrintPager& pager,
                           const MessageTexts& texts, IdentData& ident)
    : host_(host), requests_(requests), link_(requests.Link()), breakRequested_(breakRequested),
      messages_(messages), texts_(texts), ident_(ident), files_(messages, pager) {}

ReadoutResult EventReadout::Finish() {
    files_.Finish();
    logFileErrors();
    (void)log_.Close();
    observed_.Finished(breakRequested_);
    return {observed_.Outcome(breakRequested_), logFailed_ || files_.Files().Failed()};
}

void EventReadout::logFileErrors() {
    if (!log_.IsOpen())
        return;
    for (const QString& error : files_.TakeErrors())
        log_.Line(error);
}

void EventReadout::Run(const OutputChoice& choice, bool withReach, const QDateTime& now) {
    choice_ = choice;
    withReach_ = withReach;
    observed_.Started(now);
    ReadoutSteps steps(host_, requests_, breakRequested_, log_, messages_);
    logFailed_ = false;
    if (!files_.Open(choice))
        return;
    if (!steps.OpenLog()) {
        logFailed_ = true;
        return;
    }
    steps.Guarded(99, [&] {
        std::uint32_t start = 0;
        bool wrapped = false;
        if (prepare(steps, now, start, wrapped))
            readRecords(steps, start, wrapped);
    });
}

bool EventReadout::prepare(ReadoutSteps& steps, const QDateTime& now, std::uint32_t& start,
                           bool& wrapped) {
    log_.Start(now, QStringLiteral("Чтение черного ящика"));
    if (!steps.Identification(ident_))
        return false;
    link_.WaitTicks(5);
    if (!steps.Clock())
        return false;
    link_.WaitTicks(5);
    if (!steps.LastSlot(LastEventSlot, EventLength, wrapped))
        return false;
    link_.WaitTicks(5);
    return steps.Pointer(true, start);
}

void EventReadout::readRecords(ReadoutSteps& steps, std::uint32_t start, bool wrapped) {
    const EventRange range = EventReadRange(start, wrapped);
    const QString startText =
        QStringLiteral("Стартовый адрес ") + Hex5(range.start) + QStringLiteral("h");
    const QString endText =
        QStringLiteral("Конечный адрес ") + Hex5(range.end) + QStringLiteral("h");
    host_.SetStatusPanel(1, QLatin1Char(' ') + startText);
    host_.SetStatusPanel(2, QLatin1Char(' ') + endText);
    log_.Line(startText);
    log_.Line(endText);
    observed_.Wrapped(wrapped);

    const ReplyView reply(link_.RxBuffer.data(), link_.RxBuffer.size());
    std::optional<SinceLastWalk> sinceLast =
        steps.ArchivedWalk(archive_, RecordMemory::Events, EventLength);
    const bool all = steps.Records(
        range, EventLength, EventEnd,
        [wrapped](std::uint32_t address) { return PreviousEventSlot(address, wrapped); },
        [&](std::uint32_t address) {
            files_.SaveLog(reply, address, {withReach_, host_.ClockText(), texts_, ident_});
            logFileErrors();
            observed_.Record(address, reply.subspan(1, EventLength));
        },
        sinceLast ? &*sinceLast : nullptr);
    if (all && archive_.archive)
        archive_.archive->WalkRead(RecordMemory::Events, start);
    if (all) {
        observed_.Completed();
        messages_.inform(MessageIcon::Information, EventFinalMessage(choice_));
    }
}
