#pragma once

#include <QColor>
#include <cstdint>

// Colour values as stored in config.ini: 0x00BBGGRR for an ordinary colour, or
// 0x80000000 + index for a system colour (written as a negative decimal).
namespace ColorValue {

constexpr uint32_t kSystemFlag = 0x80000000u;
constexpr int32_t kButtonFace = int32_t(kSystemFlag | 15u); // system colour "button face"
constexpr int32_t kNone = int32_t(0xFF000000u);             // "no colour" of an empty picker

constexpr int32_t Rgb(int r, int g, int b) {
    return int32_t((uint32_t(b) << 16) | (uint32_t(g) << 8) | uint32_t(r));
}
inline bool IsSystem(int32_t value) {
    return (uint32_t(value) & 0xFF000000u) == kSystemFlag;
}

// The colour to paint with; system colours come from the application palette.
QColor ToQColor(int32_t value);
int32_t FromQColor(const QColor& color);

} // namespace ColorValue
