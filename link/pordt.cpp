#include "link/pordt.h"

#include "link/net_address.h"
#include "link/net_stream.h"
#include "link/serial_stream.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

Pordt::Pordt()
    : serial_(std::make_unique<SerialStream>()), net_(std::make_unique<NetStream>()),
      line_(serial_.get()) {
    // A device that went away (adapter unplugged, line hung up, connection
    // broken) closes its stream; the link fails every exchange at once until
    // the next opening.
    serial_->onLost = [this](const QString& text) { lose(text); };
    net_->onLost = [this](const QString& text) { lose(text); };
}

Pordt::~Pordt() {
    (void)SetOpen(false);
}

void Pordt::lose(const QString& text) {
    lastError_ = text;
    lost_ = true;
    lossUntold_ = true;
}

QString Pordt::PortFolder() {
    const QString fromEnv = qEnvironmentVariable("ZORVAN_PORTS");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir::homePath() + QStringLiteral("/.config/zorvan/ports");
}

QString Pordt::DevicePath(int comNumber) {
    if (comNumber < 1)
        return QString();
    const QString entry = PortFolder() + QStringLiteral("/com%1").arg(comNumber);
    if (const std::optional<NetAddress> address = EntryAddress(entry))
        return address->Text();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    const QFileInfo link(entry);
    if (link.exists() || link.isSymLink()) {
        // Resolve the link so that two names for one device share one lock.
        const QString target = link.canonicalFilePath();
        return target.isEmpty() ? link.absoluteFilePath() : target;
    }
    if (comNumber <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
    if (comNumber <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(comNumber - 33);
    if (comNumber <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(comNumber - 65);
    return QString();
#endif
}

bool Pordt::fail(const QString& text) {
    lastError_ = text;
    return false;
}

bool Pordt::SetComNumber(int n) {
    comNumber_ = n;
    if (!Open())
        return true;
    (void)SetOpen(false);
    return SetOpen(true);
}

bool Pordt::SetAddress(const QString& address) {
    address_ = address;
    if (!Open())
        return true;
    (void)SetOpen(false);
    return SetOpen(true);
}

bool Pordt::SetBaud(int b) {
    baud_ = b;
    if (!Open())
        return true;
    QString error;
    if (!line_->setBaud(b, error))
        return fail(error);
    return true;
}

void Pordt::SetParityNone() {
    if (Open())
        line_->insistParityNone();
}

bool Pordt::Open() const {
    return line_->isOpen();
}

bool Pordt::SetOpen(bool open) {
    if (open == Open())
        return true;
    if (!open) {
        line_->close();
        return true;
    }

    const QString path = address_.isEmpty() ? DevicePath(comNumber_) : address_;
    if (const std::optional<NetAddress> address = ParseNetAddress(path)) {
        net_->setAddress(*address);
        line_ = net_.get();
    } else {
        serial_->setPath(path);
        line_ = serial_.get();
    }
    QString error;
    if (!line_->open(baud_, error))
        return fail(error);
    lost_ = false;
    lossUntold_ = false;
    return true;
}

bool Pordt::TakeLoss() {
    const bool untold = lossUntold_;
    lossUntold_ = false;
    return untold;
}

QString Pordt::LossText() const {
    if (OnNetwork())
        return QStringLiteral("соединение с %1 разорвано").arg(net_->address().HostPort());
    return QStringLiteral("Порт COM%1 закрыт: устройство отключено").arg(comNumber_);
}

QSerialPort& Pordt::Device() {
    return serial_->port();
}

bool Pordt::OnNetwork() const {
    return line_ == net_.get();
}

bool Pordt::ensureOpen() {
    if (Open())
        return true;
    return fail(NotOpenText);
}

std::uint16_t Pordt::OutputCount() const {
    if (!Open())
        return 0;
    return static_cast<std::uint16_t>(std::min<qint64>(line_->queuedOutput(), 0xFFFF));
}

bool Pordt::FlushInput() {
    if (!ensureOpen())
        return false;
    // A late reply to an earlier frame can never be read as part of the next.
    return line_->clearInput();
}

bool Pordt::FlushOutput() {
    if (!ensureOpen())
        return false;
    return line_->clearOutput();
}

bool Pordt::SendByte(std::uint8_t b) {
    if (!ensureOpen())
        return false;
    if (line_->queuedOutput() + 1 > OutSize)
        return fail(QStringLiteral("ie_Buffer - output buffer full"));
    // Queued only: the frame that always follows takes it along in one write.
    QString error;
    if (!line_->write(reinterpret_cast<const char*>(&b), 1, false, error))
        return fail(error);
    return true;
}

bool Pordt::SendBlock(const std::uint8_t* buffer, std::uint16_t length) {
    if (!ensureOpen())
        return false;
    if (line_->queuedOutput() + length > OutSize)
        return fail(QStringLiteral("ie_Buffer - output buffer full"));
    // Handed to the system now rather than on the next event loop pass.
    QString error;
    if (!line_->write(reinterpret_cast<const char*>(buffer), length, true, error))
        return fail(error);
    return true;
}

bool Pordt::InputReady() const {
    return Open() && line_->readable() > 0;
}

std::uint8_t Pordt::ReadByte() {
    char c = 0;
    if (!Open() || !line_->takeByte(c))
        (void)fail(NotOpenText);
    return static_cast<std::uint8_t>(c);
}

int Pordt::InputCount() const {
    if (!Open())
        return 0;
    return line_->received();
}

void Pordt::WakeOnInput(int count) {
    if (Open())
        line_->wakeOnInput(std::clamp(count, 0, 255));
}

void Pordt::FetchInput() {
    if (Open())
        line_->fetch();
}

void Pordt::WatchInput(bool on) {
    if (Open())
        line_->watchInput(on);
}
