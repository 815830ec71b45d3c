#pragma once

#include "round/crane_list.h"
#include "round/crane_report.h"

#include <QObject>
#include <QProcess>

#include <memory>
#include <vector>

// A round over a list of cranes: each crane's readouts, one after the other,
// then its push, each step a child process of the tool (program), several
// cranes at once. Everything waits in the event loop; Finished comes once
// the last step has ended.
class RoundRunner : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString program;   // the tool itself
        QString outFolder; // each crane's run folders go into outFolder/NAME
        int jobs = 4;      // cranes at once
        bool push = false; // push each crane read whole
        QString db;        // --db for the push; empty: the environment's
        QString archive;   // the archive's database, to count the records new to it
    };

    RoundRunner(std::vector<RoundCrane> cranes, Options options, QObject* parent = nullptr);
    ~RoundRunner() override;
    RoundRunner(const RoundRunner&) = delete;
    RoundRunner& operator=(const RoundRunner&) = delete;

    void Start();
    // A stop from outside: no step starts any more, and every step under way
    // is asked to stop as a Break stops it (it keeps what it read and ends
    // its files). Finished still comes once they have ended.
    void Stop();
    [[nodiscard]] bool Stopped() const { return stopped_; }

    [[nodiscard]] const std::vector<CraneReport>& Reports() const { return reports_; }

signals:
    // A crane is done with; its report and the lines its steps said on
    // standard error (a failure's reasons, a warning), to pass on.
    void CraneDone(const CraneReport& report, const QStringList& messages);
    void Finished();

private:
    struct Crane;
    void startNext();
    void startStep(Crane& crane);
    void stepEnded(Crane& crane, int exitCode, bool crashed);
    void craneDone(Crane& crane);

    std::vector<RoundCrane> list_;
    Options options_;
    std::vector<std::unique_ptr<Crane>> cranes_;
    std::vector<CraneReport> reports_;
    std::size_t next_ = 0; // the next crane to begin
    int running_ = 0;
    bool stopped_ = false;
    bool finished_ = false;
};
