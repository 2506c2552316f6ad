#pragma once
// Polling with a deadline: every wait of the probe ends, one way or the other.
#include <windows.h>

#include <cstdint>

namespace probe {

inline constexpr DWORD kPollIntervalMs = 20;

// Calls ready() until it gives true or timeoutMs has passed; gives the last answer.
template <typename Ready> bool WaitUntil(int64_t timeoutMs, Ready ready) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (ready())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollIntervalMs);
    }
}

} // namespace probe
