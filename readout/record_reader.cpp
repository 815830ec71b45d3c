#include "readout/record_reader.h"

#include "link/recorder_requests.h"

RecordReader::RecordReader(DTrans& link, const bool& breakRequested, ReadoutLog& log,
                           MessageGateway& messages)
    : link_(link), breakRequested_(breakRequested), log_(log), messages_(messages) {}

RecordRead RecordReader::Read(std::uint32_t address, std::uint16_t length) {
    const QString failure = QStringLiteral("Не удалось прочитать данные по адресу ") +
                            Hex5(address) + QStringLiteral("h. ");
    int attempts = 0;
    std::uint8_t r = LinkOk;
    for (;;) {
        if (readPause_ > 0)
            link_.WaitTicks(readPause_);
        r = link_.ReadBlock(address, length, RecorderMap::MemorySelector);
        if (r != LinkOk) {
            ++attempts;
            if (attempts > 1)
                log_.Line(QString::number(attempts) + QStringLiteral("-я попытка"));
            log_.Failure(failure, link_.LastLinkResult);
            if (attempts > 2 && readPause_ < MaxPause) {
                ++readPause_;
                log_.Line(QStringLiteral("Введена пауза ") + QString::number(readPause_) +
                          QStringLiteral("мс."));
            }
        }
        if (r == LinkOk || attempts >= MaxAttempts || breakRequested_)
            break;
    }
    if (breakRequested_) {
        log_.Line(QStringLiteral("Прервано чтение данных по адресу ") + Hex5(address) +
                  QStringLiteral("h"));
        messages_.inform(MessageIcon::Warning, QStringLiteral("Чтение данных прервано"));
        return RecordRead::Broken;
    }
    if (r != LinkOk) {
        log_.Failure(failure, link_.LastLinkResult);
        messages_.inform(MessageIcon::Error, QStringLiteral("Не удалось прочитать данные"));
        return RecordRead::Failed;
    }
    return RecordRead::Read;
}
