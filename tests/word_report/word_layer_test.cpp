#include "summator/word_rtf_app.h"
#include "tests/word_report/report_rows.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class WordLayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        templatePath_ = dir_.filePath(QStringLiteral("Dot_n.dot"));
        ASSERT_TRUE(WriteAll(templatePath_, ShippedTemplate()));
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QString templatePath_;
    QStringList shown_;
    RtfWordApplication word_{[this](const QString& path) { shown_ << path; }};
};

TEST_F(WordLayer, OpenRefusesMissingAndForeignFiles) {
    struct Case {
        const char* what;
        QByteArray bytes; // null: the file is missing
        QString error;
    };
    const Case cases[] = {
        {"missing", QByteArray(), QStringLiteral("Невозможно открыть файл ")},
        {"not RTF", "Dot_n", QStringLiteral("не является документом RTF: нет заголовка")},
        {"cut off", ShippedTemplate().left(900), QStringLiteral("не является документом RTF")},
    };
    for (const Case& c : cases) {
        const QString path = Path(QStringLiteral("case.dot"));
        QFile::remove(path);
        if (!c.bytes.isNull()) {
            ASSERT_TRUE(WriteAll(path, c.bytes));
        }
        EXPECT_EQ(word_.Documents()->Open(path), nullptr) << c.what;
        EXPECT_TRUE(word_.LastError().contains(c.error))
            << c.what << ": " << word_.LastError().toStdString();
        EXPECT_TRUE(word_.LastError().contains(QDir::toNativeSeparators(path))) << c.what;
        EXPECT_EQ(word_.ActiveDocument(), nullptr) << c.what;
    }
    EXPECT_EQ(word_.Selection(), nullptr);
}

TEST_F(WordLayer, GoToOnlyKnowsBookmarks) {
    ASSERT_NE(word_.Documents()->Open(templatePath_), nullptr);
    WordSelection* s = word_.Selection();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("NARMH")));
    EXPECT_FALSE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("narm")));
    EXPECT_TRUE(word_.LastError().contains(QStringLiteral("нет закладки \"narm\"")));
    EXPECT_FALSE(s->GoTo(1, QVariant(), QVariant(), QStringLiteral("narmh")));
    EXPECT_FALSE(s->GoTo(wdGoToBookmark, QVariant(1), QVariant(), QStringLiteral("narmh")));
}

TEST_F(WordLayer, TypedTextLandsInTheBookmark) {
    WordDocument* doc = word_.Documents()->Open(templatePath_);
    ASSERT_NE(doc, nullptr);
    WordSelection* s = word_.Selection();
    ASSERT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("narmh")));
    ASSERT_TRUE(s->TypeText(QStringLiteral("46")));
    ASSERT_TRUE(s->TypeText(QStringLiteral("60 ч")));
    // Going to the bookmark again selects what it holds; typing replaces it.
    ASSERT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("kolcyc")));
    ASSERT_TRUE(s->TypeText(QStringLiteral("999")));
    ASSERT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("kolcyc")));
    ASSERT_TRUE(s->TypeText(QStringLiteral("1000")));
    const RtfDocument* model = word_.ActiveDocument();
    EXPECT_EQ(model->BookmarkText(QStringLiteral("narmh")), QStringLiteral("4660 ч"));
    EXPECT_EQ(model->BookmarkText(QStringLiteral("kolcyc")), QStringLiteral("1000"));
    EXPECT_TRUE(model->PlainText().contains(QStringLiteral("Наработка, часов: 4660 ч\n")));
    EXPECT_TRUE(model->PlainText().contains(QStringLiteral("Количество циклов: 1000\n")));
}

TEST_F(WordLayer, TableCellsAndRowsFollowTheSelection) {
    ASSERT_NE(word_.Documents()->Open(templatePath_), nullptr);
    WordSelection* s = word_.Selection();
    ASSERT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("table1")));
    const QStringList first{"a1", "b1", "c1", "d1", "e1"};
    const QStringList second{"a2", "", "c2", "d2", ""};
    for (const QString& cell : first) {
        ASSERT_TRUE(s->TypeText(cell));
        ASSERT_TRUE(s->MoveRight());
    }
    ASSERT_TRUE(s->InsertRowsBelow());
    for (const QString& cell : second) {
        ASSERT_TRUE(s->TypeText(cell));
        ASSERT_TRUE(s->MoveRight());
    }
    // Past the last cell of the last row there is nowhere to move to.
    EXPECT_FALSE(s->MoveRight());
    const std::vector<QStringList> rows = word_.ActiveDocument()->TableTexts();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], first);
    EXPECT_EQ(rows[2], second);
}

TEST_F(WordLayer, TableCallsOutsideATableFail) {
    ASSERT_NE(word_.Documents()->Open(templatePath_), nullptr);
    WordSelection* s = word_.Selection();
    ASSERT_TRUE(s->GoTo(wdGoToBookmark, QVariant(), QVariant(), QStringLiteral("sumves")));
    EXPECT_FALSE(s->MoveRight());
    EXPECT_TRUE(word_.LastError().contains(QStringLiteral("не в таблице")));
    word_.Documents(); // an unrelated call keeps the error
    EXPECT_FALSE(s->InsertRowsBelow());
    EXPECT_TRUE(word_.LastError().contains(QStringLiteral("InsertRowsBelow")));
}

TEST_F(WordLayer, SaveAsWritesTheWholeDocumentOrNothing) {
    WordDocument* doc = word_.Documents()->Open(templatePath_);
    ASSERT_NE(doc, nullptr);
    const QString saved = Path(QStringLiteral("list.doc"));
    ASSERT_TRUE(WriteAll(saved, "an older report"));
    ASSERT_TRUE(doc->SaveAs(saved));
    EXPECT_EQ(ReadAll(saved), ShippedTemplate());
    EXPECT_EQ(word_.LastSavedPath(), saved);

    const QString nowhere = Path(QStringLiteral("no such folder/list.doc"));
    EXPECT_FALSE(doc->SaveAs(nowhere));
    EXPECT_EQ(word_.LastError(),
              QStringLiteral("Невозможно открыть файл ") + QDir::toNativeSeparators(nowhere));
    EXPECT_FALSE(QFile::exists(nowhere));
    EXPECT_EQ(word_.LastSavedPath(), saved);
}

TEST_F(WordLayer, ReleaseShowsOnlyACompleteVisibleDocument) {
    struct Case {
        const char* what;
        bool visible;
        bool save;
        bool failOnTheWay;
        bool shown;
    };
    const Case cases[] = {
        {"visible and saved", true, true, false, true},
        {"not visible", false, true, false, false},
        {"never saved", true, false, false, false},
        {"a call failed", true, true, true, false},
    };
    for (const Case& c : cases) {
        shown_.clear();
        RtfWordApplication word([this](const QString& path) { shown_ << path; });
        WordDocument* doc = word.Documents()->Open(templatePath_);
        ASSERT_NE(doc, nullptr) << c.what;
        ASSERT_TRUE(word.SetVisible(c.visible));
        if (c.save) {
            ASSERT_TRUE(doc->SaveAs(Path(QStringLiteral("list.doc")))) << c.what;
        }
        if (c.failOnTheWay) {
            EXPECT_FALSE(word.Selection()->MoveRight()) << c.what;
        }
        word.Release();
        word.Release(); // shown once only
        EXPECT_EQ(shown_, c.shown ? QStringList{Path(QStringLiteral("list.doc"))} : QStringList())
            << c.what;
    }
}

} // namespace
