#include "cli/recorder_session.h"

#include "decoding/russian_numbers.h"
#include "link/port_finder.h"
#include "readout/record_archive.h"

#include <QSerialPort>

#include <algorithm>

namespace {

QString IdentStage(int block) {
    return QStringLiteral("чтение идентификации: блок %1 из %2")
        .arg(block)
        .arg(RecorderMap::IdentBlocks);
}

// A record's block, as the readouts read it.
bool RecordBlock(std::uint8_t selector, std::uint32_t address, std::uint16_t length) {
    using namespace RecorderMap;
    return selector == MemorySelector &&
           ((length == EventLength && address >= EventStart && address < EventEnd) ||
            (length == SumLength && address >= SumStart && address < SumEnd));
}

} // namespace

namespace {

// The same failure behind a serial device server: no adapter or COM number
// to check, but the server and the address.
QStringList NetworkFailureLines(const LinkFailure& f) {
    const QString at = QStringLiteral("%1 (%2 бод)").arg(f.address).arg(f.baud);
    if (f.lost)
        return {f.lossText, QStringLiteral("Проверьте: сервер портов (питание, сеть) и адрес "
                                           "(сейчас %1, --port)")
                                .arg(f.address)};
    QString cause;
    if (f.result == LinkBadReply)
        cause = QStringLiteral("Ответы регистратора через ") + at +
                QStringLiteral(" искажены: сумма байтов не сходится");
    else if (f.answered)
        cause = QStringLiteral("Регистратор перестал отвечать через ") + at;
    else
        cause = QStringLiteral("Регистратор не ответил ни на один запрос через ") + at;
    if (f.answered)
        return {cause, QStringLiteral("Проверьте: кабель от сервера портов к регистратору, "
                                      "питание регистратора; затем повторите")};
    return {cause, QStringLiteral("Проверьте: кабель от сервера портов к регистратору, питание "
                                  "регистратора, скорость линии (сейчас %1, --baud; для tcp:// "
                                  "ее задает сервер портов), адрес (сейчас %2, --port)")
                       .arg(f.baud)
                       .arg(f.address)};
}

} // namespace

QStringList LinkFailureLines(const LinkFailure& f) {
    if (!f.address.isEmpty())
        return NetworkFailureLines(f);
    const QString com = QStringLiteral("COM%1").arg(f.com);
    const QString where = com + QStringLiteral(" (") +
                          (f.device.isEmpty() ? QString() : f.device + QStringLiteral(", ")) +
                          QStringLiteral("%1 бод)").arg(f.baud);
    const QString listPorts = QStringLiteral("какой номер ведет к адаптеру, покажет "
                                             "zorvan --list-ports");
    if (f.lost)
        return {f.lossText.isEmpty()
                    ? QStringLiteral("Порт %1 закрыт: устройство отключено").arg(com)
                    : f.lossText,
                QStringLiteral("Проверьте: кабель и адаптер (вставлен ли), питание регистратора; "
                               "после переподключения номер COM мог смениться: ") +
                    listPorts};
    QString cause;
    if (f.result == LinkBadReply)
        cause = QStringLiteral("Ответы регистратора на ") + where +
                QStringLiteral(" искажены: сумма байтов не сходится");
    else if (f.answered)
        cause = QStringLiteral("Регистратор перестал отвечать на ") + where;
    else
        cause = QStringLiteral("Регистратор не ответил ни на один запрос на ") + where;
    if (f.answered)
        return {cause, QStringLiteral("Проверьте: кабель и его разъемы, питание регистратора; "
                                      "затем повторите")};
    return {cause, QStringLiteral("Проверьте: кабель, питание регистратора, скорость линии "
                                  "(сейчас %1, --baud), номер COM (сейчас %2, --com; ")
                           .arg(f.baud)
                           .arg(com) +
                       listPorts + QLatin1Char(')')};
}

QString AttemptNote(int sent, int attemptsPerRequest) {
    const int per = std::max(attemptsPerRequest, 1);
    return QStringLiteral("регистратор не отвечает, попытка %1 из %2")
        .arg((sent - 1) % per + 1)
        .arg(per);
}

QString RecordSourcesLine(int fromLine, int fromArchive) {
    return RecordSourcesText(RussianNumber(fromLine), RussianNumber(fromArchive));
}

RecorderSession::RecorderSession(Console& console, BreakSignal& breakSignal)
    : Requests(Link, *this), console_(console), breakSignal_(breakSignal) {
    breakSignal_.Watch(&BreakRequested);
    // Each try of a read leaves the port as one write of its own.
    QObject::connect(&Port.Device(), &QSerialPort::bytesWritten,
                     [this](qint64 bytes) { requestSent(bytes); });
    Link.AddReadObserver(this);
}

