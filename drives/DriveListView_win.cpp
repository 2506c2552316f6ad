#include "drives/DriveListView_win.h"
#include "drives/DriveListColumn.h"

#include <commctrl.h>

namespace {

constexpr DWORD kDriveListExtendedStyles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;
static_assert(kDriveListExtendedStyles == 0x4024);
static_assert(LVIS_STATEIMAGEMASK == kStateImageMask);
static_assert(INDEXTOSTATEIMAGEMASK(1) == kStateImageUnticked);
static_assert(INDEXTOSTATEIMAGEMASK(2) == kStateImageTicked);

wchar_t kDriveColumnCaption[] = L"Drive";

} // namespace

void DriveListView::SetExtendedStyles() {
    // A mask of 0 means every extended style: exactly these three end up on.
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kDriveListExtendedStyles);
}

int DriveListView::CurrentColumnWidth() const {
    RECT client{};
    GetClientRect(m_list, &client);
    return DriveColumnWidth(client.right, GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CXVSCROLL));
}

void DriveListView::InsertDriveColumn() {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = CurrentColumnWidth();
    column.pszText = kDriveColumnCaption;
    SendMessageW(m_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void DriveListView::OnDriveListSize() {
    SendMessageW(m_list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(CurrentColumnWidth(), 0));
}

std::optional<DriveListItemChange> DriveListView::ItemChangeOf(LPARAM notifyHeader) const {
    const auto* header = reinterpret_cast<const NMHDR*>(notifyHeader);
    if (!header || !m_list || header->hwndFrom != m_list || header->code != LVN_ITEMCHANGED)
        return std::nullopt;
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(notifyHeader);
    return DriveListItemChange{change->iItem, change->uOldState, change->uNewState};
}

void DriveListView::DeleteAllRows() {
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
}

void DriveListView::AddRow(const std::wstring& caption, bool checked, int32_t recordKey) {
    std::wstring text = caption;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = text.data();
    int index = static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0)
        return;

    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = checked ? kStateImageTicked : kStateImageUnticked;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));

    LVITEMW param{};
    param.mask = LVIF_PARAM;
    param.iItem = index;
    param.lParam = recordKey;
    SendMessageW(m_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&param));
}

std::optional<intptr_t> DriveListView::RowParam(int32_t row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(m_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return std::nullopt;
    return item.lParam;
}

uint32_t DriveListView::RowStateImage(int32_t row) const {
    LRESULT state = SendMessageW(m_list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    return static_cast<uint32_t>(state) & kStateImageMask;
}
