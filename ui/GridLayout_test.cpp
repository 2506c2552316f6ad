#include "ui/GridLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

namespace {

using Rects = std::map<int32_t, GridRect>;

// Initialises a layout from a table of control rectangles; the handle is the id, so moves can be
// traced back to controls.
void Init(GridLayout& layout, const GridRect& client, const Rects& rects) {
    layout.InitLayout(reinterpret_cast<void*>(uintptr_t{0xD1A1}), client,
                      [&rects](int32_t id, void*& handle, GridRect& rect) {
                          auto it = rects.find(id);
                          if (it == rects.end())
                              return false;
                          handle = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
                          rect = it->second;
                          return true;
                      });
}

constexpr GridRect kClient{0, 0, 400, 300};

TEST(GridLayoutRules, PlacementListStartsWithDialogAndKeepsFirstAppearanceOrder) {
    GridLayout layout;
    layout.AddRule({.control = 20, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 10, .edges = GridEdge::Left, .ref = 20, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 20, .edges = GridEdge::Bottom, .ref = 0, .refEdge = GridEdge::Bottom});
    layout.AddRule({.control = 30,
                    .edges = GridEdge::Top,
                    .ref = 99,
                    .refEdge = GridEdge::Top}); // 99 is only a reference

    const auto& placement = layout.InitialPlacement();
    ASSERT_EQ(placement.size(), 4u);
    EXPECT_EQ(placement[0].id, 0);
    EXPECT_EQ(placement[1].id, 20);
    EXPECT_EQ(placement[2].id, 10);
    EXPECT_EQ(placement[3].id, 30);
    EXPECT_EQ(layout.Rules().size(), 4u);
    EXPECT_TRUE(layout.CurrentPlacement().empty());
}

TEST(GridLayoutRules, InitWithoutRulesDoesNothing) {
    GridLayout layout;
    Init(layout, kClient, {});
    EXPECT_FALSE(layout.IsInitialised());
    EXPECT_FALSE(layout.UpdateLayout(kClient));
}

TEST(GridLayoutRules, EachControlEdgeBecomesAStepInLeftRightTopBottomOrder) {
    GridLayout layout;
    layout.AddRule({.control = 5,
                    .edges = GridEdge::Bottom | GridEdge::Top | GridEdge::Right | GridEdge::Left,
                    .ref = 0,
                    .refEdge = GridEdge::Bottom});
    Init(layout, kClient, {{5, {10, 20, 30, 40}}});

    const auto& steps = layout.Steps();
    ASSERT_EQ(steps.size(), 4u);
    const uint32_t expectedSides[] = {0, 2, 1, 3}; // left, right, top, bottom
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].type, GridStep::EdgeDelta);
        EXPECT_EQ(steps[i].target.element, 1u);
        EXPECT_EQ(steps[i].target.side, expectedSides[i]) << "step " << i;
    }
}

TEST(GridLayoutRules, CenterFlagsOnTheControlActLikeBothEdges) {
    auto run = [](GridEdge edgesX, GridEdge edgesY) {
        GridLayout layout;
        layout.AddRule({.control = 7, .edges = edgesX, .ref = 8, .refEdge = GridEdge::CenterX});
        layout.AddRule({.control = 7, .edges = edgesY, .ref = 0, .refEdge = GridEdge::Bottom});
        layout.AddRule({.control = 8, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
        Init(layout, kClient, {{7, {50, 200, 90, 215}}, {8, {10, 10, 141, 180}}});
        layout.UpdateLayout({0, 0, 517, 333});
        return layout.CurrentRect(7);
    };
    GridRect centred = run(GridEdge::CenterX, GridEdge::CenterY);
    GridRect explicitEdges = run(GridEdge::Left | GridEdge::Right, GridEdge::Top | GridEdge::Bottom);
    EXPECT_EQ(centred, explicitEdges);
    // 8 is moved after 7 here, so 7 saw 8 unchanged; only the dialog's bottom moved it.
    EXPECT_EQ(centred, (GridRect{50, 233, 90, 248}));
}

TEST(GridLayoutRules, RulesOutsideTheContractAddNoSteps) {
    GridLayout layout;
    layout.AddRule(
        {.control = 1, .edges = GridEdge::Left, .ref = 77, .refEdge = GridEdge::Left}); // unknown reference
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Left,
                    .ref = 0,
                    .refEdge = GridEdge::Left | GridEdge::Right});                                // two edges
    layout.AddRule({.control = 1, .edges = GridEdge::Left, .ref = 0, .refEdge = GridEdge::None}); // no edge
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Left,
                    .kind = GridRuleKind::Scale,
                    .ref = 0,
                    .refEdge = GridEdge::CenterX,
                    .ref2 = 0,
                    .ref2Edge = GridEdge::Right}); // centre
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Left,
                    .kind = GridRuleKind::Scale,
                    .ref = 0,
                    .refEdge = GridEdge::Left,
                    .ref2 = 55,
                    .ref2Edge = GridEdge::Right}); // unknown second
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Left,
                    .kind = static_cast<GridRuleKind>(3),
                    .ref = 0,
                    .refEdge = GridEdge::Left}); // unknown kind
    layout.AddRule({.control = 1,
                    .edges = static_cast<GridEdge>(64),
                    .ref = 0,
                    .refEdge = GridEdge::Left}); // no control edge
    Init(layout, kClient, {{1, {5, 6, 7, 8}}});

    EXPECT_TRUE(layout.Steps().empty());
    ASSERT_TRUE(layout.UpdateLayout({0, 0, 900, 900}));
    EXPECT_EQ(layout.CurrentRect(1), (GridRect{5, 6, 7, 8}));
}

