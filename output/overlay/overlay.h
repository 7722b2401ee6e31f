#pragma once

// The overlay: the reference, base lines, measurement base, cross line, every
// distance and area of the current group with labels and names, the input in
// progress and the adjust handles, drawn over the photo after every repaint.
// Image points are pixels of the photo; device points are pixels of the canvas.

#include "base/tool_mode.h"
#include "measure/model.h"
#include "output/overlay/canvas.h"
#include "base/app_settings.h"
#include "view/view_mapping.h"

#include <optional>
#include <string>

namespace kvx {

struct OverlayContext {
    std::int32_t left = 0;  // image point at the device's top-left corner
    std::int32_t top = 0;
    int which = 1;          // 2: the other plane of the two-plane setting, in the second colours
    double scale = 1.0;     // device pixels per image pixel
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    // The part of the photo the device shows, in image pixels: lines are cut to
    // it before they become device coordinates, so that a vanishing point far
    // away never overflows them.
    double viewWidth = 0;
    double viewHeight = 0;
    kvx::uCommand uCommand = kvx::uCommand::None;
    bool polygonMode = false;
    bool diagnostic = false;
    int imageWidth = 0;
    int imageHeight = 0;
    const TAppSettings* settings = nullptr;
    // When set, the labels carry each value's uncertainty for this click
    // precision (photo pixels).
    std::optional<double> uncertaintySigma;
    // The check distances are the window's: a picture made for others
    // (the report, the overlay file) shows only what was measured.
    bool checks = false;
};

// The context of a display control of controlWidth x controlHeight pixels
// showing a photo of imageWidth x imageHeight with view v; the tool state
// (uCommand, polygon mode, diagnostics, which plane) is the caller's to add.
OverlayContext DisplayContext(const ViewState& v, int controlWidth, int controlHeight, int imageWidth, int imageHeight,
                              const TAppSettings& settings);

// Draws the overlay of doc's current plane.
void DrawBase(Canvas& canvas, const Document& doc, const OverlayContext& context);

// The colours of one set: the active plane's (which != 2) or the other plane's.
struct OverlayColors {
    std::int32_t Base, CrossLine, BaseLine, BaseUnit, Distance, SpaceAdd, SpaceSub;
};
OverlayColors ColorsFor(const TAppSettings& settings, int which);


// The labels as the overlay writes them, the value's uncertainty after it when given.
std::string DistanceLabel(double length, std::optional<double> chainTotal, std::optional<double> uncertainty = {});
// A check distance's label: the length measured and how far it is off the known one.
std::string CheckLabel(std::int32_t number, double measured, double deviation);
std::string AreaLabel(double area, double perimeter, double slantV, double slantH,
                      std::optional<double> uncertainty = {});

} // namespace kvx
