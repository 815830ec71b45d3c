#include "summator/word_rtf.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <climits>

// The token stream: reading an RTF file into tokens and writing them back.
// What the report finds and fills in it: word_rtf_marks.cpp.

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char EncodeCp1251(QChar ch) {
    thread_local QStringEncoder encoder("windows-1251", QStringConverter::Flag::Default);
    const QByteArray bytes = encoder(QString(ch));
    // The converter's own substitute is not '?' on every platform: a byte that
    // does not read back as the character is no fallback for it.
    return bytes.size() == 1 && RtfDocument::Decode(bytes) == QString(ch) ? bytes[0] : '?';
}

} // namespace

bool RtfDocument::Tokenize(const QByteArray& b, std::vector<RtfToken>* tokens) {
    const int n = static_cast<int>(b.size());
    int i = 0;
    while (i < n) {
        const char c = b[i];
        RtfToken t;
        if (c == '{' || c == '}') {
            t.kind = c == '{' ? RtfToken::Kind::GroupOpen : RtfToken::Kind::GroupClose;
            t.raw = b.mid(i, 1);
            ++i;
        } else if (c == '\r' || c == '\n') {
            int j = i;
            while (j < n && (b[j] == '\r' || b[j] == '\n'))
                ++j;
            t.kind = RtfToken::Kind::Break;
            t.raw = b.mid(i, j - i);
            i = j;
        } else if (c == '\\') {
            if (i + 1 >= n)
                return false;
            const char d = b[i + 1];
            if (IsLetter(d)) {
                int j = i + 1;
                while (j < n && IsLetter(b[j]))
                    ++j;
                t.kind = RtfToken::Kind::Word;
                t.name = b.mid(i + 1, j - i - 1);
                const int digits = j;
                if (j < n && b[j] == '-')
                    ++j;
                const int first = j;
                // Every digit belongs to the parameter, however many there
                // are (so the word is written back as read); its value is
                // held to the range of an int.
                qint64 value = 0;
                while (j < n && IsDigit(b[j])) {
                    value = std::min<qint64>(value * 10 + (b[j] - '0'), INT_MAX);
                    ++j;
                }
                if (j > first) {
                    t.hasParam = true;
                    t.param = static_cast<int>(b[digits] == '-' ? -value : value);
                } else {
                    j = digits; // a lone '-' is text, not a parameter
                }
                if (j < n && b[j] == ' ')
                    ++j;
                t.raw = b.mid(i, j - i);
                i = j;
                if (t.name == "bin" && t.hasParam && t.param > 0) {
                    // Binary data follows as raw bytes; it may hold braces.
                    if (i + t.param > n)
                        return false;
                    tokens->push_back(t);
                    t = RtfToken{};
                    t.kind = RtfToken::Kind::Binary;
                    t.raw = b.mid(i, tokens->back().param);
                    i += tokens->back().param;
                }
            } else if (d == '\'') {
                if (i + 4 > n)
                    return false;
                const int hi = HexValue(b[i + 2]);
                const int lo = HexValue(b[i + 3]);
                if (hi < 0 || lo < 0)
                    return false;
                t.kind = RtfToken::Kind::Hex;
                t.param = hi * 16 + lo;
                t.raw = b.mid(i, 4);
                i += 4;
            } else {
                t.kind = RtfToken::Kind::Symbol;
                t.name = b.mid(i + 1, 1);
                t.raw = b.mid(i, 2);
                i += 2;
            }
        } else {
            int j = i;
            while (j < n && b[j] != '{' && b[j] != '}' && b[j] != '\\' && b[j] != '\r' &&
                   b[j] != '\n')
                ++j;
            t.kind = RtfToken::Kind::Text;
            t.raw = b.mid(i, j - i);
            i = j;
        }
        tokens->push_back(std::move(t));
    }
    return true;
}