TEST(GridLayoutRules, ScaleWithCoincidingReferencesLeavesTheEdgeAlone) {
    GridLayout layout;
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Right,
                    .kind = GridRuleKind::Scale,
                    .ref = 1,
                    .refEdge = GridEdge::Left,
                    .ref2 = 2,
                    .ref2Edge = GridEdge::Left});
    layout.AddRule({.control = 2, .edges = GridEdge::Left, .ref = 0, .refEdge = GridEdge::Right});
    Init(layout, kClient, {{1, {40, 0, 80, 10}}, {2, {40, 0, 60, 10}}});

    ASSERT_EQ(layout.Steps().size(), 2u);
    ASSERT_TRUE(layout.UpdateLayout({0, 0, 500, 300}));
    EXPECT_EQ(layout.CurrentRect(1).right, 80);
    EXPECT_EQ(layout.CurrentRect(2).left, 140);
}

TEST(GridLayoutRules, LaterRulesSeeCoordinatesThatEarlierRulesChanged) {
    GridLayout layout;
    layout.AddRule({.control = 1, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    layout.AddRule(
        {.control = 2, .edges = GridEdge::Left | GridEdge::Right, .ref = 1, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 3, .edges = GridEdge::Left, .ref = 2, .refEdge = GridEdge::Left});
    Init(layout, kClient, {{1, {0, 0, 100, 10}}, {2, {110, 0, 150, 10}}, {3, {160, 0, 190, 10}}});

    ASSERT_TRUE(layout.UpdateLayout({0, 0, 425, 300}));
    EXPECT_EQ(layout.CurrentRect(1), (GridRect{0, 0, 125, 10}));
    EXPECT_EQ(layout.CurrentRect(2), (GridRect{135, 0, 175, 10}));
    EXPECT_EQ(layout.CurrentRect(3), (GridRect{185, 0, 190, 10}));
}

TEST(GridLayoutRules, DivisionsTruncateTowardZero) {
    GridLayout layout;
    layout.AddRule({.control = 2, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 1,
                    .edges = GridEdge::Left,
                    .kind = GridRuleKind::Scale,
                    .ref = 2,
                    .refEdge = GridEdge::Left,
                    .ref2 = 2,
                    .ref2Edge = GridEdge::Right});
    layout.AddRule(
        {.control = 5, .edges = GridEdge::Left, .ref = 0, .refEdge = GridEdge::Right}); // a reversed span
    layout.AddRule({.control = 4, .edges = GridEdge::Left, .ref = 5, .refEdge = GridEdge::CenterX});
    Init(layout, {0, 0, 100, 100},
         {{1, {-7, 0, 0, 0}}, {2, {0, 0, 2, 0}}, {4, {50, 0, 60, 0}}, {5, {0, 0, -2, 0}}});

    ASSERT_TRUE(layout.UpdateLayout({0, 0, 101, 100}));
    EXPECT_EQ(layout.CurrentRect(2).right, 3);
    EXPECT_EQ(layout.CurrentRect(1).left, -10); // 3 * -7 / 2 = -10.5
    // Centre before: 0 + -2 / 2 = -1; after: 1 + -3 / 2 = 0 (flooring would give -1 and no move).
    EXPECT_EQ(layout.CurrentRect(4).left, 51);
}

TEST(GridLayoutRules, ExtremeCoordinatesWrapWithoutUndefinedBehaviour) {
    GridLayout layout;
    layout.AddRule(
        {.control = 1, .edges = GridEdge::Right | GridEdge::Left, .ref = 0, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 2,
                    .edges = GridEdge::Right,
                    .kind = GridRuleKind::Scale,
                    .ref = 0,
                    .refEdge = GridEdge::Left,
                    .ref2 = 0,
                    .ref2Edge = GridEdge::Right});
    layout.AddRule({.control = 3, .edges = GridEdge::Left, .ref = 0, .refEdge = GridEdge::CenterX});
    layout.AddRule(
        {.control = 7, .edges = GridEdge::None, .ref = 0, .refEdge = GridEdge::Left}); // placed, never moved
    layout.AddRule({.control = 6,
                    .edges = GridEdge::Right,
                    .kind = GridRuleKind::Scale,
                    .ref = 7,
                    .refEdge = GridEdge::Left,
                    .ref2 = 7,
                    .ref2Edge = GridEdge::Right});
    Init(layout, {0, 0, 1, 1},
         {{1, {INT32_MAX - 1, 0, INT32_MAX, 0}},
          {2, {0, 0, INT32_MAX, 0}},
          {3, {INT32_MIN, 0, 0, 0}},
          {7, {1, 0, 0, 0}},
          {6, {0, 0, INT32_MIN, 0}}});

    ASSERT_TRUE(layout.UpdateLayout({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
    EXPECT_EQ(layout.CurrentRect(1).left, -4);         // (2^31 - 2) + (2^31 - 2), wrapped to 32 bits
    EXPECT_EQ(layout.CurrentRect(6).right, INT32_MIN); // -1 * INT32_MIN / -1 stays INT32_MIN
    ASSERT_TRUE(layout.UpdateLayout({INT32_MAX, 0, INT32_MIN, 0}));
    ASSERT_TRUE(layout.UpdateLayout({0, 0, 0, 0}));
}

TEST(GridLayoutRules, ExtentsAreNeverNegativeNorOverflow) {
    EXPECT_EQ(GridExtent(10, 25), 15);
    EXPECT_EQ(GridExtent(25, 10), 0);
    EXPECT_EQ(GridExtent(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(GridExtent(INT32_MAX, INT32_MIN), 0);
}

TEST(GridLayoutRules, UpdateBeforeInitChangesNothing) {
    GridLayout layout;
    layout.AddRule({.control = 1, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    EXPECT_FALSE(layout.UpdateLayout({0, 0, 999, 999}));
    EXPECT_TRUE(layout.CurrentPlacement().empty());
    EXPECT_TRUE(layout.PlacementsToMove().empty());
}

TEST(GridLayoutRules, MissingControlsKeepNoHandleAndAnEmptyRectangle) {
    GridLayout layout;
    layout.AddRule({.control = 1, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    layout.AddRule({.control = 2, .edges = GridEdge::Right, .ref = 0, .refEdge = GridEdge::Right});
    Init(layout, kClient, {{2, {1, 2, 3, 4}}});

    const auto& placement = layout.InitialPlacement();
    EXPECT_EQ(placement[1].handle, nullptr);
    EXPECT_EQ(placement[1].rect, GridRect{});
    EXPECT_EQ(placement[2].handle, reinterpret_cast<void*>(uintptr_t{2}));
    EXPECT_EQ(placement[0].rect, kClient);
}

TEST(GridLayoutRules, MovesRunFromTheLastControlDownToTheFirst) {
    GridLayout layout;
    for (int32_t id : {11, 12, 13})
        layout.AddRule({.control = id, .edges = GridEdge::Bottom, .ref = 0, .refEdge = GridEdge::Bottom});
    Init(layout, kClient, {{11, {0, 0, 1, 1}}, {12, {0, 0, 1, 1}}, {13, {0, 0, 1, 1}}});
    ASSERT_TRUE(layout.UpdateLayout({0, 0, 400, 310}));

    auto moves = layout.PlacementsToMove();
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].id, 13);
    EXPECT_EQ(moves[1].id, 12);
    EXPECT_EQ(moves[2].id, 11);
    EXPECT_EQ(moves[2].rect.bottom, 11);
}

} // namespace
