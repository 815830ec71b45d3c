// recorder-sim: a parameter recorder on a pseudo-terminal, for tests, the
// benchmark and demonstrations without the hardware.

#include "simulator/com_binding.h"
#include "simulator/kept_memory.h"
#include "simulator/recorder_sim.h"
#include "simulator/sim_control.h"
#include "simulator/sim_options.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void printError(const QString& text) {
    std::fprintf(stderr, "recorder-sim: %s\n", qPrintable(text));
}

bool bindCom(int com, const QString& device, QString* linkPath) {
    QString error;
    if (BindCom(PortFolder(), com, device, linkPath, &error) == BindResult::Bound)
        return true;
    printError(error);
    return false;
}

// The line being served and its COM link: a reopen moves both.
struct Binding {
    std::mutex mutex;
    int com = -1;
    QString device;
    QString link;
    bool closing = false;
};

void answer(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString reopen(RecorderSimulator& sim, Binding& binding) {
    sim.Stop();
    // Our own link goes with the old line, before a new terminal may get its name.
    UnbindCom(binding.link, binding.device);
    binding.link.clear();
    if (!sim.Start()) {
        return QStringLiteral("ERROR cannot open a pseudo-terminal");
    }
    binding.device = sim.DevicePath();
    if (binding.com > 0 && !bindCom(binding.com, binding.device, &binding.link)) {
        return QStringLiteral("ERROR cannot bind COM") + QString::number(binding.com);
    }
    return QStringLiteral("READY ") + binding.device;
}

// Runs on a thread of its own; the simulator ends when standard input does,
// as nobody is left to control it.
void serveControl(RecorderSimulator& sim, Binding& binding) {
    std::string line;
    while (std::getline(std::cin, line)) {
        ControlCommand command;
        QString error;
        const bool parsed =
            ParseControlLine(QString::fromLocal8Bit(line.c_str()), &command, &error);
        std::lock_guard lock(binding.mutex);
        if (binding.closing) {
            return;
        }
        if (!parsed) {
            answer(QStringLiteral("ERROR ") + error);
        } else if (command.reopen) {
            answer(reopen(sim, binding));
        } else {
            sim.SetFaults(command.faults);
            answer(QStringLiteral("OK"));
        }
    }
    ::kill(::getpid(), SIGTERM);
}

} // namespace

#ifndef ZORVAN_VERSION
#define ZORVAN_VERSION "unknown"
#endif

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
    if (options.version) {
        std::printf("recorder-sim %s\n", ZORVAN_VERSION);
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
    // Bound as a COM number, a generated recorder keeps its memory between runs.
    const QString kept = options.com > 0 && options.image.isEmpty()
                             ? KeptMemoryPath(PortFolder(), options.com, options.generateOptions)
                             : QString();
    if (options.generate && (kept.isEmpty() || !RestoreMemory(sim, kept))) {
        sim.Generate(options.generateOptions);
    }
    if (options.appendEvents > 0 || options.appendSums > 0) {
        sim.AppendHistoryToClock(options.appendEvents, options.appendSums,
                                 options.generateOptions.seed, options.generateOptions.model);
    }
    sim.SetFaults(options.faults);
    if (options.failAddress) {
        sim.FailNextRequests(*options.failAddress, options.failCount);
    }
    sim.SetLogRequests(options.log);
    sim.SetTimingLog(options.timingLog);
    if (!options.saveImage.isEmpty() && !sim.SaveImage(options.saveImage)) {
        printError(QStringLiteral("cannot save the image ") + options.saveImage);
        return 1;
    }
    if (!sim.Start()) {
        printError(QStringLiteral("cannot open a pseudo-terminal"));
        return 1;
    }
    // Static: the control thread may still wait on it while the program ends.
    static Binding binding;
    binding.com = options.com;
    binding.device = sim.DevicePath();
    if (options.com > 0 && !bindCom(options.com, binding.device, &binding.link)) {
        return 1;
    }
    answer(QStringLiteral("READY ") + binding.device);
    if (options.control) {
        std::thread(serveControl, std::ref(sim), std::ref(binding)).detach();
    }

    int received = 0;
    sigwait(&stopSignals, &received);

    std::lock_guard lock(binding.mutex);
    binding.closing = true;
    sim.Stop();
    UnbindCom(binding.link, binding.device);
    int rc = 0;
    if (!kept.isEmpty() && !KeepMemory(sim, kept)) {
        printError(QStringLiteral("cannot keep the memory in ") + kept);
        rc = 1;
    }
    if (!options.saveImage.isEmpty() && !sim.SaveImage(options.saveImage)) {
        printError(QStringLiteral("cannot save the image ") + options.saveImage);
        rc = 1;
    }
    return rc;
}
