#pragma once
// Clock, local time and known folders.
#include <cstdint>
#include <string>

namespace platform {

// Milliseconds since an arbitrary start, 32 bits, wrapping (GetTickCount).
uint32_t TickCount();

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
    bool operator==(const LocalTime&) const = default;
};
LocalTime GetLocalTime();

// Gives up the rest of the thread's time slice (Sleep(0)).
void YieldTimeSlice();

// The user's documents folder, or an empty text when it cannot be found.
std::wstring DocumentsFolder();

// The full path of the running program's executable, or an empty text when it cannot be found.
std::wstring ExecutablePath();

} // namespace platform
