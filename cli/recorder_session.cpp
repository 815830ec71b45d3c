#include "cli/recorder_session.h"

#include "link/port_finder.h"

RecorderSession::RecorderSession(Console& console, BreakSignal& breakSignal)
    : Requests(Link, console), console_(console), breakSignal_(breakSignal) {
    breakSignal_.Watch(&BreakRequested);
}

RecorderSession::~RecorderSession() {
    Link.RemoveReadObserver(this);
    End();
    breakSignal_.Watch(nullptr);
}

bool RecorderSession::Begin(int com, int baud, const QString& address) {
    (void)Port.SetComNumber(com);
    (void)Port.SetAddress(address);
    (void)Port.SetBaud(baud);
    if (!Port.SetOpen(true)) {
        console_.inform(MessageIcon::Error, Port.LastError());
        // As the window's status bar: which numbers do lead to a port.
        if (Port.LastError() == Pordt::BadIdText)
            console_.Err(PortSummary(FindSerialPorts()));
        return false;
    }
    // A Ctrl+C already pressed is not forgotten here, unlike an earlier
    // Break of the window: nothing has run yet that it could have stopped.
    BreakRequested = breakSignal_.Interrupted();
    Pager.Reset();
    return true;
}

void RecorderSession::End() {
    if (Port.Open() && !Port.SetOpen(false))
        console_.inform(MessageIcon::Error, Port.LastError());
}

void RecorderSession::SetProgressMaximum(int maximum) {
    console_.Progress().Start(maximum);
}

void RecorderSession::SetProgress(int value) {
    console_.Progress().Record(value);
}

namespace {
QString IdentStage(int block) {
    return QStringLiteral("чтение идентификации: блок %1 из %2")
        .arg(block)
        .arg(RecorderMap::IdentBlocks);
}
} // namespace

void RecorderSession::ShowStages() {
    console_.Progress().Stage(IdentStage(1));
    Link.AddReadObserver(this);
}

void RecorderSession::BlockRead(std::uint32_t address, std::uint8_t selector, const std::uint8_t*,
                                std::uint16_t) {
    if (selector != RecorderMap::IdentSelector || address < RecorderMap::IdentAddress)
        return;
    // The block just read; the next one (or the clock) is read now.
    const auto done =
        static_cast<int>((address - RecorderMap::IdentAddress) / RecorderMap::IdentBlockLength) + 1;
    console_.Progress().Stage(done < RecorderMap::IdentBlocks
                                  ? IdentStage(done + 1)
                                  : QStringLiteral("чтение времени и указателей"));
}
