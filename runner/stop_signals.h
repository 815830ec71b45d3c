#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// A stop asked of the program from outside: SIGTERM (systemd, logout,
// shutdown) and SIGHUP (a closed terminal), and SIGINT (Ctrl+C) where the
// front end takes it too. The program is asked, not killed, so that it ends
// its work the normal way. A signal handler may do next to nothing safely;
// it writes a byte into a pipe, and the event loop, woken by it, emits
// Received. Only on Unix; elsewhere the object does nothing. One at a time.
class StopSignals : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool ctrlC = false;    // SIGINT as well
        bool onceOnly = false; // a second signal finds the default: it ends the program at once
    };
    // Catches the signals from now until destroyed (then the default again).
    explicit StopSignals(Options options, QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the pipe could not be made or a handler not set: the
    // signals then end the program as before.
    [[nodiscard]] bool Active() const { return active_; }

signals:
    // A stop signal came (once per signal).
    void Received(int signalNumber);

private:
    void readPipe();

    Options options_;
    bool active_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};
