#pragma once

#include "TrendColumn.h"

#include <qcustomplot.h>
#include <vector>

// A trend series as pixel columns over real time (key: seconds since 1970 on the local
// clock). Each column is drawn as the vertical span of its extremes, joined to the next
// column only when no second is missing between them, so gaps stay open.
class TrendPlottable : public QCPAbstractPlottable {
    Q_OBJECT
  public:
    TrendPlottable(QCPAxis* keyAxis, QCPAxis* valueAxis);

    void setColumns(std::vector<TrendColumn> columns);
    const std::vector<TrendColumn>& columns() const { return m_columns; }
    // The column nearest to the key's pixel, when one lies within a pixel of it.
    const TrendColumn* columnAt(double key) const;

    double selectTest(const QPointF& pos, bool onlySelectable,
                      QVariant* details = nullptr) const override;
    QCPRange getKeyRange(bool& foundRange,
                         QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange& inKeyRange = QCPRange()) const override;

    static double keyOf(const TrendColumn& column) {
        return 0.5 * double(column.firstSecond + column.lastSecond);
    }

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    std::vector<TrendColumn> m_columns;
};
