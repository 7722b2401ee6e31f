#pragma once

// A canvas that remembers every call, for checking what the overlay draws.

#include "output/overlay/canvas.h"

#include <vector>

namespace kvx {

class RecordingCanvas : public Canvas {
public:
    enum class Kind { Line, Ellipse, Text };
    struct Call {
        Kind kind;
        TRect rect;
        PrintInfo info;
    };

    // With hasDevice false the canvas cannot measure text, as a printer page
    // without a handle cannot.
    explicit RecordingCanvas(bool hasDevice = true) : hasDevice_(hasDevice) {}

    void Line(const TRect& r, const PrintInfo& info) override { calls.push_back({Kind::Line, r, info}); }
    void Ellipse(const TRect& r, const PrintInfo& info) override { calls.push_back({Kind::Ellipse, r, info}); }
    void DrawText(const TRect& r, const PrintInfo& info) override { calls.push_back({Kind::Text, r, info}); }
    bool TextExtent(const PrintInfo& info, int& width, int& height) override
    {
        if (!hasDevice_)
            return false;
        // A fixed-pitch device: 7 pixels a character, 14 a line.
        int chars = 0;
        for (const unsigned char c : info.Text)
            chars += (c & 0xC0) != 0x80;
        width = 7 * chars;
        height = 14;
        return true;
    }

    std::vector<Call> calls;

private:
    bool hasDevice_;
};

} // namespace kvx
