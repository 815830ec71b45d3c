#include "summator/word_rtf.h"
#include "tests/word_report/report_rows.h"

#include <gtest/gtest.h>

namespace {

RtfDocument Parsed(const QByteArray& bytes) {
    RtfDocument doc;
    QString error;
    EXPECT_TRUE(doc.Parse(bytes, &error)) << error.toStdString();
    return doc;
}

// A document written out and read back, as a saved file would be.
RtfDocument Reparsed(const RtfDocument& doc) {
    return Parsed(doc.Serialize());
}

TEST(RtfParse, RejectsWhatIsNoRtfDocument) {
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"plain text", "Hello, world"},
        {"empty file", ""},
        {"binary word file", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)},
        {"cut off inside groups", "{\\rtf1 {\\b text}"},
        {"cut off inside a command", "{\\rtf1 text\\"},
        {"bad hexadecimal byte", "{\\rtf1 \\'zz}"},
        {"binary data longer than the file", "{\\rtf1 \\bin20 ab}"},
        {"a brace too many", "{\\rtf1 a}}"},
        {"text after the end", "{\\rtf1 a} more"},
    };
    for (const Case& c : cases) {
        RtfDocument doc;
        QString error;
        EXPECT_FALSE(doc.Parse(c.bytes, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_EQ(doc.Size(), 0) << c.what;
    }
}

TEST(RtfParse, WritesBackWhatItReadByteForByte) {
    const QByteArray shipped = ShippedTemplate();
    ASSERT_FALSE(shipped.isEmpty());
    EXPECT_EQ(Parsed(shipped).Serialize(), shipped);

    const QByteArray binary("{\\rtf1 {\\pict\\bin4 }{\\}}after}\r\n");
    EXPECT_EQ(Parsed(binary).Serialize(), binary);
    EXPECT_EQ(Parsed(binary).PlainText(), QStringLiteral("after"));

    // Letters right after a parameter, and a '-' before no digit, end the
    // word without a blank.
    const QByteArray tight("{\\rtf1 \\brd1wr0\\f2-x\\b-y\\f-\\fs24 \\ce333333333333333 }");
    EXPECT_EQ(Parsed(tight).Serialize(), tight);
}

TEST(RtfText, VisibleTextLeavesOutTablesOfFontsAndMarks) {
    const RtfDocument doc = Parsed("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}"
                                   "{\\*\\generator x;}\\pard A\\'c6{\\*\\bkmkstart m}"
                                   "{\\*\\bkmkend m}\\u1046\\'3fB\\par {\\uc2\\u1046\\'c6\\'c6}C}");
    EXPECT_EQ(doc.PlainText(), QStringLiteral("AЖЖB\nЖC"));
}

TEST(RtfText, EscapesWhatRtfGivesAMeaning) {
    struct Case {
        QString text;
        QByteArray rtf;
    };
    const Case cases[] = {
        {QStringLiteral("12.03.2009"), "12.03.2009"},
        {QStringLiteral("a\\b"), "a\\\\b"},
        {QStringLiteral("{x}"), "\\{x\\}"},
        {QStringLiteral("a\tb"), "a\\tab b"},
        {QStringLiteral("a\nb"), "a\\par b"},
        {QStringLiteral("a\x01"), "a"},
        {QStringLiteral("Ж"), "{\\uc1 \\u1046\\'c6}"},
        {QStringLiteral("€"), "{\\uc1 \\u8364\\'88}"},
        {QStringLiteral("中"), "{\\uc1 \\u20013\\'3f}"},
        {QStringLiteral("가"), "{\\uc1 \\u-21504\\'3f}"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RtfDocument::Escape(c.text), c.rtf) << c.text.toStdString();
}

TEST(RtfText, InsertedTextReadsBackUnchanged) {
    const QString texts[] = {
        QStringLiteral("4660"),
        QStringLiteral(" leading blank"),
        QStringLiteral("-5"),
        QStringLiteral("Отчет о работе крана"),
        QStringLiteral("back\\slash {braces} } {"),
        QStringLiteral("ёЁ №€ 中 😀"),
    };
    // Right after a control word without its blank, in a group with a wider
    // fallback count, and at the very start of the body.
    struct Place {
        QByteArray source; // '|' marks the place of insertion
        QString before;
        QString after;
    };
    const Place places[] = {
        {"{\\rtf1\\pard\\b|\\par}", "", "\n"},
        {"{\\rtf1 {\\uc2 x\\b0|y}}", "x", "y"},
        {"{\\rtf1 |}", "", ""},
    };
    for (const Place& place : places) {
        for (const QString& text : texts) {
            QByteArray source = place.source;
            const auto at = source.indexOf('|');
            source.remove(at, 1);
            std::vector<RtfToken> head;
            ASSERT_TRUE(RtfDocument::Tokenize(source.left(at), &head));
            RtfDocument doc = Parsed(source);
            doc.InsertText(static_cast<int>(head.size()), text);
            EXPECT_EQ(Reparsed(doc).PlainText(), place.before + text + place.after)
                << place.source.constData() << " / " << text.toStdString();
        }
    }
}

TEST(RtfBookmarks, FoundByNameInAnyCase) {
    const RtfDocument doc = Parsed(ShippedTemplate());
    EXPECT_EQ(doc.BookmarkNames(),
              (QStringList{"dateend", "datestart", "narmh", "kolcyc", "sumves", "table1"}));
    for (const QString& name : doc.BookmarkNames()) {
        const auto range = doc.Bookmark(name.toUpper());
        ASSERT_TRUE(range.has_value()) << name.toStdString();
        EXPECT_EQ(range->begin, range->end) << "a place, no span: " << name.toStdString();
    }
    EXPECT_FALSE(doc.Bookmark(QStringLiteral("table2")).has_value());
    EXPECT_FALSE(doc.Bookmark(QString()).has_value());
}

TEST(RtfBookmarks, SpanReplacedByRemovingItsText) {
    RtfDocument doc = Parsed("{\\rtf1 a{\\*\\bkmkstart m}old {\\b text}\\'c6{\\*\\bkmkend m}z}");
    auto range = doc.Bookmark(QStringLiteral("m"));
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(doc.BookmarkText(QStringLiteral("m")), QStringLiteral("old textЖ"));
    const int removed = doc.RemoveText(*range);
    EXPECT_EQ(removed, 3);
    EXPECT_EQ(doc.BookmarkText(QStringLiteral("m")), QString());
    doc.InsertText(range->end - removed, QStringLiteral("new"));
    EXPECT_EQ(Reparsed(doc).BookmarkText(QStringLiteral("m")), QStringLiteral("new"));
    EXPECT_EQ(Reparsed(doc).PlainText(), QStringLiteral("anewz"));
}

TEST(RtfTables, TemplateHasHeadingAndOneEmptyRow) {
    const RtfDocument doc = Parsed(ShippedTemplate());
    const std::vector<QStringList> rows = doc.TableTexts();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0],
              (QStringList{"Кол-во циклов", "Дата", "Время", "Вес за цикл", "Вылет за цикл"}));
    EXPECT_EQ(rows[1], QStringList(5, QString()));
    const auto table1 = doc.Bookmark(QStringLiteral("table1"));
    ASSERT_TRUE(table1.has_value());
    const auto row = doc.RowAt(table1->begin);
    ASSERT_TRUE(row.has_value());
    EXPECT_LT(table1->begin, row->cells.front()) << "table1 lies in the first cell";
    EXPECT_FALSE(doc.RowAt(doc.Bookmark(QStringLiteral("narmh"))->begin).has_value());
}

