#include "drives/DriveListColumn.h"

#include <algorithm>

int DriveColumnWidth(int clientRight, int edgeWidth, int scrollBarWidth) {
    // The column width travels in 16 bits of LVM_SETCOLUMNWIDTH's lParam.
    constexpr int kMaxWidth = 0x7FFF;
    return std::clamp(clientRight - 2 * edgeWidth - scrollBarWidth, 0, kMaxWidth);
}
