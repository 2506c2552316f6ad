#pragma once
// Mix-in that brings a dialog back where the user left it: position, normal size and maximised
// state are stored under "SOFTWARE\Quenby\Harvex2\<name>" when the dialog is destroyed and applied
// when it is initialised.
//
// Wine's modal dialog loop shows the dialog once more with SW_SHOWNORMAL when its queue first runs
// empty, which undoes a maximised state applied in WM_INITDIALOG (a message posted from there is
// handled before that). So after restoring a maximised placement the saver watches for one
// unexplained restore during start-up and maximises the dialog again. The watch ends at the first
// window command of the user, when the dialog is hidden, or after kMaximisedWatchMs.
#include "settings/WindowPlacement.h"

#include <windows.h>

namespace placement_saver {

inline constexpr UINT_PTR kMaximisedWatchTimer = 0x5D17;
inline constexpr UINT kMaximisedWatchMs = 3000;

void Save(HWND window, const wchar_t* name);
// True when a stored placement was applied; maximised tells whether it was applied maximised.
bool Restore(HWND window, const wchar_t* name, bool& maximised);

} // namespace placement_saver

template <class T> class CDialogPositionRegSaver {
public:
    // Stores the window's placement; a failure is silent. Call from WM_DESTROY.
    void SaveWindowPlacement(HWND window, const wchar_t* name) { placement_saver::Save(window, name); }

    // Applies the stored placement; false (and the window keeps its place) when there is none. Call
    // from WM_INITDIALOG after the layout has been set up.
    bool RestoreWindowPlacement(HWND window, const wchar_t* name) {
        bool maximised = false;
        bool applied = placement_saver::Restore(window, name, maximised);
        m_watchMaximised = applied && maximised;
        if (m_watchMaximised)
            SetTimer(window, placement_saver::kMaximisedWatchTimer, placement_saver::kMaximisedWatchMs,
                     nullptr);
        return applied;
    }

    // Give every message the dialog receives, before handling it. True only for the saver's own
    // timer message, which needs nothing more; every other message goes on as usual.
    bool ProcessPlacementMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_SIZE:
            if (m_watchMaximised && wParam == SIZE_RESTORED && IsWindowVisible(window)) {
                EndWatch(window);
                PostMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            }
            return false;
        case WM_SYSCOMMAND:
            EndWatch(window);
            return false;
        case WM_SHOWWINDOW:
            if (!wParam)
                EndWatch(window);
            return false;
        case WM_TIMER:
            if (wParam != placement_saver::kMaximisedWatchTimer)
                return false;
            EndWatch(window);
            return true;
        default:
            return false;
        }
    }

    bool IsWatchingMaximised() const { return m_watchMaximised; }

private:
    void EndWatch(HWND window) {
        if (!m_watchMaximised)
            return;
        m_watchMaximised = false;
        KillTimer(window, placement_saver::kMaximisedWatchTimer);
    }

    bool m_watchMaximised = false;
};
