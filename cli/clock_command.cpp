// `clock`: the recorder's clock, read or set.

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/recorder_session.h"
#include "link/clock_write.h"
#include "runner/exit_codes.h"

void AddClockOptions(QCommandLineParser& p) {
    AddLineOptions(p);
    p.addOption({QStringLiteral("set"),
                 QStringLiteral("Set the clock to \"now\" (this computer's clock) or to "
                                "\"dd.mm.yyyy hh:mm\" (years 2000-2099)."),
                 QStringLiteral("time")});
}

int RunClock(const Invocation& in) {
    Settings s;
    QString error;
    if (!ResolveSettings(in.options, in.console, s, error))
        return UsageFailure(in.console, QStringLiteral("clock"), error);
    std::optional<ClockSetting> at;
    if (in.options.isSet(QStringLiteral("set"))) {
        const QString text = in.options.value(QStringLiteral("set"));
        at = ParseClockSetting(text, QDateTime::currentDateTime());
        if (!at)
            return UsageFailure(in.console, QStringLiteral("clock"),
                                QStringLiteral("--set takes \"now\" or \"dd.mm.yyyy hh:mm\" with "
                                               "a year from 2000 to 2099, not '%1'")
                                    .arg(text));
    }

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(s.ComPortNumber, s.BaudRate, PortAddressOption(in.options)))
        return LinkExitCode(false, in.breakSignal.Interrupted());
    // As the clock dialog does it, or the clock alone.
    const bool done =
        at ? WriteClockAndReadBack(session.Requests, in.console, *at, session.Clock, {}).clockRead
           : session.Requests.ReadClock(session.Clock);
    session.End();
    if (done)
        in.console.Out(session.Clock);
    return LinkExitCode(done, in.breakSignal.Interrupted());
}
