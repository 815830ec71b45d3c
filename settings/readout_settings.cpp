#include "settings/readout_settings.h"

#include "settings/baud_step.h"

Settings SettingsAsShown(Settings s) {
    s.ComPortNumber = ComPortRange.Clamp(s.ComPortNumber);
    s.BaudRate = SteppedBaud(BaudRange.Clamp(s.BaudRate));
    s.MaxMoment = FullScaleRange.Clamp(s.MaxMoment);
    s.MaxWeight = FullScaleRange.Clamp(s.MaxWeight);
    s.RefreshPeriod = RefreshRange.Clamp(s.RefreshPeriod);
    return s;
}

SumReadoutChoice SumChoiceFor(const OutputChoice& files, bool weightMode, int maxMoment,
                              int maxWeight) {
    SumReadoutChoice choice;
    choice.files = files;
    choice.basis = weightMode ? RatingBasis::Weight : RatingBasis::Moment;
    choice.fullScale = weightMode ? maxWeight : maxMoment;
    return choice;
}
