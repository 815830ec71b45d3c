#include "cli/recorder_session.h"

RecorderSession::RecorderSession(Console& console, BreakSignal& breakSignal)
    : Requests(Link, console), console_(console), breakSignal_(breakSignal) {
    breakSignal_.Watch(&BreakRequested);
}

RecorderSession::~RecorderSession() {
    End();
    breakSignal_.Watch(nullptr);
}

bool RecorderSession::Begin(int com, int baud) {
    (void)Port.SetComNumber(com);
    (void)Port.SetBaud(baud);
    if (!Port.SetOpen(true)) {
        console_.inform(MessageIcon::Error, Port.LastError());
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
