#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <memory>

class LineStream;
class NetStream;
class SerialStream;

// The port to the recorder: always 8 data bits, no parity, 1 stop bit, no
// flow control, DTR and RTS raised, opened exclusively. It is a local serial
// port or a serial device server's port on the network (see NetAddress); the
// link above sees no difference.
//
// COM n is found like this: an entry named "comN" in the port folder
// ($ZORVAN_PORTS, else ~/.config/zorvan/ports) wins, a link to a device or a
// small text file holding a network address; otherwise COM1-32 are
// /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31. On
// Windows COM n is "COMn" unless the port folder holds a text entry for it.
//
// Failures come back as a false result with `LastError` holding the text the
// user is shown.
class Pordt {
public:
    static constexpr int InSize = 16384;
    static constexpr int OutSize = 4096;

    static inline const QString BadIdText =
        QStringLiteral("ie_BadId - Specified comport doesn't exist");
    static inline const QString OpenText = QStringLiteral("ie_Open - device already open");
    static inline const QString NotOpenText = QStringLiteral("ie_NOpen - device not open");

    Pordt();
    ~Pordt();
    Pordt(const Pordt&) = delete;
    Pordt& operator=(const Pordt&) = delete;

    [[nodiscard]] int ComNumber() const { return comNumber_; }
    // Stores n; an open port is closed and opened again on port n.
    bool SetComNumber(int n);

    // A network address ("tcp://HOST:PORT", "rfc2217://HOST:PORT") to open
    // instead of COM n, ComNumber() staying as it is; empty goes back to COM
    // n. An open port is opened again there.
    bool SetAddress(const QString& address);
    [[nodiscard]] const QString& Address() const { return address_; }

    [[nodiscard]] int Baud() const { return baud_; }
    // Stores b; an open line is reprogrammed at once.
    bool SetBaud(int b);

    // Only "none" exists on this line; kept so the link can insist on it.
    void SetParityNone();

    [[nodiscard]] bool Open() const;
    // Opening an open port or closing a closed one does nothing.
    [[nodiscard]] bool SetOpen(bool open);

    // Bytes still queued for output; 0 when the port is closed.
    [[nodiscard]] std::uint16_t OutputCount() const;
    bool FlushInput();
    // Drops output not yet handed to the driver; a frame handed over goes out whole.
    bool FlushOutput();
    bool SendByte(std::uint8_t b);
    // All or nothing: refused when the output buffer has less room than length.
    bool SendBlock(const std::uint8_t* buffer, std::uint16_t length);
    [[nodiscard]] bool InputReady() const;
    // Only after InputReady answered true.
    [[nodiscard]] std::uint8_t ReadByte();
    // Bytes received and not yet read, counting those the driver still holds.
    [[nodiscard]] int InputCount() const;
    // The line reads ready to the event loop only once count bytes wait in
    // the driver (1-255); 0 makes every byte count again. For the waits of
    // the link, which take what came with FetchInput and empty the queues
    // after every exchange. Where the platform cannot, every byte counts.
    // Linux still wakes a process waiting on the line for each byte that
    // comes, only to find it not ready: see WatchInput.
    void WakeOnInput(int count);
    // Takes the line out of the event loop's waits (false) and back in
    // (true; so it is after opening). Out, arriving bytes wake nothing and
    // wait in the driver, and a lost device is seen once it is back in. For
    // a reply that cannot be complete yet. Where the platform cannot, the
    // line stays in.
    void WatchInput(bool on);
    // Moves what the driver holds into the port's buffer, for ReadByte.
    void FetchInput();
    // Nothing to do: reception is event driven, the waits of the link block in
    // the event loop.
    void ServicePort() {}

    [[nodiscard]] const QString& LastError() const { return lastError_; }

    // The device went away while the port was open (adapter pulled out, line
    // hung up): the port closed itself. Cleared when it opens again.
    [[nodiscard]] bool Lost() const { return lost_; }
    // True once for each loss: for the one log line that tells of it.
    [[nodiscard]] bool TakeLoss();
    // That line: "Порт COMn закрыт: устройство отключено", or for a network
    // port "соединение с HOST:PORT разорвано".
    [[nodiscard]] QString LossText() const;

    // Where COM n leads on this machine: a device, or the network address of
    // a text entry ("tcp://HOST:PORT"); empty when it leads nowhere.
    [[nodiscard]] static QString DevicePath(int comNumber);
    // The port folder searched first for links named "comN".
    [[nodiscard]] static QString PortFolder();

    // The local serial port underneath (readyRead), when the port is one.
    [[nodiscard]] QSerialPort& Device();
    // The network connection underneath, when the port is one.
    [[nodiscard]] const NetStream& Network() const { return *net_; }
    [[nodiscard]] bool OnNetwork() const;

private:
    bool fail(const QString& text);
    [[nodiscard]] bool ensureOpen();
    void lose(const QString& text);

    // Held apart so that the link's users do not build against sockets.
    std::unique_ptr<SerialStream> serial_;
    std::unique_ptr<NetStream> net_;
    // The stream of the port as last opened.
    LineStream* line_ = nullptr;
    int comNumber_ = 1;
    QString address_;
    int baud_ = 9600;
    QString lastError_;
    bool lost_ = false;
    bool lossUntold_ = false;
};
