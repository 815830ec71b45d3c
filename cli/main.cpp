// zorvan-cli: the service tool's readouts on the command line, for scripts,
// test benches and machines without a display.

#include "cli/break_signal.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "link/tick_timer.h"
#include "runner/exit_codes.h"

#include <QApplication>

#include <cstdio>

namespace {

// Standard error carries the tool's own texts, which scripts may read: the
// chatter of Qt's platform layer (e.g. about the session's runtime folder)
// is left out; only its critical and fatal messages come through.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QtMessages);
    // The summary page's charts are drawn by widgets, so the tool is a GUI
    // application, on the offscreen platform unless another is chosen: it never
    // shows a window and needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvan-cli"));

    // For the tool's own tests: the link's clock runs this many times faster,
    // every pause and time limit in proportion. Never set in real use.
    const int timeScale = qEnvironmentVariableIntValue("ZORVAN_TIME_SCALE");
    if (timeScale > 1)
        SetTimeScale(timeScale);

    const ParsedCommandLine parsed = ParseCommandLine(QCoreApplication::arguments());
    if (parsed.kind != ParsedCommandLine::Run) {
        const bool help = parsed.kind == ParsedCommandLine::Help;
        std::fputs(parsed.text.toLocal8Bit().constData(), help ? stdout : stderr);
        if (!parsed.text.endsWith(QLatin1Char('\n')))
            std::fputc('\n', help ? stdout : stderr);
        return help ? ExitCode::Success : ExitCode::Usage;
    }

    const bool quiet = parsed.options->optionNames().contains(QStringLiteral("quiet")) ||
                       parsed.options->optionNames().contains(QStringLiteral("q"));
    Console console(ProgressStyleFor(quiet));
    BreakSignal breakSignal;
    if (!breakSignal.Install())
        console.Err(QStringLiteral("zorvan-cli: Ctrl+C cannot be caught; it ends the program "
                                   "without a Break."));
    return parsed.command->run({*parsed.options, console, breakSignal});
}
