// `round`: every crane of a list read since its last readout, several at a
// time, and pushed when asked.

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "cli/break_signal.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "round/crane_list.h"
#include "round/round_runner.h"
#include "runner/exit_codes.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QLockFile>

namespace {

constexpr int DefaultJobs = 4;
constexpr int MostJobs = 64;

} // namespace

void AddRoundOptions(QCommandLineParser& p) {
    p.addPositionalArgument(QStringLiteral("list"),
                            QStringLiteral("The crane list: an INI file, one [NAME] section per "
                                           "crane with com = n or port = URL, and optionally "
                                           "baud = BD and read = events, summator."),
                            QStringLiteral("FILE"));
    p.addOption({QStringLiteral("out"),
                 QStringLiteral("Each crane's run folders go into DIR/NAME (made when missing), "
                                "where the crane's own zorvan.ini is read from. Default: the "
                                "current folder."),
                 QStringLiteral("DIR")});
    p.addOption({QStringLiteral("jobs"), QStringLiteral("Cranes read at once, 1-64. Default: 4."),
                 QStringLiteral("N")});
    p.addOption({QStringLiteral("push"),
                 QStringLiteral("Push each crane read whole into the fleet database as soon as it "
                                "is done (also when ZORVAN_DB or --db is given).")});
    AddDatabaseOption(p);
}

int RunRound(const Invocation& in) {
    const QString command = QStringLiteral("round");
    const QStringList arguments = in.options.positionalArguments();
    if (arguments.isEmpty())
        return UsageFailure(in.console, command, QStringLiteral("round needs the crane list FILE"));
    int jobs = DefaultJobs;
    if (in.options.isSet(QStringLiteral("jobs"))) {
        bool ok = false;
        jobs = in.options.value(QStringLiteral("jobs")).toInt(&ok);
        if (!ok || jobs < 1 || jobs > MostJobs)
            return UsageFailure(in.console, command,
                                QStringLiteral("--jobs takes a whole number from 1 to %1, not "
                                               "'%2'")
                                    .arg(MostJobs)
                                    .arg(in.options.value(QStringLiteral("jobs"))));
    }
    // The whole list is checked before any crane is read.
    const CraneListParse list = ReadCraneList(arguments.first());
    if (!list.error.isEmpty())
        return UsageFailure(in.console, command, list.error);

    // One round at a time on an archive: two would read the same cranes at
    // once. A lock left by a process that died is taken over.
    const QString archive = ArchiveFolder();
    if (!QDir().mkpath(archive)) {
        in.console.Err(QStringLiteral("zorvan-cli: cannot make the folder ") +
                       QDir::toNativeSeparators(archive));
        return ExitCode::FileFailure;
    }
    QLockFile lock(QDir(archive).filePath(QStringLiteral("round.lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        qint64 pid = 0;
        QString host, application;
        const bool known = lock.getLockInfo(&pid, &host, &application);
        in.console.Err(
            known ? QStringLiteral("zorvan-cli: another round is running on this archive "
                                   "(process %1 on %2); this one ends")
                        .arg(pid)
                        .arg(host)
                  : QStringLiteral("zorvan-cli: the round's lock %1 cannot be taken; this one "
                                   "ends")
                        .arg(QDir::toNativeSeparators(lock.fileName())));
        return ExitCode::Usage;
    }

    RoundRunner::Options options;
    options.program = QCoreApplication::applicationFilePath();
    options.outFolder = in.options.isSet(QStringLiteral("out"))
                            ? QDir(in.options.value(QStringLiteral("out"))).absolutePath()
                            : QDir::currentPath();
    options.jobs = jobs;
    options.archive = QDir(archive).filePath(ArchiveDatabase::FileName);
    options.db = in.options.value(QStringLiteral("db"));
    options.push = in.options.isSet(QStringLiteral("push")) || !options.db.isEmpty() ||
                   !qEnvironmentVariableIsEmpty("ZORVAN_DB");
    RoundRunner runner(list.cranes, options);
    Console& console = in.console;
    QObject::connect(&runner, &RoundRunner::CraneDone,
                     [&console](const CraneReport& report, const QStringList& messages) {
                         for (const QString& message : messages)
                             console.Err(report.name + QStringLiteral(": ") + message);
                         console.Out(CraneLine(report));
                     });
    QObject::connect(&in.breakSignal, &BreakSignal::Pressed, &runner, &RoundRunner::Stop);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&runner, &RoundRunner::Finished, [&] {
        finished = true;
        loop.quit();
    });
    runner.Start();
    if (!finished)
        loop.exec();

    for (const CraneReport& report : runner.Reports())
        if (report.outcome == CraneOutcome::NotRead)
            console.Out(CraneLine(report));
    if (runner.Stopped())
        console.Err(QStringLiteral("zorvan-cli: the round was stopped; what was read is kept"));
    console.Out(SummaryLine(runner.Reports()));
    return RoundExitCode(runner.Reports(), runner.Stopped());
}
