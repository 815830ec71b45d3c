#pragma once

#include "link/message_gateway.h"

#include <QPointer>
#include <QWidget>

// Message boxes on screen: an icon and one OK button, or a warning with Yes
// and No. Boxes are modal to the parent widget once it is set.
class WidgetGateway : public MessageGateway {
public:
    explicit WidgetGateway(QWidget* parent = nullptr) : parent_(parent) {}

    // The main window is built after the gateway it uses, so it is set later.
    void SetParent(QWidget* parent) { parent_ = parent; }

    void inform(MessageIcon icon, const QString& text) override;
    [[nodiscard]] bool confirm(const QString& text) override;

private:
    QPointer<QWidget> parent_;
};
