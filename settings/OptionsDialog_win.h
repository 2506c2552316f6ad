#pragma once
// The Options dialog (template IDD_OPTIONS): edits the "When finished:" and "Copying" settings
// ("Also copy to" among them) on a copy of them, and shows the "Start with Windows" box. Nothing is
// stored here; the main dialog stores the values when the program quits and applies the box after OK.
#include "platform/ModalDialog_win.h"
#include "settings/CompletionOptions.h"

#include <windows.h>

class COptionsDialog : public platform::ModalDialog<COptionsDialog> {
public:
    // Runs the dialog modally over owner; gives IDOK, IDCANCEL, or -1 when it cannot be created.
    INT_PTR DoModal(HWND owner);

    OptionsDialogValues m_values;
    bool m_startWithWindows = false;

private:
    friend class platform::ModalDialog<COptionsDialog>;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnOK();
    void OnBeepClicked();
    void OnBrowseAlsoCopyTo();

    void ShowControls(const OptionsControls& controls);
    OptionsControls ReadControls() const;
    void EnableRadios(bool enabled);

    bool m_accepted = false; // OK was pressed
};

// The main dialog's "Options" command: runs the dialog over owner on a copy of options and writes
// the edited values back only when the user pressed OK. Returns true when it did. startWithWindows
// is the box's tick as the dialog opens and, after OK, as the user left it.
bool EditOptions(HWND owner, OptionsDialogValues& values, bool& startWithWindows);
