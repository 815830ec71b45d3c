#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>

// The run's summary page, in every run folder a readout wrote into.
inline const QString SummaryPageName = QStringLiteral("index.html");

// Run folder name: dd_MM_yyyy_HH_mm_ss, the date alone (dd_MM_yyyy) at
// exactly midnight (00:00:00.000).
[[nodiscard]] QString RunFolderName(const QDateTime& at);

// Makes a new run folder in dir and returns its absolute path; empty on
// failure. The folder is made exclusively, so two programs started in the
// same second never share one: when the name is taken (by a folder or a
// file), "_2", "_3", ... is added. The current directory is not changed.
[[nodiscard]] QString MakeRunFolder(const QDir& dir, const QDateTime& at);
