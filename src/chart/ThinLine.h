#pragma once

#include "ColumnReduction.h"
#include "LineEnvelope.h"

#include <QPointF>
#include <QRect>
#include <QRgb>
#include <span>
#include <vector>

// A series stroked with a pen up to one pixel wide, the way the toolkit strokes such a
// pen antialiased: along the segment's longer axis every pixel step lights the two pixels
// nearest the line across it, in proportion to their nearness, and the end pixels by the
// share of the step the segment covers; pixels lit twice compound as if blended twice.
// Points closer than a pixel are each such a stroke, with ends held to 1/64 pixel, so a
// flat line of many points comes out lighter than one of a few; the drawing does the
// same for a segment standing for many points. A one-pixel line drawn as the outline of
// a round pen comes out heavier than all of that.
//
// The polyline comes from the pixel columns: a dense column that leaves its level to one
// side and comes back is a spike, out and back at its own x; any other column that swings
// beyond its first and last value is the stroke between its extremes; the rest are their
// first and last point, with a jump that makes most of their change at its own x.
struct ThinPolyline {
    std::vector<QPointF> points; // device positions, pixel centres at whole numbers
    std::vector<int> runEnds;    // each run ends before this index; a gap separates runs
    double spacing = 1.0;        // device pixels from one point to the next

    void build(const std::vector<ColumnExtent>& columns, const LineEnvelope::Mapping& map,
               const QRectF& box, const LineEnvelope::PointSource& source = {});
    // Every point as it is, the first at x = firstIndex: for at most two points a column,
    // where the columns would give the same polyline.
    void build(std::span<const float> values, long long firstIndex,
               const LineEnvelope::Mapping& map, const QRectF& box);

  private:
    void endRun(); // the points so far end a run
    template <class At>
    bool spike(const ColumnExtent& c, const LineEnvelope::Mapping& map,
               const LineEnvelope::PointSource& source, const At& at);
};

// Per nearness across a gentle segment, what a whole pixel step lights when points lie
// `spacing` pixels apart (as they are: the nearness itself from a pixel apart on).
void FlatCover(double spacing, uchar* flat);

// Strokes the polyline into the pixels of `clip`, the first at `bits`, with shades[a] the
// premultiplied pixel for coverage a (0 to 255); the polyline's positions are device pixels.
// `flat` is FlatCover's table for its spacing. With top and bottom (one each per column of
// the clip), they are set to the rows each column lights, for drawing those alone.
void StrokeThin(const ThinPolyline& line, uchar* bits, qsizetype stride, const QRect& clip,
                const QRgb* shades, const uchar* flat, int* top, int* bottom);
