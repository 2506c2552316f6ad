#include "app/MainDlgLayout.h"

#include "resources/resource.h"

namespace {

constexpr int32_t kDialog = 0;
constexpr GridEdge kRight = GridEdge::Right;
constexpr GridEdge kLeft = GridEdge::Left;
constexpr GridEdge kBottom = GridEdge::Bottom;
constexpr GridEdge kCenterX = GridEdge::CenterX;
constexpr GridEdge kCenterY = GridEdge::CenterY;
constexpr GridEdge kBothX = GridEdge::Left | GridEdge::Right;
constexpr GridEdge kBothY = GridEdge::Top | GridEdge::Bottom;

// The control's edges follow one edge (or the centre) of a reference.
void Follow(GridLayout& layout, int32_t control, GridEdge edges, int32_t ref, GridEdge refEdge) {
    layout.AddRule({.control = control, .edges = edges, .ref = ref, .refEdge = refEdge});
}

// Extra width is shared between the drive list and the options group; extra height goes to both.
void AddListAndGroupRules(GridLayout& layout) {
    Follow(layout, IDC_COPYING_OPTIONS_GROUP, kRight, kDialog, kRight);
    layout.AddRule({.control = IDC_DRIVE_LIST,
                    .edges = kRight,
                    .kind = GridRuleKind::Scale,
                    .ref = IDC_DRIVE_LIST,
                    .refEdge = kLeft,
                    .ref2 = IDC_COPYING_OPTIONS_GROUP,
                    .ref2Edge = kRight});
    Follow(layout, IDC_DRIVE_LIST, kBottom, kDialog, kBottom);
    Follow(layout, IDC_COPYING_OPTIONS_GROUP, kLeft, IDC_DRIVE_LIST, kRight);
    Follow(layout, IDC_COPYING_OPTIONS_GROUP, kBottom, kDialog, kBottom);
}

// Inside the group: labels follow its left edge, fields stretch between its edges, buttons follow
// its right edge, and the bottom row follows its bottom.
void AddGroupContentRules(GridLayout& layout) {
    constexpr int32_t group = IDC_COPYING_OPTIONS_GROUP;
    Follow(layout, IDC_COPY_TO_LABEL, kBothX, group, kLeft);
    Follow(layout, IDC_COPY_TO_EDIT, kLeft, group, kLeft);
    Follow(layout, IDC_COPY_TO_EDIT, kRight, group, kRight);
    Follow(layout, IDC_BROWSE, kBothX, group, kRight);
    Follow(layout, IDC_FOLDER_NAMES_LABEL, kBothX, group, kLeft);
    Follow(layout, IDC_FOLDER_NAMES_COMBO, kLeft, group, kLeft);
    Follow(layout, IDC_FOLDER_NAMES_COMBO, kRight, group, kRight);
    Follow(layout, IDC_LOG_LABEL, kBothX, group, kLeft);
    Follow(layout, IDC_LOG_LEVEL_COMBO, kLeft, group, kLeft);
    Follow(layout, IDC_LOG_LEVEL_COMBO, kRight, group, kRight);
    Follow(layout, IDC_CLEAR, kBothX, group, kRight);
    Follow(layout, IDC_LOG_EDIT, kLeft, group, kLeft);
    Follow(layout, IDC_LOG_EDIT, kRight, group, kRight);
    Follow(layout, IDC_LOG_EDIT, kBottom, group, kBottom);
    Follow(layout, IDC_PROGRESS_TEXT, kBothY, group, kBottom);
    Follow(layout, IDC_PROGRESS_TEXT, kBothX, group, kLeft);
    Follow(layout, IDC_PROGRESS_BAR, kBothY, group, kBottom);
    Follow(layout, IDC_PROGRESS_BAR, kLeft, group, kLeft);
    Follow(layout, IDC_PROGRESS_BAR, kRight, group, kRight);
    Follow(layout, IDC_STOP, kBothY, group, kBottom);
    Follow(layout, IDC_STOP, kBothX, group, kRight);
}

// Below the list: everything moves down with the dialog; the links stay centred under the list and
// the buttons stretch to its width.
void AddBelowListRules(GridLayout& layout) {
    for (int32_t link : {IDC_DONATE_LINK, IDC_HELP_LINK}) {
        Follow(layout, link, kCenterY, kDialog, kBottom);
        Follow(layout, link, kCenterX, IDC_DRIVE_LIST, kCenterX);
    }
    for (int32_t button : {IDC_QUIT, IDC_OPTIONS, IDC_ABOUT}) {
        Follow(layout, button, kCenterY, kDialog, kBottom);
        Follow(layout, button, kLeft, IDC_DRIVE_LIST, kLeft);
        Follow(layout, button, kRight, IDC_DRIVE_LIST, kRight);
    }
}

} // namespace

void AddMainDialogRules(GridLayout& layout) {
    AddListAndGroupRules(layout);
    AddGroupContentRules(layout);
    AddBelowListRules(layout);
}
