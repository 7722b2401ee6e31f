#pragma once

// What the overlay draws with: a device that draws lines, circles and text in
// device pixels with the attributes of a PrintInfo record.  The display, the
// printer page and the tests each provide one.

#include <cstdint>
#include <string>

namespace kvx {

// Line style codes: 1 continuous, 2 perspective-corrected marks, 3 construction
// lines, 4 marks while their delete tool is active.
enum : std::uint8_t { kStyleSolid = 1, kStyleCorrected = 2, kStyleConstruction = 3, kStyleDelete = 4 };

// The drawing attributes handed to every call (colours are 0x00BBGGRR).
struct PrintInfo {
    std::int32_t PenWidth = 1;
    std::uint8_t LineStyle = kStyleSolid;
    std::uint8_t RasterOp = 13;
    std::int32_t PenColor = 0;
    std::int32_t BrushColor = 0xffffff;
    std::int32_t TextColor = 0;
    std::int32_t BackColor = 0xffffff;
    std::string FontName = "ＭＳ Ｐゴシック";
    std::int16_t FontSize = 12;
    std::string Text;  // UTF-8
};

void ClearPrintInfo(PrintInfo& info);

// A rectangle as the drawing calls take it: a line runs from (left, top) to
// (right, bottom); text and circles fill the box the two corners span.
struct TRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void Line(const TRect& r, const PrintInfo& info) = 0;
    virtual void Ellipse(const TRect& r, const PrintInfo& info) = 0;
    virtual void DrawText(const TRect& r, const PrintInfo& info) = 0;
    // The size of info.Text in device pixels; false when the device cannot tell
    // (the caller then estimates from the text's length).
    virtual bool TextExtent(const PrintInfo& info, int& width, int& height) = 0;
};

} // namespace kvx
