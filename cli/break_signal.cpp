#include "cli/break_signal.h"

#include "runner/stop_signals.h"

#ifdef Q_OS_WIN
#include <atomic>
#include <windows.h>
#endif

#ifdef Q_OS_WIN

namespace {
BreakSignal* instance = nullptr;
std::atomic<bool> pressedOnce{false};

BOOL WINAPI ConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    // The second press gets the default, which ends the program.
    if (pressedOnce.exchange(true) || instance == nullptr)
        return FALSE;
    // This runs on a thread of its own: the press is handed to the event loop.
    BreakSignal* target = instance;
    QMetaObject::invokeMethod(
        target, [target] { target->Press(); }, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

bool BreakSignal::Install() {
    instance = this;
    return SetConsoleCtrlHandler(ConsoleControl, TRUE) != 0;
}

#else

bool BreakSignal::Install() {
    if (stop_ != nullptr)
        return stop_->Active();
    // The first signal asks for a Break; a second one finds the default again.
    stop_ = std::make_unique<StopSignals>(StopSignals::Options{.ctrlC = true, .onceOnly = true});
    QObject::connect(stop_.get(), &StopSignals::Received, this, [this] { Press(); });
    return stop_->Active();
}

#endif

BreakSignal::BreakSignal() = default;

BreakSignal::~BreakSignal() = default;

void BreakSignal::Press() {
    interrupted_ = true;
    if (flag_ != nullptr)
        *flag_ = true;
    emit Pressed();
}