bool RtfDocument::Parse(const QByteArray& bytes, QString* error) {
    tokens_.clear();
    int start = 0;
    while (start < bytes.size() && QByteArrayView(" \t\r\n").contains(bytes[start]))
        ++start;
    if (!bytes.mid(start).startsWith("{\\rtf")) {
        *error = QStringLiteral("нет заголовка {\\rtf");
        return false;
    }
    std::vector<RtfToken> tokens;
    if (!Tokenize(bytes, &tokens)) {
        *error = QStringLiteral("файл обрывается посреди команды");
        return false;
    }
    int depth = 0;
    bool closed = false;
    for (const RtfToken& t : tokens) {
        if (closed && t.kind != RtfToken::Kind::Break &&
            !(t.kind == RtfToken::Kind::Text && t.raw.trimmed().replace('\0', "").isEmpty())) {
            *error = QStringLiteral("текст после конца документа");
            return false;
        }
        if (t.kind == RtfToken::Kind::GroupOpen)
            ++depth;
        if (t.kind == RtfToken::Kind::GroupClose && --depth == 0)
            closed = true;
    }
    if (!closed) {
        *error = QStringLiteral("группы не закрыты, файл неполон");
        return false;
    }
    tokens_ = std::move(tokens);
    return true;
}

QByteArray RtfDocument::Serialize() const {
    QByteArray out;
    const RtfToken* prev = nullptr;
    // The byte that follows the first one of token k in the output.
    const auto secondByte = [this](std::size_t k) -> char {
        const QByteArray& raw = tokens_[k].raw;
        if (raw.size() >= 2)
            return raw[1];
        return k + 1 < tokens_.size() && !tokens_[k + 1].raw.isEmpty() ? tokens_[k + 1].raw[0]
                                                                       : '\0';
    };
    for (std::size_t k = 0; k < tokens_.size(); ++k) {
        const RtfToken& t = tokens_[k];
        // A control word without its delimiting blank would swallow a letter,
        // digit or blank that an edit put right after it. After a parameter
        // only digits and a blank would be taken in, and a '-' only before a
        // digit: text read that way stays as read.
        if (prev && prev->kind == RtfToken::Kind::Word && !prev->raw.endsWith(' ') &&
            t.kind != RtfToken::Kind::Binary && !t.raw.isEmpty()) {
            const char c = t.raw[0];
            const bool joins = prev->hasParam ? IsDigit(c) || c == ' '
                                              : IsLetter(c) || IsDigit(c) || c == ' ' ||
                                                    (c == '-' && IsDigit(secondByte(k)));
            if (joins)
                out += ' ';
        }
        out += t.raw;
        prev = &t;
    }
    return out;
}

int RtfDocument::groupEnd(int open) const {
    int depth = 0;
    for (int i = open; i < Size(); ++i) {
        if (tokens_[i].kind == RtfToken::Kind::GroupOpen)
            ++depth;
        else if (tokens_[i].kind == RtfToken::Kind::GroupClose && --depth == 0)
            return i;
    }
    return Size() - 1;
}

QString RtfDocument::Decode(const QByteArray& bytes) {
    // Code page 1251 has one character per byte, so the decoder keeps no
    // state between calls.
    thread_local QStringDecoder decoder("windows-1251", QStringConverter::Flag::Default);
    return decoder(bytes);
}

QByteArray RtfDocument::Escape(const QString& text) {
    QByteArray out;
    bool wide = false;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == '\n') {
            out += "\\par ";
        } else if (u < 0x20) {
            continue; // other control characters have no place in a text
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            wide = true;
            out += "\\u" + QByteArray::number(u > 32767 ? int(u) - 65536 : int(u));
            const auto fallback =
                static_cast<unsigned char>(ch.isSurrogate() ? '?' : EncodeCp1251(ch));
            out += "\\'" + QByteArray::number(fallback, 16).rightJustified(2, '0');
        }
    }
    // The fallback count must be one whatever \uc the place of insertion has.
    return wide ? "{\\uc1 " + out + "}" : out;
}
