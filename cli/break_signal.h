#pragma once

#include <QObject>

#include <memory>

class StopSignals;

// Ctrl+C as the window's Break button: it sets the flag that the link and the
// readouts poll, so a readout ends as a Break ends it, with its files and log
// kept. A stop from outside (SIGTERM, SIGHUP) is taken as Ctrl+C. The flag is
// set from the event loop, where the link waits, never from the signal
// handler itself; a second signal ends the program at once.
class BreakSignal : public QObject {
    Q_OBJECT
public:
    BreakSignal();
    ~BreakSignal() override;
    BreakSignal(const BreakSignal&) = delete;
    BreakSignal& operator=(const BreakSignal&) = delete;

    // Catches Ctrl+C (and SIGTERM, SIGHUP) from now on; false when the
    // platform refused.
    [[nodiscard]] bool Install();

    // The flag to set on Ctrl+C (the session's Break flag); nullptr for none.
    void Watch(bool* breakFlag) { flag_ = breakFlag; }

    // Ctrl+C was pressed.
    [[nodiscard]] bool Interrupted() const { return interrupted_; }

    // What Ctrl+C does, once the event loop has it.
    void Press();

signals:
    // Ctrl+C was pressed (or a stop came): for work that waits in the event
    // loop rather than polling the flag.
    void Pressed();

private:
    bool* flag_ = nullptr;
    bool interrupted_ = false;
    std::unique_ptr<StopSignals> stop_; // Unix: the signals into the event loop
};