RecorderSession::~RecorderSession() {
    QObject::disconnect(&Port.Device(), &QSerialPort::bytesWritten, nullptr, nullptr);
    Link.RemoveReadObserver(this);
    End();
    breakSignal_.Watch(nullptr);
}

bool RecorderSession::Begin(int com, int baud, const QString& address) {
    (void)Port.SetComNumber(com);
    (void)Port.SetAddress(address);
    (void)Port.SetBaud(baud);
    if (!Port.SetOpen(true)) {
        console_.inform(MessageIcon::Error, Port.LastError());
        // As the window's status bar: which numbers do lead to a port.
        if (Port.LastError() == Pordt::BadIdText)
            console_.Err(PortSummary(FindSerialPorts()));
        return false;
    }
    // A Ctrl+C already pressed is not forgotten here, unlike an earlier
    // Break of the window: nothing has run yet that it could have stopped.
    BreakRequested = breakSignal_.Interrupted();
    Pager.Reset();
    return true;
}

void RecorderSession::End() {
    if (Port.Open() && !Port.SetOpen(false))
        console_.inform(MessageIcon::Error, Port.LastError());
}

void RecorderSession::SetProgressMaximum(int maximum) {
    records_ = true;
    console_.Progress().Start(maximum);
}

void RecorderSession::SetProgress(int value) {
    console_.Progress().Record(value);
}

QString RecorderSession::RecordSources() const {
    if (!records_)
        return QString();
    return RecordSourcesLine(fromLine_, fromArchive_);
}

void RecorderSession::ShowStages() {
    stages_ = true;
    console_.Progress().Stage(IdentStage(1));
}

void RecorderSession::requestSent(qint64 bytes) {
    // A read request: the wake byte, command, five operands and checksum.
    // Writes (the clock) have no reply to count against.
    if (bytes != (Link.WakeByte != 0 ? 1 : 0) + 7)
        return;
    ++readsSent_;
    // The first try is the usual wait; from the second on the user is told.
    const std::int64_t tries = readsSent_ - readsAnswered_;
    if (tries > 1 && !BreakRequested)
        console_.Progress().Note(AttemptNote(int(tries), Link.FrameAttempts));
}

void RecorderSession::BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t*,
                                std::uint16_t length) {
    answered_ = true;
    if (readsSent_ - readsAnswered_ > 1)
        console_.Progress().Note(QString());
    // The port tells of a write once the event loop runs, which may be after
    // its reply came: one not yet told counts for this one.
    ++readsAnswered_;
    readsSent_ = std::min(readsSent_, readsAnswered_);
    if (records_ && RecordBlock(selector, address, length))
        ++fromLine_;
    if (!stages_ || selector != RecorderMap::IdentSelector || address < RecorderMap::IdentAddress)
        return;
    // The block just read; the next one (or the clock) is read now.
    const auto done =
        static_cast<int>((address - RecorderMap::IdentAddress) / RecorderMap::IdentBlockLength) + 1;
    console_.Progress().Stage(done < RecorderMap::IdentBlocks
                                  ? IdentStage(done + 1)
                                  : QStringLiteral("чтение времени и указателей"));
}

void RecorderSession::BlockFromArchive(std::uint32_t address, std::uint8_t selector,
                                       const std::uint8_t*, std::uint16_t length, std::int64_t) {
    if (records_ && RecordBlock(selector, address, length))
        ++fromArchive_;
}

void RecorderSession::inform(MessageIcon icon, const QString& text) {
    console_.inform(icon, text);
    // The box's text names what failed; a terminal also says why and what
    // to do, once: what follows the first failure has the same cause.
    const bool linkFailed = Port.Lost() || Link.LastLinkResult != LinkOk;
    if (icon != MessageIcon::Error || !linkFailed || BreakRequested || failureTold_)
        return;
    failureTold_ = true;
    LinkFailure failure;
    failure.com = Port.ComNumber();
    failure.device = Pordt::DevicePath(failure.com);
    if (Port.OnNetwork())
        failure.address = Port.Address().isEmpty() ? failure.device : Port.Address();
    failure.lossText = Port.LossText();
    failure.baud = Port.Baud();
    failure.lost = Port.Lost();
    failure.result = Link.LastLinkResult;
    failure.answered = answered_;
    for (const QString& line : LinkFailureLines(failure))
        console_.Err(line);
}
