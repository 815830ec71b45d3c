// Reads the identification block, the clock and the pointers of the recorder
// on COM n and prints them: a quick check that the line works.

#include "bench/console_gateway.h"
#include "link/dtrans.h"
#include "link/pordt.h"
#include "link/recorder_requests.h"
#include "readout/ident_block.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Reads identification, clock and pointers from the recorder.");
    parser.addHelpOption();
    parser.addOption({"com", "Serial port number (COM n).", "n", "1"});
    parser.addOption({"baud", "Line speed.", "bd", "9600"});
    parser.process(app);

    QTextStream out(stdout);
    ConsoleGateway messages;
    Pordt port;
    (void)port.SetComNumber(parser.value("com").toInt());
    (void)port.SetBaud(parser.value("baud").toInt());
    bool breakRequested = false;
    DTrans link(port, breakRequested);
    RecorderRequests requests(link, messages);

    out << "COM" << port.ComNumber() << " -> " << Pordt::DevicePath(port.ComNumber()) << "\n";
    if (!port.SetOpen(true)) {
        out << port.LastError() << "\n";
        return 1;
    }
    IdentData ident;
    ident.fill(0xFF);
    if (!requests.ReadIdentification(ident)) {
        out << "Error " << link.LastLinkResult << "\n";
        return 1;
    }
    for (const QString& line : KranLines(ident))
        out << QString(line).replace(QLatin1Char('\t'), QLatin1Char(' ')) << "\n";
    QString clock;
    if (!requests.ReadClock(clock))
        return 1;
    out << "Время регистратора: " << clock << "\n";
    if (requests.ReadPointerBlock() != LinkOk) {
        out << "Не удалось прочитать адрес. Error " << link.LastLinkResult << "\n";
        return 1;
    }
    out << "Указатель событий: " << QString::number(requests.EventPointer(), 16).toUpper() << "h\n";
    out << "Указатель сумматора: " << QString::number(requests.SumPointer(), 16).toUpper() << "h\n";
    return 0;
}
