#pragma once
// The About window: the program's picture at its natural size, closed with Enter, Esc or the close
// box. When the picture cannot be had it stays open and shows the program's name and version.
#include "platform/Handles_win.h"
#include "platform/ModalDialog_win.h"

#include <windows.h>
#include <ocidl.h>

#include <cstdint>

using UniquePicture = platform::UniqueComPtr<IPicture>;

// A picture stored in a module's resources (JPEG, GIF, BMP and the rest that the system decodes);
// empty when it is missing or cannot be decoded.
UniquePicture LoadPictureResource(HMODULE module, const wchar_t* type, const wchar_t* name);

class CAboutDlg : public platform::ModalDialog<CAboutDlg> {
public:
    CAboutDlg() = default;
    CAboutDlg(const CAboutDlg&) = delete;
    CAboutDlg& operator=(const CAboutDlg&) = delete;

    // Runs the dialog on template IDD_ABOUT over the parent: IDOK or IDCANCEL, -1 when it could not
    // be created.
    INT_PTR DoModal(HWND parent);

private:
    friend class platform::ModalDialog<CAboutDlg>;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void FitClientToPicture();
    void CentreOverParent();
    BOOL OnEraseBkgnd(HDC dc);
    void OnPaint();
    void OnCloseCmd(WORD id);
    void OnDestroy();
    void DrawPicture(HDC dc);
    void DrawNameAndVersion(HDC dc, const RECT& update);

    UniquePicture m_picture;
    int32_t m_himetricWidth = 0;
    int32_t m_himetricHeight = 0;
    int32_t m_pixelWidth = 0;
    int32_t m_pixelHeight = 0;
};
