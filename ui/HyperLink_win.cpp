#include "ui/HyperLink_win.h"
#include "ui/LinkLayout.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <vector>

namespace {

constexpr UINT_PTR kSubclassId = 0x4C4E4B; // "LNK"

PixelRect ToPixelRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}
RECT ToRect(const PixelRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

bool IsStaticClass(HWND window) {
    wchar_t name[16] = {};
    if (!GetClassNameW(window, name, static_cast<int>(std::size(name))))
        return false;
    return CompareStringOrdinal(name, -1, L"static", -1, TRUE) == CSTR_EQUAL;
}

bool IsRelayedMouseMessage(UINT message) {
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

// The tool covering the text: one per link, its text the address (or the label until there is one).
TOOLINFOW ToolInfo(HWND control, const RECT& rect, const std::wstring& text) {
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE; // accepted by every version of the common controls
    info.hwnd = control;
    info.uId = 0;
    info.rect = rect;
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    return info;
}

} // namespace

CHyperLink::~CHyperLink() {
    Detach();
}

void CHyperLink::Detach() {
    if (!m_hwnd)
        return;
    RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
    m_tooltip.Reset();
    m_toolAdded = false;
    m_hwnd = nullptr;
}

bool CHyperLink::AttachToStatic(HWND control) {
    if (m_hwnd || !control || !IsWindow(control))
        return false;
    if (!SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hwnd = control;

    if (IsStaticClass(control))
        SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) | SS_NOTIFY);
    m_handCursor = LoadCursorW(nullptr, IDC_HAND);
    CreateLinkFont();
    CreateTooltip();
    if (m_label.empty()) {
        m_label = WindowText(control);
        SetWindowTextW(control, m_label.c_str());
    }
    ComputeTextRect();
    if (m_target.empty())
        m_target = m_label; // so the tooltip has a text until the address is set
    ShowTargetInTooltip();
    m_colors = ReadLinkColors();
    return true;
}

void CHyperLink::SetTarget(const wchar_t* target) {
    m_target = target ? target : L"";
    if (!m_hwnd)
        return;
    if (m_label.empty())
        ComputeTextRect();
    ShowTargetInTooltip();
}

bool CHyperLink::OpenTarget() {
    if (m_target.empty())
        return false;
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", m_target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        return false;
    m_visited = true;
    Repaint(false);
    return true;
}

void CHyperLink::CreateLinkFont() {
    HWND parent = GetParent(m_hwnd);
    m_dialogFont = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!m_dialogFont)
        m_dialogFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTW font{};
    if (!GetObjectW(m_dialogFont, sizeof font, &font))
        return;
    font.lfUnderline = TRUE;
    m_linkFont.Reset(CreateFontIndirectW(&font));
}

void CHyperLink::CreateTooltip() {
    HWND tooltip =
        CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_hwnd, GWLP_HINSTANCE)), nullptr);
    m_tooltip.Reset(tooltip);
    m_toolAdded = false;
}

