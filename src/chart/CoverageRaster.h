#pragma once

#include "LineEnvelope.h"
#include "ThinLine.h"

#include <QImage>
#include <QRect>
#include <vector>

class QPainter;

// Antialiased filling of a LineEnvelope by the series itself, for raster devices: per
// device pixel column the envelope is sampled at a few x positions, each giving an exact
// vertical coverage, summed per row. The coverage goes straight into pixels of the series'
// colour, in a scratch image shared by all series; strips of them around the rows the
// line covers are blended in a few image draws (far cheaper than Qt's antialiased polygon
// fill, and than one fill call per coverage level) and kept unless they are large.
class CoverageRaster {
  public:
    static constexpr int kSubsamples = 4;

    // At most this many pixels a series are kept for drawing again.
    static constexpr long long kKeptPixels = 128 * 1024;

    // Fills the envelope onto the painter, which must draw in device pixels; (dx, dy) maps
    // envelope coordinates to device pixels, and only pixels inside clip are produced.
    // `color` is premultiplied. True when the picture is kept for paintKept().
    // With a target, the image the painter paints on, the pixels are blended straight into
    // it (clip in its pixels) and nothing is kept.
    bool draw(QPainter* painter, const LineEnvelope& envelope, double dx, double dy,
              const QRect& clip, QRgb color, QImage* target = nullptr);
    // The same for a pen up to a pixel wide, stroked as ThinPolyline describes; the
    // polyline's positions are device pixels already. With a target, the image the painter
    // paints on, the pixels are blended straight into it (clip in its pixels) and nothing
    // is kept: a thin line's pixels cost less to blend there than an image draw of them.
    bool drawThin(QPainter* painter, const ThinPolyline& line, const QRect& clip, QRgb color,
                  QImage* target = nullptr);
    // Blends the kept picture of the last draw() again.
    void paintKept(QPainter* painter) const;

  private:
    void begin(const QRect& clip);
    // The pixel for each coverage (0 to 255) in the colour, kept while the colour stays.
    const QRgb* shadesOf(QRgb color);
    void gatherStrips();
    bool finish(QImage& scratch, QPainter* painter);

    QRect m_area;           // the clip of the last draw
    std::vector<int> m_top; // per column of the clip, the written rows [top, bottom)
    std::vector<int> m_bottom;
    std::vector<int> m_used;       // columns holding written rows, in order
    std::vector<QRect> m_strips;   // parts of the clip to blend, relative to it
    std::vector<size_t> m_offsets; // where each strip's pixels start in m_pixels
    std::vector<QRgb> m_pixels;    // the strips' pixels, row by row
    // One column's partial coverage per row, and the changes in whole rows covered; both
    // zero between columns and between draws.
    std::vector<float> m_coverage;
    std::vector<float> m_steps;
    std::vector<QRgb> m_shades; // the pixels of the column being drawn, per row
    // The pixel for each coverage in the last colour drawn (all clear for clear).
    QRgb m_shadeTable[256] = {};
    QRgb m_shadeColor = 0;
    // A thin line's coverage per nearness for gentle segments, for this point spacing.
    double m_flatSpacing = -1.0;
    uchar m_flat[256] = {};
};
