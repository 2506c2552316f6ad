#pragma once
// Wine's modal dialog loop shows the dialog once more with SW_SHOWNORMAL when its queue first runs
// empty, which undoes a maximised placement applied in WM_INITDIALOG. After restoring a maximised
// placement the watch therefore waits for one unexplained restore during start-up and has the dialog
// maximised again. It ends at the first window command of the user, when the dialog is hidden, or
// when its timer runs out.
class MaximisedWatch {
public:
    // A stored placement was applied (or not): true when the watch began and its timer is to be set.
    bool Begin(bool applied, bool maximised);
    // Ends the watch: true when it was on, so that its timer is to go. A restore of the visible
    // dialog that ends it is the one to undo (the dialog is maximised again); a window command of
    // the user, a hide or the timer ends it with nothing more to do.
    bool End();
    bool IsWatching() const { return m_watching; }

private:
    bool m_watching = false;
};
