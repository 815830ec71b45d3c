#include "app/value_panel_accessible.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

namespace {

constexpr char ValuePanelProperty[] = "valuePanel";

// A read-only text: no caret, no selection, nothing to scroll to.
class ValuePanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ValuePanelAccessible(QLabel* panel)
        : QAccessibleWidget(panel, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override {
        return shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    [[nodiscard]] QString shown() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* valuePanelFactory(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label != nullptr && label->property(ValuePanelProperty).toBool())
        return new ValuePanelAccessible(label);
    return nullptr;
}

} // namespace

void MarkValuePanel(QLabel* panel) {
    static const bool installed = [] {
        QAccessible::installFactory(&valuePanelFactory);
        return true;
    }();
    (void)installed;
    panel->setProperty(ValuePanelProperty, true);
}
