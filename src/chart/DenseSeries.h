#pragma once

#include "ColumnReduction.h"
#include "CoverageRaster.h"
#include "LineEnvelope.h"
#include "SeriesStore.h"
#include "ThinLine.h"

#include <QPolygonF>
#include <QRgba64>
#include <optional>
#include <qcustomplot.h>
#include <vector>

// A line series whose x is the point index since the last reset. Whatever the density it
// is drawn the same way: reduced to pixel columns through the store's summary and filled
// as the outline of a stroked, round-pen line (LineEnvelope), antialiased; a pen up to a
// pixel wide is stroked as the toolkit strokes it instead (ThinPolyline), straight into
// the layer's image where the plot paints into one (ImagePlot). QCPGraph strokes every
// point, which with wide antialiased pens takes seconds for a day of data.
class DenseSeries : public QCPAbstractPlottable {
    Q_OBJECT
  public:
    DenseSeries(QCPAxis* keyAxis, QCPAxis* valueAxis);

    int count() const { return int(m_store.count()); }
    float value(int index) const { return m_store.value(index); } // NaN once dropped
    const SeriesStore& store() const { return m_store; }
    void setRetention(long long fullResolution, bool summariseOlder) {
        m_store.setRetention(fullResolution, summariseOlder);
    }
    void append(float y) { m_store.append(y); }
    void setValue(int index, float y) { m_store.set(index, y); }
    void clear() { m_store.clear(); }
    void setValues(std::vector<float> values) { m_store.assign(std::move(values)); }
    // Columns per device pixel; above 1 when the picture is enlarged for a printer.
    void setOversampling(double factor) { m_oversampling = factor; }
    // Largest finite value still drawn; false when the series holds none.
    bool largestValue(float& largest) const;

    double selectTest(const QPointF& pos, bool onlySelectable,
                      QVariant* details = nullptr) const override;
    QCPRange getKeyRange(bool& foundRange,
                         QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange& inKeyRange = QCPRange()) const override;

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    // Everything the drawn picture depends on.
    struct DrawnKey {
        uint64_t revision;
        double lower, upper, x0, xStep, y0, yStep, pen;
        QRgba64 color;
        QRect clip;
        int columns;
        bool operator==(const DrawnKey&) const = default;
    };

    SeriesStore m_store;
    std::optional<DrawnKey> m_drawn;
    double m_oversampling = 1.0;
    std::vector<ColumnExtent> m_columns;
    LineEnvelope m_envelope;
    ThinPolyline m_thin;
    CoverageRaster m_raster;
    QPolygonF m_polygon;
};