TEST(RtfTables, EmptyCopyOfARowGoesBelowIt) {
    struct Case {
        const char* what;
        QByteArray source;
    };
    const Case cases[] = {
        {"properties in front", "{\\rtf1 \\par\\trowd\\cellx100\\cellx200\\pard\\intbl "
                                "{\\*\\bkmkstart t}{\\*\\bkmkend t}a\\cell {\\b b}\\cell\\row "
                                "\\pard after\\par}"},
        {"properties repeated in a group after the cells",
         "{\\rtf1 before\\par\\pard\\intbl a{\\*\\bkmkstart t}{\\*\\bkmkend t}\\cell b\\cell"
         "{\\trowd\\cellx100\\cellx200\\row}\\pard after\\par}"},
    };
    for (const Case& c : cases) {
        RtfDocument doc = Parsed(c.source);
        const auto row = doc.RowAt(doc.Bookmark(QStringLiteral("t"))->begin);
        ASSERT_TRUE(row.has_value()) << c.what;
        const int first = doc.InsertEmptyRowBelow(*row);
        ASSERT_GT(first, row->rowToken) << c.what;
        EXPECT_TRUE(doc.Tokens()[first].IsWord("cell")) << c.what;
        doc.InsertText(first, QStringLiteral("c"));
        const RtfDocument back = Reparsed(doc);
        const std::vector<QStringList> rows = back.TableTexts();
        ASSERT_EQ(rows.size(), 2u) << c.what;
        EXPECT_EQ(rows[0], (QStringList{"a", "b"})) << c.what;
        EXPECT_EQ(rows[1], (QStringList{"c", ""})) << c.what;
        EXPECT_EQ(back.BookmarkNames(), QStringList{"t"}) << "the mark is not copied";
        EXPECT_TRUE(back.PlainText().endsWith(QStringLiteral("after\n"))) << c.what;
    }
}

TEST(RtfTables, RowThatCannotBeCopiedWhole) {
    // The row starts inside a group that closes before its end.
    RtfDocument doc = Parsed("{\\rtf1 {\\trowd\\cellx100\\pard\\intbl a\\cell}\\row}");
    const auto rows = doc.Rows();
    ASSERT_EQ(rows.size(), 1u);
    const int size = doc.Size();
    EXPECT_EQ(doc.InsertEmptyRowBelow(rows[0]), -1);
    EXPECT_EQ(doc.Size(), size);
}

} // namespace
