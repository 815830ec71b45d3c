#pragma once

#include "link/line_stream.h"

#include <QSerialPort>

// The stream over a local serial port (a device node on Linux, COMn on
// Windows): opened exclusively, DTR and RTS raised.
class SerialStream : public LineStream {
public:
    SerialStream();

    // The device the next open opens.
    void setPath(const QString& path) { path_ = path; }

    [[nodiscard]] bool open(int baud, QString& error) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return port_.isOpen(); }
    [[nodiscard]] bool setBaud(int baud, QString& error) override;
    void insistParityNone() override;

    [[nodiscard]] qint64 queuedOutput() const override { return port_.bytesToWrite(); }
    [[nodiscard]] bool clearInput() override;
    [[nodiscard]] bool clearOutput() override;
    [[nodiscard]] bool write(const char* data, qint64 length, bool handOver,
                             QString& error) override;

    [[nodiscard]] qint64 readable() const override { return port_.bytesAvailable(); }
    [[nodiscard]] int received() const override;
    [[nodiscard]] bool takeByte(char& b) override { return port_.getChar(&b); }
    void fetch() override;

    void wakeOnInput(int count) override;
    void watchInput(bool on) override;

    [[nodiscard]] QSerialPort& port() { return port_; }

private:
    QSerialPort port_;
    QString path_;
    int wakeCount_ = 0;
};
