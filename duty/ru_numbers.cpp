#include "duty/ru_numbers.h"

#include <QLocale>

#include <cmath>

namespace {

const QLocale& Russian() {
    static const QLocale locale = [] {
        QLocale l(QLocale::Russian, QLocale::Russia);
        l.setNumberOptions(QLocale::DefaultNumberOptions);
        return l;
    }();
    return locale;
}

// QLocale's own separator differs between Qt and CLDR versions (a no-break
// space, a narrow one): the texts use one, whatever the library says.
QString OneSeparator(QString text) {
    const QString group = Russian().groupSeparator();
    if (group != QString(QChar(RuGroupSeparator)))
        text.replace(group, QString(QChar(RuGroupSeparator)));
    return text;
}

} // namespace

QString RuNumber(double value, int decimals) {
    return OneSeparator(Russian().toString(value, 'f', decimals));
}

QString RuCount(std::int64_t value) {
    return OneSeparator(Russian().toString(qlonglong(value)));
}

QString RuPlural(std::int64_t n, const QString& one, const QString& few, const QString& many) {
    const std::int64_t m = n < 0 ? -n : n;
    const std::int64_t tens = m % 100, units = m % 10;
    if (tens >= 11 && tens <= 14)
        return many;
    if (units == 1)
        return one;
    if (units >= 2 && units <= 4)
        return few;
    return many;
}

QString RuYears(double years) {
    const double tenths = std::round(years * 10.0);
    if (std::fmod(tenths, 10.0) == 0.0) {
        const auto whole = std::int64_t(tenths / 10.0);
        return RuCount(whole) + QChar(u' ') +
               RuPlural(whole, QStringLiteral("год"), QStringLiteral("года"),
                        QStringLiteral("лет"));
    }
    return RuNumber(tenths / 10.0, 1) + QStringLiteral(" года");
}

QString RuShortest(double value, int maxDecimals) {
    QString text = RuNumber(value, maxDecimals);
    const QString comma = Russian().decimalPoint();
    if (maxDecimals > 0 && text.contains(comma)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(comma))
            text.chop(comma.size());
    }
    return text;
}
