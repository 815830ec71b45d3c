// recorder-sim: a parameter recorder on a pseudo-terminal, for tests, the
// benchmark and demonstrations without the hardware.

#include "simulator/recorder_sim.h"
#include "simulator/sim_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

void printError(const QString& text) {
    std::fprintf(stderr, "recorder-sim: %s\n", qPrintable(text));
}

// The link named after the COM number, replaced when a stale one is left.
bool bindCom(int com, const QString& device, QString* linkPath) {
    const QString folder = PortFolder();
    if (!QDir().mkpath(folder)) {
        printError(QStringLiteral("cannot create ") + folder);
        return false;
    }
    const QString link = folder + QStringLiteral("/com") + QString::number(com);
    const QFileInfo old(link);
    if (old.isSymLink() || old.exists()) {
        if (!old.isSymLink()) {
            printError(link + QStringLiteral(" exists and is no link"));
            return false;
        }
        QFile::remove(link);
    }
    if (!QFile::link(device, link)) {
        printError(QStringLiteral("cannot create the link ") + link);
        return false;
    }
    *linkPath = link;
    return true;
}

// Only our own link goes: another simulator may have taken the number since.
void unbindCom(const QString& link, const QString& device) {
    if (!link.isEmpty() && QFileInfo(link).symLinkTarget() == device) {
        QFile::remove(link);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    SimOptions options;
    QString error;
    if (!ParseSimOptions(app.arguments(), &options, &error)) {
        printError(error);
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(options.helpText), stdout);
        return 0;
    }

    // The serving thread inherits this mask, so the signals come to sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RecorderSimulator sim;
    QString imageError;
    if (!options.image.isEmpty() && !sim.LoadImage(options.image, &imageError)) {
        printError(QStringLiteral("cannot load the image ") + options.image + QStringLiteral(": ") +
                   imageError);
        return 1;
    }
    if (options.generate) {
        sim.Generate(options.generateOptions);
    }
    if (options.appendEvents > 0 || options.appendSums > 0) {
        sim.AppendHistory(options.appendEvents, options.appendSums, options.generateOptions.seed);
    }
    sim.SetFaults(options.faults);
    if (options.failAddress) {
        sim.FailNextRequests(*options.failAddress, options.failCount);
    }
    sim.SetLogRequests(options.log);
    if (!options.saveImage.isEmpty() && !sim.SaveImage(options.saveImage)) {
        printError(QStringLiteral("cannot save the image ") + options.saveImage);
        return 1;
    }
    if (!sim.Start()) {
        printError(QStringLiteral("cannot open a pseudo-terminal"));
        return 1;
    }
    const QString device = sim.DevicePath();
    QString link;
    if (options.com > 0 && !bindCom(options.com, device, &link)) {
        return 1;
    }
    std::printf("READY %s\n", qPrintable(device));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);

    sim.Stop();
    unbindCom(link, device);
    int rc = 0;
    if (!options.saveImage.isEmpty() && !sim.SaveImage(options.saveImage)) {
        printError(QStringLiteral("cannot save the image ") + options.saveImage);
        rc = 1;
    }
    return rc;
}
