#include "app/widget_gateway.h"
#include "app/zorvan_window.h"
#include "link/port_finder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

namespace {

// Options that end the program before any window: they must work without a
// display, so they are looked at before the GUI application exists. The
// GUI's own options (-platform, -style, ...) are left to it.
struct StartOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Показать эту справку и выйти.")};
    QCommandLineOption listPorts{
        QStringLiteral("list-ports"),
        QStringLiteral("Показать последовательные порты и их номера COM и выйти.")};

    void AddTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Сервисная программа регистратора параметров ОГП крана."));
        parser.addOption(help);
        parser.addOption(listPorts);
    }
};

} // namespace

int main(int argc, char** argv) {
    const StartOptions options;
    QCommandLineParser parser;
    options.AddTo(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    (void)parser.parse(arguments);
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

    QApplication app(argc, argv);
    WidgetGateway gateway;
    // Settings come from the directory the program was started in.
    TZorvan window(gateway, QDir::currentPath());
    gateway.SetParent(&window);
    window.show();
    return app.exec();
}
