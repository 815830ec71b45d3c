#pragma once

#include "link/message_gateway.h"

#include <cstdio>

// Message boxes of the command-line tools: printed, and every question answered No.
class ConsoleGateway : public MessageGateway {
public:
    void inform(MessageIcon icon, const QString& text) override {
        const char* kind = icon == MessageIcon::Error     ? "error"
                           : icon == MessageIcon::Warning ? "warning"
                                                          : "info";
        std::fprintf(stderr, "[%s] %s\n", kind, text.toLocal8Bit().constData());
    }
    bool confirm(const QString& text) override {
        std::fprintf(stderr, "[question, answered No] %s\n", text.toLocal8Bit().constData());
        return false;
    }
};
