#pragma once

#include "simulator/recorder_sim.h"

#include <QString>

// A simulator bound as COM n keeps its memory from one run to the next, as a
// recorder keeps it switched off: started again with the same content
// options, it serves what it served when it ended (a tool's erase or clock
// set included) and new records go after those. Other content options make
// another recorder, with a memory of its own. The images lie in the port
// folder's ".recorder-sim" folder, one per COM number and content options.

// Where that memory is kept.
[[nodiscard]] QString KeptMemoryPath(const QString& portFolder, int com,
                                     const GenerateOptions& options);

// Loads the kept memory into sim, whose clock then runs on from where it
// stood by the time passed since it was kept. False, sim untouched, when
// there is none (or it is no memory image).
[[nodiscard]] bool RestoreMemory(RecorderSimulator& sim, const QString& path);

// Keeps sim's memory at path; false when it cannot be written.
[[nodiscard]] bool KeepMemory(const RecorderSimulator& sim, const QString& path);
