#pragma once

// The DXF writer the drawing is made with: dxflib's calls, lines kept in memory.

#include "measure/model.h"

#include <dxflib/dl_dxf.h>

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

namespace kvx {

// dxflib's own writer flushes its file after every number, some 45,000
// system calls for a drawing of 3,000 marks; this one writes the very same
// lines into memory.  The numbers are formatted as that writer formats them
// (sixteen decimals, trailing zeros cut after the first), but never in the
// user's locale.  dxflib's drawing calls take its file writer, so this is one
// whose file is never opened.
class DxfMemoryWriter final : public DL_WriterA {
public:
    DxfMemoryWriter() : DL_WriterA("", DL_Codes::AC1015) {}

    void dxfReal(int gc, double value) const override
    {
        char text[400];
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 16);
        std::size_t length = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - text) : 0;
        // Up to the last digit that is not 0, keeping one after the point.
        std::size_t end = 0;
        bool dot = false;
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] == '.') {
                dot = true;
                end = i + 2;
            } else if (dot && text[i] != '0') {
                end = i + 1;
            }
        }
        if (end > 0 && end < length)
            length = end;
        Put(gc, std::string_view(text, length));
    }
    void dxfInt(int gc, int value) const override
    {
        char text[16];
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
        Put(gc, std::string_view(text, static_cast<std::size_t>(r.ptr - text)));
    }
    void dxfHex(int gc, int value) const override
    {
        char text[16];
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, static_cast<unsigned>(value), 16);
        std::transform(text, r.ptr, text, [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
        Put(gc, std::string_view(text, static_cast<std::size_t>(r.ptr - text)));
    }
    void dxfString(int gc, const char* value) const override { Put(gc, value ? std::string_view(value) : std::string_view()); }
    void dxfString(int gc, const std::string& value) const override { Put(gc, value); }

    std::string Take() { return std::move(bytes_); }

private:
    void Put(int gc, std::string_view value) const
    {
        bytes_ += gc < 10 ? "  " : gc < 100 ? " " : "";
        char code[16];
        const std::to_chars_result r = std::to_chars(code, code + sizeof code, gc);
        bytes_.append(code, r.ptr);
        bytes_ += '\n';
        bytes_ += value;
        bytes_ += '\n';
    }

    mutable std::string bytes_;
};

// The drawing DxfBytes makes, through writer.  Throws std::runtime_error when
// the measurements hold points that have no place on the plane.
void WriteDxf(const Document& doc, DL_WriterA& writer);

} // namespace kvx
