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

// The link to the recorder for one subcommand, with the state the window
// keeps for its exchanges. Begin and End bracket an operation as the
// window's Disable and ShutDown do: the port is open only in between, and
// Ctrl+C sets the Break flag while the session lives.
//
// As the readouts' host it shows their progress on the console; status bar
// texts, colours and panels have no place there.
class RecorderSession : public ReadoutHost, private ReadObserver {
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
    void BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t* data,
                   std::uint16_t length) override;

    Console& console_;
    BreakSignal& breakSignal_;
};
