#pragma once

#include "duty/duty_input.h"
#include "image/memory_image.h"

#include <QString>

// The duty estimate's inputs from a memory image (a run's recorder.img or a
// crane's archive): the summator records walked as the summator readout walks
// them, newest first, with the identification, the clock, the erase time and
// the counters.
struct DutyImageRead {
    DutyInput input;
    int records = 0; // summator records taken
    int written = 0; // ... of them not blank (every byte erased)
    // What the image lacks, in words; empty when it held the whole walk.
    QString missing;
};

[[nodiscard]] DutyImageRead DutyInputFromImage(const MemoryImage& image);
