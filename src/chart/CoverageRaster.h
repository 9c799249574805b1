#pragma once

#include "LineEnvelope.h"

#include <QRect>
#include <array>
#include <vector>

// Antialiased filling of a LineEnvelope by the series itself, for raster devices: per
// device pixel column the envelope is sampled at a few x positions, each giving an exact
// vertical coverage, and the column's rows are grouped into runs of equal coverage. The
// runs land in one list of rectangles per coverage level, so a series is painted by a
// few drawRects calls of plain colour with alpha, far cheaper than Qt's antialiased
// polygon fill once the outline crosses many pixels.
class CoverageRaster {
  public:
    static constexpr int kLevels = 32;
    static constexpr int kSubsamples = 4;

    // (dx, dy) maps envelope coordinates to device pixels; only pixels inside clip are
    // produced.
    void build(const LineEnvelope& envelope, double dx, double dy, const QRect& clip);
    // Rectangles of pixels covered to level/kLevels, for level 1..kLevels.
    const std::vector<QRect>& level(int level) const { return m_levels[size_t(level)]; }

  private:
    std::array<std::vector<QRect>, kLevels + 1> m_levels;
    std::vector<float> m_steps; // coverage changes of whole rows, by row
    std::vector<float> m_parts; // coverage of partly covered rows, by row
};
