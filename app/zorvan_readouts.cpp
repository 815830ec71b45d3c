// The memory readouts, the erase commands and the word report. Each exchange
// runs inside the operation bracket; the readouts themselves live in their own
// units and only reach the window through its readout side.

#include "app/readout_window.h"
#include "app/zorvan_window.h"
#include "readout/event_readout.h"
#include "runner/readout_run.h"
#include "settings/readout_settings.h"
#include "summary/page_update.h"
#include "summator/word_report.h"
#include "summator/word_rtf_app.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QRadioButton>

void TZorvan::ReadMemButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    EventMode = true;
    readoutWindow_->Begin(false);
    EventReadout readout(*readoutWindow_, Requests, BreakRequested, *readoutWindow_, Pager, Texts,
                         Ident);
    (void)RunEventReadout(
        readout, readoutLine(), {ELogBox->isChecked(), ETxtBox->isChecked(), EHexBox->isChecked()},
        EventFilesWithReach(!RadioMax->isChecked()), summary_,
        [this] { return finishedReadout(ReadoutKind::Events); }, QDir::currentPath());
}

void TZorvan::ReadSumButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    SumMode = true;
    readoutWindow_->Begin(true);
    if (!sumReadout_)
        sumReadout_ = std::make_unique<SumReadout>(*readoutWindow_, Requests, BreakRequested,
                                                   *readoutWindow_, Pager, Ident);
    SumReadoutChoice choice =
        SumChoiceFor({LogBox->isChecked(), TxtBox->isChecked(), HexBox->isChecked()},
                     !RadioMax->isChecked(), MaxMoment, MaxWeight);
    // The 100 % spins stay usable during the readout; a change counts from then on.
    choice.fullScaleSource = choice.basis == RatingBasis::Moment ? &MaxMoment : &MaxWeight;
    (void)RunSumReadout(
        *sumReadout_, readoutLine(), choice, summary_,
        [this] { return finishedReadout(ReadoutKind::Summator); }, QDir::currentPath());
    EraseTimeText = sumReadout_->EraseTimeText();
}

// The window's end of a readout: ShutDown, which completes the files while
// the readout flags are still set.
ReadoutLine TZorvan::readoutLine() {
    return {Link, Port.ComNumber(), SinceLastBox->isChecked(),
            [this](const std::function<void()>& finishFiles) {
                CompleteFiles = finishFiles;
                ShutDown();
                CompleteFiles = nullptr;
            }};
}

// What the run's page says of a readout, its files closed.
FinishedReadout TZorvan::finishedReadout(ReadoutKind kind) const {
    const bool byMoment = RadioMax->isChecked();
    return {kind,
            ComPortNumber,
            ClockText,
            Ident,
            Texts,
            byMoment,
            kind == ReadoutKind::Summator ? sumReadout_.get() : nullptr,
            byMoment ? MaxMoment : MaxWeight};
}

void TZorvan::RunEraseCommand(std::uint8_t command, const QString& question, const QString& status,
                              const QString& done) {
    if (!messages_.confirm(question))
        return;
    std::uint8_t r = LinkTimeout;
    {
        ExchangeScope exchange(*this);
        if (!Disable())
            return;
        SetStatusColours(CommandColour, StatusTextColour());
        StatusPanel[0]->setText(status);
        // Never repeated: the erase may have happened although its answer was lost.
        r = Requests.SendCommand(command);
        if (r == LinkOk)
            messages_.inform(MessageIcon::Information, done);
        else
            messages_.inform(MessageIcon::Error, QStringLiteral("Неверный ответ регистратора"));
        ShutDown();
        Link.ReplyTimeout = DTrans::NormalTimeout;
    }
    if (r == LinkOk) {
        RefreshButtonClick();
        ERefreshButtonClick();
    }
}

void TZorvan::ClearMemButtonClick() {
    RunEraseCommand(
        RecorderMap::EraseCommand,
        QStringLiteral("Вы действительно хотите стереть все записи черного ящика и сумматора?"),
        QStringLiteral(" Стирание памяти"), QStringLiteral("Память очищена!"));
}

void TZorvan::ClearSumButtonClick() {
    RunEraseCommand(RecorderMap::ResetSumCommand,
                    QStringLiteral("Вы действительно хотите стереть все записи сумматора?"),
                    QStringLiteral(" Обнуление сумматора"), QStringLiteral("Сумматор очищен!"));
}

void TZorvan::Button1Click() {
    // No summator readout yet in this run: no rows, and the report refuses.
    static const SumRows noRows;
    RtfWordApplication word;
    if (MakeWordReport(word, sumReadout_ ? sumReadout_->Rows() : noRows,
                       QCoreApplication::applicationDirPath(), messages_)) {
        NoteWordReport(summary_, word.LastSavedPath(), QDir::currentPath());
        SealRunAgain(QDir::currentPath());
    }
}
