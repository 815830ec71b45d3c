#include "readout/ident_block.h"

#include "decoding/ident_text.h"

namespace {

struct IdentField {
    const char* label; // UTF-8; ends in a tab where a field follows
    int position;      // 1-based; 0 for a heading or an empty line
    int width;
};

// Field 1.11 sits last in the recorder's block but is printed after 1.10.
constexpr IdentField Fields[] = {
    {"1)\tИдентификационная информация крана.", 0, 0},
    {"1.1)\tТип и индекс\t", 1, 20},
    {"1.2)\tЗаводской номер\t", 21, 20},
    {"1.3)\tГод изготовления\t", 41, 10},
    {"1.4)\tПредприятие-изготовитель\t", 51, 30},
    {"1.5)\tВладелец крана\t", 81, 40},
    {"1.6)\tГрузоподъемность крана\t", 121, 20},
    {"1.7)\tГруппа классификации\t", 141, 10},
    {"1.8)\tНормативный срок службы\t", 151, 10},
    {"1.9)\tДата ввода в эксплуатацию\t", 161, 10},
    {"1.10)\tВнесение изменений\t", 171, 20},
    {"1.11)\tИсполнение крана по виду грузозахватного органа и стрелового оборудования\t", 291, 70},
    {"", 0, 0},
    {"2)\tИдентификационная информация регистратора параметров.", 0, 0},
    {"2.1)\tТип и модификация\t", 191, 30},
    {"2.2)\tЗаводской номер\t", 221, 10},
    {"2.3)\tГод изготовления\t", 231, 10},
    {"2.4)\tПредприятие-изготовитель\t", 241, 20},
    {"2.5)\tОрганизация-установщик\t", 261, 20},
    {"2.6)\tДата установки на кран\t", 281, 10},
    {"", 0, 0},
};

} // namespace

QString KranWord(const IdentData& ident, int position, int count) {
    return IdentText(ident, position, count);
}

QStringList KranLines(const IdentData& ident) {
    QStringList lines;
    for (const IdentField& field : Fields) {
        QString line = QString::fromUtf8(field.label);
        if (field.position > 0)
            line += KranWord(ident, field.position, field.width);
        lines << line;
    }
    return lines;
}
