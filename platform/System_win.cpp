#include "platform/System.h"

#include <windows.h>
#include <shlobj.h>

namespace platform {

uint32_t TickCount() {
    return GetTickCount();
}

LocalTime GetLocalTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.milliseconds = st.wMilliseconds;
    return t;
}

void YieldTimeSlice() {
    Sleep(0);
}

std::wstring DocumentsFolder() {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, FALSE))
        return std::wstring();
    return path;
}

} // namespace platform