// One tool over the text; later calls change its text and area rather than stacking a second tool,
// so the tooltip always shows the present address.
void CHyperLink::ShowTargetInTooltip() {
    if (!m_tooltip)
        return;
    TOOLINFOW info = ToolInfo(m_hwnd, m_textRect, m_target);
    SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, TRUE, 0);
    if (!m_toolAdded) {
        m_toolAdded =
            SendMessageW(m_tooltip.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
        return;
    }
    SendMessageW(m_tooltip.Get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    SendMessageW(m_tooltip.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

UINT CHyperLink::AlignmentFlag() const {
    switch (GetWindowLongW(m_hwnd, GWL_STYLE) & SS_TYPEMASK) {
    case SS_CENTER:
        return DT_CENTER;
    case SS_RIGHT:
        return DT_RIGHT;
    default:
        return DT_LEFT;
    }
}

void CHyperLink::ComputeTextRect() {
    RECT client{};
    GetClientRect(m_hwnd, &client);
    RECT measured = client;
    HDC dc = GetDC(m_hwnd);
    if (dc) {
        HFONT font = m_linkFont ? m_linkFont.Get() : m_dialogFont;
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        DrawTextW(dc, m_label.c_str(), -1, &measured, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
        if (previous)
            SelectObject(dc, previous);
        ReleaseDC(m_hwnd, dc);
    }
    LinkAlign align = LinkAlign::Left;
    if (AlignmentFlag() == DT_CENTER)
        align = LinkAlign::Center;
    else if (AlignmentFlag() == DT_RIGHT)
        align = LinkAlign::Right;
    m_textRect = ToRect(PlaceLinkText(ToPixelRect(client), ToPixelRect(measured), align));
}

void CHyperLink::Paint(HDC dc) {
    RECT client{};
    GetClientRect(m_hwnd, &client);
    HWND parent = GetParent(m_hwnd);
    if (parent) {
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hwnd)));
        if (brush)
            FillRect(dc, &client, brush);
    }

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LinkTextColor(IsWindowEnabled(m_hwnd) != FALSE, m_visited, m_colors.link,
                                   m_colors.visited, GetSysColor(COLOR_GRAYTEXT)));
    HFONT font = m_linkFont ? m_linkFont.Get() : m_dialogFont;
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    RECT text = m_textRect;
    DrawTextW(dc, m_label.c_str(), -1, &text, DT_WORDBREAK | AlignmentFlag());
    if (previous)
        SelectObject(dc, previous);

    if (GetFocus() == m_hwnd)
        DrawFocusRect(dc, &m_textRect);
}

bool CHyperLink::OverText(LPARAM lParam) const {
    return LinkContains(ToPixelRect(m_textRect), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

bool CHyperLink::CursorOverText() const {
    POINT point{};
    if (!GetCursorPos(&point) || !ScreenToClient(m_hwnd, &point))
        return false;
    return LinkContains(ToPixelRect(m_textRect), point.x, point.y);
}

void CHyperLink::Repaint(bool now) {
    if (!m_hwnd)
        return;
    InvalidateRect(m_hwnd, nullptr, TRUE);
    if (now)
        UpdateWindow(m_hwnd);
}

LRESULT CALLBACK CHyperLink::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) {
    auto* link = reinterpret_cast<CHyperLink*>(self);
    if (!link || link->m_hwnd != hwnd)
        return DefSubclassProc(hwnd, message, wParam, lParam);
    return link->HandleMessage(message, wParam, lParam);
}

// Mouse input: relayed to the tooltip, and a click is a press and a release on the text.
bool CHyperLink::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_tooltip) {
        MSG msg{m_hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        DWORD pos = GetMessagePos();
        msg.pt = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
        SendMessageW(m_tooltip.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    switch (message) {
    case WM_MOUSEMOVE:
        if (OverText(lParam))
            SetCursor(m_handCursor);
        return true;
    case WM_LBUTTONDOWN:
        if (OverText(lParam)) {
            SetFocus(m_hwnd);
            SetCapture(m_hwnd);
        }
        return true;
    case WM_LBUTTONUP:
        if (GetCapture() == m_hwnd) {
            ReleaseCapture();
            if (OverText(lParam))
                OpenTarget();
        }
        return true;
    default:
        return false;
    }
}

LRESULT CHyperLink::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = m_hwnd;
    if (IsRelayedMouseMessage(message) && HandleMouse(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        if (dc)
            Paint(dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (CursorOverText()) {
            SetCursor(m_handCursor);
            return TRUE;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_RETURN || wParam == VK_SPACE)
            OpenTarget();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Repaint(false);
        return 0;
    case WM_ENABLE:
        Repaint(true);
        return 0;
    case WM_SIZE:
        ComputeTextRect();
        ShowTargetInTooltip();
        Repaint(false);
        return 0;
    case WM_SETFONT:
        m_dialogFont = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            Repaint(true);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_dialogFont);
    case WM_UPDATEUISTATE:
        return 0;
    case WM_DESTROY:
        m_tooltip.Reset();
        m_toolAdded = false;
        break;
    case WM_NCDESTROY: {
        LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        Detach();
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
