#include "app/MainDlgLayout.h"

namespace {

// Control ids of dialog template 129.
constexpr int32_t kDialog = 0;
constexpr int32_t kOptionsGroup = 1000;
constexpr int32_t kCopyToEdit = 1001;
constexpr int32_t kStopButton = 1003;
constexpr int32_t kDriveList = 1004;
constexpr int32_t kHomeLink = 1005;
constexpr int32_t kBrowseButton = 1012;
constexpr int32_t kFolderNamesCombo = 1013;
constexpr int32_t kLogLevelCombo = 1014;
constexpr int32_t kClearButton = 1015;
constexpr int32_t kProgressText = 1016;
constexpr int32_t kProgressBar = 1017;
constexpr int32_t kDonateLink = 1018;
constexpr int32_t kLogEdit = 1019;
constexpr int32_t kQuitButton = 40002;
constexpr int32_t kCopyToLabel = 57681;
constexpr int32_t kFolderNamesLabel = 57682;
constexpr int32_t kLogLabel = 57683;
constexpr int32_t kOptionsButton = 57684;
constexpr int32_t kAboutButton = 57686;

constexpr int32_t kRight = GridEdge::Right;
constexpr int32_t kLeft = GridEdge::Left;
constexpr int32_t kBottom = GridEdge::Bottom;
constexpr int32_t kCenterX = GridEdge::CenterX;
constexpr int32_t kCenterY = GridEdge::CenterY;
constexpr int32_t kBothX = GridEdge::Left | GridEdge::Right;
constexpr int32_t kBothY = GridEdge::Top | GridEdge::Bottom;
constexpr int32_t kMove = GridRule::Move;

// Extra width is shared between the drive list and the options group; extra height goes to both.
void AddListAndGroupRules(GridLayout& layout) {
    layout.AddRule(kOptionsGroup, kRight, kMove, kDialog, kRight);
    layout.AddRule(kDriveList, kRight, GridRule::Scale, kDriveList, kLeft, kOptionsGroup, kRight);
    layout.AddRule(kDriveList, kBottom, kMove, kDialog, kBottom);
    layout.AddRule(kOptionsGroup, kLeft, kMove, kDriveList, kRight);
    layout.AddRule(kOptionsGroup, kBottom, kMove, kDialog, kBottom);
}

// Inside the group: labels follow its left edge, fields stretch between its edges, buttons follow
// its right edge, and the bottom row follows its bottom.
void AddGroupContentRules(GridLayout& layout) {
    layout.AddRule(kCopyToLabel, kBothX, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kCopyToEdit, kLeft, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kCopyToEdit, kRight, kMove, kOptionsGroup, kRight);
    layout.AddRule(kBrowseButton, kBothX, kMove, kOptionsGroup, kRight);
    layout.AddRule(kFolderNamesLabel, kBothX, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kFolderNamesCombo, kLeft, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kFolderNamesCombo, kRight, kMove, kOptionsGroup, kRight);
    layout.AddRule(kLogLabel, kBothX, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kLogLevelCombo, kLeft, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kLogLevelCombo, kRight, kMove, kOptionsGroup, kRight);
    layout.AddRule(kClearButton, kBothX, kMove, kOptionsGroup, kRight);
    layout.AddRule(kLogEdit, kLeft, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kLogEdit, kRight, kMove, kOptionsGroup, kRight);
    layout.AddRule(kLogEdit, kBottom, kMove, kOptionsGroup, kBottom);
    layout.AddRule(kProgressText, kBothY, kMove, kOptionsGroup, kBottom);
    layout.AddRule(kProgressText, kBothX, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kProgressBar, kBothY, kMove, kOptionsGroup, kBottom);
    layout.AddRule(kProgressBar, kLeft, kMove, kOptionsGroup, kLeft);
    layout.AddRule(kProgressBar, kRight, kMove, kOptionsGroup, kRight);
    layout.AddRule(kStopButton, kBothY, kMove, kOptionsGroup, kBottom);
    layout.AddRule(kStopButton, kBothX, kMove, kOptionsGroup, kRight);
}

// Below the list: everything moves down with the dialog; the links stay centred under the list and
// the buttons stretch to its width.
void AddBelowListRules(GridLayout& layout) {
    layout.AddRule(kDonateLink, kCenterY, kMove, kDialog, kBottom);
    layout.AddRule(kDonateLink, kCenterX, kMove, kDriveList, kCenterX);
    layout.AddRule(kHomeLink, kCenterY, kMove, kDialog, kBottom);
    layout.AddRule(kHomeLink, kCenterX, kMove, kDriveList, kCenterX);
    for (int32_t button : {kQuitButton, kOptionsButton, kAboutButton}) {
        layout.AddRule(button, kCenterY, kMove, kDialog, kBottom);
        layout.AddRule(button, kLeft, kMove, kDriveList, kLeft);
        layout.AddRule(button, kRight, kMove, kDriveList, kRight);
    }
}

} // namespace

void AddMainDialogRules(GridLayout& layout) {
    AddListAndGroupRules(layout);
    AddGroupContentRules(layout);
    AddBelowListRules(layout);
}
