#pragma once

#include <QString>

// Whether documents can be shown to a user: a graphical session, and not the
// offscreen platform of automated runs.
[[nodiscard]] bool HasDesktop();

// Opens a file with the desktop's default application for its kind; does
// nothing without a desktop.
void ShowOnDesktop(const QString& path);
