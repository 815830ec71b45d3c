#include "simulator/sim_control.h"

#include "simulator/sim_options.h"

#include <QProcess>

namespace {

// Only the faults can change while serving; the content was fixed at start.
const QStringList FaultOptions = {
    QStringLiteral("--silent"),          QStringLiteral("--bad-checksum"),
    QStringLiteral("--cut-after"),       QStringLiteral("--extra-bytes"),
    QStringLiteral("--byte-delay"),      QStringLiteral("--baud"),
    QStringLiteral("--erase-ack-delay"), QStringLiteral("--vanish-after"),
};

} // namespace

bool ParseControlLine(const QString& line, ControlCommand* command, QString* error) {
    const QString text = line.trimmed();
    if (text == ReopenCommand) {
        *command = ControlCommand{true, {}};
        return true;
    }
    const QStringList words = QProcess::splitCommand(text);
    for (const QString& word : words) {
        if (word.startsWith(QLatin1Char('-')) && !FaultOptions.contains(word)) {
            *error = QStringLiteral("Not a fault option: ") + word;
            return false;
        }
    }
    SimOptions options;
    if (!ParseSimOptions(QStringList{QStringLiteral("recorder-sim")} + words, &options, error))
        return false;
    *command = ControlCommand{false, options.faults};
    return true;
}
