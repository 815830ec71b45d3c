#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// The desktop ends a session with SIGTERM (logout, shutdown) or SIGHUP: the
// program is asked to end, not killed, so that its window closes the normal
// way and its settings are written. A signal handler may do next to nothing
// safely; it writes a byte into a pipe, and the event loop, woken by it,
// emits Received. Only on Unix; elsewhere the object does nothing.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Catches the signals from now until destroyed (then the default again).
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when the pipe could not be made: the signals then end the
    // program as before.
    [[nodiscard]] bool Active() const { return active_; }

signals:
    // A quit signal came (once per signal).
    void Received(int signalNumber);

private:
    void readPipe();

    bool active_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};
