#pragma once

// Everything the program knows about a tool mode, in one row per mode: which
// family of tools handles its clicks, the menu entry that enters it and the
// button shown pressed, what must exist for that entry to be on, the marks it
// shows, its prompts, the price label, the summary and the cursor.  The
// window, the tools and the prompts read this table instead of keeping their
// own lists of modes.

#include "base/tool_mode.h"
#include "measure/model.h"

#include <array>
#include <cstdint>
#include <span>

namespace kvx {

// The families of tools, each with its own picked state and steps.
enum class ToolFamily : std::uint8_t {
    None,    // no tool: a click chooses a mark
    Input,   // takes new points: references, base lines, distances, areas, checks, the image range
    Adjust,  // moves a point of an existing mark
    Delete,  // removes a mark or its correction
    Pick,    // picks a mark and asks something of it (a correction, a slope, a name)
    Zoom,    // zooms about the click
};

// What must exist before a mode's entry is on (the photo always).
enum class ToolNeeds : std::uint8_t {
    Photo,
    TwoPlanes,            // setting 4's two planes
    Reference,            // a reference rectangle
    BaseLine,             // a base line W or H
    BaseUnit,             // a measurement base
    OtherPlane,           // the other plane's reference
    Distances,            // a distance
    CorrectableDistance,  // a distance and the planes' cross line
    CorrectedDistance,    // a corrected distance
    Areas,                // an area
    CorrectableArea,      // an area and the planes' cross line
    CorrectedArea,        // a corrected area
    Checks,               // a check distance
};

enum class PriceUnit : std::uint8_t { None, Metre, SquareMetre };
enum class ToolCursor : std::uint8_t { Arrow, ZoomIn, ZoomOut };

// How a mode's prompt is made from its texts.
enum class PromptForm : std::uint8_t {
    Keep,      // no prompt: the status line keeps its text
    Empty,     // an empty prompt
    One,       // first, whatever was taken
    TwoSteps,  // first before the first point, then more
    Reference,  // the reference's corners, counted
    SixPoints,  // the six points of two planes, one piece a point
    Area,       // first is the heading; the rest tells a rectangle's or a polygon's next click
};

struct ToolRow {
    uCommand mode;
    ToolFamily family;
    const char* action;        // object name of the menu entry that enters it
    const char* button;        // object name of the tool button shown pressed, or ""
    ToolNeeds needs;           // what its entry and button wait for
    bool ViewToggles::*shows;  // the marks its entry turns on, or none
    PriceUnit price;
    bool areaSummary;          // the summary speaks of areas
    bool measuring;            // works with the reference as it stands
    bool takesPoints;          // clicks on the photo become points (the loupe helps)
    bool snapsToCorners;       // clicks may snap to the photo's corners
    ToolCursor cursor;
    PromptForm prompt;
    const char* first;  // the prompt's texts in the source language (context "Prompts")
    const char* more;
    // The caption of its menu entry (context "WindowBuild"), on the one row
    // that owns the entry; null on the modes that share another's entry.
    const char* caption;
    bool lockable = false;  // the lock of the planes' shared corners matters while it is on
};

// Every mode's row, in the order of the modes' numbers.
std::span<const ToolRow> ToolTable();

// The row of mode; a value no mode has (a damaged trail or file) gets the row
// of no tool.
const ToolRow& Tool(uCommand mode);

// Whether what needs asks for exists in doc.
bool NeedsMet(ToolNeeds needs, const Document& doc, bool photo);

} // namespace kvx
