#include "app/widget_gateway.h"

#include <QMessageBox>

namespace {
QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        break;
    }
    return QMessageBox::Critical;
}

QString BoxTitle(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QStringLiteral("Информация");
    case MessageIcon::Warning:
        return QStringLiteral("Предупреждение");
    case MessageIcon::Error:
        break;
    }
    return QStringLiteral("Ошибка");
}
} // namespace

void WidgetGateway::inform(MessageIcon icon, const QString& text) {
    QMessageBox box(BoxIcon(icon), BoxTitle(icon), text, QMessageBox::Ok, parent_);
    box.exec();
}

bool WidgetGateway::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Warning, BoxTitle(MessageIcon::Warning), text,
                    QMessageBox::Yes | QMessageBox::No, parent_);
    // A stray Enter must not start a destructive command.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
