#include "link/net_stream.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>

NetStream::NetStream() {
    QObject::connect(&socket_, &QTcpSocket::readyRead, &socket_, [this] { takeFromSocket(); });
    // A closed connection tells of itself twice (an error, then the
    // disconnection); the first one closes the stream.
    QObject::connect(&socket_, &QTcpSocket::disconnected, &socket_, [this] { goneAway(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, &socket_,
                     [this](QAbstractSocket::SocketError) { goneAway(); });
}

bool NetStream::open(int baud, QString& error) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + ConnectLimit;
    socket_.abort();
    in_.clear();
    taken_ = 0;
    codec_ = TelnetCodec{};
    telnet_ = address_.mode == NetAddress::Rfc2217;

    const auto closed = [this] { return socket_.state() == QAbstractSocket::UnconnectedState; };
    socket_.connectToHost(address_.host, address_.port);
    if (!waitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState || closed(); },
                 until) ||
        closed()) {
        error = failureText();
        socket_.abort();
        return false;
    }
    // Each request byte leaves at once instead of waiting for a fuller packet.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);

    if (telnet_) {
        // The far port's line is set only once the server agreed to be told,
        // and the first request waits until it reports the speed it set.
        (void)socket_.write(codec_.Opening());
        socket_.flush();
        const bool answered = waitFor(
            [&] { return codec_.ComPortAgreed() || codec_.ComPortRefused() || closed(); }, until);
        if (answered && codec_.ComPortAgreed() && !closed()) {
            (void)socket_.write(TelnetCodec::LineSettings(static_cast<std::uint32_t>(baud)));
            socket_.flush();
            (void)waitFor([&] { return codec_.ReportedBaud() != 0 || closed(); }, until);
        }
        if (closed() || codec_.ReportedBaud() == 0) {
            error = closed() ? failureText() : handshakeFailure();
            socket_.abort();
            return false;
        }
    }
    // What came before the line was set is no reply to anything; nor is what
    // the device server's port still held from a connection that broke (the
    // recorder's answer to its last request), which it hands on as this one
    // stands: taken for the answer to our first request, it would shift every
    // answer after it by one.
    dropLeftovers(until);
    if (closed()) {
        error = failureText();
        socket_.abort();
        return false;
    }
    in_.clear();
    taken_ = 0;
    open_ = true;
    return true;
}

void NetStream::close() {
    open_ = false;
    socket_.flush();
    socket_.disconnectFromHost();
    socket_.abort();
    in_.clear();
    taken_ = 0;
}

bool NetStream::setBaud(int baud, QString& error) {
    // A raw connection runs at whatever speed the device server is set to.
    if (!telnet_ || !open_)
        return true;
    const QByteArray command = TelnetCodec::BaudSetting(static_cast<std::uint32_t>(baud));
    if (socket_.write(command) != command.size()) {
        error = failureText();
        return false;
    }
    socket_.flush();
    return true;
}

qint64 NetStream::queuedOutput() const {
    return socket_.bytesToWrite();
}

bool NetStream::clearInput() {
    // Through the telnet layer first, so that its state stays whole.
    takeFromSocket();
    in_.clear();
    taken_ = 0;
    return true;
}

bool NetStream::write(const char* data, qint64 length, bool handOver, QString& error) {
    const QByteArray wire = telnet_ ? codec_.Encode(data, length) : QByteArray(data, length);
    if (socket_.write(wire) != wire.size()) {
        error = failureText();
        return false;
    }
    if (handOver)
        socket_.flush();
    return true;
}

bool NetStream::takeByte(char& b) {
    if (taken_ >= in_.size())
        return false;
    b = in_.at(taken_++);
    return true;
}

void NetStream::fetch() {
    takeFromSocket();
}

void NetStream::takeFromSocket() {
    const QByteArray wire = socket_.readAll();
    if (wire.isEmpty())
        return;
    arrived_ += wire.size();
    if (taken_ > 0 && taken_ == in_.size()) {
        in_.clear();
        taken_ = 0;
    }
    if (!telnet_) {
        in_ += wire;
        return;
    }
    QByteArray answers;
    codec_.Decode(wire.constData(), wire.size(), in_, answers);
    if (!answers.isEmpty()) {
        (void)socket_.write(answers);
        socket_.flush();
    }
}

void NetStream::dropLeftovers(std::chrono::steady_clock::time_point until) {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        const qint64 before = arrived_;
        in_.clear();
        taken_ = 0;
        const Clock::time_point quietUntil = std::min(until, Clock::now() + SettleQuiet);
        if (!waitFor(
                [&] {
                    return arrived_ != before ||
                           socket_.state() == QAbstractSocket::UnconnectedState;
                },
                quietUntil) ||
            arrived_ == before)
            return;
    }
}

void NetStream::goneAway() {
    if (!open_)
        return;
    open_ = false;
    const QString text = QStringLiteral("соединение с %1 разорвано").arg(address_.HostPort());
    socket_.abort();
    in_.clear();
    taken_ = 0;
    if (onLost)
        onLost(text);
}

bool NetStream::waitFor(const std::function<bool()>& done,
                        std::chrono::steady_clock::time_point until) {
    QTimer wake;
    wake.setSingleShot(true);
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        if (!dispatcher) {
            // No event loop to block in: the socket's own wait blocks instead.
            (void)socket_.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 100)));
            continue;
        }
        wake.start(static_cast<int>(left));
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    }
    return true;
}

QString NetStream::handshakeFailure() const {
    // Agreed to be told the line and then silent about it, or never agreed.
    if (codec_.ComPortRefused() || codec_.ComPortAgreed())
        return QStringLiteral("порт %1 не принимает настройки линии (RFC 2217)")
            .arg(address_.HostPort());
    return QStringLiteral("%1 не отвечает по RFC 2217").arg(address_.HostPort());
}

QString NetStream::failureText() const {
    const QString where = address_.HostPort();
    if (socket_.state() != QAbstractSocket::UnconnectedState &&
        socket_.state() != QAbstractSocket::ConnectedState)
        return QStringLiteral("соединение с %1 не установлено за %2 с")
            .arg(where)
            .arg(ConnectLimit.count() / 1000);
    switch (socket_.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("соединение с %1 отвергнуто").arg(where);
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("имя %1 не найдено").arg(address_.host);
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("соединение с %1 разорвано").arg(where);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("соединение с %1 не установлено за %2 с")
            .arg(where)
            .arg(ConnectLimit.count() / 1000);
    default: {
        QString detail = socket_.errorString();
        for (QChar& c : detail) {
            if (c.unicode() < 0x20)
                c = QLatin1Char(' ');
        }
        return QStringLiteral("соединение с %1 не установлено: %2").arg(where, detail);
    }
    }
}
