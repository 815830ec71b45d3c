#include "summator/sum_readout.h"

#include "readout/readout_steps.h"
#include "summator/report_file.h"

using namespace RecorderMap;

namespace {

constexpr std::uint32_t SumStep = 16;

} // namespace

SumRange SumReadRange(std::uint32_t pointer, bool wrapped) {
    return MemoryReadRange(pointer, wrapped, SumStart, SumEnd);
}

std::uint32_t PreviousSumSlot(std::uint32_t address, bool wrapped) {
    if (wrapped && address == SumStart)
        address = SumEnd;
    return address - SumStep;
}

int SumRecordCount(std::uint32_t pointer, bool wrapped) {
    return SlotCount(SumReadRange(pointer, wrapped),
                     [wrapped](std::uint32_t a) { return PreviousSumSlot(a, wrapped); });
}

QString SumFinalMessage(const OutputChoice& choice) {
    QString text = QStringLiteral("Данные прочитаны в файлы ") + ReportFileName;
    if (choice.xls)
        text += QStringLiteral(", ") + SumFiles::XlsName;
    if (choice.txt)
        text += QStringLiteral(", ") + SumFiles::TxtName;
    if (choice.hex)
        text += QStringLiteral(", ") + SumFiles::HexName;
    return text;
}

SumReadout::SumReadout(ReadoutHost& host, RecorderRequests& requests, const bool& breakRequested,
                       MessageGateway& messages, PrintPager& pager, IdentData& ident)
    : host_(host), requests_(requests), link_(requests.Link()), breakRequested_(breakRequested),
      messages_(messages), ident_(ident), files_(messages, pager) {}

ReadoutResult SumReadout::Finish() {
    files_.Finish();
    logFileErrors();
    if (report_.IsOpen() && !report_.Close()) {
        fileFailed_ = true;
        messages_.inform(MessageIcon::Error,
                         QStringLiteral("Невозможно закрыть файл ") + ReportFileName);
    }
    (void)log_.Close();
    observed_.Finished(breakRequested_);
    return {observed_.Outcome(breakRequested_), fileFailed_ || files_.Files().Failed()};
}

std::int32_t SumReadout::fullScale() const {
    return choice_.fullScaleSource ? *choice_.fullScaleSource : choice_.fullScale;
}

void SumReadout::logFileErrors() {
    if (!log_.IsOpen())
        return;
    for (const QString& error : files_.TakeErrors())
        log_.Line(error);
}

void SumReadout::Run(const SumReadoutChoice& choice, const QDateTime& now) {
    choice_ = choice;
    observed_.Started(now);
    ReadoutSteps steps(host_, requests_, breakRequested_, log_, messages_);
    fileFailed_ = false;
    if (!files_.Open(choice.files))
        return;
    if (!report_.Create(ReportFileName)) {
        fileFailed_ = true;
        messages_.inform(MessageIcon::Error,
                         QStringLiteral("Невозможно открыть файл ") + ReportFileName);
        return;
    }
    if (!steps.OpenLog()) {
        fileFailed_ = true;
        return;
    }
    steps.Guarded(100, [&] {
        std::uint32_t start = 0;
        bool wrapped = false;
        if (prepare(steps, now, start, wrapped))
            readRecords(steps, start, wrapped);
    });
}

bool SumReadout::prepare(ReadoutSteps& steps, const QDateTime& now, std::uint32_t& start,
                         bool& wrapped) {
    log_.Start(now, QStringLiteral("Чтение сумматора"));
    if (!steps.Identification(ident_))
        return false;
    link_.WaitTicks(5);
    if (!steps.Clock())
        return false;
    link_.WaitTicks(1);
    if (!steps.LastSlot(LastSumSlot, SumLength, wrapped))
        return false;
    spectrum_.Reset();
    link_.WaitTicks(1);
    if (!steps.Pointer(false, start))
        return false;
    const SumRange range = SumReadRange(start, wrapped);
    log_.Line(QStringLiteral("Стартовый адрес ") + Hex5(range.start) + QStringLiteral("h"));
    log_.Line(QStringLiteral("Конечный адрес ") + Hex5(range.end) + QStringLiteral("h"));

    link_.WaitTicks(1);
    if (!requests_.ReadEraseTime(eraseTimeText_)) {
        log_.Failure(QStringLiteral("Не удалось прочитать время стирания. "), link_.LastLinkResult);
        return false;
    }
    log_.Line(QStringLiteral("Прочитано время стирания ") + eraseTimeText_);
    return true;
}

void SumReadout::readRecords(ReadoutSteps& steps, std::uint32_t start, bool wrapped) {
    const SumRange range = SumReadRange(start, wrapped);
    observed_.Wrapped(wrapped);
    host_.SetStatusPanel(1, QStringLiteral(" Стартовый адрес ") + Hex5(range.start) +
                                QStringLiteral("h"));
    host_.SetStatusPanel(2, QStringLiteral(" Конечный адрес ") + Hex5(range.end) +
                                QStringLiteral("h"));

    const ReplyView reply(link_.RxBuffer.data(), link_.RxBuffer.size());
    std::optional<SinceLastWalk> sinceLast =
        steps.ArchivedWalk(archive_, RecordMemory::Summator, SumLength);
    const bool all = steps.Records(
        range, SumLength, SumEnd,
        [wrapped](std::uint32_t address) { return PreviousSumSlot(address, wrapped); },
        [&](std::uint32_t address) {
            (void)spectrum_.Rating(reply, choice_.basis, fullScale());
            files_.SummLog(reply, address,
                           {choice_.basis == RatingBasis::Moment, host_.ClockText(), ident_});
            logFileErrors();
            observed_.Record(address, reply.subspan(1, SumLength));
        },
        sinceLast ? &*sinceLast : nullptr);
    if (all && archive_.archive)
        archive_.archive->WalkRead(RecordMemory::Summator, start);
    if (!all)
        return;
    observed_.Completed();

    const ReportInput report{ident_,         spectrum_,     host_.ClockText(),
                             eraseTimeText_, choice_.basis, fullScale()};
    if (!RepoPrint(report_, report)) {
        fileFailed_ = true;
        messages_.inform(MessageIcon::Error, ReportWriteErrorText(ReportFileName));
        log_.Line(ReportWriteErrorText(ReportFileName));
    }
    messages_.inform(MessageIcon::Information, SumFinalMessage(choice_.files));
}
