// round-bench: a round of simulated cranes at 9600 Bd in real time, each
// recorder behind a ser2net of its own (RFC 2217), read by the built
// zorvan-cli round several at a time, against two cranes read one after the
// other alone. Prints the wall times, their ratio, the program's CPU (the
// round and every step it ran) per crane being read, and whether every
// crane's records went into the one archive.
//
//   round-bench [--cranes 8] [--jobs 4] [--events 200]

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

std::uint16_t FreePort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool Taken(std::uint16_t port) {
    QTcpServer server;
    return !server.listen(QHostAddress::LocalHost, port) &&
           server.serverError() == QAbstractSocket::AddressInUseError;
}

// One crane: a recorder simulator and a ser2net in front of its terminal.
struct Crane {
    QProcess sim;
    QProcess ser2net;
    std::uint16_t port = 0;

    bool Start(int seed, int events, const QString& folder) {
        sim.start(QStringLiteral(RECORDER_SIM),
                  {"--baud", "9600", "--events", QString::number(events), "--sums", "0", "--seed",
                   QString::number(seed)});
        QByteArray out;
        while (!out.contains('\n')) {
            if (!sim.waitForReadyRead(10000))
                return false;
            out += sim.readAllStandardOutput();
        }
        const QString device = QString::fromLocal8Bit(out).section(' ', 1).trimmed();
        port = FreePort();
        const QString config = QDir(folder).filePath(QStringLiteral("ser2net%1.yaml").arg(seed));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral("connection: &c%1\n"
                                  "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,9600n81,local\n")
                       .arg(seed)
                       .arg(port)
                       .arg(device)
                       .toUtf8());
        file.close();
        ser2net.start(QStringLiteral("ser2net"), {"-n", "-u", "-c", config});
        if (!ser2net.waitForStarted(5000))
            return false;
        for (int i = 0; i < 250; ++i) {
            if (Taken(port))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    ~Crane() {
        for (QProcess* p : {&ser2net, &sim}) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(3000);
        }
    }
};

double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct RoundTime {
    bool ok = false;
    double wall = 0; // s
    double cpu = 0;  // s: the round and every step it ran
    QString out;
};

// A round over the cranes first..first+count-1, with an archive of its own.
RoundTime Round(const std::vector<std::unique_ptr<Crane>>& cranes, int first, int count, int jobs,
                const QString& folder) {
    static int rounds = 0;
    const QString home = QDir(folder).filePath(QStringLiteral("round%1").arg(++rounds));
    QDir().mkpath(home);
    QString list;
    for (int i = first; i < first + count; ++i)
        list += QStringLiteral("[crane %1]\nport = rfc2217://127.0.0.1:%2\nread = events\n")
                    .arg(i + 1)
                    .arg(cranes[std::size_t(i)]->port);
    QFile file(QDir(home).filePath(QStringLiteral("cranes.ini")));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(list.toUtf8());
    file.close();

    QProcess round;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QDir(home).filePath(QStringLiteral("data")));
    env.remove(QStringLiteral("ZORVAN_DB"));
    env.remove(QStringLiteral("ZORVAN_TIME_SCALE"));
    round.setProcessEnvironment(env);
    round.setWorkingDirectory(home);
    const double cpu0 = ChildrenCpu();
    QElapsedTimer clock;
    clock.start();
    round.start(QStringLiteral(ZORVAN_CLI),
                {"round", file.fileName(), "--out", QDir(home).filePath(QStringLiteral("runs")),
                 "--jobs", QString::number(jobs)});
    RoundTime t;
    t.ok = round.waitForFinished(-1) && round.exitStatus() == QProcess::NormalExit &&
           round.exitCode() == 0;
    t.wall = double(clock.nsecsElapsed()) / 1e9;
    t.cpu = ChildrenCpu() - cpu0;
    t.out = QString::fromUtf8(round.readAllStandardOutput() + round.readAllStandardError());
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    p.addOption({"cranes", "Cranes in the round (default 8).", "n", "8"});
    p.addOption({"jobs", "Cranes at once (default 4).", "n", "4"});
    p.addOption({"events", "Event records per crane (default 200).", "n", "200"});
    p.process(app);
    const int count = p.value("cranes").toInt();
    const int jobs = p.value("jobs").toInt();
    const int events = p.value("events").toInt();

    QTemporaryDir folder;
    std::vector<std::unique_ptr<Crane>> cranes;
    for (int i = 0; i < count; ++i) {
        cranes.push_back(std::make_unique<Crane>());
        if (!cranes.back()->Start(100 + i, events, folder.path())) {
            std::fprintf(stderr, "round-bench: crane %d (simulator, ser2net) did not start\n",
                         i + 1);
            return 1;
        }
    }

    // Two cranes one after the other, alone: what a round of count cranes,
    // jobs at a time, would take if nothing were lost to running them at once.
    const RoundTime alone = Round(cranes, 0, 2, 1, folder.path());
    // ser2net lets a device go a moment after its connection closes.
    QThread::msleep(500);
    const RoundTime all = Round(cranes, 0, count, jobs, folder.path());
    if (!alone.ok || !all.ok) {
        std::fprintf(stderr, "round-bench: a round failed\n%s%s", qPrintable(alone.out),
                     qPrintable(all.out));
        return 1;
    }
    const double ideal = alone.wall * (double(count) / jobs) / 2;
    std::printf("two cranes one after the other: %.1f s, program CPU %.2f s (%.2f %% of wall)\n",
                alone.wall, alone.cpu, alone.cpu / alone.wall * 100);
    std::printf("round of %d cranes, %d at a time: %.1f s = %.2f x the two alone (%.2f x the "
                "ideal %.1f s)\n",
                count, jobs, all.wall, all.wall / alone.wall, all.wall / ideal, ideal);
    std::printf("program CPU: %.2f s in all, %.3f s per crane, %.2f %% of wall per crane being "
                "read\n",
                all.cpu, all.cpu / count, all.cpu / (all.wall * jobs) * 100);
    // Every crane's records went into the one archive, however many wrote at once.
    const QString whole = QStringLiteral(": read, events %1 new (").arg(events);
    const int archived = int(all.out.count(whole));
    std::printf("cranes read whole into the archive: %d of %d%s\n", archived, count,
                all.out.contains(QStringLiteral("Архив не ведется")) ? " (archive failures!)" : "");
    const bool wallOk = all.wall <= 1.3 * alone.wall * (double(count) / jobs) / 2;
    const bool cpuOk = all.cpu / (all.wall * jobs) <= 0.02;
    std::printf("wall %s (<= 1.3 x), CPU %s (<= 2 %%)\n", wallOk ? "ok" : "TOO LONG",
                cpuOk ? "ok" : "TOO HIGH");
    return wallOk && cpuOk && archived == count ? 0 : 1;
}
