#pragma once

#include "link/message_gateway.h"
#include "link/recorder_requests.h"

#include <QString>

#include <functional>

struct ClockWriteOutcome {
    bool written = false;   // the recorder acknowledged the write
    bool clockRead = false; // and the clock was read back into the text
};

// Sets the recorder's clock as the clock dialog does: the write, told as
// "Время установлено!" or "Неверный ответ регистратора"; after an
// acknowledged write the newest event and then the clock are read back, each
// telling its own failure. eventRead runs once the event is in the reply
// buffer (the window shows it); clockText takes the clock read back.
ClockWriteOutcome WriteClockAndReadBack(RecorderRequests& requests, MessageGateway& messages,
                                        const ClockSetting& at, QString& clockText,
                                        const std::function<void()>& eventRead);
