#include "platform/System.h"
#include "platform/Text.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sched.h>
#include <unistd.h>

namespace platform {

uint32_t TickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

LocalTime GetLocalTime() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    localtime_r(&seconds, &parts);
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.milliseconds = static_cast<int>(millis);
    return t;
}

void YieldTimeSlice() {
    sched_yield();
}

std::wstring DocumentsFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return std::wstring();
    return FromUtf8(std::string(home) + "/Documents");
}

std::wstring ExecutablePath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path)
        return std::wstring();
    return FromUtf8(std::string(path, static_cast<size_t>(length)));
}

} // namespace platform
