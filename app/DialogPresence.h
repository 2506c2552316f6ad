#pragma once
// Where the main dialog goes when it is put away. The rule throughout: the dialog is hidden only
// while its tray icon is shown; without one it waits minimised on the task bar, so that there is
// always a way back to it.

enum class PutAway { Hide, Minimise };

// Closing the dialog (Esc, the close box), and a start in the tray.
PutAway PutAwayWith(bool trayIconShown);

// After the shell came back (TaskbarCreated) and took the icon again or refused it: a dialog hidden
// behind an icon that is gone comes back to the task bar.
bool MustShowMinimised(bool trayIconShown, bool dialogVisible);

// A start in the tray. The modal loop shows the dialog after WM_INITDIALOG and again when its queue
// first runs empty (Wine restores it from minimised too); the hold refuses those shows until the
// user asks for the dialog.
class StartHold {
public:
    // Begins the hold; how the dialog is put away now.
    PutAway Begin(bool trayIconShown);
    // A show of the hidden dialog is refused (WM_WINDOWPOSCHANGING).
    bool RefusesShow() const { return m_hidden; }
    // A restore of the minimised dialog is refused (WM_QUERYOPEN).
    bool RefusesOpen() const { return m_minimised; }
    // The user asked for the dialog (the tray, or a restore from the task bar): the hold ends.
    void Release();
    // The dialog goes to the task bar minimised because its tray icon is gone: a hold that hid it
    // now keeps it minimised instead, until the user asks for it.
    void Minimise();

private:
    bool m_hidden = false;
    bool m_minimised = false;
};
