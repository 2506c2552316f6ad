#include "ui/GridLayout.h"

#include <climits>
#include <optional>
#include <utility>

namespace {

// The layout works in 32-bit signed arithmetic that wraps as the machine's does, without relying on
// overflow that the language leaves undefined.
int32_t Wrap(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}
int32_t Add(int32_t a, int32_t b) {
    return Wrap(int64_t{a} + b);
}
int32_t Sub(int32_t a, int32_t b) {
    return Wrap(int64_t{a} - b);
}
int32_t Mul(int32_t a, int32_t b) {
    return Wrap(int64_t{a} * b);
}

// Truncating division; the caller has ruled out a zero divisor.
int32_t Div(int32_t a, int32_t b) {
    if (a == INT32_MIN && b == -1)
        return INT32_MIN;
    return a / b;
}

int32_t Centre(int32_t a, int32_t b) {
    return Add(a, Div(Sub(b, a), 2));
}

constexpr uint32_t kSideLeft = 0;
constexpr uint32_t kSideTop = 1;
constexpr uint32_t kSideRight = 2;
constexpr uint32_t kSideBottom = 3;

// The side named by a single edge flag, or nothing for anything else.
std::optional<uint32_t> SideOfEdge(GridEdge edge) {
    switch (edge) {
    case GridEdge::Left:
        return kSideLeft;
    case GridEdge::Top:
        return kSideTop;
    case GridEdge::Right:
        return kSideRight;
    case GridEdge::Bottom:
        return kSideBottom;
    default:
        return std::nullopt;
    }
}

// One side of a rectangle, writable or not as the rectangle is.
template <class Rect> auto& SideOf(Rect& rect, uint32_t side) {
    switch (side) {
    case kSideLeft:
        return rect.left;
    case kSideTop:
        return rect.top;
    case kSideRight:
        return rect.right;
    default:
        return rect.bottom;
    }
}

// Searched from the end toward the start, as rules refer to the most recent entry of an id.
std::optional<uint32_t> FindElement(const std::vector<GridPlacement>& placements, int32_t id) {
    for (size_t i = placements.size(); i-- > 0;) {
        if (placements[i].id == id)
            return static_cast<uint32_t>(i);
    }
    return std::nullopt;
}

// A control's edge flags as sides, in the fixed order left, right, top, bottom.
std::vector<uint32_t> TargetSides(GridEdge edges) {
    if (HasEdge(edges, GridEdge::CenterX))
        edges = edges | GridEdge::Left | GridEdge::Right;
    if (HasEdge(edges, GridEdge::CenterY))
        edges = edges | GridEdge::Top | GridEdge::Bottom;
    std::vector<uint32_t> sides;
    if (HasEdge(edges, GridEdge::Left))
        sides.push_back(kSideLeft);
    if (HasEdge(edges, GridEdge::Right))
        sides.push_back(kSideRight);
    if (HasEdge(edges, GridEdge::Top))
        sides.push_back(kSideTop);
    if (HasEdge(edges, GridEdge::Bottom))
        sides.push_back(kSideBottom);
    return sides;
}

} // namespace

int32_t GridExtent(int32_t from, int32_t to) {
    int64_t extent = int64_t{to} - from;
    if (extent < 0)
        return 0;
    return extent > INT32_MAX ? INT32_MAX : static_cast<int32_t>(extent);
}

void GridLayout::AddRule(const GridRule& rule) {
    if (m_initialPlacement.empty())
        m_initialPlacement.push_back(GridPlacement{});
    m_rules.push_back(rule);
    if (!FindElement(m_initialPlacement, rule.control))
        m_initialPlacement.push_back(GridPlacement{rule.control, nullptr, GridRect{}});
}

void GridLayout::InitLayout(void* dialogHandle, const GridRect& clientRect, const ControlLookup& lookup) {
    if (m_initialPlacement.empty())
        return;
    m_initialPlacement[0].handle = dialogHandle;
    m_initialPlacement[0].rect = clientRect;
    for (size_t i = 1; i < m_initialPlacement.size(); ++i) {
        GridPlacement& element = m_initialPlacement[i];
        void* handle = nullptr;
        GridRect rect;
        if (!lookup || !lookup(element.id, handle, rect)) {
            handle = nullptr;
            rect = GridRect{};
        }
        element.handle = handle;
        element.rect = rect;
    }
    m_currentPlacement = m_initialPlacement;
    m_steps.clear();
    for (const GridRule& rule : m_rules)
        CompileRule(rule);
}

