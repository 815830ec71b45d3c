#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <cstdio>

// Progress of a memory readout on standard error: the records read, the
// records per second and the time left. The readout reports its position as
// the sum of its address steps against the maximum of that sum.
class ReadoutProgress {
public:
    enum class Style {
        Quiet, // nothing
        Lines, // a line every few seconds (a log, a pipe)
        Bar,   // one line redrawn in place (a terminal)
    };
    static constexpr std::int64_t BarIntervalMs = 100;
    static constexpr std::int64_t LineIntervalMs = 5000;
    static constexpr int BarWidth = 30;

    ReadoutProgress(Style style, std::FILE* stream);

    // Before the records: what is being read now (e.g. the identification),
    // shown in place of the records' progress until Start.
    void Stage(const QString& what);
    // Something the user waits on (the recorder not answering), shown after
    // the stage or the records' progress until the next of either; empty
    // takes it away.
    void Note(const QString& note);
    // A readout starts reading its records.
    void Start(std::int64_t maximum);
    // One more record read; position is the readout's position after it.
    void Record(std::int64_t position);
    // Shows the latest state and ends a bar's line, so that other output
    // starts on a line of its own.
    void Suspend();

private:
    [[nodiscard]] QString text() const;
    void draw();

    Style style_;
    std::FILE* stream_;
    QElapsedTimer started_;
    QElapsedTimer shown_;
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    std::int64_t records_ = 0;
    std::int64_t shownRecords_ = 0;
    bool lineOpen_ = false; // a bar is drawn and its line not yet ended
    QString stage_;         // shown until the records start
    QString note_;
    bool stageShown_ = true;
};

// "записей: 1 234  45%  8 800 зап/с  осталось 0:03" (digits grouped by a
// no-break space). The rate and the time
// left need some time elapsed and some position reached; until then they
// read "--".
[[nodiscard]] QString ProgressText(std::int64_t records, std::int64_t elapsedMs,
                                   std::int64_t position, std::int64_t maximum);
// "[#####-----]" of the given inner width; full when the maximum is 0.
[[nodiscard]] QString ProgressBar(std::int64_t position, std::int64_t maximum, int width);
// m:ss below an hour, h:mm:ss above.
[[nodiscard]] QString DurationText(std::int64_t ms);
