#include "readout/readout_steps.h"

#include "decoding/fields.h"
#include "readout/record_reader.h"

using namespace RecorderMap;

ReadRange MemoryReadRange(std::uint32_t pointer, bool wrapped, std::uint32_t areaStart,
                          std::uint32_t areaEnd) {
    ReadRange range;
    range.start = pointer;
    if (!wrapped) {
        range.end = areaStart;
        range.progress = pointer - areaStart;
    } else {
        range.end = (pointer / PageSize + 1) * PageSize;
        range.progress = pointer - range.end + (areaEnd - areaStart);
    }
    return range;
}

ReadoutSteps::ReadoutSteps(ReadoutHost& host, RecorderRequests& requests,
                           const bool& breakRequested, ReadoutLog& log, MessageGateway& messages)
    : host_(host), requests_(requests), link_(requests.Link()), breakRequested_(breakRequested),
      log_(log), messages_(messages) {
    log_.WatchPort(&link_.Port());
}

bool ReadoutSteps::OpenLog() {
    if (log_.Open())
        return true;
    messages_.inform(MessageIcon::Error,
                     QStringLiteral("Невозможно открыть файл ") + ReadoutLog::FileName);
    return false;
}

bool ReadoutSteps::Identification(IdentData& ident) {
    if (!requests_.ReadIdentification(ident)) {
        log_.Failure(QStringLiteral("Не удалось прочитать идентификационную информацию. "),
                     link_.LastLinkResult);
        return false;
    }
    log_.Line(QStringLiteral("Идентификационная информация прочитана"));
    return true;
}

bool ReadoutSteps::Clock() {
    if (!host_.ReadClock()) {
        log_.Failure(QStringLiteral("Не удалось прочитать время. "), link_.LastLinkResult);
        return false;
    }
    log_.Line(QStringLiteral("Прочитано время ") + host_.ClockText());
    return true;
}

bool ReadoutSteps::LastSlot(std::uint32_t address, std::uint16_t length, bool& wrapped) {
    if (requests_.ReadLastSlot(address, length, wrapped) != LinkOk) {
        log_.Failure(QStringLiteral("Не удалось прочитать последнюю запись. "),
                     link_.LastLinkResult);
        messages_.inform(MessageIcon::Error,
                         QStringLiteral("Не удалось прочитать последнюю запись"));
        return false;
    }
    log_.Line(wrapped ? QStringLiteral("Прочитана последняя запись. Она не пуста")
                      : QStringLiteral("Прочитана последняя запись. Она пуста"));
    return true;
}

bool ReadoutSteps::Pointer(bool eventPointer, std::uint32_t& pointer) {
    if (requests_.ReadPointerBlock() != LinkOk) {
        log_.Failure(QStringLiteral("Не удалось прочитать адрес. "), link_.LastLinkResult);
        messages_.inform(MessageIcon::Error, QStringLiteral("Не удалось прочитать адрес"));
        return false;
    }
    pointer = eventPointer ? requests_.EventPointer() : requests_.SumPointer();
    if (eventPointer ? ValidEventPointer(pointer) : ValidSumPointer(pointer))
        return true;
    const QString text =
        QStringLiteral("Прочитан некорректный адрес ") + Hex8(pointer) + QStringLiteral("h");
    log_.Line(text);
    messages_.inform(MessageIcon::Error, text);
    return false;
}

std::optional<SinceLastWalk> ReadoutSteps::ArchivedWalk(const ArchiveUse& use, RecordMemory memory,
                                                        std::uint16_t length) {
    std::optional<SinceLastWalk> walk =
        BeginArchivedWalk(use.archive, use.sinceLast, memory, length);
    if (use.archive) {
        const QString problem = use.archive->TakeProblem();
        if (!problem.isEmpty())
            log_.Line(ArchiveProblemText(problem));
    }
    return walk;
}

bool ReadoutSteps::Records(const ReadRange& range, std::uint16_t length, std::uint32_t areaEnd,
                           const SlotStep& previous, const RecordTaker& record,
                           SinceLastWalk* sinceLast) {
    const bool all = records(range, length, areaEnd, previous, record, sinceLast);
    if (sinceLast)
        log_.Line(sinceLast->LogLine());
    return all;
}

bool ReadoutSteps::records(const ReadRange& range, std::uint16_t length, std::uint32_t areaEnd,
                           const SlotStep& previous, const RecordTaker& record,
                           SinceLastWalk* sinceLast) {
    host_.SetReadoutColour();
    host_.SetProgressMaximum(static_cast<int>(range.progress));
    RecordReader reader(link_, breakRequested_, log_, messages_);
    const ReplyView reply(link_.RxBuffer.data(), link_.RxBuffer.size());
    std::uint32_t progress = 0;
    return WalkSlots(range, previous, [&](std::uint32_t address, std::uint32_t older) {
        // An archived record lands where a read would put it: one way on from here.
        std::int64_t readAt = 0;
        if (sinceLast && sinceLast->TakeArchived(address, link_.RxBuffer.data() + 1, readAt)) {
            link_.TakenFromArchive(address, MemorySelector, link_.RxBuffer.data() + 1, length,
                                   readAt);
        } else {
            if (reader.Read(address, length) != RecordRead::Read)
                return false;
            if (sinceLast)
                sinceLast->LineRecord(address, link_.RxBuffer.data() + 1);
        }
        if (address == range.start)
            host_.ShowNewestRecord();
        host_.SetStatusPanel(0, QStringLiteral(" Чтение записи от ") + RDate(reply) +
                                    QLatin1Char(' ') + RTime(reply) +
                                    QStringLiteral(" по адресу ") + Hex5(address) +
                                    QStringLiteral("h"));
        record(address);
        // Across the wrap the step counts from the top of the area.
        progress += older > address ? areaEnd - older : address - older;
        host_.SetProgress(static_cast<int>(progress));
        return true;
    });
}
