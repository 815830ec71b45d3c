#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// Which serial ports this machine has, and which COM number leads to each, by
// the rules of Pordt::DevicePath (a "comN" entry in the port folder first, then
// the COM1-32/33-64/65-96 convention). For the user who must tell which
// number to give the program; nothing here opens a port. A text entry's port
// on the network is listed with its address as the device.

// One serial device that exists.
struct SerialPortEntry {
    // Every COM number that leads here, ascending; empty when none does.
    QList<int> comNumbers;
    // The device as the port folder's links and the convention name it.
    QString device;
    // What the system knows of it; empty when nothing (a pseudo-terminal).
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool hasUsbIds = false;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // udev's name under /dev/serial/by-id, which survives re-plugging.
    QString stableName;
};

// The COM numbers (1..99) whose path leads to device, ascending.
[[nodiscard]] QList<int> ComNumbersLeadingTo(const QString& device);

// The serial ports the system knows of, plus the devices the port folder's
// links lead to (a pseudo-terminal is no port to the system, but a COM number
// all the same). USB adapters first, then by COM number; ports no number
// leads to come last.
[[nodiscard]] QList<SerialPortEntry> FindSerialPorts();

// One line per port, for a terminal: numbers, device, then what is known.
[[nodiscard]] QStringList PortListLines();

// The ports a COM number leads to, in one line for the status bar:
// "Есть: COM33 /dev/ttyUSB0 (FT232R USB UART), COM1 /dev/ttyS0".
[[nodiscard]] QString PortSummary(const QList<SerialPortEntry>& ports);

// Where COM n leads now, in a few lines: the device and what is known of it,
// or that nothing is there.
[[nodiscard]] QString DescribeComNumber(int comNumber);
