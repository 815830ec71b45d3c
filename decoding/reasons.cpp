#include "decoding/reasons.h"

namespace {

constexpr int TextsPerList = 8;

QStringList Numbered(const QString& stem) {
    QStringList list;
    for (int n = 1; n <= TextsPerList; ++n) {
        list << stem + QString::number(n);
    }
    return list;
}

// Appends list[index]; false when the list does not reach that far.
bool AppendEntry(const QStringList& list, int index, QString& text) {
    if (index >= list.size()) {
        return false;
    }
    text += list.at(index);
    return true;
}

QString StateColumns(ReplyView reply) {
    return QLatin1Char('\t') + Dec2Bin(ReplyByte(reply, RelayStatePos)) + QLatin1Char('\t') +
           Dec2Bin(ReplyByte(reply, DigOutStatePos)) + QLatin1Char('\t') +
           Dec2Bin(ReplyByte(reply, DigInStatePos));
}

} // namespace

MessageTexts MessageTexts::Defaults() {
    MessageTexts t;
    t.other = QStringList{QStringLiteral("Обрыв датчика"),
                          QStringLiteral("КЗ на датчике"),
                          QStringLiteral("Обрыв связи с выносным пультом"),
                          QStringLiteral("Отключение питания"),
                          QStringLiteral("Включение питания"),
                          QStringLiteral("Установка времени"),
                          QStringLiteral("Сброс сумматора"),
                          QStringLiteral("Стирание записей")};
    t.relay = Numbered(QStringLiteral("Срабатывание реле "));
    t.digOut = Numbered(QStringLiteral("Цифровой выход "));
    t.digIn = Numbered(QStringLiteral("Цифровой вход "));
    return t;
}

QString BadRecordText() {
    return QStringLiteral("некорректная запись");
}

bool ReasonText(std::uint8_t reason, const MessageTexts& texts, QString& text) {
    text.clear();
    const std::uint8_t code = reason & ~ReasonRemoval;
    const int index = code & 0x07;
    bool ok = true;
    if (code < TextsPerList) {
        ok = ok && AppendEntry(texts.other, code, text);
    }
    if (code & ReasonRelay) {
        ok = ok && AppendEntry(texts.relay, index, text);
    }
    if (code & ReasonDigOut) {
        ok = ok && AppendEntry(texts.digOut, index, text);
    }
    if (code & ReasonDigIn) {
        ok = ok && AppendEntry(texts.digIn, index, text);
    }
    if (!ok) {
        text.clear();
    }
    return ok;
}

QString FReason(ReplyView reply, const MessageTexts& texts) {
    const std::uint8_t reason = ReplyByte(reply, ReasonPos);
    QString text;
    if (!ReasonText(reason, texts, text)) {
        return BadRecordText();
    }
    return ((reason & ReasonRemoval) ? QStringLiteral("- ") : QStringLiteral("+ ")) + text;
}

QString Reason(ReplyView reply, const MessageTexts& texts) {
    const std::uint8_t reason = ReplyByte(reply, ReasonPos);
    QString result;
    QString text;
    if (ReasonText(reason, texts, text)) {
        result =
            ((reason & ReasonRemoval) ? QStringLiteral("\tСнятие ") : QStringLiteral("\t")) + text;
    } else {
        result = BadRecordText();
    }
    if (!PowerEvent(reason)) {
        result += StateColumns(reply);
    }
    return result;
}
