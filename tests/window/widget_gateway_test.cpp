// The on-screen message boxes: icon, text and buttons as the user gets them.

#include "app/widget_gateway.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

namespace {
struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Looks at the box once it is open, then presses the given button.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton press) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&seen, press, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(10, *poll);
            return;
        }
        seen.icon = box->icon();
        seen.text = box->text();
        seen.buttons = box->standardButtons();
        if (box->defaultButton() != nullptr)
            seen.defaultButton = box->standardButton(box->defaultButton());
        box->button(press)->click();
        *poll = nullptr; // break the cycle
    };
    QTimer::singleShot(0, *poll);
}
} // namespace

struct IconRow {
    MessageIcon icon;
    QMessageBox::Icon shown;
};

TEST(WidgetGatewayTest, InformShowsTheIconTheTextAndOneOkButton) {
    const IconRow rows[] = {{MessageIcon::Information, QMessageBox::Information},
                            {MessageIcon::Warning, QMessageBox::Warning},
                            {MessageIcon::Error, QMessageBox::Critical}};
    WidgetGateway gateway;
    for (const IconRow& row : rows) {
        SeenBox seen;
        AnswerNextBox(seen, QMessageBox::Ok);
        gateway.inform(row.icon, QStringLiteral("Не удалось прочитать время"));
        EXPECT_EQ(seen.icon, row.shown);
        EXPECT_EQ(seen.text, QStringLiteral("Не удалось прочитать время"));
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

TEST(WidgetGatewayTest, ConfirmIsAWarningWithYesAndNo) {
    WidgetGateway gateway;
    for (const auto press : {QMessageBox::Yes, QMessageBox::No}) {
        SeenBox seen;
        AnswerNextBox(seen, press);
        const bool answer = gateway.confirm(QStringLiteral("Стереть?"));
        EXPECT_EQ(answer, press == QMessageBox::Yes);
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(seen.defaultButton, QMessageBox::No);
    }
}
