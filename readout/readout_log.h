#pragma once

#include "link/pordt.h"
#include "readout/text_file.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

// The log "zorvlog.txt" that both readouts append to: an empty line, the
// computer's date and time, the readout's name, then a line per step.
class ReadoutLog {
public:
    static inline const QString FileName = QStringLiteral("zorvlog.txt");

    // Appends to the log, creating it when missing.
    [[nodiscard]] bool Open(const QString& name = FileName);
    [[nodiscard]] bool IsOpen() const { return file_.IsOpen(); }
    // Empty line, "d.m.yyyy h:m" without leading zeros, the readout's name.
    void Start(const QDateTime& now, const QString& title);
    void Line(const QString& text);
    // A link failure: text, then "Error " and the link's result code. When
    // the watched port lost its device since, a line telling so comes first.
    void Failure(const QString& text, std::int32_t code);
    void WatchPort(Pordt* port) { port_ = port; }
    bool Close() { return file_.Close(); }
    [[nodiscard]] QString Name() const { return file_.Name(); }

private:
    TextFile file_;
    Pordt* port_ = nullptr;
};

// "7.12.2026 9:5": the log's date and time, no leading zeros.
[[nodiscard]] QString LogTimeText(const QDateTime& at);
// Address texts of the readouts: 5 and 8 upper-case hex digits, zero-padded.
[[nodiscard]] QString Hex5(std::uint32_t value);
[[nodiscard]] QString Hex8(std::uint32_t value);
