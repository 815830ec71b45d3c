#include "duty/ru_numbers.h"

#include "decoding/russian_numbers.h"

#include <QLocale>

#include <cmath>

// The grouping, the comma and the noun's forms are the page's and the
// terminal's (decoding/russian_numbers.h); only the estimate's own shapes are
// made here.

QString RuNumber(double value, int decimals) {
    return RussianNumber(value, decimals);
}

QString RuCount(std::int64_t value) {
    return RussianNumber(value);
}

QString RuPlural(std::int64_t n, const QString& one, const QString& few, const QString& many) {
    return RussianNoun(n, NounForms{one, few, many});
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
    const QString comma = QLocale(QLocale::Russian).decimalPoint();
    if (maxDecimals > 0 && text.contains(comma)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(comma))
            text.chop(comma.size());
    }
    return text;
}
