#include "link/recorder_requests.h"

#include "decoding/fields.h"

using namespace RecorderMap;

RecorderRequests::RecorderRequests(DTrans& link, MessageGateway& messages)
    : link_(link), messages_(messages) {}

QString RecorderRequests::clockTextFromReply() const {
    const ReplyView reply(link_.RxBuffer.data(), link_.RxBuffer.size());
    return RDate(reply) + QLatin1Char(' ') + RTime(reply);
}

bool RecorderRequests::ReadIdentification(IdentData& ident) {
    for (int i = 0; i < IdentBlocks; ++i) {
        link_.WaitTicks(5);
        const std::uint32_t address =
            IdentAddress + static_cast<std::uint32_t>(IdentBlockLength * i);
        if (link_.ReadBlock(address, IdentBlockLength, IdentSelector) != LinkOk) {
            messages_.inform(MessageIcon::Error,
                             QStringLiteral("Не удалось прочитать идентификационную информацию"));
            return false;
        }
        for (int j = 0; j < IdentBlockLength; ++j)
            ident[static_cast<std::size_t>(IdentBlockLength * i + j)] =
                link_.RxBuffer[static_cast<std::size_t>(j + 1)];
    }
    link_.WaitTicks(5);
    return true;
}

bool RecorderRequests::ReadClock(QString& clockText) {
    link_.WaitTicks(1);
    const std::uint8_t r = link_.ReadBlock(ClockAddress, ClockLength, ClockSelector);
    link_.WaitTicks(1);
    if (r != LinkOk) {
        messages_.inform(MessageIcon::Error, QStringLiteral("Не удалось прочитать время"));
        return false;
    }
    clockText = clockTextFromReply();
    return true;
}

bool RecorderRequests::ReadCurrentEvent() {
    link_.WaitTicks(1);
    const std::uint8_t r = link_.ReadBlock(CurrentEventAddress, EventLength, MemorySelector);
    link_.WaitTicks(1);
    if (r != LinkOk) {
        messages_.inform(MessageIcon::Error, QStringLiteral("Не удалось обновить панель событий ") +
                                                 QString::number(r));
        return false;
    }
    return true;
}

bool RecorderRequests::ReadCurrentSum() {
    link_.WaitTicks(1);
    const std::uint8_t r = link_.ReadBlock(CurrentSumAddress, SumLength, MemorySelector);
    link_.WaitTicks(1);
    if (r != LinkOk) {
        messages_.inform(MessageIcon::Error,
                         QStringLiteral("Не удалось обновить панель сумматора"));
        return false;
    }
    return true;
}

bool RecorderRequests::ReadEraseTime(QString& eraseText) {
    link_.ReplyTimeout = DTrans::NormalTimeout;
    if (link_.ReadBlock(EraseTimeAddress, ClockLength, EraseTimeSelector) != LinkOk) {
        messages_.inform(MessageIcon::Error, QStringLiteral("Не удалось прочитать время стирания"));
        return false;
    }
    eraseText = clockTextFromReply();
    return true;
}

std::uint8_t RecorderRequests::WriteClock(const ClockSetting& at) {
    const std::uint8_t data[8] = {
        dec2hex(static_cast<unsigned>(at.minute)),
        dec2hex(static_cast<unsigned>(at.hour)),
        dec2hex(static_cast<unsigned>(at.day)),
        dec2hex(static_cast<unsigned>(at.month)),
        // The year goes as its last two digits, taken to 8 bits as the recorder expects.
        dec2hex(static_cast<std::uint8_t>(at.year - 2000)),
        0x00,
        0x00,
        0x00,
    };
    return link_.WriteBlock(ClockAddress, 8, WriteClockParameter, data);
}

std::uint8_t RecorderRequests::SendCommand(std::uint8_t command) {
    // The recorder may take many seconds to erase before it answers.
    link_.ReplyTimeout = DTrans::CommandTimeout;
    const std::uint8_t r = link_.ExchangeFrame(command, 0, 2);
    link_.ReplyTimeout = DTrans::NormalTimeout;
    return r;
}

std::uint32_t RecorderRequests::EventPointer() const {
    return BlockPointer(std::span(link_.RxBuffer).subspan(1, PointerLength), false);
}

std::uint32_t RecorderRequests::SumPointer() const {
    return BlockPointer(std::span(link_.RxBuffer).subspan(1, PointerLength), true);
}

bool RecorderRequests::ReplyBlank(int length) const {
    for (int k = 1; k <= length && k < static_cast<int>(link_.RxBuffer.size()); ++k) {
        if (link_.RxBuffer[static_cast<std::size_t>(k)] != 0xFF)
            return false;
    }
    return true;
}
