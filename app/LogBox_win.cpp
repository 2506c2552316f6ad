#include "app/LogBox_win.h"

void LogBox::Attach(HWND edit) {
    m_edit = edit;
    SendMessageW(m_edit, EM_SETLIMITTEXT, 0, 0);
    m_lines = 0;
}

void LogBox::Append(const std::wstring& text, size_t lines) {
    if (!m_edit || text.empty())
        return;
    if (m_lines + lines > kMaxLines)
        DropOldest(m_lines + lines - kMaxLines + kTrimLines);
    int length = GetWindowTextLengthW(m_edit);
    SendMessageW(m_edit, EM_SETSEL, length, length);
    SendMessageW(m_edit, EM_SCROLLCARET, 0, 0);
    SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    m_lines += lines;
}

void LogBox::Clear() {
    if (m_edit)
        SetWindowTextW(m_edit, L"");
    m_lines = 0;
}

void LogBox::DropOldest(size_t lines) {
    if (lines >= m_lines) {
        Clear();
        return;
    }
    LRESULT end = SendMessageW(m_edit, EM_LINEINDEX, static_cast<WPARAM>(lines), 0);
    if (end <= 0)
        return;
    SendMessageW(m_edit, EM_SETSEL, 0, end);
    SendMessageW(m_edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    m_lines -= lines;
}
