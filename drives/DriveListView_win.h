#pragma once
// The drive list on a Win32 list view (control 1004 of the main dialog). The dialog owns the
// window and routes the list's messages here; this class only speaks to it.
#include "drives/DriveList.h"

#include <windows.h>

#include <optional>

class DriveListView : public IDriveList {
public:
    // The list view control; until then every call does nothing.
    void Attach(HWND list) { m_list = list; }
    HWND Handle() const { return m_list; }

    // Check boxes, full-row selection and label tips, and no other extended style.
    void SetExtendedStyles();
    // The single left-aligned "Drive" column, as wide as DriveColumnWidth gives.
    void InsertDriveColumn();
    // The list's own WM_SIZE: the column follows the new width. The caller answers 0 and does
    // not pass the message on to the control.
    void OnDriveListSize();

    // The item change carried by a WM_NOTIFY lParam, when it is LVN_ITEMCHANGED from this list.
    std::optional<DriveListItemChange> ItemChangeOf(LPARAM notifyHeader) const;

    void DeleteAllRows() override;
    void AddRow(const std::wstring& caption, bool checked, int32_t recordKey) override;
    std::optional<intptr_t> RowParam(int32_t row) const override;
    uint32_t RowStateImage(int32_t row) const override;

private:
    int CurrentColumnWidth() const;

    HWND m_list = nullptr;
};
