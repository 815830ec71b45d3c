#include "cli/progress.h"

#include "decoding/russian_numbers.h"

#include <algorithm>

namespace {

// Position as a share of the maximum, 0..1; a readout of one record has a
// maximum of 0 and is done once it has read it.
double Share(std::int64_t position, std::int64_t maximum) {
    if (maximum <= 0)
        return 1.0;
    return std::clamp(static_cast<double>(position) / static_cast<double>(maximum), 0.0, 1.0);
}

} // namespace

QString DurationText(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = (seconds / 60) % 60;
    const QString ss = QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (hours == 0)
        return QStringLiteral("%1:%2").arg(minutes).arg(ss);
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(ss);
}

QString ProgressBar(std::int64_t position, std::int64_t maximum, int width) {
    const int filled = static_cast<int>(Share(position, maximum) * width);
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(width - filled, QLatin1Char('-')) + QLatin1Char(']');
}

QString ProgressText(std::int64_t records, std::int64_t elapsedMs, std::int64_t position,
                     std::int64_t maximum) {
    const double share = Share(position, maximum);
    QString rate = QStringLiteral("--");
    QString left = QStringLiteral("--");
    if (elapsedMs > 0) {
        rate = RussianNumber(records * 1000 / elapsedMs);
        if (share > 0.0) {
            const double total = static_cast<double>(elapsedMs) / share;
            left = DurationText(static_cast<std::int64_t>(total) - elapsedMs);
        }
    }
    return QStringLiteral("записей: %1  %2%  %3 зап/с  осталось %4")
        .arg(RussianNumber(records))
        .arg(static_cast<int>(share * 100))
        .arg(rate, left);
}

ReadoutProgress::ReadoutProgress(Style style, std::FILE* stream) : style_(style), stream_(stream) {}

void ReadoutProgress::Stage(const QString& what) {
    const bool first = stage_.isEmpty();
    stage_ = what;
    note_.clear();
    stageShown_ = false;
    if (style_ == Style::Quiet)
        return;
    // A bar follows every step; lines come every few seconds, the first at once.
    if (style_ == Style::Bar || first || shown_.elapsed() >= LineIntervalMs)
        draw();
}

void ReadoutProgress::Note(const QString& note) {
    if (note == note_)
        return;
    note_ = note;
    stageShown_ = false;
    // Rare, and each one news: shown at once in either style.
    if (style_ != Style::Quiet && !note_.isEmpty())
        draw();
}

void ReadoutProgress::Start(std::int64_t maximum) {
    stage_.clear();
    note_.clear();
    stageShown_ = true;
    maximum_ = maximum;
    position_ = 0;
    records_ = 0;
    shownRecords_ = 0;
    started_.start();
    shown_.start();
}

void ReadoutProgress::Record(std::int64_t position) {
    position_ = position;
    ++records_;
    note_.clear();
    if (style_ == Style::Quiet)
        return;
    const std::int64_t interval = style_ == Style::Bar ? BarIntervalMs : LineIntervalMs;
    if (shown_.elapsed() >= interval)
        draw();
}

void ReadoutProgress::Suspend() {
    if (style_ == Style::Quiet || (records_ == shownRecords_ && stageShown_ && !lineOpen_))
        return;
    // The last state stays on screen above what follows.
    draw();
    if (lineOpen_) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
        lineOpen_ = false;
    }
}

QString ReadoutProgress::text() const {
    QString text = stage_;
    if (text.isEmpty() && started_.isValid())
        text = ProgressText(records_, started_.elapsed(), position_, maximum_);
    if (note_.isEmpty())
        return text;
    return text.isEmpty() ? note_ : text + QStringLiteral(": ") + note_;
}

void ReadoutProgress::draw() {
    shown_.start();
    shownRecords_ = records_;
    stageShown_ = true;
    if (style_ == Style::Bar && (!stage_.isEmpty() || !started_.isValid())) {
        std::fputs(("\r" + text().toLocal8Bit() + "\x1b[K").constData(), stream_);
        lineOpen_ = true;
    } else if (style_ == Style::Bar) {
        // Back to the start of the line, and clear what a longer text left.
        const QString line = ProgressBar(position_, maximum_, BarWidth) + QLatin1Char(' ') + text();
        std::fputs(("\r" + line.toLocal8Bit() + "\x1b[K").constData(), stream_);
        lineOpen_ = true;
    } else {
        std::fputs((text().toLocal8Bit() + '\n').constData(), stream_);
    }
    std::fflush(stream_);
}
