#include "readout/readout_log.h"

bool ReadoutLog::Open(const QString& name) {
    return file_.Append(name);
}

void ReadoutLog::Start(const QDateTime& now, const QString& title) {
    Line(QString());
    Line(LogTimeText(now));
    Line(title);
}

void ReadoutLog::Line(const QString& text) {
    // The log only records what happened; a line it cannot take must not
    // stop the readout whose records are the point of the operation.
    (void)file_.WriteLn(text);
}

void ReadoutLog::Failure(const QString& text, std::int32_t code) {
    if (port_ && port_->TakeLoss())
        Line(port_->LossText());
    Line(text + QStringLiteral("Error ") + QString::number(code));
}

QString LogTimeText(const QDateTime& at) {
    const QDate d = at.date();
    const QTime t = at.time();
    return QStringLiteral("%1.%2.%3 %4:%5")
        .arg(d.day())
        .arg(d.month())
        .arg(d.year())
        .arg(t.hour())
        .arg(t.minute());
}

QString Hex5(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 5, 16, QLatin1Char('0')).toUpper();
}

QString Hex8(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}
