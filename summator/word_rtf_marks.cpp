#include "summator/word_rtf.h"

#include <QSet>

#include <algorithm>

// What the report finds and fills in the token stream: bookmarks, the
// visible text, table rows and the edits at token positions.

namespace {

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
    mark.name = RtfDocument::Decode(name).trimmed();
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
                out[i] = Decode(QByteArray(1, static_cast<char>(t.param)));
            break;
        case RtfToken::Kind::Text: {
            QByteArray bytes = t.raw;
            const int drop = std::min<int>(fallback, static_cast<int>(bytes.size()));
            bytes.remove(0, drop);
            fallback -= drop;
            if (!st.skip)
                out[i] = Decode(bytes);
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
