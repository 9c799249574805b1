#pragma once

#include "ColumnReduction.h"

#include <QRectF>
#include <functional>
#include <span>
#include <vector>

// The step between pts[k] and pts[k + 1] that makes most (at least half) of `change`, as k;
// -1 when no step does.
int JumpStep(std::span<const float> pts, float change);

// The outline of a series stroked as a line with a round pen, as the vertical span the
// thick line covers at a row of x positions: every column boundary and centre, plus the
// points themselves and the round ends at gaps. Each column contributes its first-to-last
// segment (or, when it swings beyond those, its extremes widened by the pen), and
// neighbouring columns are joined by the segment from one's last point to the next one's
// first; the span of a segment is its centre line plus and minus the pen's half-width
// widened by the slope, so sloped lines keep their true thickness. Columns without a
// finite value stay clear even of the round ends, so a gap of a column always shows. Filling the
// outline antialiased gives the look of the stroked line at the cost of one polygon per run.
class LineEnvelope {
  public:
    struct Sample {
        double x;
        double top; // smallest device y covered, +inf where nothing is
        double bottom;
    };
    // Device position of a point: (x0 + xStep * index, y0 + yStep * value).
    struct Mapping {
        double x0;
        double xStep;
        double y0;
        double yStep;
    };

    // The values of points [firstIndex, lastIndex], or nothing when they are not at hand
    // (summarised) and the column's extremes must do.
    using PointSource = std::function<std::span<const float>(int firstIndex, int lastIndex)>;

    // columnWidth is the width of one column in device units and gridOrigin the left edge
    // of one of them; spans are clipped to `box`. With `points` and a pen up to 1.5 wide, a
    // column of up to kFewPoints points is drawn as its own segments, not its extremes.
    static constexpr int kFewPoints = 12;
    void build(const std::vector<ColumnExtent>& columns, const Mapping& map, double penWidth,
               double columnWidth, double gridOrigin, const QRectF& box,
               const PointSource& points = {});
    const std::vector<Sample>& samples() const { return m_samples; }
    // Runs of covered samples, each [first, last) into samples(); a gap ends a run.
    const std::vector<std::pair<int, int>>& runs() const { return m_runs; }
    // The share of the covered width that lies inside level runs.
    double levelShare() const { return m_levelShare; }

  private:
    struct Element {
        double x1, y1, x2, y2; // a segment with x1 <= x2, or a box's corners
        double nx, ny, slope;  // the segment's pen offset and slope
        bool box;
        bool capStart; // whether the segment draws the round end at its x1/x2 end; off
        bool capEnd;   // where a neighbouring element already draws the same one
        double left() const { return x1; }
        double right() const { return x2; }
    };

    void addSegment(double xa, double ya, double xb, double yb, bool capA = true, bool capB = true);
    void addCap(double x, double direction);
    bool addStep(const ColumnExtent& c, std::span<const float> points);
    double deviceY(float v) const;
    void cover(const Element& e, Sample& s) const;

    double m_radius = 0.5;
    Mapping m_map{};
    double m_yLow = 0.0; // values are pinned to this band around the box
    double m_yHigh = 0.0;
    std::vector<Element> m_elements;
    std::vector<double> m_keys; // the points and round ends, nearly in order
    std::vector<double> m_xs;
    std::vector<std::pair<double, double>> m_gaps;  // whole empty columns, kept clear
    std::vector<std::pair<double, double>> m_quiet; // inside level runs: no grid samples
    std::vector<Sample> m_samples;
    std::vector<std::pair<int, int>> m_runs;
    double m_levelShare = 0.0;
};
