// `ports`: the serial ports there are, and the COM numbers that lead to them.

#include "cli/commands.h"
#include "cli/console.h"
#include "link/pordt.h"
#include "link/port_finder.h"
#include "runner/exit_codes.h"

#include <QDir>

void AddPortsOptions(QCommandLineParser&) {}

int RunPorts(const Invocation& in) {
    bool unnumbered = false;
    for (const QString& line : PortListLines()) {
        in.console.Out(line);
        unnumbered = unnumbered || line.startsWith(QStringLiteral("— "));
    }
    // The list stays as it is for scripts; the dash is explained beside it.
    if (unnumbered)
        in.console.Err(QStringLiteral("«—»: к порту не ведет ни один номер COM (у такого "
                                      "устройства нет номера по умолчанию, или его номер занят "
                                      "ссылкой в %1); чтобы работать с ним, сделайте ссылку на "
                                      "свободный номер: ln -s УСТРОЙСТВО %1/comN")
                           .arg(QDir::toNativeSeparators(Pordt::PortFolder())));
    return ExitCode::Success;
}
