#include "summator/word_rtf.h"

#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <climits>

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

QString DecodeCp1251(const QByteArray& bytes) {
    // Code page 1251 has one character per byte, so the decoder keeps no
    // state between calls.
    thread_local QStringDecoder decoder("windows-1251", QStringConverter::Flag::Default);
    return decoder(bytes);
}

char EncodeCp1251(QChar ch) {
    thread_local QStringEncoder encoder("windows-1251", QStringConverter::Flag::Default);
    const QByteArray bytes = encoder(QString(ch));
    // The converter's own substitute is not '?' on every platform: a byte that
    // does not read back as the character is no fallback for it.
    return bytes.size() == 1 && DecodeCp1251(bytes) == QString(ch) ? bytes[0] : '?';
}

// Groups whose content is no visible text of the body.
bool IsDestination(const QByteArray& word) {
    static const QSet<QByteArray> names = {
        "fonttbl",      "colortbl",  "stylesheet", "info",      "pict",
        "header",       "headerl",   "headerr",    "headerf",   "footer",
        "footerl",      "footerr",   "footerf",    "listtable", "listoverridetable",
        "rsidtbl",      "generator", "xmlnstbl",   "themedata", "colorschememapping",
        "latentstyles", "datastore", "object",     "fldinst",   "filetbl",
        "revtbl",       "bkmkstart", "bkmkend",    "footnote",  "annotation"};
    return names.contains(word);
}

