#pragma once

// Colours as the document and the settings store them.

#include <QColor>

#include <cstdint>

namespace kvx {

// 0x00BBGGRR as a colour.
inline QColor ColorOf(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

} // namespace kvx
