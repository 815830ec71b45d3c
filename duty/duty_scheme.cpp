#include "duty/duty_scheme.h"

namespace Iso4301 {

int LoadStateIndex(double kp) {
    for (int i = 0; i < int(LoadStates.size()); ++i)
        if (kp <= LoadStates[std::size_t(i)].nominalKp)
            return i;
    return int(LoadStates.size()) - 1;
}

int UtilizationIndex(double totalCycles) {
    const int last = int(UtilizationClasses.size()) - 1;
    for (int i = 0; i < last; ++i)
        if (totalCycles <= double(UtilizationClasses[std::size_t(i)].maxCycles))
            return i;
    return last;
}

int Group(int loadStateIndex, int utilizationIndex) {
    return GroupTable[std::size_t(loadStateIndex)][std::size_t(utilizationIndex)];
}

const char* GroupName(int group) {
    static constexpr std::array<const char*, GroupCount> names = {"A1", "A2", "A3", "A4",
                                                                  "A5", "A6", "A7", "A8"};
    return names[std::size_t(group - 1)];
}

std::uint32_t GroupBudget(int group) {
    return GroupBudgets[std::size_t(group - 1)];
}

} // namespace Iso4301
