#include "link/pordt.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#ifndef Q_OS_WIN
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

// Control characters of an operating-system message would break a message box line.
QString printable(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return text;
}

// The device node is there, but no port answers behind it (a serial driver's
// spare minor numbers, an adapter pulled out): to the user that port does not
// exist. The port class keeps the error number to itself, its text tells it.
bool noPortBehind(const QString& text) {
#ifdef Q_OS_WIN
    Q_UNUSED(text);
    return false;
#else
    return text == qt_error_string(ENXIO) || text == qt_error_string(EIO);
#endif
}

} // namespace

Pordt::Pordt() {
    // A device that went away (adapter unplugged, line hung up) fails every
    // read and keeps signalling it; the port closes itself and the link
    // fails every exchange at once until the next opening.
    QObject::connect(
        &port_, &QSerialPort::errorOccurred, &port_, [this](QSerialPort::SerialPortError error) {
            const bool gone = error == QSerialPort::ResourceError ||
                              error == QSerialPort::ReadError || error == QSerialPort::WriteError;
            if (gone && port_.isOpen()) {
                lastError_ = printable(port_.errorString());
                port_.close();
                wakeCount_ = 0;
                lost_ = true;
                lossUntold_ = true;
            }
        });
}

Pordt::~Pordt() {
    (void)SetOpen(false);
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
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    const QFileInfo link(PortFolder() + QStringLiteral("/com%1").arg(comNumber));
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
    if (!port_.isOpen())
        return true;
    (void)SetOpen(false);
    return SetOpen(true);
}

bool Pordt::SetBaud(int b) {
    baud_ = b;
    if (!port_.isOpen())
        return true;
    if (!port_.setBaudRate(b))
        return fail(printable(port_.errorString()));
    return true;
}

void Pordt::SetParityNone() {
    if (port_.isOpen() && port_.parity() != QSerialPort::NoParity)
        port_.setParity(QSerialPort::NoParity);
}

bool Pordt::Open() const {
    return port_.isOpen();
}

bool Pordt::SetOpen(bool open) {
    if (open == port_.isOpen())
        return true;
    if (!open) {
        port_.close();
        port_.clearError();
        wakeCount_ = 0;
        return true;
    }

    const QString path = DevicePath(comNumber_);
#ifndef Q_OS_WIN
    // A device that is not there (or a COM number that leads nowhere) must
    // read as "does not exist", not as whatever the open call happens to say.
    if (path.isEmpty() || !QFileInfo::exists(path))
        return fail(BadIdText);
#endif
    port_.setPortName(path);
    port_.setBaudRate(baud_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(0);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const QString text = port_.errorString();
        port_.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return fail(BadIdText);
        case QSerialPort::PermissionError:
            return fail(OpenText);
        default:
            return fail(noPortBehind(text) ? BadIdText : printable(text));
        }
    }
#ifndef Q_OS_WIN
    // The lock file keeps out programs that follow the same convention, and
    // the line's exclusive mode does not stop root. A lock on the device
    // itself also stands against a program that locks the line that way.
    if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_.close();
        port_.clearError();
        return fail(OpenText);
    }
#endif
    // A pseudo-terminal or a three-wire adapter has no modem lines: failing to
    // raise them is not a failure of the open.
    (void)port_.setDataTerminalReady(true);
    (void)port_.setRequestToSend(true);
    port_.clearError();
    wakeCount_ = 0;
    lost_ = false;
    lossUntold_ = false;
    return true;
}

bool Pordt::TakeLoss() {
    const bool untold = lossUntold_;
    lossUntold_ = false;
    return untold;
}

bool Pordt::ensureOpen() {
    if (port_.isOpen())
        return true;
    return fail(NotOpenText);
}

std::uint16_t Pordt::OutputCount() const {
    if (!port_.isOpen())
        return 0;
    return static_cast<std::uint16_t>(std::min<qint64>(port_.bytesToWrite(), 0xFFFF));
}

bool Pordt::FlushInput() {
    if (!ensureOpen())
        return false;
    // Drops both the driver's queue and what Qt has buffered already, so a
    // late reply to an earlier frame can never be read as part of the next.
    return port_.clear(QSerialPort::Input);
}

bool Pordt::FlushOutput() {
    if (!ensureOpen())
        return false;
    // Bytes already handed to the driver leave whole: a frame cut short on
    // the line could make the recorder misread the next one. Only what is
    // still queued here is dropped.
    if (port_.bytesToWrite() == 0)
        return true;
    return port_.clear(QSerialPort::Output);
}

bool Pordt::SendByte(std::uint8_t b) {
    if (!ensureOpen())
        return false;
    if (port_.bytesToWrite() + 1 > OutSize)
        return fail(QStringLiteral("ie_Buffer - output buffer full"));
    // Queued only: the frame that always follows takes it along in one write.
    if (port_.write(reinterpret_cast<const char*>(&b), 1) != 1)
        return fail(printable(port_.errorString()));
    return true;
}

bool Pordt::SendBlock(const std::uint8_t* buffer, std::uint16_t length) {
    if (!ensureOpen())
        return false;
    if (port_.bytesToWrite() + length > OutSize)
        return fail(QStringLiteral("ie_Buffer - output buffer full"));
    const qint64 written = port_.write(reinterpret_cast<const char*>(buffer), length);
    if (written != length)
        return fail(printable(port_.errorString()));
    // Hand the bytes to the driver now rather than on the next event loop pass.
    port_.flush();
    return true;
}

bool Pordt::InputReady() const {
    return port_.isOpen() && port_.bytesAvailable() > 0;
}

std::uint8_t Pordt::ReadByte() {
    char c = 0;
    if (!port_.getChar(&c))
        (void)fail(NotOpenText);
    return static_cast<std::uint8_t>(c);
}

int Pordt::InputCount() const {
    if (!port_.isOpen())
        return 0;
    qint64 count = port_.bytesAvailable();
#ifndef Q_OS_WIN
    int held = 0;
    if (::ioctl(static_cast<int>(port_.handle()), FIONREAD, &held) == 0)
        count += held;
#endif
    return static_cast<int>(std::min<qint64>(count, 0x7FFFFFFF));
}

void Pordt::WakeOnInput(int count) {
    count = std::clamp(count, 0, 255);
    if (!port_.isOpen() || count == wakeCount_)
        return;
#ifndef Q_OS_WIN
    // The line discipline reports the line readable only once VMIN bytes
    // wait (with VTIME 0), so the event loop sleeps through a reply instead
    // of waking for each byte at 9600 Bd. Reads stay non-blocking.
    const int fd = static_cast<int>(port_.handle());
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    tio.c_cc[VMIN] = static_cast<cc_t>(count);
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return;
#endif
    wakeCount_ = count;
}

void Pordt::FetchInput() {
    if (!port_.isOpen())
        return;
    const int held = InputCount() - static_cast<int>(port_.bytesAvailable());
    if (held <= 0)
        return;
    // Fewer than the wake count would not read as ready. Otherwise the count
    // stays for the next reply of the same length, which saves two calls.
    if (held < wakeCount_)
        WakeOnInput(1);
    (void)port_.waitForReadyRead(0);
}

void Pordt::WatchInput(bool on) {
#ifndef Q_OS_WIN
    if (!port_.isOpen())
        return;
    // The port reads through a socket notifier of its own on the device; a
    // read from the port switches it on again.
    const auto notifiers = port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier* notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read && notifier->socket() == port_.handle())
            notifier->setEnabled(on);
    }
#else
    Q_UNUSED(on);
#endif
}
