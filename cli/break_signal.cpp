#include "cli/break_signal.h"

#ifdef Q_OS_WIN
#include <atomic>
#include <windows.h>
#else
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
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

class BreakSignal::Watcher {};

bool BreakSignal::Install() {
    instance = this;
    return SetConsoleCtrlHandler(ConsoleControl, TRUE) != 0;
}

#else

namespace {
// The signal handler's end of the pair and the event loop's end.
int signalPair[2] = {-1, -1};

extern "C" void OnInterrupt(int) {
    // Only what is safe in a signal handler: one byte into the pair.
    const int saved = errno;
    const char byte = 1;
    (void)!::write(signalPair[0], &byte, 1);
    errno = saved;
}
} // namespace

class BreakSignal::Watcher {
public:
    explicit Watcher(BreakSignal& owner) : notifier_(signalPair[1], QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, &owner, [this, &owner] {
            char byte = 0;
            (void)!::read(signalPair[1], &byte, 1);
            owner.Press();
        });
    }

private:
    QSocketNotifier notifier_;
};

bool BreakSignal::Install() {
    if (watcher_ != nullptr)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        return false;
    watcher_ = new Watcher(*this);
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The first signal asks for a Break; a second one finds the default again.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    // A stop from outside (systemd, a shutdown, a closed terminal) ends the
    // work as Ctrl+C does, rather than losing the page and the archive.
    bool caught = true;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        caught = ::sigaction(signal, &action, nullptr) == 0 && caught;
    return caught;
}

#endif

BreakSignal::BreakSignal() = default;

BreakSignal::~BreakSignal() {
    delete watcher_;
}

void BreakSignal::Press() {
    interrupted_ = true;
    if (flag_ != nullptr)
        *flag_ = true;
}
