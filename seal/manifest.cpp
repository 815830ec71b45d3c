#include "seal/manifest.h"

#include "seal/key_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <algorithm>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

constexpr char FilesHeading[] = "files (sha256sum):";

// A value stays on its line whatever the recorder or the system holds.
QString OneLine(QString value) {
    for (QChar& c : value)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return value;
}

const char* KindWord(ReadoutKind kind) {
    return kind == ReadoutKind::Events ? "events" : "summator";
}

const char* OutcomeWord(ReadoutOutcome outcome) {
    switch (outcome) {
    case ReadoutOutcome::Completed:
        return "completed";
    case ReadoutOutcome::Break:
        return "cut-short-by-break";
    case ReadoutOutcome::Failed:
        break;
    }
    return "cut-short-by-failure";
}

// Texts the user changed travel with the readout, as they shape the event
// files; the defaults are named only.
QString TextsWord(const MessageTexts& texts) {
    const MessageTexts defaults = MessageTexts::Defaults();
    if (texts.other == defaults.other && texts.relay == defaults.relay &&
        texts.digOut == defaults.digOut && texts.digIn == defaults.digIn)
        return QStringLiteral("default");
    QJsonObject o;
    o[QStringLiteral("other")] = QJsonArray::fromStringList(texts.other);
    o[QStringLiteral("relay")] = QJsonArray::fromStringList(texts.relay);
    o[QStringLiteral("digOut")] = QJsonArray::fromStringList(texts.digOut);
    o[QStringLiteral("digIn")] = QJsonArray::fromStringList(texts.digIn);
    return QString::fromLatin1(
        QJsonDocument(o).toJson(QJsonDocument::Compact).toBase64(QByteArray::Base64UrlEncoding));
}

QStringList Strings(const QJsonValue& v) {
    QStringList list;
    for (const QJsonValue& item : v.toArray())
        list << item.toString();
    return list;
}

bool ParseTexts(const QString& word, MessageTexts& texts) {
    if (word == QLatin1String("default")) {
        texts = MessageTexts::Defaults();
        return true;
    }
    const auto decoded = QByteArray::fromBase64Encoding(
        word.toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const QJsonObject o = QJsonDocument::fromJson(decoded.decoded).object();
    if (o.isEmpty())
        return false;
    texts.other = Strings(o[QStringLiteral("other")]);
    texts.relay = Strings(o[QStringLiteral("relay")]);
    texts.digOut = Strings(o[QStringLiteral("digOut")]);
    texts.digIn = Strings(o[QStringLiteral("digIn")]);
    return true;
}

QString ReadoutLine(const SealedReadout& r) {
    QStringList files;
    if (r.files.xls)
        files << QStringLiteral("xls");
    if (r.files.txt)
        files << QStringLiteral("txt");
    if (r.files.hex)
        files << QStringLiteral("hex");
    QString line = QStringLiteral("%1 %2 files=%3 reach=%4")
                       .arg(QLatin1String(KindWord(r.kind)), QLatin1String(OutcomeWord(r.outcome)),
                            files.isEmpty() ? QStringLiteral("none") : files.join(QLatin1Char(',')),
                            r.withReach ? QStringLiteral("yes") : QStringLiteral("no"));
    if (r.kind == ReadoutKind::Summator)
        line += QStringLiteral(" basis=%1 full-scale=%2")
                    .arg(r.basis == RatingBasis::Moment ? QStringLiteral("moment")
                                                        : QStringLiteral("weight"))
                    .arg(r.fullScale);
    return line + QStringLiteral(" texts=") + TextsWord(r.texts);
}

bool ParseReadoutLine(const QString& line, SealedReadout& r) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 2)
        return false;
    if (words[0] == QLatin1String("events"))
        r.kind = ReadoutKind::Events;
    else if (words[0] == QLatin1String("summator"))
        r.kind = ReadoutKind::Summator;
    else
        return false;
    bool known = false;
    for (ReadoutOutcome o :
         {ReadoutOutcome::Completed, ReadoutOutcome::Break, ReadoutOutcome::Failed})
        if (words[1] == QLatin1String(OutcomeWord(o))) {
            r.outcome = o;
            known = true;
        }
    if (!known)
        return false;
    for (const QString& word : words.mid(2)) {
        const QString name = word.section(QLatin1Char('='), 0, 0);
        const QString value = word.section(QLatin1Char('='), 1);
        if (name == QLatin1String("files")) {
            const QStringList kinds = value.split(QLatin1Char(','));
            r.files = {kinds.contains(QLatin1String("xls")), kinds.contains(QLatin1String("txt")),
                       kinds.contains(QLatin1String("hex"))};
        } else if (name == QLatin1String("reach"))
            r.withReach = value == QLatin1String("yes");
        else if (name == QLatin1String("basis"))
            r.basis = value == QLatin1String("weight") ? RatingBasis::Weight : RatingBasis::Moment;
        else if (name == QLatin1String("full-scale")) {
            bool ok = false;
            r.fullScale = value.toInt(&ok);
            if (!ok)
                return false;
        } else if (name == QLatin1String("texts")) {
            if (!ParseTexts(value, r.texts))
                return false;
        }
    }
    return true;
}

} // namespace

