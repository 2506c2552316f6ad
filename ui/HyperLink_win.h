#pragma once
// A static text control turned into a web link: drawn underlined in the link colours, with a hand
// cursor and a tooltip showing the address over its text; a click, Enter or Space opens the address
// in the default browser.
#include "ui/LinkColors.h"
#include "platform/Handles_win.h"

#include <windows.h>

#include <string>

class CHyperLink {
public:
    CHyperLink() = default;
    ~CHyperLink();
    CHyperLink(const CHyperLink&) = delete;
    CHyperLink& operator=(const CHyperLink&) = delete;

    // Subclasses the static and sets the link up; false (and nothing is set up) when subclassing
    // fails or a window is already attached.
    bool AttachToStatic(HWND control);
    // Stores the address and shows it as the tooltip of the text.
    void SetTarget(const wchar_t* target);
    // Opens the address with the shell; true when the shell took it, and the link is visited from then on.
    bool OpenTarget();

    HWND Window() const { return m_hwnd; }
    bool IsVisited() const { return m_visited; }
    const std::wstring& Label() const { return m_label; }
    const std::wstring& Target() const { return m_target; }
    COLORREF LinkColor() const { return m_colors.link; }
    COLORREF VisitedColor() const { return m_colors.visited; }
    RECT TextRect() const { return m_textRect; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleMouse(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateLinkFont();
    void CreateTooltip();
    void ShowTargetInTooltip();
    void ComputeTextRect();
    void Paint(HDC dc);
    UINT AlignmentFlag() const;
    bool OverText(LPARAM lParam) const;
    bool CursorOverText() const;
    void Repaint(bool now);
    void Detach();

    HWND m_hwnd = nullptr;
    std::wstring m_label;
    std::wstring m_target;
    LinkColors m_colors;
    bool m_visited = false;
    HFONT m_dialogFont = nullptr;    // not owned: the dialog's font
    platform::UniqueFont m_linkFont; // the underlined copy this control draws with
    HCURSOR m_handCursor = nullptr;
    platform::UniqueWindow m_tooltip;
    bool m_toolAdded = false;
    RECT m_textRect{};
};
