#pragma once
// The drive list as the drive monitor sees it: rows with a caption, a check box and the key of
// the record they show. The list view adapter implements it on Windows, a fake in the tests.
#include <cstdint>
#include <optional>
#include <string>

// The state-image bits of a row: image 1 is the unticked box, image 2 the ticked one.
inline constexpr uint32_t kStateImageMask = 0xF000;
inline constexpr uint32_t kStateImageUnticked = 0x1000;
inline constexpr uint32_t kStateImageTicked = 0x2000;

// One item-changed notification of the list, as far as the monitor needs it.
struct DriveListItemChange {
    int32_t row = -1;
    uint32_t oldState = 0;
    uint32_t newState = 0;
};

class IDriveList {
public:
    virtual ~IDriveList() = default;

    virtual void DeleteAllRows() = 0;
    // Appends a row at the end. A row that cannot be inserted is left out.
    virtual void AddRow(const std::wstring& caption, bool checked, int32_t recordKey) = 0;
    // The item parameter of a row (the record key it was added with); nothing when the row cannot
    // be read.
    virtual std::optional<intptr_t> RowParam(int32_t row) const = 0;
    // The state-image bits (kStateImageMask) of a row as the list shows them now.
    virtual uint32_t RowStateImage(int32_t row) const = 0;
};
