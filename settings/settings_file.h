#pragma once

#include "decoding/reasons.h"

#include <QDateTime>
#include <QDir>
#include <QString>

// Name of the settings file; it is opened by bare name in the current
// directory: the start directory when read, the run folder when written.
inline constexpr char SettingsFileName[] = "zorvan.ini";

// Number of lines of the settings file; the meaning of a line is its position.
constexpr int SettingsLineCount = 38;

// What the settings file holds. The defaults are those of a first run (no
// file): port 1, 9600 Bd, 800 and 50 as the 100 % values, the moment radio,
// a refresh period of 1 s and the default message texts.
struct Settings {
    int BaudRate = 9600;
    int ComPortNumber = 1;
    int MaxMoment = 800;
    int MaxWeight = 50;
    bool WeightMode = false; // line 5 "вес": the weight radio; else the moment radio
    int RefreshPeriod = 1;
    MessageTexts Texts = MessageTexts::Defaults();
};

struct SettingsLoad {
    enum Status { Loaded, Missing, Malformed } status = Missing;
    int line = 0;     // Malformed: 1-based number of the bad line
    QString content;  // Malformed: that line as read
    QString fileName; // the file's name without its folder, for the message

    // The one message to show for Malformed (Russian; names the file, the line
    // number and its content). Empty for the other states.
    [[nodiscard]] QString Message() const;
};

// Reads a file in the "zorvan.ini" format at path into s.
// - Missing or unreadable file: BaudRate 9600, ComPortNumber 1, RefreshPeriod 1
//   and the default texts; MaxMoment, MaxWeight and WeightMode keep what s
//   held (the controls' current values). Status Missing, nothing to report.
// - Lines 1-4 and 6 are integers: an optional sign and decimal digits, nothing
//   else, within 32 bits. Line 5 is "вес" exactly for the weight radio.
//   Lines 7-38 are the texts; a line past the end of the file is empty, and
//   control characters in a text become blanks (BlankControlCharacters).
// - A malformed integer line: status Malformed with its number and content;
//   what was read before it stays, the rest takes the defaults above, so every
//   list always holds eight texts.
// Values are not checked against the ranges of the window's controls.
// The file is decoded from code page 1251; LF ends a line, and the CRs right
// before it (CR LF, CR CR LF) are part of the line end, not of the line.
[[nodiscard]] SettingsLoad LoadSettings(const QString& path, Settings& s);

// Writes the 38 lines (code page 1251, CR LF); a list shorter than eight
// entries gives empty lines, line breaks inside a text become blanks so the
// line positions hold. False on any I/O error.
[[nodiscard]] bool SaveSettings(const QString& path, const Settings& s);

// An integer line of the settings file: optional '+' or '-', then decimal
// digits only, in the signed 32-bit range. False (value untouched) otherwise.
[[nodiscard]] bool ParseSettingsInteger(const QString& line, int& value);

// The text with every CR LF, CR and LF replaced by one blank: a message text
// must stay on its one line of the settings file.
[[nodiscard]] QString SingleLineText(const QString& text);

// The text with every control character (U+0000-U+001F, U+007F) replaced by
// a blank: a tab would add a spreadsheet column, a CR or LF split a line.
[[nodiscard]] QString BlankControlCharacters(const QString& text);

// The user's own copy of the settings, which carries them from one start to
// the next wherever the program is started: zorvan.ini in the zorvan folder
// of the user's configuration location (~/.config/zorvan/ on Linux). Empty
// when the system names no such location.
[[nodiscard]] QString UserSettingsPath();

// The settings file read at the start: the start directory's zorvan.ini when
// there is one, else userPath when that file exists, else the start
// directory's (missing) file.
[[nodiscard]] QString StartSettingsPath(const QString& startDir, const QString& userPath);

// Writes the settings as the user's copy at userPath, making its folder.
// False on any failure or for an empty path.
[[nodiscard]] bool SaveUserSettings(const QString& userPath, const Settings& s);

// True when a file of that name can be opened for reading now; false
// otherwise or for an empty name. Opens read-only and closes at once.
[[nodiscard]] bool FileExists(const QString& name);
