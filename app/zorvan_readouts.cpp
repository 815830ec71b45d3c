// The memory readouts, the erase commands and the word report. Each exchange
// runs inside the operation bracket; the readouts themselves live in their own
// units and only reach the window through its readout side.

#include "app/readout_settings.h"
#include "app/readout_window.h"
#include "app/zorvan_window.h"
#include "image/image_recorder.h"
#include "readout/event_readout.h"
#include "summary/summary_page.h"
#include "summator/word_report.h"
#include "summator/word_rtf_app.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QRadioButton>

namespace {

// Every block a readout reads also goes into the run folder's memory image.
// Recording is a bystander: when the image cannot be written it just stops.
class ImageTap {
public:
    ImageTap(DTrans& link, int comPort) : link_(link) {
        if (recorder_.Open(ImageRecorder::FileName, comPort))
            link_.AddReadObserver(&recorder_);
    }
    ~ImageTap() { link_.RemoveReadObserver(&recorder_); }
    ImageTap(const ImageTap&) = delete;
    ImageTap& operator=(const ImageTap&) = delete;

private:
    DTrans& link_;
    ImageRecorder recorder_;
};

} // namespace

void TZorvan::ReadMemButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    EventMode = true;
    readoutWindow_->Begin(false);
    const ImageTap image(Link, Port.ComNumber());
    EventReadout readout(*readoutWindow_, Requests, BreakRequested, *readoutWindow_, Pager, Texts,
                         Ident);
    readout.SetObserver(&summary_);
    CompleteFiles = [&readout] { readout.Finish(); };
    readout.Run({ELogBox->isChecked(), ETxtBox->isChecked(), EHexBox->isChecked()},
                EventFilesWithReach(!RadioMax->isChecked()), QDateTime::currentDateTime());
    LogOpen = readout.LogOpen();
    ShutDown();
    CompleteFiles = nullptr;
    writeSummaryPage(ReadoutKind::Events);
}

void TZorvan::ReadSumButtonClick() {
    ExchangeScope exchange(*this);
    if (!Disable())
        return;
    SumMode = true;
    readoutWindow_->Begin(true);
    const ImageTap image(Link, Port.ComNumber());
    if (!sumReadout_)
        sumReadout_ = std::make_unique<SumReadout>(*readoutWindow_, Requests, BreakRequested,
                                                   *readoutWindow_, Pager, Ident);
    sumReadout_->SetObserver(&summary_);
    SumReadoutChoice choice =
        SumChoiceFor({LogBox->isChecked(), TxtBox->isChecked(), HexBox->isChecked()},
                     !RadioMax->isChecked(), MaxMoment, MaxWeight);
    // The 100 % spins stay usable during the readout; a change counts from then on.
    choice.fullScaleSource = choice.basis == RatingBasis::Moment ? &MaxMoment : &MaxWeight;
    CompleteFiles = [this] { sumReadout_->Finish(); };
    sumReadout_->Run(choice, QDateTime::currentDateTime());
    EraseTimeText = sumReadout_->EraseTimeText();
    LogOpen = sumReadout_->LogOpen();
    ShutDown();
    CompleteFiles = nullptr;
    writeSummaryPage(ReadoutKind::Summator);
}

// After a readout, its files closed: the run's summary page. It shows no box
// and never touches the readout; a page that cannot be written is one line
// of the log.
void TZorvan::writeSummaryPage(ReadoutKind kind) {
    summary_.NoteReadout(kind, ComPortNumber, ClockText, Ident);
    const bool byMoment = RadioMax->isChecked();
    if (kind == ReadoutKind::Summator)
        summary_.NoteSpectrum(sumReadout_->Spectrum(),
                              byMoment ? RatingBasis::Moment : RatingBasis::Weight,
                              byMoment ? MaxMoment : MaxWeight, sumReadout_->EraseTimeText());
    summary_.SetEventTexts(Texts, byMoment);
    QString error;
    try {
        if (WriteSummaryPage(summary_, QDir::currentPath(), &error))
            return;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    ReadoutLog log;
    if (log.Open()) {
        log.Line(QStringLiteral("Не удалось записать страницу ") + SummaryPageName +
                 QStringLiteral(": ") + error);
        (void)log.Close();
    }
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
    (void)MakeWordReport(word, sumReadout_ ? sumReadout_->Rows() : noRows,
                         QCoreApplication::applicationDirPath(), messages_);
}
