#include "app/MainDlgLayout.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Dialog units to pixels for "MS Shell Dlg" 8 pt at 96 dpi (base units 6 x 13), rounded as the
// system's MapDialogRect does.
int32_t DluX(int32_t x) {
    return (x * 6 + 2) / 4;
}
int32_t DluY(int32_t y) {
    return (y * 13 + 4) / 8;
}
GridRect Dlu(int32_t x, int32_t y, int32_t w, int32_t h) {
    return {DluX(x), DluY(y), DluX(x + w), DluY(y + h)};
}

// Template 129's controls (x, y, width, height in dialog units).
const std::map<int32_t, GridRect>& TemplateRects() {
    static const std::map<int32_t, GridRect> rects = {
        {IDC_DRIVE_LIST, Dlu(4, 5, 92, 60)},
        {IDC_COPYING_OPTIONS_GROUP, Dlu(102, 1, 201, 126)},
        {IDC_COPY_TO_EDIT, Dlu(138, 11, 123, 12)},
        {IDC_COPY_TO_LABEL, Dlu(109, 13, 27, 8)},
        {IDC_FOLDER_NAMES_LABEL, Dlu(109, 28, 45, 8)},
        {IDC_FOLDER_NAMES_COMBO, Dlu(156, 27, 141, 100)},
        {IDC_LOG_EDIT, Dlu(109, 58, 188, 48)},
        {IDC_BROWSE, Dlu(264, 10, 34, 14)},
        {IDC_LOG_LABEL, Dlu(109, 45, 15, 8)},
        {IDC_LOG_LEVEL_COMBO, Dlu(127, 43, 134, 86)},
        {IDC_CLEAR, Dlu(264, 42, 34, 14)},
        {IDC_PROGRESS_TEXT, Dlu(109, 112, 96, 8)},
        {IDC_PROGRESS_BAR, Dlu(209, 109, 51, 13)},
        {IDC_DONATE_LINK, Dlu(4, 65, 92, 8)},
        {IDC_STOP, Dlu(264, 108, 34, 14)},
        {IDC_OPTIONS, Dlu(4, 74, 92, 14)},
        {IDC_ABOUT, Dlu(4, 89, 92, 14)},
        {IDC_HELP_LINK, Dlu(4, 104, 92, 8)},
        {IDC_QUIT, Dlu(4, 113, 92, 14)},
    };
    return rects;
}

const GridRect kTemplateClient{0, 0, DluX(307), DluY(131)};

GridRect Grown(int32_t dx, int32_t dy) {
    return {0, 0, kTemplateClient.right + dx, kTemplateClient.bottom + dy};
}

class MainDialogLayout : public ::testing::Test {
protected:
    void SetUp() override {
        AddMainDialogRules(m_layout);
        const auto& rects = TemplateRects();
        m_layout.InitLayout(nullptr, kTemplateClient, [&rects](int32_t id, void*& handle, GridRect& rect) {
            auto it = rects.find(id);
            if (it == rects.end())
                return false;
            handle = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
            rect = it->second;
            return true;
        });
    }

    GridRect At(int32_t id) const { return m_layout.CurrentRect(id); }
    static GridRect Initial(int32_t id) { return TemplateRects().at(id); }

    GridLayout m_layout;
};

TEST_F(MainDialogLayout, TableHoldsThirtyNineRulesAndTheTemplatesControlsInFirstUseOrder) {
    EXPECT_EQ(m_layout.Rules().size(), 39u);
    const int32_t expected[] = {0,
                                IDC_COPYING_OPTIONS_GROUP,
                                IDC_DRIVE_LIST,
                                IDC_COPY_TO_LABEL,
                                IDC_COPY_TO_EDIT,
                                IDC_BROWSE,
                                IDC_FOLDER_NAMES_LABEL,
                                IDC_FOLDER_NAMES_COMBO,
                                IDC_LOG_LABEL,
                                IDC_LOG_LEVEL_COMBO,
                                IDC_CLEAR,
                                IDC_LOG_EDIT,
                                IDC_PROGRESS_TEXT,
                                IDC_PROGRESS_BAR,
                                IDC_STOP,
                                IDC_DONATE_LINK,
                                IDC_HELP_LINK,
                                IDC_QUIT,
                                IDC_OPTIONS,
                                IDC_ABOUT};
    const auto& placement = m_layout.InitialPlacement();
    ASSERT_EQ(placement.size(), std::size(expected));
    for (size_t i = 0; i < placement.size(); ++i)
        EXPECT_EQ(placement[i].id, expected[i]) << "element " << i;
}

TEST_F(MainDialogLayout, TemplateRectanglesMatchTheWorkedExample) {
    EXPECT_EQ(Initial(IDC_DRIVE_LIST).left, 6);
    EXPECT_EQ(Initial(IDC_DRIVE_LIST).right, 144);
    EXPECT_EQ(Initial(IDC_COPYING_OPTIONS_GROUP).right, 455);
}

TEST_F(MainDialogLayout, ExtraWidthIsSharedBetweenListAndGroup) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 0)));

    EXPECT_EQ(At(IDC_COPYING_OPTIONS_GROUP).right, 555);
    EXPECT_EQ(At(IDC_DRIVE_LIST).right, 176); // (555 - 6) * 144 / 449, truncated
    EXPECT_EQ(At(IDC_COPYING_OPTIONS_GROUP).left, Initial(IDC_COPYING_OPTIONS_GROUP).left + 32);
    EXPECT_EQ(At(IDC_DRIVE_LIST).left, 6);
    EXPECT_EQ(At(IDC_DRIVE_LIST).top, Initial(IDC_DRIVE_LIST).top);
    EXPECT_EQ(At(IDC_COPYING_OPTIONS_GROUP).top, Initial(IDC_COPYING_OPTIONS_GROUP).top);
}

