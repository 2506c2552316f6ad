#pragma once
// Mix-in that keeps a dialog's controls in place as it is resized, by the rules of GridLayout, and
// enforces a minimum window size. The dialog adds its rules in its constructor, calls InitLayout from
// WM_INITDIALOG once its controls exist, and passes the messages it does not handle itself to
// ProcessGridMessage.
#include "ui/GridLayout.h"

#include <windows.h>

#include <cstdint>

namespace grid_resize {

// Captures the controls' handles and client-coordinate rectangles and compiles the rules.
void InitFromWindow(GridLayout& layout, HWND dialog);
// Lays the controls out for the dialog's present client size and moves them: last control first,
// no repainting per control, then one invalidation of the whole dialog with erase.
void ApplyToWindow(GridLayout& layout, HWND dialog);
// Sets the minimum tracking size when both values are given (neither is -1).
void ApplyMinTrackSize(MINMAXINFO* info, int32_t width, int32_t height);

} // namespace grid_resize

template <class T> class CDialogGridResize {
public:
    // Minimum outer size of the dialog window in pixels; -1 means none. Written by the dialog.
    int32_t m_minTrackWidth = -1;
    int32_t m_minTrackHeight = -1;

    void InitLayout(HWND dialog) { grid_resize::InitFromWindow(m_gridLayout, dialog); }
    void UpdateLayout(HWND dialog) { grid_resize::ApplyToWindow(m_gridLayout, dialog); }

    // Handles WM_SIZE (every size type, minimising included) and WM_GETMINMAXINFO; both are consumed
    // with result 0. Returns false for every other message.
    bool ProcessGridMessage(HWND dialog, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        switch (message) {
        case WM_SIZE:
            UpdateLayout(dialog);
            result = 0;
            return true;
        case WM_GETMINMAXINFO:
            grid_resize::ApplyMinTrackSize(reinterpret_cast<MINMAXINFO*>(lParam), m_minTrackWidth,
                                           m_minTrackHeight);
            result = 0;
            return true;
        default:
            return false;
        }
    }

    GridLayout& Layout() { return m_gridLayout; }
    const GridLayout& Layout() const { return m_gridLayout; }

protected:
    GridLayout m_gridLayout;
};
