#include "link/serial_stream.h"

#include "link/pordt.h"

#include <QFileInfo>
#include <QSocketNotifier>

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

SerialStream::SerialStream() {
    // A device that went away (adapter unplugged, line hung up) fails every
    // read and keeps signalling it; the port closes itself and the link
    // fails every exchange at once until the next opening.
    QObject::connect(
        &port_, &QSerialPort::errorOccurred, &port_, [this](QSerialPort::SerialPortError error) {
            const bool gone = error == QSerialPort::ResourceError ||
                              error == QSerialPort::ReadError || error == QSerialPort::WriteError;
            if (gone && port_.isOpen()) {
                const QString text = printable(port_.errorString());
                port_.close();
                wakeCount_ = 0;
                if (onLost)
                    onLost(text);
            }
        });
}

bool SerialStream::open(int baud, QString& error) {
#ifndef Q_OS_WIN
    // A device that is not there (or a COM number that leads nowhere) must
    // read as "does not exist", not as whatever the open call happens to say.
    // A plain file (a port folder entry that holds no address) is no port either.
    if (path_.isEmpty() || !QFileInfo::exists(path_) || QFileInfo(path_).isFile()) {
        error = Pordt::BadIdText;
        return false;
    }
#endif
    port_.setPortName(path_);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(0);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError code = port_.error();
        const QString text = port_.errorString();
        port_.clearError();
        switch (code) {
        case QSerialPort::DeviceNotFoundError:
            error = Pordt::BadIdText;
            break;
        case QSerialPort::PermissionError:
            error = Pordt::OpenText;
            break;
        default:
            error = noPortBehind(text) ? Pordt::BadIdText : printable(text);
            break;
        }
        return false;
    }
#ifndef Q_OS_WIN
    // The lock file keeps out programs that follow the same convention, and
    // the line's exclusive mode does not stop root. A lock on the device
    // itself also stands against a program that locks the line that way.
    if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_.close();
        port_.clearError();
        error = Pordt::OpenText;
        return false;
    }
#endif
    // A pseudo-terminal or a three-wire adapter has no modem lines: failing to
    // raise them is not a failure of the open.
    (void)port_.setDataTerminalReady(true);
    (void)port_.setRequestToSend(true);
    port_.clearError();
    wakeCount_ = 0;
    return true;
}

void SerialStream::close() {
    port_.close();
    port_.clearError();
    wakeCount_ = 0;
}

bool SerialStream::setBaud(int baud, QString& error) {
    if (port_.setBaudRate(baud))
        return true;
    error = printable(port_.errorString());
    return false;
}

void SerialStream::insistParityNone() {
    if (port_.isOpen() && port_.parity() != QSerialPort::NoParity)
        port_.setParity(QSerialPort::NoParity);
}

bool SerialStream::clearInput() {
    // Drops both the driver's queue and what Qt has buffered already, so a
    // late reply to an earlier frame can never be read as part of the next.
    return port_.clear(QSerialPort::Input);
}

bool SerialStream::clearOutput() {
    // Bytes already handed to the driver leave whole: a frame cut short on
    // the line could make the recorder misread the next one. Only what is
    // still queued here is dropped.
    if (port_.bytesToWrite() == 0)
        return true;
    return port_.clear(QSerialPort::Output);
}

bool SerialStream::write(const char* data, qint64 length, bool handOver, QString& error) {
    if (port_.write(data, length) != length) {
        error = printable(port_.errorString());
        return false;
    }
    if (handOver)
        port_.flush();
    return true;
}

int SerialStream::received() const {
    qint64 count = port_.bytesAvailable();
#ifndef Q_OS_WIN
    int held = 0;
    if (::ioctl(static_cast<int>(port_.handle()), FIONREAD, &held) == 0)
        count += held;
#endif
    return static_cast<int>(std::min<qint64>(count, 0x7FFFFFFF));
}

void SerialStream::wakeOnInput(int count) {
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

void SerialStream::fetch() {
    if (!port_.isOpen())
        return;
    const int held = received() - static_cast<int>(port_.bytesAvailable());
    if (held <= 0)
        return;
    // Fewer than the wake count would not read as ready. Otherwise the count
    // stays for the next reply of the same length, which saves two calls.
    if (held < wakeCount_)
        wakeOnInput(1);
    (void)port_.waitForReadyRead(0);
}

void SerialStream::watchInput(bool on) {
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
