#include "settings/settings_file.h"

#include "readout/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <limits>

namespace {

// Line 5 selects the weight radio only with exactly this text.
const QString WeightWord = QStringLiteral("вес");
const QString MomentWord = QStringLiteral("момент");

constexpr int TextsPerList = 8;
constexpr int FirstTextLine = 7;

// Reads the file's first 38 lines, decoded from code page 1251; nothing past
// them is needed. A final line end does not start another line; the CRs
// before each LF belong to the line end (some editors write CR CR LF). False
// on an I/O error.
bool ReadLines(const QString& path, QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QStringDecoder decoder("windows-1251");
    while (lines.size() < SettingsLineCount && !file.atEnd()) {
        QByteArray raw = file.readLine();
        if (file.error() != QFileDevice::NoError)
            return false;
        if (raw.endsWith('\n'))
            raw.chop(1);
        while (raw.endsWith('\r'))
            raw.chop(1);
        lines << decoder(raw);
    }
    return true;
}

// Everything not read from the file: the values of a first run. MaxMoment,
// MaxWeight and the radio stay as the controls show them.
void ApplyDefaults(Settings& s, int fromLine) {
    const Settings first;
    if (fromLine <= 1)
        s.BaudRate = first.BaudRate;
    if (fromLine <= 2)
        s.ComPortNumber = first.ComPortNumber;
    if (fromLine <= 6)
        s.RefreshPeriod = first.RefreshPeriod;
    if (fromLine <= FirstTextLine)
        s.Texts = first.Texts;
}

QStringList* ListOfLine(MessageTexts& texts, int index) {
    switch (index / TextsPerList) {
    case 0:
        return &texts.other;
    case 1:
        return &texts.relay;
    case 2:
        return &texts.digOut;
    default:
        return &texts.digIn;
    }
}

} // namespace

QString SettingsLoad::Message() const {
    if (status != Malformed)
        return QString();
    return QStringLiteral("Ошибка в файле настроек %1: строка %2 (\"%3\") не является целым "
                          "числом. Для непрочитанных настроек взяты значения по умолчанию.")
        .arg(fileName.isEmpty() ? QString::fromLatin1(SettingsFileName) : fileName)
        .arg(line)
        .arg(content);
}

bool ParseSettingsInteger(const QString& line, int& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < line.size() && (line[i] == QLatin1Char('+') || line[i] == QLatin1Char('-'))) {
        negative = line[i] == QLatin1Char('-');
        ++i;
    }
    if (i == line.size())
        return false;
    // Accumulated as a negative number so that the most negative int fits.
    long long v = 0;
    for (; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 - (c.unicode() - '0');
        if (v < std::numeric_limits<int>::min())
            return false;
    }
    if (!negative) {
        v = -v;
        if (v > std::numeric_limits<int>::max())
            return false;
    }
    value = static_cast<int>(v);
    return true;
}

QString SingleLineText(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

QString BlankControlCharacters(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return s;
}

SettingsLoad LoadSettings(const QString& path, Settings& s) {
    SettingsLoad result;
    result.fileName = QFileInfo(path).fileName();

    QStringList lines;
    if (!ReadLines(path, lines)) {
        ApplyDefaults(s, 1);
        result.status = SettingsLoad::Missing;
        return result;
    }

    auto lineAt = [&lines](int number) {
        return number <= lines.size() ? lines[number - 1] : QString();
    };

    int* const integers[] = {&s.BaudRate,  &s.ComPortNumber, &s.MaxMoment,
                             &s.MaxWeight, nullptr,          &s.RefreshPeriod};
    for (int number = 1; number <= 6; ++number) {
        const QString line = lineAt(number);
        if (number == 5) {
            s.WeightMode = line == WeightWord;
            continue;
        }
        if (!ParseSettingsInteger(line, *integers[number - 1])) {
            ApplyDefaults(s, number);
            result.status = SettingsLoad::Malformed;
            result.line = number;
            result.content = line;
            return result;
        }
    }

    MessageTexts texts;
    for (int index = 0; index < 4 * TextsPerList; ++index)
        ListOfLine(texts, index)->append(BlankControlCharacters(lineAt(FirstTextLine + index)));
    s.Texts = texts;
    result.status = SettingsLoad::Loaded;
    return result;
}

bool SaveSettings(const QString& path, const Settings& s) {
    TextFile file;
    if (!file.Create(path))
        return false;

    QStringList lines;
    lines << QString::number(s.BaudRate) << QString::number(s.ComPortNumber)
          << QString::number(s.MaxMoment) << QString::number(s.MaxWeight)
          << (s.WeightMode ? WeightWord : MomentWord) << QString::number(s.RefreshPeriod);
    for (const QStringList* list :
         {&s.Texts.other, &s.Texts.relay, &s.Texts.digOut, &s.Texts.digIn}) {
        for (int k = 0; k < TextsPerList; ++k)
            lines << (k < list->size() ? SingleLineText(list->at(k)) : QString());
    }

    bool ok = true;
    for (const QString& line : lines)
        ok = file.WriteLn(line) && ok;
    return file.Close() && ok;
}

QString UserSettingsPath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return QString();
    return QDir(config).filePath(QStringLiteral("zorvan/") + QString::fromLatin1(SettingsFileName));
}

QString StartSettingsPath(const QString& startDir, const QString& userPath) {
    const QString local = QDir(startDir).filePath(QString::fromLatin1(SettingsFileName));
    if (QFileInfo::exists(local) || userPath.isEmpty() || !QFileInfo(userPath).isFile())
        return local;
    return userPath;
}

bool SaveUserSettings(const QString& userPath, const Settings& s) {
    if (userPath.isEmpty() || !QDir().mkpath(QFileInfo(userPath).absolutePath()))
        return false;
    return SaveSettings(userPath, s);
}

bool FileExists(const QString& name) {
    if (name.isEmpty())
        return false;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return true;
}