// Pieces that stand for visible text: what an emptied row leaves out.
bool IsContent(const RtfToken& t) {
    switch (t.kind) {
    case RtfToken::Kind::Text:
    case RtfToken::Kind::Hex:
        return true;
    case RtfToken::Kind::Symbol:
        return t.name == "\\" || t.name == "{" || t.name == "}" || t.name == "~" || t.name == "_" ||
               t.name == "-";
    case RtfToken::Kind::Word:
        return t.name == "u" || t.name == "tab" || t.name == "line" || t.name == "par";
    default:
        return false;
    }
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

namespace {

// The bookmark mark a group opened at `open` holds: its kind ("bkmkstart" or
// "bkmkend") and name, or an empty kind.
struct Mark {
    QByteArray kind;
    QString name;
};

Mark MarkAt(const std::vector<RtfToken>& tokens, int open) {
    const int n = static_cast<int>(tokens.size());
    if (open >= n || tokens[open].kind != RtfToken::Kind::GroupOpen)
        return {};
    int j = open + 1;
    if (j < n && tokens[j].kind == RtfToken::Kind::Symbol && tokens[j].name == "*")
        ++j;
    if (j >= n || !(tokens[j].IsWord("bkmkstart") || tokens[j].IsWord("bkmkend")))
        return {};
    Mark mark{tokens[j].name, {}};
    QByteArray name;
    for (++j; j < n && tokens[j].kind != RtfToken::Kind::GroupClose; ++j) {
        if (tokens[j].kind == RtfToken::Kind::Text)
            name += tokens[j].raw;
        else if (tokens[j].kind == RtfToken::Kind::Hex)
            name += static_cast<char>(tokens[j].param);
    }
    mark.name = DecodeCp1251(name).trimmed();
    return mark;
}

} // namespace

std::optional<RtfDocument::Range> RtfDocument::Bookmark(const QString& name) const {
    for (int i = 0; i < Size(); ++i) {
        const Mark start = MarkAt(tokens_, i);
        if (start.kind != "bkmkstart" || start.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        Range range;
        range.begin = groupEnd(i) + 1;
        range.end = range.begin;
        for (int j = range.begin; j < Size(); ++j) {
            const Mark end = MarkAt(tokens_, j);
            if (end.kind == "bkmkend" && end.name.compare(name, Qt::CaseInsensitive) == 0) {
                range.end = j;
                break;
            }
        }
        return range;
    }
    return std::nullopt;
}

QStringList RtfDocument::BookmarkNames() const {
    QStringList names;
    for (int i = 0; i < Size(); ++i) {
        const Mark mark = MarkAt(tokens_, i);
        if (mark.kind == "bkmkstart")
            names << mark.name;
    }
    return names;
}

QString RtfDocument::BookmarkText(const QString& name) const {
    const std::optional<Range> range = Bookmark(name);
    return range ? PlainText(*range) : QString();
}

std::vector<QString> RtfDocument::visibleTexts() const {
    struct State {
        bool skip = false;
        int uc = 1;
    };
    std::vector<QString> out(tokens_.size());
    std::vector<State> stack;
    State st;
    int fallback = 0; // characters still to drop after a \uN
    bool groupStart = false;
    for (int i = 0; i < Size(); ++i) {
        const RtfToken& t = tokens_[i];
        const bool atStart = groupStart;
        groupStart = false;
        switch (t.kind) {
        case RtfToken::Kind::GroupOpen:
            stack.push_back(st);
            groupStart = true;
            fallback = 0;
            break;
        case RtfToken::Kind::GroupClose:
            if (!stack.empty()) {
                st = stack.back();
                stack.pop_back();
            }
            fallback = 0;
            break;
        case RtfToken::Kind::Symbol:
            if (t.name == "*" && atStart) {
                st.skip = true;
                groupStart = true;
            } else if (fallback > 0) {
                --fallback;
            } else if (!st.skip) {
                if (t.name == "\\" || t.name == "{" || t.name == "}")
                    out[i] = QString::fromLatin1(t.name);
                else if (t.name == "~")
                    out[i] = QStringLiteral(" ");
                else if (t.name == "_")
                    out[i] = QStringLiteral("-");
                else if (t.name == "\n" || t.name == "\r")
                    out[i] = QStringLiteral("\n");
            }
            break;
        case RtfToken::Kind::Word:
            if (atStart && IsDestination(t.name))
                st.skip = true;
            if (t.name == "uc") {
                st.uc = t.hasParam ? t.param : 1;
            } else if (t.name == "u") {
                if (!st.skip)
                    out[i] = QChar(static_cast<char16_t>(t.param < 0 ? t.param + 65536 : t.param));
                fallback = st.uc;
            } else if (!st.skip) {
                if (t.name == "par" || t.name == "line" || t.name == "row" || t.name == "sect" ||
                    t.name == "page")
                    out[i] = QStringLiteral("\n");
                else if (t.name == "tab" || t.name == "cell")
                    out[i] = QStringLiteral("\t");
                else if (t.name == "emdash")
                    out[i] = QString(QChar(0x2014));
                else if (t.name == "endash")
                    out[i] = QString(QChar(0x2013));
            }
            break;
        case RtfToken::Kind::Hex:
            if (fallback > 0)
                --fallback;
            else if (!st.skip)
                out[i] = DecodeCp1251(QByteArray(1, static_cast<char>(t.param)));
            break;
        case RtfToken::Kind::Text: {
            QByteArray bytes = t.raw;
            const int drop = std::min<int>(fallback, static_cast<int>(bytes.size()));
            bytes.remove(0, drop);
            fallback -= drop;
            if (!st.skip)
                out[i] = DecodeCp1251(bytes);
            break;
        }
        case RtfToken::Kind::Break:
        case RtfToken::Kind::Binary:
            break;
        }
    }
    return out;
}

QString RtfDocument::PlainText() const {
    return PlainText({0, Size()});
}

QString RtfDocument::PlainText(Range range) const {
    const std::vector<QString> texts = visibleTexts();
    QString out;
    for (int i = std::max(0, range.begin); i < std::min(range.end, Size()); ++i)
        out += texts[i];
    return out;
}

std::vector<RtfDocument::Row> RtfDocument::Rows() const {
    std::vector<Row> rows;
    int afterRow = 0; // first position after the previous row
    int afterPar = 0; // first position after the last paragraph outside a row
    int trowd = -1;   // \trowd that opens the row being read
    std::vector<int> cells;
    for (int i = 0; i < Size(); ++i) {
        const RtfToken& t = tokens_[i];
        if (t.kind != RtfToken::Kind::Word)
            continue;
        if (t.name == "trowd" && trowd < 0 && cells.empty()) {
            trowd = i;
        } else if (t.name == "par" && trowd < 0 && cells.empty()) {
            afterPar = i + 1;
        } else if (t.name == "cell") {
            cells.push_back(i);
        } else if (t.name == "row") {
            Row row;
            row.begin = trowd >= 0 ? trowd : std::max(afterRow, afterPar);
            row.rowToken = i;
            row.cells = std::move(cells);
            rows.push_back(std::move(row));
            cells.clear();
            trowd = -1;
            afterRow = i + 1;
        }
    }
    return rows;
}

std::optional<RtfDocument::Row> RtfDocument::RowAt(int position) const {
    for (Row& row : Rows()) {
        if (position >= row.begin && position <= row.rowToken)
            return row;
    }
    return std::nullopt;
}

std::vector<QStringList> RtfDocument::TableTexts() const {
    const std::vector<QString> texts = visibleTexts();
    std::vector<QStringList> out;
    for (const Row& row : Rows()) {
        QStringList cells;
        int from = row.begin;
        for (int cell : row.cells) {
            QString text;
            for (int i = from; i < cell; ++i)
                text += texts[i];
            cells << text;
            from = cell + 1;
        }
        out.push_back(cells);
    }
    return out;
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

int RtfDocument::InsertText(int position, const QString& text) {
    std::vector<RtfToken> added;
    if (!Tokenize(Escape(text), &added))
        return 0; // cannot happen: escaped text is complete RTF
    position = std::clamp(position, 0, Size());
    tokens_.insert(tokens_.begin() + position, added.begin(), added.end());
    return static_cast<int>(added.size());
}

int RtfDocument::RemoveText(Range range) {
    std::vector<int> doomed;
    for (int i = std::max(0, range.begin); i < std::min(range.end, Size()); ++i) {
        const RtfToken& t = tokens_[i];
        const bool destination = t.kind == RtfToken::Kind::GroupOpen && i + 1 < Size() &&
                                 tokens_[i + 1].kind == RtfToken::Kind::Symbol &&
                                 tokens_[i + 1].name == "*";
        if (destination || !MarkAt(tokens_, i).kind.isEmpty())
            i = groupEnd(i);
        else if (IsContent(t))
            doomed.push_back(i);
    }
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
        tokens_.erase(tokens_.begin() + *it);
    return static_cast<int>(doomed.size());
}

int RtfDocument::rowEnd(const Row& row) const {
    int depth = 0;
    for (int i = row.begin; i <= row.rowToken; ++i) {
        if (tokens_[i].kind == RtfToken::Kind::GroupOpen)
            ++depth;
        else if (tokens_[i].kind == RtfToken::Kind::GroupClose && --depth < 0)
            return -1;
    }
    int end = row.rowToken + 1;
    // Row properties are often repeated in a group closed after \row.
    while (depth > 0 && end < Size() &&
           (tokens_[end].kind == RtfToken::Kind::GroupClose ||
            tokens_[end].kind == RtfToken::Kind::Break)) {
        if (tokens_[end].kind == RtfToken::Kind::GroupClose)
            --depth;
        ++end;
    }
    return depth == 0 ? end : -1;
}

int RtfDocument::InsertEmptyRowBelow(const Row& row) {
    const int end = rowEnd(row);
    if (end < 0 || row.cells.empty())
        return -1;
    std::vector<RtfToken> copy;
    RtfToken lineBreak;
    lineBreak.kind = RtfToken::Kind::Break;
    lineBreak.raw = "\r\n";
    copy.push_back(lineBreak);
    int firstCell = -1;
    for (int i = row.begin; i < end; ++i) {
        const RtfToken& t = tokens_[i];
        if (!MarkAt(tokens_, i).kind.isEmpty()) {
            i = groupEnd(i); // the bookmark stays in the original row only
            continue;
        }
        if (IsContent(t))
            continue;
        if (firstCell < 0 && t.IsWord("cell"))
            firstCell = static_cast<int>(copy.size());
        copy.push_back(t);
    }
    tokens_.insert(tokens_.begin() + end, copy.begin(), copy.end());
    return end + firstCell;
}
