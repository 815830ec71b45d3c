#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The recorder simulator as a process of its own, bound as COM n in a
// temporary port folder, so that a benchmark measures only its own CPU time.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();

    // Starts the simulator with extra options and waits for its READY line;
    // sets ZORVAN_PORTS for this process so that Pordt finds COM n.
    bool Start(int comNumber, const QStringList& options);
    void Stop();
    // One line to the simulator's control channel (started with --control)
    // and its answer line; empty when none came.
    QString Control(const QString& line);

    [[nodiscard]] QString Error() const { return error_; }

private:
    QTemporaryDir ports_;
    QProcess process_;
    QString error_;
};
