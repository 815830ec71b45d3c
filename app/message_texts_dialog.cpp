#include "app/message_texts_dialog.h"

#include "settings/settings_file.h"

#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QPalette>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <array>
#include <utility>

namespace {

constexpr int TextColumn = 1;
// Row height comes from the grid height less this allowance for its lines.
constexpr int RowHeightAllowance = 11;
// The grid row an editor belongs to, kept on the editor itself.
constexpr char RowProperty[] = "gridRow";

const std::array<TextsDialogLayout, 4>& Layouts() {
    static const std::array<TextsDialogLayout, 4> layouts = {{
        {QStringLiteral("TOGPForm"), QStringLiteral("Сообщения ОГП"), QStringLiteral("OGPGrid"),
         QStringLiteral("Код сообщения"), 595, 274},
        {QStringLiteral("TRELForm"), QStringLiteral("Срабатывания реле"), QStringLiteral("RELGrid"),
         QStringLiteral("Сработавшее реле"), 595, 179},
        {QStringLiteral("TDIGForm"), QStringLiteral("Цифровые выходы"), QStringLiteral("DIGGrid"),
         QStringLiteral("Цифровой вЫход"), 595, 211},
        {QStringLiteral("TREGForm"), QStringLiteral("Цифровые входы"), QStringLiteral("REGGrid"),
         QStringLiteral("Цифровой вход"), 595, 243},
    }};
    return layouts;
}

// Single-line editors that report every keystroke, so the list follows the
// editor while the user types, not only when the editor closes.
class KeystrokeDelegate : public QStyledItemDelegate {
public:
    using RowEdited = std::function<void(int row, const QString& text)>;

    KeystrokeDelegate(RowEdited onRowEdited, QObject* parent)
        : QStyledItemDelegate(parent), onRowEdited_(std::move(onRowEdited)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int row = index.row();
        editor->setProperty(RowProperty, row);
        QObject::connect(editor, &QLineEdit::textChanged, editor,
                         [this, row](const QString& text) { onRowEdited_(row, text); });
        return editor;
    }

private:
    RowEdited onRowEdited_;
};

} // namespace

const TextsDialogLayout& MessageTextsDialog::Layout(TextsKind kind) {
    return Layouts()[static_cast<std::size_t>(kind)];
}

QString MessageTextsDialog::TextTitle() {
    return QStringLiteral("Текст сообщения");
}

MessageTextsDialog::MessageTextsDialog(TextsKind kind, QStringList& list,
                                       std::function<void()> onEdited, QWidget* parent)
    : QDialog(parent), kind_(kind), list_(list), onEdited_(std::move(onEdited)) {
    const TextsDialogLayout& layout = Layout(kind);
    setObjectName(layout.formName);
    setWindowTitle(layout.caption);
    setAccessibleName(layout.caption);
    // A fixed dialog border: no resizing, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(ClientWidth, ClientHeight);
    move(layout.left, layout.top);

    QFont font(QStringLiteral("Lucida Console"));
    font.setPixelSize(11);
    setFont(font);

    grid_ = new QTableWidget(RowCount, 2, this);
    grid_->setObjectName(layout.gridName);
    grid_->setAccessibleName(layout.caption);
    grid_->setGeometry(0, 0, ClientWidth, ClientHeight);
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->setShowGrid(true);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                           QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    grid_->setWordWrap(false);
    // Long texts are cut at the cell edge, not shortened with an ellipsis.
    grid_->setTextElideMode(Qt::ElideNone);

    for (int row = 0; row < RowCount; ++row) {
        for (int column = 0; column < 2; ++column) {
            auto* item = new QTableWidgetItem;
            if (row == 0 || column == 0) {
                // Headings: shown like fixed cells, never edited or selected.
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(palette().brush(QPalette::Button));
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            }
            grid_->setItem(row, column, item);
        }
    }

    auto* delegate = new KeystrokeDelegate(
        [this](int row, const QString& text) { storeRowText(row, text); }, grid_);
    grid_->setItemDelegateForColumn(TextColumn, delegate);
    // When the editor closes the list takes the text the cell then shows: the
    // committed text, or the old one when the edit was cancelled.
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this](QWidget* editor) {
        bool ok = false;
        const int row = editor->property(RowProperty).toInt(&ok);
        if (ok && row >= 1 && row < RowCount)
            storeRowText(row, grid_->item(row, TextColumn)->text());
    });
    connect(grid_, &QTableWidget::itemChanged, this, &MessageTextsDialog::onItemChanged);
    // The cursor starts on the first text, as headings can't be selected.
    grid_->setCurrentCell(1, TextColumn);

    Refresh();
}

void MessageTextsDialog::ShowAndRaise() {
    show();
    raise();
    activateWindow();
}

void MessageTextsDialog::Refresh() {
    refreshing_ = true;
    const int rowHeight = (grid_->height() - RowHeightAllowance) / RowCount;
    for (int row = 0; row < RowCount; ++row)
        grid_->setRowHeight(row, rowHeight);
    grid_->setColumnWidth(0, NumberColumnWidth);
    grid_->setColumnWidth(TextColumn, grid_->width() - NumberColumnWidth);

    grid_->item(0, 0)->setText(Layout(kind_).numberTitle);
    grid_->item(0, TextColumn)->setText(TextTitle());
    for (int i = 0; i < RowCount - 1; ++i) {
        grid_->item(i + 1, 0)->setText(QString::number(i));
        grid_->item(i + 1, TextColumn)->setText(i < list_.size() ? list_.at(i) : QString());
    }
    refreshing_ = false;
}

bool MessageTextsDialog::event(QEvent* e) {
    // Coming back to the dialog from another window shows the current list.
    if (e->type() == QEvent::WindowActivate)
        Refresh();
    return QDialog::event(e);
}

void MessageTextsDialog::showEvent(QShowEvent* e) {
    Refresh();
    QDialog::showEvent(e);
}

void MessageTextsDialog::onItemChanged(QTableWidgetItem* item) {
    if (refreshing_ || item->column() != TextColumn)
        return;
    storeRowText(item->row(), item->text());
}

void MessageTextsDialog::storeRowText(int row, const QString& text) {
    if (refreshing_ || row < 1 || row >= RowCount)
        return;
    const int index = row - 1;
    // The lists hold eight entries once the settings are loaded; a shorter one
    // is filled up rather than written past its end.
    while (list_.size() <= index)
        list_.append(QString());
    // One line per text in the settings file, no tab or other control
    // character in the files that show it.
    const QString line = BlankControlCharacters(SingleLineText(text));
    if (list_[index] == line)
        return;
    list_[index] = line;
    if (onEdited_)
        onEdited_();
}
