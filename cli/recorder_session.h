#pragma once

#include "cli/break_signal.h"
#include "cli/console.h"
#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/read_observer.h"
#include "link/recorder_requests.h"
#include "readout/print_pager.h"
#include "readout/readout_host.h"

#include <QString>
#include <QStringList>

// What the terminal knows of a link that failed, for telling the user.
struct LinkFailure {
    int com = 0;
    QString device;   // where COM com leads; empty when nowhere
    QString address;  // the network port's address; empty for a COM port
    QString lossText; // the port's own line for a loss (names COM n or HOST:PORT)
    int baud = 0;
    bool lost = false;     // the device went away: the port closed itself
    int result = LinkOk;   // LinkTimeout or LinkBadReply
    bool answered = false; // the recorder did answer earlier in this session
};

// The cause of a link failure in one line, then what to check in another.
[[nodiscard]] QStringList LinkFailureLines(const LinkFailure& failure);

// "регистратор не отвечает, попытка 2 из 5": the attempt of a request now on the line,
// counted from its first (sent is how many went out since the last reply).
[[nodiscard]] QString AttemptNote(int sent, int attemptsPerRequest);

// "Записей прочитано с линии 46, взято из архива 19 984": the log's line, its
// numbers grouped as the progress line above it groups them.
[[nodiscard]] QString RecordSourcesLine(int fromLine, int fromArchive);

// The link to the recorder for one subcommand, with the state the window
// keeps for its exchanges. Begin and End bracket an operation as the
// window's Disable and ShutDown do: the port is open only in between, and
// Ctrl+C sets the Break flag while the session lives.
//
// As the readouts' host it shows their progress on the console; status bar
// texts, colours and panels have no place there. Unlike the window's boxes,
// the terminal also says what it waits for: a request sent again because
// the recorder did not answer shows on the progress line, and the first
// message of a link failure is followed by its cause and what to check.
class RecorderSession : public ReadoutHost, private ReadObserver, private MessageGateway {
public:
    RecorderSession(Console& console, BreakSignal& breakSignal);
    ~RecorderSession() override;
    RecorderSession(const RecorderSession&) = delete;
    RecorderSession& operator=(const RecorderSession&) = delete;

    // Opens COM com at baud, or the network address when one is given;
    // false after the port's own message.
    [[nodiscard]] bool Begin(int com, int baud, const QString& address = QString());
    // Closes the port; harmless when it is closed.
    void End();
    // From now on the progress line tells what is being read until the
    // records start: the identification block by block, then the clock and
    // pointers (a readout's first 13 s).
    void ShowStages();

    // The messages of the operations run in this session: the console's,
    // with a link failure explained.
    [[nodiscard]] MessageGateway& Messages() { return *this; }

    // Of the records a readout took: "Записей прочитано с линии N, взято из
    // архива M"; empty when no readout came to its records.
    [[nodiscard]] QString RecordSources() const;

    bool BreakRequested = false;
    Pordt Port;
    DTrans Link{Port, BreakRequested};
    RecorderRequests Requests;
    PrintPager Pager;
    IdentData Ident{};
    QString Clock;

    // ReadoutHost
    void SetStatusPanel(int, const QString&) override {}
    void SetReadoutColour() override {}
    void SetProgressMaximum(int maximum) override;
    void SetProgress(int value) override;
    void ShowNewestRecord() override {}
    [[nodiscard]] bool ReadClock() override { return Requests.ReadClock(Clock); }
    [[nodiscard]] QString ClockText() const override { return Clock; }

private:
    // ReadObserver
    void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                   std::uint16_t length) override;
    void BlockFromArchive(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                          std::uint16_t length, std::int64_t readAt) override;
    // MessageGateway
    void inform(MessageIcon icon, const QString& text) override;
    [[nodiscard]] bool confirm(const QString& text) override { return console_.confirm(text); }

    void requestSent(qint64 bytes);

    Console& console_;
    BreakSignal& breakSignal_;
    bool stages_ = false;
    std::int64_t readsSent_ = 0; // as the port told of them
    std::int64_t readsAnswered_ = 0;
    bool answered_ = false;
    bool failureTold_ = false;
    bool records_ = false; // a readout reads its records
    int fromLine_ = 0;
    int fromArchive_ = 0;
};
