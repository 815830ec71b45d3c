#pragma once

#include "decoding/fields.h"
#include "decoding/reasons.h"
#include "link/message_gateway.h"
#include "link/recorder_requests.h"
#include "readout/print_pager.h"
#include "readout/text_file.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// Which output files a readout writes, as its three check boxes say.
struct OutputChoice {
    bool xls = true;  // "Для просмотра в Excel"
    bool txt = false; // "Для вывода на печать"
    bool hex = false; // "Для отладки"
};

enum class OutputKind { Xls, Txt, Hex };

struct OutputNames {
    QString xls;
    QString txt;
    QString hex;
};

// The spreadsheet, print and debug files of one readout. Only files that were
// really opened are written, completed and closed. A file error is shown once
// per file and readout; every error, shown or not, is kept for the readout's
// log (TakeErrors). Records written so far are on disk whatever ends the
// readout: Finish flushes and closes, and so does the destructor.
class ReadoutFiles {
public:
    ReadoutFiles(MessageGateway& messages, PrintPager& pager, OutputNames names);
    ~ReadoutFiles();
    ReadoutFiles(const ReadoutFiles&) = delete;
    ReadoutFiles& operator=(const ReadoutFiles&) = delete;

    // Creates the chosen files anew in the order xls, txt, hex and starts the
    // print file's page state. On the first failure shows "Невозможно открыть
    // файл " + name and returns false; files opened before stay open until
    // Finish.
    [[nodiscard]] bool Open(const OutputChoice& choice);

    [[nodiscard]] bool IsOpen(OutputKind kind) const;
    [[nodiscard]] bool AnyOpen() const;
    [[nodiscard]] QString Name(OutputKind kind) const;

    // Writes the lines in order to an open file and stops at the first that
    // fails ("Ошибка записи в файл " + name). Nothing is written to a file that
    // is not open. False when a line was not written.
    bool Write(OutputKind kind, const QStringList& lines);

    // Completes the last print page and closes every open file. Safe to call
    // again: the second call finds nothing open.
    void Finish();

    // Texts of the file errors since the last call, for the log.
    [[nodiscard]] QStringList TakeErrors();
    // A file failed to open, to take a line or to close since Open.
    [[nodiscard]] bool Failed() const { return failed_; }

    [[nodiscard]] PrintPager& Pager() { return pager_; }

private:
    struct Output {
        TextFile file;
        QString name;
        bool reported = false;    // a dialog for this file was shown in this readout
        bool writeFailed = false; // the close then only repeats the write error
    };

    [[nodiscard]] Output& output(OutputKind kind);
    [[nodiscard]] const Output& output(OutputKind kind) const;
    void report(Output& out, const QString& text);
    void close(Output& out);

    bool failed_ = false;
    MessageGateway& messages_;
    PrintPager& pager_;
    std::array<Output, 3> outputs_;
    QStringList errors_;
};

// What the event files are headed with and how their lines are laid out.
struct EventLogInput {
    bool withReach = false; // the reach column (moment basis chosen)
    QString clockText;      // recorder clock, "dd.mm.20yy hh:mm"
    MessageTexts texts;     // reason texts
    IdentData ident{};      // identification block, heads the files
};

// The event memory's files "zorvan.xls", "zorvan.txt" and "zorvan.hex".
class EventFiles {
public:
    static inline const QString XlsName = QStringLiteral("zorvan.xls");
    static inline const QString TxtName = QStringLiteral("zorvan.txt");
    static inline const QString HexName = QStringLiteral("zorvan.hex");

    EventFiles(MessageGateway& messages, PrintPager& pager);

    [[nodiscard]] bool Open(const OutputChoice& choice) { return files_.Open(choice); }

    // One record as read at readAddress: reply[1..11] is the record. The first
    // record of a readout also writes the file headings. A record whose reason
    // byte is 0xFF is absent: only the debug file shows it.
    void SaveLog(ReplyView reply, std::uint32_t readAddress, const EventLogInput& input);

    void Finish() { files_.Finish(); }
    [[nodiscard]] QStringList TakeErrors() { return files_.TakeErrors(); }
    [[nodiscard]] ReadoutFiles& Files() { return files_; }

private:
    ReadoutFiles files_;
};

// Lines of the event files, from a reply whose presence flags are already set.
[[nodiscard]] QString EventPrintLine(ReplyView reply, const MessageTexts& texts, bool withReach);
[[nodiscard]] QString EventSheetLine(ReplyView reply, const MessageTexts& texts, bool withReach);
[[nodiscard]] QString EventDebugLine(ReplyView reply, std::uint32_t address);
[[nodiscard]] QString EventSheetHeading(bool withReach);
[[nodiscard]] QStringList EventPrintColumns(bool withReach);

// Debug line of any record: the address in 5 hex digits, ": ", then every
// byte of reply[1..length] as two hex digits and a blank.
[[nodiscard]] QString DebugLine(ReplyView reply, std::uint32_t address, int length);

// A record out of the reply buffer with its presence flags set, for the
// formatting routines; the link's buffer itself stays untouched. Bytes the
// reply lacks read as erased (0xFF).
using RecordCopy = std::array<std::uint8_t, PresenceFlagsPos + 1>;
[[nodiscard]] RecordCopy RecordWithFlags(ReplyView reply, std::uint8_t flags);

// Print-file clock line: the clock text indented by 17 blanks.
[[nodiscard]] QString PrintClockLine(const QString& clockText);
