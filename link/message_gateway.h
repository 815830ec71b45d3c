#pragma once

#include <QString>

// Every message box of the program goes through this one interface: the main
// window shows real boxes, tests answer them without a display.
enum class MessageIcon { Information, Warning, Error };

class MessageGateway {
public:
    virtual ~MessageGateway() = default;

    // A modal box with one OK button.
    virtual void inform(MessageIcon icon, const QString& text) = 0;

    // A warning box with Yes and No; true only for Yes.
    [[nodiscard]] virtual bool confirm(const QString& text) = 0;
};