QByteArray ManifestText(const Manifest& m) {
    QString text = QString::fromLatin1(ManifestFormatLine) + QLatin1Char('\n');
    const auto field = [&text](const char* name, const QString& value) {
        text += QLatin1String(name) + QStringLiteral(": ") + OneLine(value) + QLatin1Char('\n');
    };
    field("folder", m.folder);
    field("program", m.program);
    field("user", m.user);
    field("computer", m.computer);
    field("sealed", m.sealedAt.toUTC().toString(Qt::ISODate));
    field("recorder clock", m.recorderClock);
    field("crane key", m.craneKey);
    field("crane type", m.craneType);
    field("crane serial", m.craneSerial);
    field("recorder type", m.recorderType);
    field("recorder serial", m.recorderSerial);
    for (const SealedReadout& r : m.readouts)
        field("readout", ReadoutLine(r));
    text += QLatin1String(FilesHeading) + QLatin1Char('\n');
    for (const SealedFile& f : m.files)
        text += QString::fromLatin1(f.sha256.toHex()) + QStringLiteral("  ") + OneLine(f.name) +
                QLatin1Char('\n');
    return text.toUtf8();
}

bool ParseManifest(const QByteArray& text, Manifest& m, QString& error) {
    m = Manifest();
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    if (lines.isEmpty() || lines[0] != QLatin1String(ManifestFormatLine)) {
        error = QStringLiteral("not a run seal manifest");
        return false;
    }
    bool inFiles = false;
    for (int i = 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.isEmpty())
            continue;
        if (inFiles) {
            const QByteArray hash = QByteArray::fromHex(line.left(64).toLatin1());
            if (line.size() < 67 || hash.size() != 32 || line.mid(64, 2) != QLatin1String("  ")) {
                error = QStringLiteral("manifest line %1 is no file line").arg(i + 1);
                return false;
            }
            m.files.push_back({line.mid(66), hash});
            continue;
        }
        if (line == QLatin1String(FilesHeading)) {
            inFiles = true;
            continue;
        }
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        const QString name = colon < 0 ? line : line.left(colon);
        const QString value = colon < 0 ? QString() : line.mid(colon + 2);
        if (name == QLatin1String("folder"))
            m.folder = value;
        else if (name == QLatin1String("program"))
            m.program = value;
        else if (name == QLatin1String("user"))
            m.user = value;
        else if (name == QLatin1String("computer"))
            m.computer = value;
        else if (name == QLatin1String("sealed"))
            m.sealedAt = QDateTime::fromString(value, Qt::ISODate);
        else if (name == QLatin1String("recorder clock"))
            m.recorderClock = value;
        else if (name == QLatin1String("crane key"))
            m.craneKey = value;
        else if (name == QLatin1String("crane type"))
            m.craneType = value;
        else if (name == QLatin1String("crane serial"))
            m.craneSerial = value;
        else if (name == QLatin1String("recorder type"))
            m.recorderType = value;
        else if (name == QLatin1String("recorder serial"))
            m.recorderSerial = value;
        else if (name == QLatin1String("readout")) {
            SealedReadout r;
            if (!ParseReadoutLine(value, r)) {
                error = QStringLiteral("manifest line %1 is no readout").arg(i + 1);
                return false;
            }
            m.readouts.push_back(r);
        }
    }
    if (!inFiles) {
        error = QStringLiteral("the manifest lists no files");
        return false;
    }
    return true;
}

QStringList SealableFiles(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names.removeAll(QString::fromLatin1(ManifestName));
    names.removeAll(QString::fromLatin1(SignatureName));
    names.removeAll(QString::fromLatin1(PublicKeyName));
    return names;
}

bool FileSha256(const QString& path, QByteArray& hash) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&file))
        return false;
    hash = h.result();
    return true;
}

QString SealUserName() {
#ifndef Q_OS_WIN
    // The account itself: a service, su or a script may leave USER unset or
    // stale.
    if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
#endif
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty())
        name = QDir::home().dirName();
    return name;
}

QString SealComputerName() {
    return QSysInfo::machineHostName();
}
