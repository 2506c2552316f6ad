#include "ui/DialogGridResize_win.h"

namespace {

GridRect ToGridRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// A control's window rectangle in the dialog's client coordinates, converted corner by corner.
bool ControlRect(HWND dialog, int32_t id, void*& handle, GridRect& rect) {
    HWND control = GetDlgItem(dialog, id);
    RECT windowRect{};
    if (!control || !GetWindowRect(control, &windowRect))
        return false;
    POINT topLeft{windowRect.left, windowRect.top};
    POINT bottomRight{windowRect.right, windowRect.bottom};
    if (ScreenToClient(dialog, &topLeft))
        ScreenToClient(dialog, &bottomRight);
    handle = control;
    rect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return true;
}

GridRect ClientRect(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    return ToGridRect(client);
}

} // namespace

namespace grid_resize {

void InitFromWindow(GridLayout& layout, HWND dialog) {
    layout.InitLayout(dialog, ClientRect(dialog), [dialog](int32_t id, void*& handle, GridRect& rect) {
        return ControlRect(dialog, id, handle, rect);
    });
}

void ApplyToWindow(GridLayout& layout, HWND dialog) {
    if (!layout.UpdateLayout(ClientRect(dialog)))
        return;
    for (const GridPlacement& placement : layout.PlacementsToMove()) {
        if (!placement.handle)
            continue;
        const GridRect& r = placement.rect;
        // A zero client size (minimised) can give negative extents; the window gets none instead.
        MoveWindow(static_cast<HWND>(placement.handle), r.left, r.top, GridExtent(r.left, r.right),
                   GridExtent(r.top, r.bottom), FALSE);
    }
    InvalidateRect(dialog, nullptr, TRUE);
}

void ApplyMinTrackSize(MINMAXINFO* info, int32_t width, int32_t height) {
    if (!info || width == -1 || height == -1)
        return;
    info->ptMinTrackSize.x = width;
    info->ptMinTrackSize.y = height;
}

} // namespace grid_resize
