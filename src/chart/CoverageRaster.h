#pragma once

#include "LineEnvelope.h"

#include <QImage>
#include <QRect>
#include <vector>

class QPainter;

// Antialiased filling of a LineEnvelope by the series itself, for raster devices: per
// device pixel column the envelope is sampled at a few x positions, each giving an exact
// vertical coverage, summed per row. The coverage goes straight into a retained image in the series' colour, which is blended in
// a few image draws over only the rows the line covers: far cheaper than Qt's antialiased
// polygon fill, and than one fill call per coverage level.
class CoverageRaster {
  public:
    static constexpr int kSubsamples = 4;

    // (dx, dy) maps envelope coordinates to device pixels; only pixels inside clip are
    // produced. `color` is premultiplied.
    void build(const LineEnvelope& envelope, double dx, double dy, const QRect& clip,
               QRgb color);
    // Blends the last build onto the painter, which must draw in device pixels.
    void paint(QPainter* painter) const;

  private:
    void clearWritten();
    void gatherStrips();

    QImage m_image;            // the clip's pixels; transparent outside the written rows
    QRect m_area;              // the clip the image stands for
    std::vector<int> m_top;    // per image column, the written rows [top, bottom)
    std::vector<int> m_bottom;
    std::vector<int> m_used;   // image columns holding written rows, in order
    std::vector<QRect> m_strips; // parts of the image to blend, in image coordinates
    // One column's partial coverage per row, and the changes in whole rows covered; both
    // zero between columns.
    std::vector<float> m_coverage;
    std::vector<float> m_steps;
};
