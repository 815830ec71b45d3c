#include "decoding/russian_numbers.h"

#include <QLocale>

#include <cmath>

// Qt's Russian locale groups by a no-break space (RussianGroupSeparator);
// the tests hold it to that.
QString RussianNumber(std::int64_t n) {
    return QLocale(QLocale::Russian).toString(qlonglong(n));
}

QString RussianNumber(double value, int decimals) {
    return QLocale(QLocale::Russian).toString(value, 'f', decimals);
}

const QString& RussianNoun(std::int64_t count, const NounForms& forms) {
    const std::int64_t n = count < 0 ? -count : count;
    const std::int64_t lastTwo = n % 100;
    const std::int64_t last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return forms.many;
    if (last == 1)
        return forms.one;
    if (last >= 2 && last <= 4)
        return forms.few;
    return forms.many;
}

QString RussianCount(std::int64_t count, const NounForms& forms) {
    return RussianNumber(count) + QLatin1Char(' ') + RussianNoun(count, forms);
}

QString RussianCount(double value, int decimals, const NounForms& forms) {
    if (decimals <= 0)
        return RussianCount(std::int64_t(std::llround(value)), forms);
    return RussianNumber(value, decimals) + QLatin1Char(' ') + forms.few;
}
