#include "app/MainDlgLayout.h"

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
        {1004, Dlu(4, 5, 92, 60)},     {1000, Dlu(102, 1, 201, 126)}, {1001, Dlu(138, 11, 123, 12)},
        {57681, Dlu(109, 13, 27, 8)},  {57682, Dlu(109, 28, 45, 8)},  {1013, Dlu(156, 27, 141, 100)},
        {1019, Dlu(109, 58, 188, 48)}, {1012, Dlu(264, 10, 34, 14)},  {57683, Dlu(109, 45, 15, 8)},
        {1014, Dlu(127, 43, 134, 86)}, {1015, Dlu(264, 42, 34, 14)},  {1016, Dlu(109, 112, 96, 8)},
        {1017, Dlu(209, 109, 51, 13)}, {1018, Dlu(4, 65, 92, 8)},     {1003, Dlu(264, 108, 34, 14)},
        {57684, Dlu(4, 74, 92, 14)},   {57686, Dlu(4, 89, 92, 14)},   {1005, Dlu(4, 104, 92, 8)},
        {40002, Dlu(4, 113, 92, 14)},
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
    const int32_t expected[] = {0,    1000, 1004, 57681, 1001, 1012, 57682, 1013,  57683, 1014,
                                1015, 1019, 1016, 1017,  1003, 1018, 1005,  40002, 57684, 57686};
    const auto& placement = m_layout.InitialPlacement();
    ASSERT_EQ(placement.size(), std::size(expected));
    for (size_t i = 0; i < placement.size(); ++i)
        EXPECT_EQ(placement[i].id, expected[i]) << "element " << i;
}

TEST_F(MainDialogLayout, TemplateRectanglesMatchTheWorkedExample) {
    EXPECT_EQ(Initial(1004).left, 6);
    EXPECT_EQ(Initial(1004).right, 144);
    EXPECT_EQ(Initial(1000).right, 455);
}

TEST_F(MainDialogLayout, ExtraWidthIsSharedBetweenListAndGroup) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 0)));

    EXPECT_EQ(At(1000).right, 555);
    EXPECT_EQ(At(1004).right, 176); // (555 - 6) * 144 / 449, truncated
    EXPECT_EQ(At(1000).left, Initial(1000).left + 32);
    EXPECT_EQ(At(1004).left, 6);
    EXPECT_EQ(At(1004).top, Initial(1004).top);
    EXPECT_EQ(At(1000).top, Initial(1000).top);
}

TEST_F(MainDialogLayout, GroupContentFollowsTheGroupsEdges) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 40)));

    // Labels move with the group's left edge and keep their size.
    for (int32_t label : {57681, 57682, 57683}) {
        EXPECT_EQ(At(label).left, Initial(label).left + 32) << label;
        EXPECT_EQ(At(label).right, Initial(label).right + 32) << label;
    }
    // Fields stretch between the group's edges.
    for (int32_t field : {1001, 1013, 1014, 1019, 1017}) {
        EXPECT_EQ(At(field).left, Initial(field).left + 32) << field;
        EXPECT_EQ(At(field).right, Initial(field).right + 100) << field;
    }
    // Buttons move with the group's right edge.
    for (int32_t button : {1012, 1015, 1003}) {
        EXPECT_EQ(At(button).left, Initial(button).left + 100) << button;
        EXPECT_EQ(At(button).right, Initial(button).right + 100) << button;
    }
    // The bottom row moves down with the group, the log box grows down, the rest stays.
    for (int32_t bottomRow : {1016, 1017, 1003}) {
        EXPECT_EQ(At(bottomRow).top, Initial(bottomRow).top + 40) << bottomRow;
        EXPECT_EQ(At(bottomRow).bottom, Initial(bottomRow).bottom + 40) << bottomRow;
    }
    EXPECT_EQ(At(1019).top, Initial(1019).top);
    EXPECT_EQ(At(1019).bottom, Initial(1019).bottom + 40);
    EXPECT_EQ(At(1012).top, Initial(1012).top);
    EXPECT_EQ(At(1016).left, Initial(1016).left + 32);
    EXPECT_EQ(At(1016).right, Initial(1016).right + 32);
}

TEST_F(MainDialogLayout, LinksStayCentredUnderTheListAndMoveDown) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 25)));

    // Centre of the list: before 6 + 138 / 2, after 6 + 170 / 2.
    for (int32_t link : {1018, 1005}) {
        EXPECT_EQ(At(link).left, Initial(link).left + 16) << link;
        EXPECT_EQ(At(link).right, Initial(link).right + 16) << link;
        EXPECT_EQ(At(link).top, Initial(link).top + 25) << link;
        EXPECT_EQ(At(link).bottom, Initial(link).bottom + 25) << link;
    }
    EXPECT_EQ(At(1004).bottom, Initial(1004).bottom + 25);
}

TEST_F(MainDialogLayout, ButtonsBelowTheListStretchToItsWidth) {
    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 25)));

    for (int32_t button : {40002, 57684, 57686}) {
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
    EXPECT_EQ(At(1000).right, Initial(1000).right - kTemplateClient.right); // keeps its margin
    EXPECT_EQ(At(0), (GridRect{0, 0, 0, 0}));

    ASSERT_TRUE(m_layout.UpdateLayout(Grown(100, 0)));
    EXPECT_EQ(At(1000).right, 555);
    EXPECT_EQ(At(1004).right, 176);
}

TEST(MainDialogLayoutBeforeInit, SizeChangeBeforeInitIsIgnored) {
    GridLayout layout;
    AddMainDialogRules(layout);
    EXPECT_FALSE(layout.UpdateLayout(Grown(100, 0)));
    EXPECT_TRUE(layout.CurrentPlacement().empty());
    EXPECT_TRUE(layout.Steps().empty());
}

} // namespace