TEST_F(MainDialogLayout, GroupContentFollowsTheGroupsEdges) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 40)));

    // Labels move with the group's left edge and keep their size.
    for (int32_t label : {IDC_COPY_TO_LABEL, IDC_FOLDER_NAMES_LABEL, IDC_LOG_LABEL}) {
        EXPECT_EQ(At(label).left, Initial(label).left + 32) << label;
        EXPECT_EQ(At(label).right, Initial(label).right + 32) << label;
    }
    // Fields stretch between the group's edges.
    for (int32_t field :
         {IDC_COPY_TO_EDIT, IDC_FOLDER_NAMES_COMBO, IDC_LOG_LEVEL_COMBO, IDC_LOG_EDIT, IDC_PROGRESS_BAR}) {
        EXPECT_EQ(At(field).left, Initial(field).left + 32) << field;
        EXPECT_EQ(At(field).right, Initial(field).right + 100) << field;
    }
    // Buttons move with the group's right edge.
    for (int32_t button : {IDC_BROWSE, IDC_CLEAR, IDC_STOP}) {
        EXPECT_EQ(At(button).left, Initial(button).left + 100) << button;
        EXPECT_EQ(At(button).right, Initial(button).right + 100) << button;
    }
    // The bottom row moves down with the group, the log box grows down, the rest stays.
    for (int32_t bottomRow : {IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR, IDC_STOP}) {
        EXPECT_EQ(At(bottomRow).top, Initial(bottomRow).top + 40) << bottomRow;
        EXPECT_EQ(At(bottomRow).bottom, Initial(bottomRow).bottom + 40) << bottomRow;
    }
    EXPECT_EQ(At(IDC_LOG_EDIT).top, Initial(IDC_LOG_EDIT).top);
    EXPECT_EQ(At(IDC_LOG_EDIT).bottom, Initial(IDC_LOG_EDIT).bottom + 40);
    EXPECT_EQ(At(IDC_BROWSE).top, Initial(IDC_BROWSE).top);
    EXPECT_EQ(At(IDC_PROGRESS_TEXT).left, Initial(IDC_PROGRESS_TEXT).left + 32);
    EXPECT_EQ(At(IDC_PROGRESS_TEXT).right, Initial(IDC_PROGRESS_TEXT).right + 32);
}

TEST_F(MainDialogLayout, LinksStayCentredUnderTheListAndMoveDown) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 25)));

    // Centre of the list: before 6 + 138 / 2, after 6 + 170 / 2.
    for (int32_t link : {IDC_DONATE_LINK, IDC_HELP_LINK}) {
        EXPECT_EQ(At(link).left, Initial(link).left + 16) << link;
        EXPECT_EQ(At(link).right, Initial(link).right + 16) << link;
        EXPECT_EQ(At(link).top, Initial(link).top + 25) << link;
        EXPECT_EQ(At(link).bottom, Initial(link).bottom + 25) << link;
    }
    EXPECT_EQ(At(IDC_DRIVE_LIST).bottom, Initial(IDC_DRIVE_LIST).bottom + 25);
}

TEST_F(MainDialogLayout, ButtonsBelowTheListStretchToItsWidth) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 25)));

    for (int32_t button : {IDC_QUIT, IDC_OPTIONS, IDC_ABOUT}) {
        EXPECT_EQ(At(button).left, 6) << button;
        EXPECT_EQ(At(button).right, 176) << button;
        EXPECT_EQ(At(button).top, Initial(button).top + 25) << button;
        EXPECT_EQ(At(button).bottom, Initial(button).bottom + 25) << button;
    }
}

TEST_F(MainDialogLayout, BackToTemplateSizeRestoresEveryRectangleExactly) {
    for (GridRect size : {Grown(100, 0), Grown(333, 211), Grown(7, 3), Grown(0, 0), Grown(-50, -20)}) {
        ASSERT_TRUE(m_layout.UpdateLayout(size));
        ASSERT_TRUE(m_layout.UpdateLayout(kTemplateClient));
        for (const auto& [id, rect] : TemplateRects())
            EXPECT_EQ(At(id), rect) << "control " << id << " after " << size.right << "x" << size.bottom;
    }
}

TEST_F(MainDialogLayout, ZeroClientSizeIsLaidOutAndRestoringRecomputesFromTheTemplate) {
    ASSERT_TRUE(m_layout.UpdateLayout({0, 0, 0, 0}));
    EXPECT_EQ(At(IDC_COPYING_OPTIONS_GROUP).right,
              Initial(IDC_COPYING_OPTIONS_GROUP).right - kTemplateClient.right); // keeps its margin
    EXPECT_EQ(At(0), (GridRect{0, 0, 0, 0}));

    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 0)));
    EXPECT_EQ(At(IDC_COPYING_OPTIONS_GROUP).right, 555);
    EXPECT_EQ(At(IDC_DRIVE_LIST).right, 176);
}

TEST(MainDialogLayoutBeforeInit, SizeChangeBeforeInitIsIgnored) {
    GridLayout layout;
    AddMainDialogRules(layout);
    EXPECT_FALSE(layout.UpdateLayout(Grown(100, 0)));
    EXPECT_TRUE(layout.CurrentPlacement().empty());
    EXPECT_TRUE(layout.Steps().empty());
}

} // namespace
