#include "settings/DialogPositionRegSaver_win.h"

namespace {

WindowPlacementRecord ToRecord(const WINDOWPLACEMENT& placement) {
    WindowPlacementRecord record;
    record.length = placement.length;
    record.flags = placement.flags;
    record.showCmd = placement.showCmd;
    record.minX = placement.ptMinPosition.x;
    record.minY = placement.ptMinPosition.y;
    record.maxX = placement.ptMaxPosition.x;
    record.maxY = placement.ptMaxPosition.y;
    record.normalLeft = placement.rcNormalPosition.left;
    record.normalTop = placement.rcNormalPosition.top;
    record.normalRight = placement.rcNormalPosition.right;
    record.normalBottom = placement.rcNormalPosition.bottom;
    return record;
}

WINDOWPLACEMENT ToPlacement(const WindowPlacementRecord& record) {
    WINDOWPLACEMENT placement{};
    // The stored length is not trusted: the platform wants its own record size.
    placement.length = sizeof placement;
    placement.flags = record.flags;
    placement.showCmd = record.showCmd;
    placement.ptMinPosition = {record.minX, record.minY};
    placement.ptMaxPosition = {record.maxX, record.maxY};
    placement.rcNormalPosition = {record.normalLeft, record.normalTop, record.normalRight,
                                  record.normalBottom};
    return placement;
}

} // namespace

static_assert(sizeof(WINDOWPLACEMENT) == kWindowPlacementSize, "the stored record is the platform's");

namespace placement_saver {

void Save(HWND window, const wchar_t* name) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return;
    StoreWindowPlacement(name ? name : L"", ToRecord(placement));
}

bool Restore(HWND window, const wchar_t* name, bool& maximised) {
    maximised = false;
    std::optional<WindowPlacementRecord> record = LoadWindowPlacement(name ? name : L"");
    if (!record)
        return false;
    WINDOWPLACEMENT placement = ToPlacement(*record);
    if (!SetWindowPlacement(window, &placement))
        return false;
    maximised = record->showCmd == kShowMaximized;
    return true;
}

} // namespace placement_saver
