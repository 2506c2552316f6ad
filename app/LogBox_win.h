#pragma once
// The log box (a read-only multi-line edit). Lines are appended a batch at a time, and the box keeps
// at most a fixed number of lines, dropping the oldest, so an append costs the same after a
// hundred thousand files as after ten. The job histories keep every line.
#include <windows.h>

#include <string>

class LogBox {
public:
    static constexpr size_t kMaxLines = 5000;
    static constexpr size_t kTrimLines = 1000; // dropped at once, so trims are rare

    void Attach(HWND edit);
    void Append(const std::wstring& text, size_t lines);
    void Clear();

private:
    void DropOldest(size_t lines);

    HWND m_edit = nullptr;
    size_t m_lines = 0;
};
