#pragma once

#include "cli/progress.h"
#include "link/message_gateway.h"

#include <QString>

// The terminal side of the tool: what the window shows in message boxes goes
// to standard error with the same texts, results go to standard output, and
// long work shows its progress on standard error.
class Console : public MessageGateway {
public:
    explicit Console(ReadoutProgress::Style progressStyle);

    void inform(MessageIcon icon, const QString& text) override;
    // Nobody is there to answer: the question is shown and answered No.
    [[nodiscard]] bool confirm(const QString& text) override;

    // A line of results on standard output.
    void Out(const QString& line);
    // A line of the tool's own on standard error.
    void Err(const QString& line);

    [[nodiscard]] ReadoutProgress& Progress() { return progress_; }

private:
    ReadoutProgress progress_;
};

// For "Невозможно открыть файл NAME": a line with the file's full path and
// why it could not be opened; empty for any other text.
[[nodiscard]] QString FileOpenDetail(const QString& text);

// The progress style for standard error: a bar on a terminal, a line every
// few seconds otherwise, nothing when quiet.
[[nodiscard]] ReadoutProgress::Style ProgressStyleFor(bool quiet);
