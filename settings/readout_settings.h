#pragma once

#include "settings/settings_file.h"
#include "summator/sum_readout.h"

// What the readouts take from the settings, for the window and the command
// line alike.

// Ranges of the settings as the window's spin edits hold them.
struct SettingRange {
    int low = 0;
    int high = 0;

    [[nodiscard]] constexpr int Clamp(int value) const {
        return value < low ? low : (value > high ? high : value);
    }
    [[nodiscard]] constexpr bool Holds(int value) const { return value >= low && value <= high; }
};
inline constexpr SettingRange ComPortRange{1, 99};
inline constexpr SettingRange BaudRange{1200, 9600};
inline constexpr SettingRange FullScaleRange{0, 9999};
inline constexpr SettingRange RefreshRange{1, 10};

// The settings as the window shows them once loaded: every number brought
// into its control's range, the speed then taken through the speed spin's
// stepping rule. A file written from them is valid again.
[[nodiscard]] Settings SettingsAsShown(Settings s);

// Rating basis and 100 % value of a summator readout: the moment or the
// weight, whichever the radio (weightMode) chooses.
[[nodiscard]] SumReadoutChoice SumChoiceFor(const OutputChoice& files, bool weightMode,
                                            int maxMoment, int maxWeight);

// The event files carry the reach column when the moment is the basis.
[[nodiscard]] constexpr bool EventFilesWithReach(bool weightMode) {
    return !weightMode;
}
