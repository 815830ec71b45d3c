#include "app/message_texts_dialog.h"
#include "decoding/reasons.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <string>

namespace {

struct KindCase {
    const char* name;
    TextsKind kind;
    const char* form;
    const char* caption;
    const char* grid;
    const char* numberTitle;
    int top;
};

const KindCase Kinds[] = {
    {"other", TextsKind::Other, "TOGPForm", "Сообщения ОГП", "OGPGrid", "Код сообщения", 274},
    {"relay", TextsKind::Relay, "TRELForm", "Срабатывания реле", "RELGrid", "Сработавшее реле",
     179},
    {"digOut", TextsKind::DigOut, "TDIGForm", "Цифровые выходы", "DIGGrid", "Цифровой вЫход", 211},
    {"digIn", TextsKind::DigIn, "TREGForm", "Цифровые входы", "REGGrid", "Цифровой вход", 243},
};

// Eight distinct texts, so a row showing the wrong entry is caught.
QStringList Numbered(const QString& stem) {
    QStringList list;
    for (int k = 0; k < 8; ++k)
        list << QStringLiteral("%1 %2").arg(stem).arg(k + 1);
    return list;
}

// Types text into a widget one key press at a time, as the keyboard would;
// unlike QTest::keyClicks it takes any letter, not only ASCII ones.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Return commits the editor's text and closes it; the grid does both from
// the event queue.
void PressReturn(QWidget* editor) {
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
}

// Opens the in-place editor of text row `row` and returns it.
QLineEdit* OpenEditor(MessageTextsDialog& dialog, int row) {
    QTableWidget* grid = dialog.Grid();
    grid->setCurrentCell(row, 1);
    grid->editItem(grid->item(row, 1));
    return qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(row, 1)));
}

// --- Layout per kind -----------------------------------------------------------

class DialogLayoutTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(DialogLayoutTest, WindowAndGridAsDescribed) {
    const KindCase& c = GetParam();
    QStringList list = Numbered(QStringLiteral("текст"));
    MessageTextsDialog dialog(c.kind, list, nullptr);

    EXPECT_EQ(dialog.objectName(), QString::fromUtf8(c.form));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.caption));
    EXPECT_EQ(MessageTextsDialog::Caption(c.kind), QString::fromUtf8(c.caption));
    EXPECT_EQ(dialog.accessibleName(), QString::fromUtf8(c.caption));
    EXPECT_FALSE(dialog.isModal());
    EXPECT_FALSE(dialog.isVisible()) << "created hidden";
    EXPECT_EQ(dialog.size(), QSize(342, 173));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "not resizable";
    EXPECT_EQ(dialog.pos(), QPoint(595, c.top));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog.font().family(), "Lucida Console");
    EXPECT_EQ(dialog.font().pixelSize(), 11);

    QTableWidget* grid = dialog.findChild<QTableWidget*>(QString::fromUtf8(c.grid));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid, dialog.Grid());
    EXPECT_EQ(grid->accessibleName(), QString::fromUtf8(c.caption));
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 342, 173)) << "fills the client area";
    EXPECT_EQ(grid->rowCount(), 9);
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_TRUE(grid->showGrid());
    EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(grid->rowHeight(row), (173 - 11) / 9) << row;
    EXPECT_EQ(grid->columnWidth(0), 150);
    EXPECT_EQ(grid->columnWidth(1), 342 - 150);

    EXPECT_EQ(grid->item(0, 0)->text(), QString::fromUtf8(c.numberTitle));
    EXPECT_EQ(grid->item(0, 1)->text(), "Текст сообщения");
    for (int row = 1; row <= 8; ++row) {
        EXPECT_EQ(grid->item(row, 0)->text(), QString::number(row - 1));
        EXPECT_EQ(grid->item(row, 1)->text(), list[row - 1]);
        EXPECT_TRUE(grid->item(row, 1)->flags() & Qt::ItemIsEditable) << row;
        EXPECT_FALSE(grid->item(row, 0)->flags() & Qt::ItemIsEditable) << row;
    }
    EXPECT_FALSE(grid->item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsEditable);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogLayoutTest, ::testing::ValuesIn(Kinds),
                         [](const auto& p) { return std::string(p.param.name); });

// --- Editing -------------------------------------------------------------------

class DialogEditTest : public ::testing::Test {
protected:
    QStringList list_ = MessageTexts::Defaults().relay;
    int edits_ = 0;
    MessageTextsDialog dialog_{TextsKind::Relay, list_, [this] { ++edits_; }};
};

TEST_F(DialogEditTest, EveryKeystrokeReachesTheListAtOnce) {
    dialog_.ShowAndRaise();
    QLineEdit* editor = OpenEditor(dialog_, 1);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(edits_, 0) << "opening the editor changes nothing";

    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(list_[0], "");
    Type(editor, QStringLiteral("Кран"));
    EXPECT_EQ(list_[0], "Кран");
    EXPECT_EQ(edits_, 5) << "one call per keystroke";
    EXPECT_EQ(list_[1], MessageTexts::Defaults().relay[1]) << "other rows untouched";

    PressReturn(editor);
    EXPECT_EQ(dialog_.Grid()->item(1, 1)->text(), "Кран");
    EXPECT_EQ(list_[0], "Кран");
    EXPECT_EQ(edits_, 5) << "committing the same text is no change";
}

