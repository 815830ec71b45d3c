#include "duty/nameplate.h"

#include "decoding/ident_text.h"

#include <QRegularExpression>

namespace {

// The texts are compared in lower case, without blanks, Latin letters that
// look like Cyrillic ones taken as those.
QString Folded(const QString& text) {
    QString out;
    for (const QChar c : text.toLower()) {
        if (c.isSpace())
            continue;
        if (c == u'a')
            out += QChar(0x0430); // а
        else if (c == u'k')
            out += QChar(0x043A); // к
        else
            out += c;
    }
    return out;
}

std::optional<double> Number(const QString& digits) {
    QString text = digits;
    text.replace(u',', u'.');
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString IdentField(const IdentBytes& ident, int first, int width) {
    return IdentText(ident, first, width).trimmed();
}

std::optional<double> ReadRatedLoad(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{1,5}(?:[.,]\\d{1,3})?)(т|тс|тн|тонн|тонны|t|tn|ton|tons|кг|kg)?\\.?$"));
    QString folded = text.toLower();
    folded.remove(QRegularExpression(QStringLiteral("\\s")));
    const QRegularExpressionMatch m = form.match(folded);
    if (!m.hasMatch())
        return std::nullopt;
    std::optional<double> value = Number(m.captured(1));
    if (!value || *value <= 0)
        return std::nullopt;
    const QString unit = m.captured(2);
    if (unit == QStringLiteral("кг") || unit == QStringLiteral("kg"))
        *value /= 1000.0;
    return value;
}

std::optional<GroupReading> ReadGroup(const QString& text) {
    static const QRegularExpression iso(QStringLiteral("^а([1-8])$"));
    static const QRegularExpression old(QStringLiteral("^([1-8])к$"));
    const QString folded = Folded(text);
    if (const QRegularExpressionMatch m = iso.match(folded); m.hasMatch())
        return GroupReading{m.captured(1).toInt(), false};
    if (const QRegularExpressionMatch m = old.match(folded); m.hasMatch())
        return GroupReading{m.captured(1).toInt(), true};
    return std::nullopt;
}

std::optional<int> ReadServiceLife(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,3})(лет|года|год|г|л|years|year|yrs|y)?\\.?$"));
    QString folded = text.toLower();
    folded.remove(QRegularExpression(QStringLiteral("\\s")));
    const QRegularExpressionMatch m = form.match(folded);
    if (!m.hasMatch())
        return std::nullopt;
    const int years = m.captured(1).toInt();
    if (years < 1 || years > 100)
        return std::nullopt;
    return years;
}

std::optional<QDate> ReadCommissioning(const QString& text) {
    static const QRegularExpression dmy(
        QStringLiteral("^(\\d{1,2})[./-](\\d{1,2})[./-](\\d{4}|\\d{2})(?:г\\.?)?$"));
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    QString folded = text.toLower();
    folded.remove(QRegularExpression(QStringLiteral("\\s")));
    QDate date;
    if (const QRegularExpressionMatch m = ymd.match(folded); m.hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    } else if (const QRegularExpressionMatch d = dmy.match(folded); d.hasMatch()) {
        int year = d.captured(3).toInt();
        if (d.captured(3).size() == 2)
            year += year <= 69 ? 2000 : 1900;
        date = QDate(year, d.captured(2).toInt(), d.captured(1).toInt());
    }
    if (!date.isValid() || date.year() < 1900)
        return std::nullopt;
    return date;
}
