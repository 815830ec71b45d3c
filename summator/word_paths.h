#pragma once

#include <QString>

// The template the report is made from and the name it is saved under.
inline const QString WordTemplateName = QStringLiteral("Dot_n.dot");
inline const QString WordReportName = QStringLiteral("list.doc");

// Where the word report's template is found and where the report is saved.
// The template is looked for beside the program first (a build tree, or a
// copy the user put there), then in the installed data folder, which lies at
// a fixed place relative to the program's folder (share/zorvan/ for bin/).

// The template's path: the first folder that holds it; beside the program
// when none does, so the failure names the usual place.
[[nodiscard]] QString WordTemplatePath(const QString& programDir);

// Where "list.doc" goes: in runDir for an installed program (its template
// found in the data folder, not beside it); otherwise beside the program,
// unless that folder exists and is not writable, then in runDir.
[[nodiscard]] QString WordReportPath(const QString& programDir, const QString& runDir);
