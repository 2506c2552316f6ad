#include "ui/AboutDlg_win.h"
#include "resources/resource.h"
#include "ui/AboutGeometry.h"

#include "HarvexVersion.h"

#include <objbase.h>
#include <olectl.h>

#include <cstring>

namespace {

// Drawn when the picture cannot be; the version is the build's.
constexpr wchar_t kNameAndVersion[] = L"Harvex v." HARVEX_VERSION_WTEXT;

PixelRect ToPixelRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The bytes of a resource, valid for the life of the module.
bool ResourceBytes(HMODULE module, const wchar_t* type, const wchar_t* name, const void*& data, DWORD& size) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    size = SizeofResource(module, found);
    data = loaded ? LockResource(loaded) : nullptr;
    return data && size > 0;
}

// A stream over a private copy of the bytes; the stream frees the copy when released.
platform::UniqueComPtr<IStream> StreamOverCopy(const void* data, DWORD size) {
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    if (!block)
        return {};
    void* bytes = GlobalLock(block);
    if (!bytes) {
        GlobalFree(block);
        return {};
    }
    std::memcpy(bytes, data, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
        GlobalFree(block);
        return {};
    }
    return platform::UniqueComPtr<IStream>(stream);
}

RECT WorkAreaNear(HWND window) {
    RECT area{};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

} // namespace

UniquePicture LoadPictureResource(HMODULE module, const wchar_t* type, const wchar_t* name) {
    const void* data = nullptr;
    DWORD size = 0;
    if (!ResourceBytes(module, type, name, data, size))
        return {};
    platform::UniqueComPtr<IStream> stream = StreamOverCopy(data, size);
    if (!stream)
        return {};
    IPicture* picture = nullptr;
    if (FAILED(OleLoadPicture(stream.Get(), 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture))))
        return {};
    return UniquePicture(picture);
}

INT_PTR CAboutDlg::DoModal(HWND parent) {
    return RunModal(GetModuleHandleW(nullptr), IDD_ABOUT, parent);
}

INT_PTR CAboutDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam)) ? Result(1) : FALSE;
    case WM_PAINT:
        OnPaint();
        return Result(0);
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        OnCloseCmd(LOWORD(wParam));
        return Result(0);
    case WM_DESTROY:
        OnDestroy();
        return Result(0);
    default:
        return FALSE;
    }
}

BOOL CAboutDlg::OnInitDialog() {
    m_picture = LoadPictureResource(GetModuleHandleW(nullptr), L"JPEG", L"ABOUT");
    if (m_picture)
        FitClientToPicture();
    CentreOverParent();
    return TRUE;
}

void CAboutDlg::FitClientToPicture() {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    if (FAILED(m_picture->get_Width(&width)) || FAILED(m_picture->get_Height(&height))) {
        m_picture.Reset();
        return;
    }
    m_himetricWidth = width;
    m_himetricHeight = height;
    HDC screen = GetDC(nullptr);
    m_pixelWidth = HimetricToPixels(m_himetricWidth, GetDeviceCaps(screen, LOGPIXELSX));
    m_pixelHeight = HimetricToPixels(m_himetricHeight, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);

    RECT client{};
    RECT outer{};
    GetClientRect(m_hwnd, &client);
    GetWindowRect(m_hwnd, &outer);
    PixelRect sized = OuterRectForClient(ToPixelRect(outer), client.right - client.left,
                                         client.bottom - client.top, m_pixelWidth, m_pixelHeight);
    MoveWindow(m_hwnd, sized.left, sized.top, sized.right - sized.left, sized.bottom - sized.top, TRUE);
}

// Over the parent's window, or over the work area when there is no parent to be seen; always
// inside the work area.
void CAboutDlg::CentreOverParent() {
    HWND parent = GetParent(m_hwnd);
    bool parentShown = parent && IsWindowVisible(parent) && !IsIconic(parent);
    RECT workArea = WorkAreaNear(parentShown ? parent : m_hwnd);
    RECT over = workArea;
    if (parentShown)
        GetWindowRect(parent, &over);
    RECT window{};
    GetWindowRect(m_hwnd, &window);
    PixelRect placed = CentreInWorkArea(ToPixelRect(window), ToPixelRect(over), ToPixelRect(workArea));
    SetWindowPos(m_hwnd, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CAboutDlg::OnEraseBkgnd(HDC dc) {
    if (!m_picture)
        return FALSE; // the dialog's own background, then OnPaint writes the name
    DrawPicture(dc);
    return TRUE;
}

void CAboutDlg::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hwnd, &paint);
    if (dc) {
        if (m_picture)
            DrawPicture(dc);
        else
            DrawNameAndVersion(dc, paint.rcPaint);
    }
    EndPaint(m_hwnd, &paint);
}

void CAboutDlg::DrawPicture(HDC dc) {
    // Picture coordinates run upwards: start at the top (the height) and go down.
    m_picture->Render(dc, 0, 0, m_pixelWidth, m_pixelHeight, 0, m_himetricHeight, m_himetricWidth,
                      -m_himetricHeight, nullptr);
}

void CAboutDlg::DrawNameAndVersion(HDC dc, const RECT& update) {
    FillRect(dc, &update, GetSysColorBrush(COLOR_BTNFACE));
    RECT text{};
    GetClientRect(m_hwnd, &text);
    text.top += 1;
    text.right -= 3;
    HGDIOBJ previous = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, kNameAndVersion, -1, &text, DT_RIGHT | DT_SINGLELINE);
    SelectObject(dc, previous);
}

void CAboutDlg::OnCloseCmd(WORD id) {
    EndDialog(m_hwnd, id);
}

void CAboutDlg::OnDestroy() {
    m_picture.Reset();
}
