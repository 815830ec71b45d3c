#include "settings/baud_step.h"

#include <utility>

int SteppedBaud(int value) {
    // Applied one after the other, each to the result of the one before.
    static constexpr std::pair<int, int> steps[] = {{9599, 4800}, {4799, 2400}, {2399, 1200},
                                                    {4801, 9600}, {2401, 4800}, {1201, 2400}};
    for (const auto& [from, to] : steps) {
        if (value == from)
            value = to;
    }
    return value;
}
