#pragma once

#include "LineEnvelope.h"

#include <QRect>
#include <array>
#include <vector>

// Antialiased filling of a LineEnvelope by the series itself, for raster devices: per
// device pixel column the envelope is sampled at a few x positions, each giving an exact
// vertical coverage; coverage changes only at the rows holding the spans' ends, so the
// column's rows fall into a few runs of equal coverage without visiting every row. The
// runs land in one list of rectangles per coverage level, so a series is painted by a
// few drawRects calls of plain colour with alpha, far cheaper than Qt's antialiased
// polygon fill once the outline crosses many pixels.
class CoverageRaster {
  public:
    static constexpr int kLevels = 16;
    static constexpr int kSubsamples = 4;
    static constexpr int kPiece = 64;

    // (dx, dy) maps envelope coordinates to device pixels; only pixels inside clip are
    // produced.
    void build(const LineEnvelope& envelope, double dx, double dy, const QRect& clip);
    // Rectangles of pixels covered to level/kLevels, for level 1..kLevels.
    const std::vector<QRect>& level(int level) const { return m_levels[size_t(level)]; }

  private:
    std::array<std::vector<QRect>, kLevels + 1> m_levels;
};
