#include "round/round_runner.h"

#include "round/new_records.h"
#include "runner/exit_codes.h"

#include <QDateTime>
#include <QDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

struct RoundRunner::Crane {
    std::size_t index = 0;
    int step = 0;                 // readouts first, then the push
    std::int64_t stepStarted = 0; // ms since 1970
    QProcess process;
    QString out;
    QString err;
    QStringList messages;
};

RoundRunner::RoundRunner(std::vector<RoundCrane> cranes, Options options, QObject* parent)
    : QObject(parent), list_(std::move(cranes)), options_(std::move(options)) {
    reports_.resize(list_.size());
    for (std::size_t i = 0; i < list_.size(); ++i)
        reports_[i].name = list_[i].name;
}

RoundRunner::~RoundRunner() = default;

void RoundRunner::Start() {
    startNext();
}

void RoundRunner::Stop() {
    if (stopped_)
        return;
    stopped_ = true;
#ifdef Q_OS_UNIX
    // The steps run in process groups of their own, so a Ctrl+C or a closed
    // terminal reaches the round alone, and each step is asked here exactly
    // once: a second signal would end it at once, files unfinished. (On
    // Windows a console's Ctrl+C reaches every program attached to it.)
    for (const auto& crane : cranes_)
        // Never pid 0: that would be the round's own process group.
        if (const qint64 pid = crane->process.processId();
            crane->process.state() != QProcess::NotRunning && pid > 0)
            ::kill(pid_t(pid), SIGTERM);
#endif
    startNext(); // only to finish when nothing runs
}

void RoundRunner::startNext() {
    while (!stopped_ && running_ < options_.jobs && next_ < list_.size()) {
        auto crane = std::make_unique<Crane>();
        crane->index = next_++;
        Crane& c = *crane;
        cranes_.push_back(std::move(crane));
        ++running_;
        startStep(c);
    }
    if (running_ == 0 && (stopped_ || next_ == list_.size()) && !finished_) {
        finished_ = true;
        emit Finished();
    }
}

void RoundRunner::startStep(Crane& c) {
    const RoundCrane& crane = list_[c.index];
    CraneReport& report = reports_[c.index];
    const bool pushing = c.step >= crane.reads.size();
    if (pushing && report.folders.isEmpty()) {
        // A push without folders would send the whole archive.
        c.messages << QStringLiteral("no run folder was told: nothing to push");
        report.push = PushOutcome::Failed;
        report.pushExitCode = ExitCode::FileFailure;
        craneDone(c);
        return;
    }
    const QString folder = QDir(options_.outFolder).filePath(crane.name);
    if (!QDir().mkpath(folder)) {
        c.messages << QStringLiteral("cannot make the folder ") + QDir::toNativeSeparators(folder);
        report.outcome = CraneOutcome::Failed;
        report.exitCode = ExitCode::FileFailure;
        craneDone(c);
        return;
    }
    c.out.clear();
    c.err.clear();
    c.process.disconnect(this);
    c.process.setWorkingDirectory(folder);
#ifdef Q_OS_UNIX
    c.process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        // Should the round die, a step's last words go nowhere rather than
        // ending it with its files unfinished.
        ::signal(SIGPIPE, SIG_IGN);
#ifdef Q_OS_LINUX
        // A round that dies (a second signal, a kill) asks its steps to stop.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    });
#endif
    connect(&c.process, &QProcess::readyReadStandardOutput, this,
            [&c] { c.out += QString::fromUtf8(c.process.readAllStandardOutput()); });
    connect(&c.process, &QProcess::readyReadStandardError, this,
            [&c] { c.err += QString::fromUtf8(c.process.readAllStandardError()); });
    connect(&c.process, &QProcess::finished, this,
            [this, &c](int exitCode, QProcess::ExitStatus status) {
                stepEnded(c, exitCode, status == QProcess::CrashExit);
            });
    connect(&c.process, &QProcess::errorOccurred, this, [this, &c](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            c.err += c.process.errorString();
            stepEnded(c, ExitCode::FileFailure, true);
        }
    });
    c.stepStarted = QDateTime::currentMSecsSinceEpoch();
    c.process.start(options_.program, pushing ? PushArguments(report.folders, options_.db)
                                              : ReadoutArguments(crane, crane.reads[c.step]));
}

void RoundRunner::stepEnded(Crane& c, int exitCode, bool crashed) {
    c.out += QString::fromUtf8(c.process.readAllStandardOutput());
    c.err += QString::fromUtf8(c.process.readAllStandardError());
    const RoundCrane& crane = list_[c.index];
    CraneReport& report = reports_[c.index];
    c.messages << MessagesToPassOn(c.err);
    if (c.step >= crane.reads.size()) {
        report.push =
            exitCode == ExitCode::Success && !crashed ? PushOutcome::Pushed : PushOutcome::Failed;
        report.pushExitCode = crashed ? ExitCode::DatabaseFailure : exitCode;
        craneDone(c);
        return;
    }
    // The run folder is the first line a readout prints.
    const QString folder = c.out.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!folder.isEmpty() && QDir(folder).exists())
        report.folders << folder;
    const ReadoutEnd end = ClassifyReadout(crane.reads[c.step], exitCode, crashed, c.err);
    if (end.outcome != CraneOutcome::Read) {
        report.outcome = end.outcome;
        report.exitCode = crashed ? ExitCode::LinkFailure : exitCode;
        craneDone(c);
        return;
    }
    MemoryTally tally = end.tally;
    if (const auto fresh = NewRecords(options_.archive, folder, crane.reads[c.step], c.stepStarted))
        tally.fresh = *fresh;
    report.memories.push_back(tally);
    ++c.step;
    const bool readAll = c.step >= crane.reads.size();
    if (readAll)
        report.outcome = CraneOutcome::Read;
    if (readAll && !options_.push) {
        craneDone(c);
        return;
    }
    if (!stopped_) {
        startStep(c);
        return;
    }
    // Stopped between two steps: the crane is left as far as it got.
    if (!readAll) {
        report.outcome = CraneOutcome::CutShort;
        report.exitCode = ExitCode::Interrupted;
    }
    craneDone(c);
}

void RoundRunner::craneDone(Crane& c) {
    CraneReport& report = reports_[c.index];
    if (options_.push && report.push == PushOutcome::NotAsked)
        report.push = PushOutcome::NotDone;
    emit CraneDone(report, c.messages);
    --running_;
    // The process object is left alone here: this may run inside its signal.
    startNext();
}
