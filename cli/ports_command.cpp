// `ports`: the serial ports there are, and the COM numbers that lead to them.

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "link/port_finder.h"

void AddPortsOptions(QCommandLineParser&) {}

int RunPorts(const Invocation& in) {
    for (const QString& line : PortListLines())
        in.console.Out(line);
    return ExitCode::Success;
}
