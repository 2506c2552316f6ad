#pragma once
// Mix-in that brings a dialog back where the user left it: position, normal size and maximised
// state are stored under "SOFTWARE\Quenby\Harvex2\<name>" when the dialog is destroyed and applied
// when it is initialised.
//
// A maximised placement is kept through Wine's start-up show by a MaximisedWatch.
#include "settings/MaximisedWatch.h"
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
        if (m_watch.Begin(applied, maximised))
            SetTimer(window, placement_saver::kMaximisedWatchTimer, placement_saver::kMaximisedWatchMs,
                     nullptr);
        return applied;
    }

    // Give every message the dialog receives, before handling it. True only for the saver's own
    // timer message, which needs nothing more; every other message goes on as usual.
    bool ProcessPlacementMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_SIZE:
            if (wParam == SIZE_RESTORED && IsWindowVisible(window) && m_watch.IsWatching()) {
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

private:
    void EndWatch(HWND window) {
        if (m_watch.End())
            KillTimer(window, placement_saver::kMaximisedWatchTimer);
    }

    MaximisedWatch m_watch;
};
