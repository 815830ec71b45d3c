#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One lexical piece of an RTF file. The raw bytes are kept exactly as read,
// so a document written back differs from its template only where it was
// edited.
struct RtfToken {
    enum class Kind { GroupOpen, GroupClose, Word, Symbol, Hex, Text, Break, Binary };

    Kind kind = Kind::Text;
    QByteArray raw;  // the bytes as in the file, with a word's delimiting blank
    QByteArray name; // control word without the backslash, or the symbol
    int param = 0;   // control word parameter, or the byte of \'XX
    bool hasParam = false;

    [[nodiscard]] bool IsWord(const char* word) const { return kind == Kind::Word && name == word; }
};

// An RTF document as a list of tokens, with what the report needs of it:
// bookmarks, table rows, their texts and edits at token positions. A position
// p means "before token p". Reading and writing the tokens: word_rtf.cpp;
// bookmarks, tables and edits: word_rtf_marks.cpp.
class RtfDocument {
public:
    struct Range {
        int begin = 0;
        int end = 0; // exclusive
    };

    // One table row: from its start (\trowd, or the paragraph start) to its
    // \row token, and the position of every \cell token in between.
    struct Row {
        int begin = 0;
        int rowToken = 0;
        std::vector<int> cells;
    };

    // Reads the bytes of an RTF file. False, with the reason in *error, when
    // they are no RTF document (no "{\rtf" header, unbalanced groups).
    [[nodiscard]] bool Parse(const QByteArray& bytes, QString* error);
    [[nodiscard]] QByteArray Serialize() const;

    [[nodiscard]] int Size() const { return static_cast<int>(tokens_.size()); }
    [[nodiscard]] const std::vector<RtfToken>& Tokens() const { return tokens_; }

    // The span of a bookmark: between its start mark and its end mark (empty
    // for a bookmark that marks a place). Names compare case-insensitively.
    [[nodiscard]] std::optional<Range> Bookmark(const QString& name) const;
    [[nodiscard]] QStringList BookmarkNames() const;
    [[nodiscard]] QString BookmarkText(const QString& name) const;

    // Every table row in document order; the row holding a position.
    [[nodiscard]] std::vector<Row> Rows() const;
    [[nodiscard]] std::optional<Row> RowAt(int position) const;
    // The texts of every cell of every table row, in document order.
    [[nodiscard]] std::vector<QStringList> TableTexts() const;

    // The visible text of the whole body, paragraphs as '\n', cells as '\t'.
    [[nodiscard]] QString PlainText() const;
    [[nodiscard]] QString PlainText(Range range) const;

    // Inserts text at a position; returns the number of tokens it became.
    int InsertText(int position, const QString& text);
    // Removes the visible text (not the structure) in a range; returns the
    // number of tokens removed.
    int RemoveText(Range range);
    // Inserts an empty copy of a row right below it (texts and bookmarks
    // left out); returns the position of the copy's first \cell token, or -1
    // when the row has no cell.
    int InsertEmptyRowBelow(const Row& row);

    // RTF source for a text: \, { and } escaped, non-ASCII characters as
    // \uN with the code page 1251 byte as the fallback.
    [[nodiscard]] static QByteArray Escape(const QString& text);
    // Text bytes of the document (code page 1251) as characters.
    [[nodiscard]] static QString Decode(const QByteArray& bytes);
    // Splits RTF source into tokens; false when it is cut off inside a token.
    [[nodiscard]] static bool Tokenize(const QByteArray& bytes, std::vector<RtfToken>* tokens);

private:
    // What every token shows as text, with destinations left out.
    [[nodiscard]] std::vector<QString> visibleTexts() const;
    [[nodiscard]] int groupEnd(int open) const;
    [[nodiscard]] int rowEnd(const Row& row) const;

    std::vector<RtfToken> tokens_;
};
