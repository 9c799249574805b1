#pragma once

#include "ColumnReduction.h"

#include <QLineF>
#include <QRect>
#include <QRectF>
#include <qcustomplot.h>
#include <vector>

// A line series whose x is the point index, drawn one pixel column at a time: a
// vertical stroke from the column's minimum to its maximum and a join from the last
// point of one column to the first of the next. QCPGraph strokes every point, which
// with wide antialiased pens takes seconds for a day of data.
class DenseSeries : public QCPAbstractPlottable {
    Q_OBJECT
  public:
    DenseSeries(QCPAxis* keyAxis, QCPAxis* valueAxis);

    int count() const { return int(m_values.size()); }
    float value(int index) const { return m_values[size_t(index)]; }
    const std::vector<float>& values() const { return m_values; }
    void append(float y);
    void setValue(int index, float y);
    void clear();
    void setValues(std::vector<float> values);
    // Columns per device pixel; above 1 when the picture is enlarged for a printer.
    void setOversampling(double factor) { m_oversampling = factor; }
    // Largest finite value; false when the series holds none.
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
    std::vector<float> m_values;
    double m_oversampling = 1.0;
    mutable float m_largest = 0.0f;
    mutable bool m_largestKnown = true;
    mutable bool m_hasLargest = false;
    std::vector<ColumnExtent> m_columns;
    std::vector<QLineF> m_lines;
    std::vector<QRectF> m_spans;
    std::vector<QRect> m_bars;
};
