#include "runner/stop_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};

// Written by the handler, read by the event loop: one pair a process.
int pipeEnds[2] = {-1, -1};

// Async-signal-safe: write(2) only, errno kept.
void onStopSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    (void)!::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

bool Caught(int number, const StopSignals::Options& options) {
    return number != SIGINT || options.ctrlC;
}
#endif

} // namespace

StopSignals::StopSignals(Options options, QObject* parent) : QObject(parent), options_(options) {
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
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | (options.onceOnly ? SA_RESETHAND : 0);
    active_ = true;
    for (const int number : StopSignalNumbers)
        if (Caught(number, options))
            active_ = ::sigaction(number, &action, nullptr) == 0 && active_;
#endif
}

StopSignals::~StopSignals() {
#ifdef Q_OS_UNIX
    if (notifier_ == nullptr)
        return;
    for (const int number : StopSignalNumbers)
        if (Caught(number, options_))
            ::signal(number, SIG_DFL);
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#endif
}

void StopSignals::readPipe() {
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        emit Received(byte);
#endif
}
