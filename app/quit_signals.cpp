#include "app/quit_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr int QuitSignalNumbers[] = {SIGTERM, SIGHUP};

// Written by the handler, read by the event loop. One process, one window:
// one pair.
int pipeEnds[2] = {-1, -1};

// Async-signal-safe: write(2) only, errno kept.
void onQuitSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    (void)!::write(pipeEnds[1], &byte, 1);
    errno = saved;
}
#endif

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
    if (pipeEnds[0] >= 0 || ::pipe(pipeEnds) != 0)
        return;
    for (const int end : pipeEnds) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPipe(); });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : QuitSignalNumbers)
        ::sigaction(number, &action, nullptr);
    active_ = true;
#endif
}

QuitSignals::~QuitSignals() {
#ifdef Q_OS_UNIX
    if (!active_)
        return;
    for (const int number : QuitSignalNumbers)
        ::signal(number, SIG_DFL);
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#endif
}

void QuitSignals::readPipe() {
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        emit Received(byte);
#endif
}
