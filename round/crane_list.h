#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The cranes a round reads, as the user writes them by hand into an INI file:
//
//   # comment (also ; comment)
//   [KS-45717 No 0457]           the crane's name: its run folders' folder
//   com = 3                      COM n (1-99), or
//   port = rfc2217://yard:4001   a port on the network (tcp:// or rfc2217://)
//   baud = 9600                  optional: 1200, 2400, 4800 or 9600
//   read = events, summator      optional: the memories, in this order
//
// A crane needs exactly one of com and port. Keys and memories are lower case.
struct RoundCrane {
    QString name;
    int com = 0;       // 0: a network port
    QString port;      // tcp:// or rfc2217:// address; empty for a COM number
    int baud = 0;      // 0: the settings' speed
    QStringList reads; // "events", "summator", in the order given
    int line = 0;      // of its section header, for messages
};

struct CraneListParse {
    std::vector<RoundCrane> cranes;
    // Empty when the list is sound; else "FILE:LINE: what is wrong" (or
    // "FILE: ..." for the file as a whole), the first fault only.
    QString error;
};

// The list in text (UTF-8), named file in messages.
[[nodiscard]] CraneListParse ParseCraneList(const QByteArray& text, const QString& file);
// The list in the file at path; a file that cannot be read is an error too.
[[nodiscard]] CraneListParse ReadCraneList(const QString& path);
