#pragma once
// The Options dialog (template IDD_OPTIONS): edits the four "When finished:" settings on a copy of
// them, and shows the "Start with Windows" box. Nothing is stored here; the main dialog stores the
// values when the program quits and applies the box after OK.
#include "settings/CompletionOptions.h"

#include <windows.h>

#include <cstdint>

class COptionsDialog {
public:
    // Runs the dialog modally over owner; gives IDOK, IDCANCEL, or -1 when it cannot be created.
    INT_PTR DoModal(HWND owner);

    CompletionOptions Options() const;
    void SetOptions(const CompletionOptions& options);

    int32_t m_ejectCdRom = 0;
    int32_t m_showPopup = 0;
    int32_t m_beep = 0;
    int32_t m_beepBySpeaker = 0;
    bool m_startWithWindows = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnOK();
    void OnBeepClicked();

    void ShowControls(const OptionsControls& controls);
    OptionsControls ReadControls() const;
    void EnableRadios(bool enabled);

    HWND m_hwnd = nullptr;
    bool m_accepted = false; // OK was pressed
};

// The main dialog's "Options" command: runs the dialog over owner on a copy of options and writes
// the edited values back only when the user pressed OK. Returns true when it did. startWithWindows
// is the box's tick as the dialog opens and, after OK, as the user left it.
bool EditCompletionOptions(HWND owner, CompletionOptions& options, bool& startWithWindows);
