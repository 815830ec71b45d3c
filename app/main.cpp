#include "app/widget_gateway.h"
#include "app/zorvan_window.h"
#include "link/port_finder.h"
#include "runner/stop_signals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

#include <cstdio>

#ifndef ZORVAN_VERSION
#define ZORVAN_VERSION "unknown"
#endif

namespace {

// Options that end the program before any window: they must work without a
// display, so they are looked at before the GUI application exists.
struct StartOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Показать эту справку и выйти.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Показать версию программы и выйти.")};
    QCommandLineOption listPorts{
        QStringLiteral("list-ports"),
        QStringLiteral("Показать последовательные порты и их номера COM и выйти.")};
    // The GUI's own options are passed on to it; they are known here only so
    // that anything else is refused before a window is tried.
    QList<QCommandLineOption> gui;
    QCommandLineOption platform{QStringLiteral("platform"), QString(), QStringLiteral("name")};
    QCommandLineOption display{QStringLiteral("display"), QString(), QStringLiteral("name")};

    StartOptions() {
        for (const char* name : {"platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                 "qwindowgeometry", "geometry", "qwindowtitle", "title",
                                 "qwindowicon", "icon", "session", "style", "stylesheet", "name"})
            gui << QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("v"));
        for (const char* name :
             {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"})
            gui << QCommandLineOption(QString::fromLatin1(name));
        gui << platform << display;
        for (QCommandLineOption& option : gui)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
    }

    void AddTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Сервисная программа регистратора параметров ОГП крана."));
        // The GUI's options are single-dash words (-platform, -style).
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(listPorts);
        parser.addOptions(gui);
    }
};

// Whether the window has somewhere to go. A platform chosen by option or
// environment is trusted; an X11 or Wayland desktop names its display in
// the environment, and a session without one (SSH, a script) has none.
bool DisplayAvailable(const QCommandLineParser& parser, const StartOptions& options) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    return parser.isSet(options.platform) || parser.isSet(options.display) ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    (void)parser;
    (void)options;
    return true;
#endif
}

void ErrorLine(const QString& text) {
    std::fprintf(stderr, "zorvan: %s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    const StartOptions options;
    QCommandLineParser parser;
    options.AddTo(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments)) {
        ErrorLine(parser.errorText() + QStringLiteral(" Справка: zorvan --help"));
        return 1;
    }
    if (parser.isSet(options.version)) {
        std::printf("zorvan %s\n", ZORVAN_VERSION);
        return 0;
    }
    if (parser.isSet(options.help) || parser.isSet(options.listPorts)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        if (parser.isSet(options.help)) {
            // Made again now that the program's name is known.
            QCommandLineParser shown;
            options.AddTo(shown);
            out << shown.helpText();
        } else {
            out << PortListLines().join(QLatin1Char('\n')) << Qt::endl;
        }
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        ErrorLine(QStringLiteral("Лишний аргумент '%1'. Справка: zorvan --help")
                      .arg(parser.positionalArguments().constFirst()));
        return 1;
    }
    if (!DisplayAvailable(parser, options)) {
        ErrorLine(QStringLiteral("нет дисплея для окна (DISPLAY не задан); без дисплея "
                                 "работает zorvan-cli, см. zorvan-cli --help"));
        return 1;
    }

    QApplication app(argc, argv);
    // Before the window: a signal that comes meanwhile waits in the pipe.
    StopSignals stopSignals(StopSignals::Options{});
    WidgetGateway gateway;
    // Settings come from the directory the program was started in.
    TZorvan window(gateway, QDir::currentPath());
    gateway.SetParent(&window);
    // Logout and shutdown end the window as its close button does.
    QObject::connect(&stopSignals, &StopSignals::Received, &window, [&window] { window.close(); });
    window.show();
    const int status = app.exec();
    // Whoever started it from a terminal learns where the files went.
    std::printf("zorvan: %s\n", window.FilesWentText()
                                    .replace(QLatin1Char('\n'), QStringLiteral("; "))
                                    .toLocal8Bit()
                                    .constData());
    return status;
}