void GridLayout::CompileRule(const GridRule& rule) {
    std::optional<uint32_t> reference = FindElement(m_currentPlacement, rule.ref);
    std::optional<uint32_t> control = FindElement(m_currentPlacement, rule.control);
    if (!reference || !control)
        return;

    GridStepEntry step;
    if (rule.kind == GridRuleKind::Move) {
        if (rule.refEdge == GridEdge::CenterX || rule.refEdge == GridEdge::CenterY) {
            bool horizontal = rule.refEdge == GridEdge::CenterX;
            step.type = GridStep::CenterDelta;
            step.currentA = {*reference, horizontal ? kSideLeft : kSideTop};
            step.currentB = {*reference, horizontal ? kSideRight : kSideBottom};
        } else {
            std::optional<uint32_t> side = SideOfEdge(rule.refEdge);
            if (!side)
                return;
            step.type = GridStep::EdgeDelta;
            step.currentA = {*reference, *side};
            step.currentB = step.currentA;
        }
    } else if (rule.kind == GridRuleKind::Scale) {
        std::optional<uint32_t> second = FindElement(m_currentPlacement, rule.ref2);
        std::optional<uint32_t> sideA = SideOfEdge(rule.refEdge);
        std::optional<uint32_t> sideB = SideOfEdge(rule.ref2Edge);
        if (!second || !sideA || !sideB)
            return;
        step.type = GridStep::SpanScale;
        step.currentA = {*reference, *sideA};
        step.currentB = {*second, *sideB};
    } else {
        return;
    }
    step.initialA = step.currentA;
    step.initialB = step.currentB;

    for (uint32_t side : TargetSides(rule.edges)) {
        step.target = {*control, side};
        m_steps.push_back(step);
    }
}

bool GridLayout::UpdateLayout(const GridRect& clientRect) {
    if (m_currentPlacement.empty())
        return false;
    m_currentPlacement[0].rect = clientRect;
    for (size_t i = 1; i < m_currentPlacement.size(); ++i)
        m_currentPlacement[i].rect = m_initialPlacement[i].rect;
    for (const GridStepEntry& step : m_steps)
        ApplyStep(step);
    return true;
}

void GridLayout::ApplyStep(const GridStepEntry& step) {
    int32_t& target = Current(step.target);
    switch (step.type) {
    case GridStep::EdgeDelta:
        target = Add(target, Sub(Current(step.currentA), Initial(step.initialA)));
        return;
    case GridStep::CenterDelta: {
        int32_t now = Centre(Current(step.currentA), Current(step.currentB));
        int32_t before = Centre(Initial(step.initialA), Initial(step.initialB));
        target = Add(target, Sub(now, before));
        return;
    }
    case GridStep::SpanScale: {
        int32_t divisor = Sub(Initial(step.initialB), Initial(step.initialA));
        if (divisor == 0)
            return; // two reference edges that coincide give no ratio: leave the edge alone
        target = Div(Mul(Sub(Current(step.currentB), Current(step.currentA)), target), divisor);
        return;
    }
    }
}

int32_t& GridLayout::Current(GridCoord coord) {
    return SideOf(m_currentPlacement[coord.element].rect, coord.side);
}

int32_t GridLayout::Initial(GridCoord coord) const {
    return SideOf(std::as_const(m_initialPlacement[coord.element].rect), coord.side);
}

std::vector<GridPlacement> GridLayout::PlacementsToMove() const {
    std::vector<GridPlacement> moves;
    for (size_t i = m_currentPlacement.size(); i-- > 1;)
        moves.push_back(m_currentPlacement[i]);
    return moves;
}

GridRect GridLayout::CurrentRect(int32_t id) const {
    std::optional<uint32_t> element = FindElement(m_currentPlacement, id);
    return element ? m_currentPlacement[*element].rect : GridRect{};
}
