#pragma once

#include "summator/sum_files.h"

#include <QDate>
#include <QFile>
#include <QString>
#include <QTime>

// Summator rows as a readout leaves them, newest first. Every value differs
// from row to row, so a value in the wrong place shows; every fourth record
// has no cycle (no weight, no reach).
inline TSum ReportRow(int i) {
    TSum row;
    row.date = QDate(2009, 3, 7).addDays(-(i / 3)).toString(QStringLiteral("dd.MM.yyyy"));
    row.time = QTime(0, 0).addSecs(((i * 37) % 1440) * 60).toString(QStringLiteral("hh:mm"));
    row.hours = QString::number(50000 - i);
    row.weightTotal = QString::number(900000 - 7 * i);
    row.cycles = QString::number(100000 - i);
    if (i % 4 != 0) {
        row.weight = QString::number(i % 200 + 1);
        row.reach = QString::number(i % 50 + 3);
    }
    return row;
}

inline SumRows ReportRows(int count) {
    SumRows rows;
    for (int i = 1; i <= count; ++i)
        rows.Add(ReportRow(i));
    return rows;
}

// The cells a table row of the report holds for row i.
inline QStringList ReportCells(const TSum& row) {
    return {row.cycles, row.date, row.time, row.weight, row.reach};
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray ShippedTemplate() {
    return ReadAll(QStringLiteral(WORD_TEMPLATE_FILE));
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
