#include "link/net_address.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>

namespace {

// An entry is a line or two of text; anything bigger is no entry of ours.
constexpr qint64 MaxEntrySize = 1024;

} // namespace

QString NetAddress::Text() const {
    return (mode == Rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) + HostPort();
}

QString NetAddress::HostPort() const {
    const QString name =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return name + QLatin1Char(':') + QString::number(port);
}

std::optional<NetAddress> ParseNetAddress(const QString& text) {
    const QString t = text.trimmed();
    NetAddress a;
    QString rest;
    if (t.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        rest = t.mid(6);
    } else if (t.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)) {
        a.mode = NetAddress::Rfc2217;
        rest = t.mid(10);
    } else {
        return std::nullopt;
    }
    // Nothing may follow the port: a path or a query would be silently lost.
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = rest.left(colon);
    const QString portText = rest.mid(colon + 1);
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || !portText.at(0).isDigit())
        return std::nullopt;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    } else if (host.contains(QLatin1Char(':'))) {
        return std::nullopt; // an IPv6 address needs its brackets
    }
    for (const QChar c : host) {
        if (c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('@') ||
            c == QLatin1Char('[') || c == QLatin1Char(']'))
            return std::nullopt;
    }
    if (host.isEmpty())
        return std::nullopt;
    a.host = host;
    a.port = static_cast<std::uint16_t>(port);
    return a;
}

std::optional<NetAddress> EntryAddress(const QString& path) {
    const QFileInfo entry(path);
    // A device node is never read here: reading a serial line would wait on it.
    if (!entry.exists() || !entry.isFile() || entry.size() > MaxEntrySize)
        return std::nullopt;
    QFile file(entry.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ParseNetAddress(QString::fromUtf8(file.readAll()));
}
