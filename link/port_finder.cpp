#include "link/port_finder.h"

#include "link/net_address.h"
#include "link/pordt.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

namespace {

constexpr int HighestComNumber = 99;

QString ComName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

QString ComNames(const QList<int>& numbers) {
    QStringList names;
    for (int n : numbers)
        names << ComName(n);
    return names.join(QLatin1Char('/'));
}

// Two names for one device compare equal once links are resolved; a path that
// does not exist stays as it is.
QString Resolved(const QString& path) {
#ifdef Q_OS_WIN
    return path;
#else
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
#endif
}

// How Pordt names the device of this port.
QString DeviceOf(const QSerialPortInfo& info) {
#ifdef Q_OS_WIN
    return info.portName();
#else
    return Resolved(info.systemLocation());
#endif
}

// The port folder's link for COM n, when there is one.
QString LinkOf(int n) {
    const QString path = Pordt::PortFolder() + QStringLiteral("/com%1").arg(n);
#ifdef Q_OS_WIN
    // Only a text entry for a network port counts there.
    return EntryAddress(path) ? QFileInfo(path).absoluteFilePath() : QString();
#else
    const QFileInfo link(path);
    return link.isSymLink() || link.exists() ? link.absoluteFilePath() : QString();
#endif
}

// Device -> every COM number leading to it, for all numbers at once.
QHash<QString, QList<int>> NumbersByDevice() {
    QHash<QString, QList<int>> numbers;
    for (int n = 1; n <= HighestComNumber; ++n) {
        const QString path = Pordt::DevicePath(n);
        if (!path.isEmpty())
            numbers[Resolved(path)].append(n);
    }
    return numbers;
}

// udev's stable names, by the device they lead to.
QHash<QString, QString> StableNames() {
    QHash<QString, QString> names;
#ifdef Q_OS_LINUX
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link :
         byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !names.contains(target))
            names.insert(target, link.absoluteFilePath());
    }
#endif
    return names;
}

QString NetworkDescription(const NetAddress& address) {
    return address.mode == NetAddress::Rfc2217 ? QStringLiteral("сетевой порт, RFC 2217")
                                               : QStringLiteral("сетевой порт, TCP");
}

