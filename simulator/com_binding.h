#pragma once

#include <QString>

// The simulator's entry in the port folder: a link "comN" to its own
// pseudo-terminal. The folder also holds the user's links to real adapters,
// so the simulator makes only a link where there is none and removes only
// the link it made, while that still leads to its own terminal.

inline constexpr int LowestComNumber = 1;
inline constexpr int HighestComNumber = 99;

// What BindCom found.
enum class BindResult {
    Bound,  // the link now leads to device
    Taken,  // comN is there and not ours to replace
    Failed, // the folder or the link could not be made
};

// Links folder/comN to device, and notes beside it (".recorder-sim/comN.owner")
// which process made it. An entry that is there already is left alone, unless
// it is what a killed simulator left behind: a link to a pseudo-terminal that
// is gone, or one whose noted maker has ended (the terminal's name may belong
// to someone else by now). A link to any other device, even a missing one (an
// adapter unplugged for now), is the user's. *link receives the link's path
// when bound; *error one line telling the user what to do otherwise.
[[nodiscard]] BindResult BindCom(const QString& folder, int com, const QString& device,
                                 QString* link, QString* error);

// Removes link (and its note) only while it still leads to device: another
// simulator may have taken the number since, or the user pointed it elsewhere.
void UnbindCom(const QString& link, const QString& device);

// The lowest COM number with no entry in folder, or 0 when all are taken.
[[nodiscard]] int FreeComNumber(const QString& folder);

// The note of who made folder/comN: "PID DEVICE".
[[nodiscard]] QString OwnerNotePath(const QString& folder, int com);
