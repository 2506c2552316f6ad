#pragma once
// Rule-driven layout of a resizable dialog, without any window behind it. The dialog declares an
// ordered list of rules; InitLayout compiles them into steps that point at coordinates, and every
// UpdateLayout puts all controls back at their initial rectangles and replays the steps in order,
// so later rules see what earlier ones computed and truncation never accumulates.
#include "ui/PixelRect.h"

#include <cstdint>
#include <functional>
#include <vector>

// Edges of a control (a set, combined with |), and the one edge or centre of a reference a rule
// follows.
enum class GridEdge : uint32_t {
    None = 0,
    Right = 1,
    Left = 2,
    Bottom = 4,
    Top = 8,
    CenterX = 16, // as a control's edges: Left | Right
    CenterY = 32, // as a control's edges: Top | Bottom
};

constexpr GridEdge operator|(GridEdge a, GridEdge b) {
    return static_cast<GridEdge>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}

// Whether the set holds the edge.
constexpr bool HasEdge(GridEdge set, GridEdge edge) {
    return (static_cast<uint32_t>(set) & static_cast<uint32_t>(edge)) != 0;
}

enum class GridRuleKind : uint32_t {
    Move,  // the control's edges move as the reference edge or centre moves
    Scale, // the control's edges keep their share of the span between two reference edges
};

// One rule, filled by name: {.control = id, .edges = GridEdge::Right, .ref = 0, .refEdge = ...}.
struct GridRule {
    int32_t control = 0;
    GridEdge edges = GridEdge::None;
    GridRuleKind kind = GridRuleKind::Move;
    int32_t ref = 0; // 0 is the dialog itself
    GridEdge refEdge = GridEdge::None;
    int32_t ref2 = 0; // Scale only: the second edge of the span
    GridEdge ref2Edge = GridEdge::None;
};

enum class GridStep : int32_t {
    EdgeDelta = 0,   // T += current A - initial A
    CenterDelta = 1, // T += centre of current A..B - centre of initial A..B
    SpanScale = 2,   // T = (current B - current A) * T / (initial B - initial A)
};

using GridRect = PixelRect;

// The size a window can take for a rectangle: never negative, never overflowing.
int32_t GridExtent(int32_t from, int32_t to);

struct GridPlacement {
    int32_t id = 0;         // 0 is the dialog itself
    void* handle = nullptr; // the window, opaque here
    GridRect rect;          // in the dialog's client coordinates
};

// One coordinate of one placement: element index and which side (0 left, 1 top, 2 right, 3 bottom).
struct GridCoord {
    uint32_t element = 0;
    uint32_t side = 0;
};

struct GridStepEntry {
    GridStep type = GridStep::EdgeDelta;
    GridCoord target;   // in the current placement
    GridCoord initialA; // in the initial placement
    GridCoord initialB;
    GridCoord currentA; // in the current placement
    GridCoord currentB;
};

class GridLayout {
public:
    // The window side's answer for one control: its handle and its rectangle in client coordinates.
    // Returning false leaves the element with no handle and an empty rectangle.
    using ControlLookup = std::function<bool(int32_t id, void*& handle, GridRect& rect)>;

    void AddRule(const GridRule& rule);

    // Captures the initial placement and compiles the rules. Does nothing without rules.
    void InitLayout(void* dialogHandle, const GridRect& clientRect, const ControlLookup& lookup);

    // Recomputes every control for a new client rectangle. False (and nothing changes) before
    // InitLayout.
    bool UpdateLayout(const GridRect& clientRect);

    bool IsInitialised() const { return !m_currentPlacement.empty(); }

    // The controls to move after UpdateLayout, from the last element down to element 1.
    std::vector<GridPlacement> PlacementsToMove() const;

    // The current rectangle of a control (or of the dialog, id 0); an empty one for unknown ids.
    GridRect CurrentRect(int32_t id) const;

    const std::vector<GridRule>& Rules() const { return m_rules; }
    const std::vector<GridStepEntry>& Steps() const { return m_steps; }
    const std::vector<GridPlacement>& InitialPlacement() const { return m_initialPlacement; }
    const std::vector<GridPlacement>& CurrentPlacement() const { return m_currentPlacement; }

private:
    void CompileRule(const GridRule& rule);
    void ApplyStep(const GridStepEntry& step);
    int32_t& Current(GridCoord coord);
    int32_t Initial(GridCoord coord) const;

    std::vector<GridRule> m_rules;
    std::vector<GridStepEntry> m_steps;
    std::vector<GridPlacement> m_initialPlacement;
    std::vector<GridPlacement> m_currentPlacement;
};
