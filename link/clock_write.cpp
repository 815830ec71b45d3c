#include "link/clock_write.h"

ClockWriteOutcome WriteClockAndReadBack(RecorderRequests& requests, MessageGateway& messages,
                                        const ClockSetting& at, QString& clockText,
                                        const std::function<void()>& eventRead) {
    ClockWriteOutcome outcome;
    if (requests.WriteClock(at) != LinkOk) {
        messages.inform(MessageIcon::Warning, QStringLiteral("Неверный ответ регистратора"));
        return outcome;
    }
    outcome.written = true;
    messages.inform(MessageIcon::Information, QStringLiteral("Время установлено!"));
    // The event must be taken before the clock read overwrites the reply.
    if (requests.ReadCurrentEvent() && eventRead)
        eventRead();
    outcome.clockRead = requests.ReadClock(clockText);
    return outcome;
}
