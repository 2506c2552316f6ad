#pragma once
// The one dialog procedure of the program's dialogs. A dialog class T derives from ModalDialog<T>,
// runs its template with RunModal and handles its messages in T::HandleMessage; the procedure finds
// the object through the window's DWLP_USER slot, set when WM_INITDIALOG hands it over.
#include <windows.h>

namespace platform {

template <class T> class ModalDialog {
protected:
    ModalDialog() = default;
    ~ModalDialog() = default;

    // Runs template templateId modally over parent; the value EndDialog gave, or -1 when the dialog
    // could not be created.
    INT_PTR RunModal(HINSTANCE instance, int templateId, HWND parent) {
        return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, &ModalDialog::DialogProc,
                               reinterpret_cast<LPARAM>(this));
    }

    // A message's own result (DWLP_MSGRESULT) for messages whose answer is more than "handled".
    INT_PTR Result(LRESULT value) {
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, value);
        return TRUE;
    }

    HWND m_hwnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            reinterpret_cast<ModalDialog*>(lParam)->m_hwnd = hwnd;
        }
        auto* base = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (!base)
            return FALSE; // messages before WM_INITDIALOG
        return static_cast<T*>(base)->HandleMessage(message, wParam, lParam);
    }
};

} // namespace platform
