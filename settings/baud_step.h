#pragma once

// The line speeds the recorder runs at; the speed spin's arrows step between them.
inline constexpr int LineSpeeds[] = {1200, 2400, 4800, 9600};

// One arrow step of the speed spin (a speed plus or minus 1) turned into a
// step to the next of the four speeds. Any other value is kept, so a typed
// speed such as 5000 is taken as it is.
[[nodiscard]] int SteppedBaud(int value);
