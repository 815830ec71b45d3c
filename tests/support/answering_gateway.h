#pragma once

#include "link/message_gateway.h"

#include <QString>
#include <QStringList>

#include <vector>

// Answers every box at once and remembers what was shown.
class AnsweringGateway : public MessageGateway {
public:
    struct Shown {
        MessageIcon icon;
        QString text;
    };

    void inform(MessageIcon icon, const QString& text) override { shown.push_back({icon, text}); }
    bool confirm(const QString& text) override {
        questions << text;
        return answerYes;
    }

    [[nodiscard]] QStringList texts() const {
        QStringList all;
        for (const Shown& s : shown)
            all << s.text;
        return all;
    }

    std::vector<Shown> shown;
    QStringList questions;
    bool answerYes = true;
};
