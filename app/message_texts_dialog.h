#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QEvent;
class QShowEvent;
class QTableWidget;
class QTableWidgetItem;

// Which of the four message-text lists a dialog edits.
enum class TextsKind { Other, Relay, DigOut, DigIn };

// The fixed look of one of the four dialogs.
struct TextsDialogLayout {
    QString formName;    // objectName of the dialog, e.g. "TOGPForm"
    QString caption;     // window caption
    QString gridName;    // objectName of the grid, e.g. "OGPGrid"
    QString numberTitle; // heading of column 0
    int left = 0;        // screen position of the window
    int top = 0;
};

// One of the four small dialogs that edit a message-text list in a 2x9 grid:
// row 0 and column 0 are headings, rows 1..8 show list entries 0..7. The list
// belongs to the main window and is edited in place, keystroke by keystroke;
// after every change onEdited runs (the window refreshes its panel hints).
// Modeless; closing only hides it.
class MessageTextsDialog : public QDialog {
    Q_OBJECT
public:
    MessageTextsDialog(TextsKind kind, QStringList& list, std::function<void()> onEdited,
                       QWidget* parent = nullptr);

    static constexpr int ClientWidth = 342;
    static constexpr int ClientHeight = 173;
    static constexpr int RowCount = 9;
    static constexpr int NumberColumnWidth = 150;

    [[nodiscard]] static const TextsDialogLayout& Layout(TextsKind kind);
    [[nodiscard]] static QString Caption(TextsKind kind) { return Layout(kind).caption; }
    // Heading of the text column, the same in all four dialogs.
    [[nodiscard]] static QString TextTitle();

    [[nodiscard]] TextsKind Kind() const { return kind_; }
    [[nodiscard]] QTableWidget* Grid() const { return grid_; }

    // Shows the dialog, or brings it forward when it is already open.
    void ShowAndRaise();
    // Rewrites headings, numbers and texts from the list and sets the row and
    // column sizes. Runs on every show and every activation of the window.
    void Refresh();

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // Stores text as list entry row - 1 and runs onEdited, when it changes it.
    void storeRowText(int row, const QString& text);
    void onItemChanged(QTableWidgetItem* item);

    TextsKind kind_;
    QStringList& list_;
    std::function<void()> onEdited_;
    QTableWidget* grid_ = nullptr;
    bool refreshing_ = false;
};
