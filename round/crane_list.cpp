#include "round/crane_list.h"

#include "link/net_address.h"
#include "settings/baud_step.h"
#include "settings/readout_settings.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>

namespace {

const QStringList Memories{QStringLiteral("events"), QStringLiteral("summator")};

// A crane's name becomes a folder's name on Linux and on Windows alike.
QString NameFault(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("a crane needs a name: [NAME]");
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.endsWith('.'))
        return QStringLiteral("'%1' cannot be a folder's name").arg(name);
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : name)
        if (c.unicode() < 0x20 || forbidden.contains(c))
            return QStringLiteral("'%1' cannot be a folder's name: no / \\ : * ? \" < > | in it")
                .arg(name);
    return QString();
}

// Two cranes that would open the same port at once.
bool SameLine(const RoundCrane& a, const RoundCrane& b) {
    if (a.com != 0 || b.com != 0)
        return a.com == b.com;
    return ParseNetAddress(a.port)->Text() == ParseNetAddress(b.port)->Text();
}

struct Parser {
    QString file;
    CraneListParse result;
    int lineNumber = 0;

    bool Fail(const QString& what, int line = -1) {
        result.error = QStringLiteral("%1:%2: %3")
                           .arg(QDir::toNativeSeparators(file))
                           .arg(line < 0 ? lineNumber : line)
                           .arg(what);
        return false;
    }

    bool Section(const QString& header) {
        if (!header.endsWith(']'))
            return Fail(QStringLiteral("a section header ends with ]"));
        const QString name = header.mid(1, header.size() - 2).trimmed();
        if (const QString fault = NameFault(name); !fault.isEmpty())
            return Fail(fault);
        for (const RoundCrane& c : result.cranes)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return Fail(
                    QStringLiteral("crane '%1' is listed already (line %2)").arg(name).arg(c.line));
        RoundCrane crane;
        crane.name = name;
        crane.line = lineNumber;
        crane.reads = Memories;
        result.cranes.push_back(crane);
        readsGiven = false;
        return true;
    }

    bool Key(const QString& key, const QString& value) {
        if (result.cranes.empty())
            return Fail(QStringLiteral("'%1' before the first crane's [NAME]").arg(key));
        RoundCrane& crane = result.cranes.back();
        const auto twice = [&] { return Fail(QStringLiteral("'%1' is given twice").arg(key)); };
        if (key == QLatin1String("com")) {
            if (crane.com != 0)
                return twice();
            bool ok = false;
            const int com = value.toInt(&ok);
            if (!ok || !ComPortRange.Holds(com))
                return Fail(QStringLiteral("com takes a number from 1 to 99, not '%1'").arg(value));
            crane.com = com;
        } else if (key == QLatin1String("port")) {
            if (!crane.port.isEmpty())
                return twice();
            if (!ParseNetAddress(value))
                return Fail(QStringLiteral("port takes tcp://HOST:PORT or rfc2217://HOST:PORT, "
                                           "not '%1'")
                                .arg(value));
            crane.port = value;
        } else if (key == QLatin1String("baud")) {
            if (crane.baud != 0)
                return twice();
            bool ok = false;
            const int baud = value.toInt(&ok);
            if (!ok || std::find(std::begin(LineSpeeds), std::end(LineSpeeds), baud) ==
                           std::end(LineSpeeds))
                return Fail(
                    QStringLiteral("baud takes 1200, 2400, 4800 or 9600, not '%1'").arg(value));
            crane.baud = baud;
        } else if (key == QLatin1String("read")) {
            if (readsGiven)
                return twice();
            readsGiven = true;
            crane.reads.clear();
            for (const QString& part : value.split(',')) {
                const QString memory = part.trimmed();
                if (!Memories.contains(memory))
                    return Fail(QStringLiteral("read takes events, summator or both, not '%1'")
                                    .arg(memory));
                if (crane.reads.contains(memory))
                    return Fail(QStringLiteral("read names %1 twice").arg(memory));
                crane.reads << memory;
            }
        } else {
            return Fail(QStringLiteral("unknown key '%1' (com, port, baud, read)").arg(key));
        }
        return true;
    }

    // What a section lacks or where two cranes would share a line.
    bool CheckCranes() {
        if (result.cranes.empty()) {
            result.error = QStringLiteral("%1: no crane listed ([NAME] and its com or port)")
                               .arg(QDir::toNativeSeparators(file));
            return false;
        }
        for (auto it = result.cranes.begin(); it != result.cranes.end(); ++it) {
            if ((it->com != 0) == !it->port.isEmpty())
                return Fail(
                    QStringLiteral("crane '%1' needs either com or port, not %2")
                        .arg(it->name)
                        .arg(it->com != 0 ? QStringLiteral("both") : QStringLiteral("neither")),
                    it->line);
            for (auto other = result.cranes.begin(); other != it; ++other)
                if (SameLine(*it, *other))
                    return Fail(QStringLiteral("crane '%1' is on the line of crane '%2' (line %3)")
                                    .arg(it->name, other->name)
                                    .arg(other->line),
                                it->line);
        }
        return true;
    }

    bool readsGiven = false;
};

CraneListParse ParseLines(const QByteArray& text, const QString& file);

} // namespace

CraneListParse ParseCraneList(const QByteArray& text, const QString& file) {
    CraneListParse result = ParseLines(text, file);
    if (!result.error.isEmpty())
        result.cranes.clear(); // a faulty list reads no crane
    return result;
}

CraneListParse ReadCraneList(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CraneListParse result;
        result.error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    return ParseCraneList(file.readAll(), path);
}

namespace {

CraneListParse ParseLines(const QByteArray& text, const QString& file) {
    Parser parser;
    parser.file = file;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(text);
    if (utf8.hasError()) {
        parser.result.error =
            QStringLiteral("%1: not UTF-8 text").arg(QDir::toNativeSeparators(file));
        return parser.result;
    }
    for (const QString& raw : decoded.split('\n')) {
        ++parser.lineNumber;
        const QString line = raw.trimmed(); // a CR of Windows' line ends too
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            if (!parser.Section(line))
                return parser.result;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            parser.Fail(QStringLiteral("expected [NAME] or KEY = VALUE, not '%1'").arg(line));
            return parser.result;
        }
        if (!parser.Key(line.left(equals).trimmed(), line.mid(equals + 1).trimmed()))
            return parser.result;
    }
    parser.CheckCranes();
    return parser.result;
}

} // namespace