TEST_F(DialogEditTest, EmptiedCellStoresAnEmptyText) {
    dialog_.ShowAndRaise();
    QLineEdit* editor = OpenEditor(dialog_, 8);
    ASSERT_NE(editor, nullptr);
    editor->clear();
    EXPECT_EQ(list_[7], "");
    EXPECT_EQ(edits_, 1);
    PressReturn(editor);
    EXPECT_EQ(dialog_.Grid()->item(8, 1)->text(), "");
    EXPECT_EQ(list_[7], "");
    EXPECT_EQ(list_.size(), 8);
}

TEST_F(DialogEditTest, CancelledEditLeavesTheListAsTheCellShows) {
    dialog_.ShowAndRaise();
    const QString old = list_[2];
    QLineEdit* editor = OpenEditor(dialog_, 3);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClicks(editor, QStringLiteral("xyz"));
    EXPECT_EQ(list_[2], old + "xyz");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(dialog_.Grid()->item(3, 1)->text(), old);
    EXPECT_EQ(list_[2], old);
    EXPECT_EQ(edits_, 4);
}

TEST_F(DialogEditTest, CommittedCellTextIsStored) {
    dialog_.Grid()->item(4, 1)->setText(QStringLiteral("новый"));
    EXPECT_EQ(list_[3], "новый");
    EXPECT_EQ(edits_, 1);
    dialog_.Grid()->item(4, 0)->setText(QStringLiteral("99"));
    EXPECT_EQ(list_[3], "новый") << "the number column edits nothing";
    EXPECT_EQ(edits_, 1);
}

TEST_F(DialogEditTest, PastedLineBreaksStayOnOneLine) {
    dialog_.ShowAndRaise();
    QLineEdit* editor = OpenEditor(dialog_, 5);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("две\r\nстроки"));
    EXPECT_FALSE(list_[4].contains(QLatin1Char('\n')));
    EXPECT_FALSE(list_[4].contains(QLatin1Char('\r')));
    EXPECT_TRUE(list_[4].startsWith(QStringLiteral("две")));
}

TEST_F(DialogEditTest, ActivationRefreshesFromTheList) {
    list_[6] = QStringLiteral("changed elsewhere");
    dialog_.Grid()->item(0, 0)->setText(QStringLiteral("junk"));
    dialog_.Grid()->item(7, 0)->setText(QStringLiteral("junk"));
    const int before = edits_;

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog_, &activate);

    EXPECT_EQ(dialog_.Grid()->item(7, 1)->text(), "changed elsewhere");
    EXPECT_EQ(dialog_.Grid()->item(0, 0)->text(), "Сработавшее реле");
    EXPECT_EQ(dialog_.Grid()->item(7, 0)->text(), "6");
    EXPECT_EQ(edits_, before) << "a refresh is no edit";
}

TEST_F(DialogEditTest, ShowingAgainRefreshesFromTheList) {
    dialog_.ShowAndRaise();
    dialog_.close();
    EXPECT_FALSE(dialog_.isVisible()) << "closing only hides";
    list_[0] = QStringLiteral("while hidden");
    dialog_.ShowAndRaise();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(dialog_.Grid()->item(1, 1)->text(), "while hidden");
    dialog_.ShowAndRaise(); // already open: stays open and shown
    EXPECT_TRUE(dialog_.isVisible());
}

TEST(DialogListTest, ShortListIsShownEmptyAndFilledUpOnEdit) {
    QStringList list{QStringLiteral("only")};
    MessageTextsDialog dialog(TextsKind::Other, list, nullptr);
    EXPECT_EQ(dialog.Grid()->item(1, 1)->text(), "only");
    EXPECT_EQ(dialog.Grid()->item(8, 1)->text(), "");
    dialog.Grid()->item(8, 1)->setText(QStringLiteral("last"));
    ASSERT_EQ(list.size(), 8);
    EXPECT_EQ(list[7], "last");
    EXPECT_EQ(list[1], "");
}

TEST(DialogListTest, TwoDialogsEditTheirOwnLists) {
    MessageTexts texts = MessageTexts::Defaults();
    int outEdits = 0;
    int inEdits = 0;
    MessageTextsDialog outputs(TextsKind::DigOut, texts.digOut, [&] { ++outEdits; });
    MessageTextsDialog inputs(TextsKind::DigIn, texts.digIn, [&] { ++inEdits; });
    outputs.ShowAndRaise();
    inputs.ShowAndRaise();

    QLineEdit* editor = OpenEditor(outputs, 2);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClicks(editor, QStringLiteral("!"));
    PressReturn(editor);
    inputs.Grid()->item(2, 1)->setText(QStringLiteral("вход"));

    EXPECT_EQ(texts.digOut[1], MessageTexts::Defaults().digOut[1] + "!");
    EXPECT_EQ(texts.digIn[1], "вход");
    EXPECT_EQ(outEdits, 1);
    EXPECT_EQ(inEdits, 1);
    EXPECT_EQ(texts.relay, MessageTexts::Defaults().relay);
    EXPECT_EQ(texts.other, MessageTexts::Defaults().other);
}

} // namespace