QString Details(const SerialPortEntry& port) {
    QStringList parts;
    for (const QString& text : {port.description, port.manufacturer}) {
        if (!text.isEmpty() && !parts.contains(text))
            parts << text;
    }
    if (!port.serialNumber.isEmpty())
        parts << QStringLiteral("серийный номер ") + port.serialNumber;
    if (port.hasUsbIds) {
        parts << QStringLiteral("USB %1:%2")
                     .arg(port.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(port.productId, 4, 16, QLatin1Char('0'));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

QList<int> ComNumbersLeadingTo(const QString& device) {
    return NumbersByDevice().value(Resolved(device));
}

QList<SerialPortEntry> FindSerialPorts() {
    const QHash<QString, QList<int>> numbers = NumbersByDevice();
    const QHash<QString, QString> stable = StableNames();

    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortEntry port;
        port.device = DeviceOf(info);
        port.comNumbers = numbers.value(port.device);
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        port.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        port.vendorId = info.vendorIdentifier();
        port.productId = info.productIdentifier();
        port.stableName = stable.value(port.device);
        ports << port;
    }

    // Links may lead to what the system does not count as a serial port, and
    // text entries to a port on the network.
    for (int n = 1; n <= HighestComNumber; ++n) {
        if (LinkOf(n).isEmpty())
            continue;
        const QString device = Resolved(Pordt::DevicePath(n));
        if (const std::optional<NetAddress> address = ParseNetAddress(device)) {
            const bool listed =
                std::any_of(ports.cbegin(), ports.cend(),
                            [&](const SerialPortEntry& p) { return p.device == device; });
            if (!listed) {
                SerialPortEntry port;
                port.device = device;
                port.comNumbers = numbers.value(device);
                port.description = NetworkDescription(*address);
                ports << port;
            }
            continue;
        }
        const bool listed =
            std::any_of(ports.cbegin(), ports.cend(),
                        [&](const SerialPortEntry& p) { return p.device == device; });
        if (listed || !QFileInfo::exists(device))
            continue;
        SerialPortEntry port;
        port.device = device;
        port.comNumbers = numbers.value(device);
        port.stableName = stable.value(device);
        ports << port;
    }

    const auto order = [](const SerialPortEntry& p) {
        return std::make_tuple(!p.hasUsbIds, p.comNumbers.isEmpty(),
                               p.comNumbers.isEmpty() ? 0 : p.comNumbers.first(), p.device);
    };
    std::sort(ports.begin(), ports.end(), [&](const SerialPortEntry& a, const SerialPortEntry& b) {
        return order(a) < order(b);
    });
    return ports;
}

QStringList PortListLines() {
    QStringList lines;
    for (const SerialPortEntry& port : FindSerialPorts()) {
        QString line = port.comNumbers.isEmpty() ? QStringLiteral("—") : ComNames(port.comNumbers);
        line += QLatin1Char(' ') + port.device;
        QStringList known{Details(port)};
        known << port.stableName;
        known.removeAll(QString());
        if (!known.isEmpty())
            line += QStringLiteral(": ") + known.join(QStringLiteral(", "));
        lines << line;
    }
    if (lines.isEmpty())
        lines << QStringLiteral("Последовательных портов нет");
    return lines;
}

QString PortSummary(const QList<SerialPortEntry>& ports) {
    QStringList items;
    for (const SerialPortEntry& port : ports) {
        if (port.comNumbers.isEmpty())
            continue;
        QString item = ComNames(port.comNumbers) + QLatin1Char(' ') + port.device;
        if (!port.description.isEmpty())
            item += QStringLiteral(" (") + port.description + QLatin1Char(')');
        items << item;
    }
    if (items.isEmpty()) {
        return ports.isEmpty() ? QStringLiteral("Последовательных портов нет")
                               : QStringLiteral("Ни один номер COM не ведет к порту");
    }
    return QStringLiteral("Есть: ") + items.join(QStringLiteral(", "));
}

QString DescribeComNumber(int comNumber) {
    const QString name = ComName(comNumber);
    const QString path = Pordt::DevicePath(comNumber);
    if (path.isEmpty())
        return name + QStringLiteral(" никуда не ведет");

    const QString link = LinkOf(comNumber);
    if (const std::optional<NetAddress> address = ParseNetAddress(path)) {
        QStringList lines{name + QStringLiteral(": ") + path};
        if (!link.isEmpty())
            lines << QStringLiteral("по записи ") + QDir::toNativeSeparators(link);
        lines << NetworkDescription(*address);
        return lines.join(QLatin1Char('\n'));
    }
    // A link whose device is gone names that device, not itself.
    const QString target = link.isEmpty() ? QString() : QFileInfo(link).symLinkTarget();
    const bool dangling = !target.isEmpty() && !QFileInfo::exists(path);
    QStringList lines{name + QStringLiteral(": ") + (dangling ? target : path)};
    if (!link.isEmpty())
        lines << QStringLiteral("по ссылке ") + QDir::toNativeSeparators(link);

#ifndef Q_OS_WIN
    // Asking the system for its ports takes tens of milliseconds; a device
    // that is not there needs no asking.
    if (!QFileInfo::exists(path)) {
        lines.first() += QStringLiteral(" — устройства нет");
        return lines.join(QLatin1Char('\n'));
    }
#endif
    const QList<SerialPortEntry> ports = FindSerialPorts();
    const auto port = std::find_if(ports.cbegin(), ports.cend(), [&](const SerialPortEntry& p) {
        return p.comNumbers.contains(comNumber);
    });
    if (port == ports.cend()) {
        // A device node with no port behind it opens as "does not exist" too.
        lines.first() += QFileInfo::exists(path) ? QStringLiteral(" — порта за этим именем нет")
                                                 : QStringLiteral(" — устройства нет");
        return lines.join(QLatin1Char('\n'));
    }
    const QString details = Details(*port);
    if (!details.isEmpty())
        lines << details;
    if (!port->stableName.isEmpty())
        lines << port->stableName;
    return lines.join(QLatin1Char('\n'));
}
