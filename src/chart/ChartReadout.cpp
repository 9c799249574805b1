#include "ChartReadout.h"

#include "Chart.h"

#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

ChartReadout::ChartReadout(Chart* chart)
    : QObject(chart), m_chart(chart), m_plot(chart->plot()), m_cursor(new QWidget(chart->plot())),
      m_box(new QLabel(chart->plot())) {
    // Both lie over the plot as plain child widgets: moving them repaints only what they
    // cover from the plot's buffer, where a plot item would replot a day of points.
    m_cursor->setObjectName(QStringLiteral("ReadoutCursor"));
    m_cursor->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_cursor->setAutoFillBackground(true);
    QPalette cursorPalette = m_cursor->palette();
    cursorPalette.setColor(QPalette::Window, QColor(96, 96, 96));
    m_cursor->setPalette(cursorPalette);
    m_cursor->hide();

    m_box->setObjectName(QStringLiteral("ReadoutBox"));
    m_box->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_box->setTextFormat(Qt::RichText);
    // Palette and frame: a style sheet on the box costs the plot an extra full redraw.
    m_box->setAutoFillBackground(true);
    QPalette boxPalette = m_box->palette();
    boxPalette.setColor(QPalette::Window, Qt::white);
    boxPalette.setColor(QPalette::WindowText, QColor(128, 128, 128));
    m_box->setPalette(boxPalette);
    m_box->setFrameShape(QFrame::Box);
    m_box->setMargin(3);
    m_box->hide();

    QCustomPlot* plot = chart->plot();
    plot->setMouseTracking(true);
    plot->installEventFilter(this);
    // The chart scrolls and rescales under a resting pointer; follow the point under it.
    connect(plot, &QCustomPlot::afterReplot, this, [this] {
        if (m_pointer)
            follow();
    });
}

void ChartReadout::setStartSecond(qint64 start) {
    m_start = start;
    m_times.clear();
    if (m_pointer)
        follow();
}

void ChartReadout::setSeriesFilter(std::function<bool(int)> filter) {
    m_filter = std::move(filter);
}

void ChartReadout::setRecordedFilter(std::function<bool(int, qint64)> recorded) {
    m_recorded = std::move(recorded);
}

ChartReadout::Reading ChartReadout::readingAt(qint64 index) const {
    Reading reading;
    if (index < 0 || index > std::numeric_limits<int>::max())
        return reading;
    for (int s = 0; s < m_chart->seriesCount(); ++s) {
        if (m_filter && !m_filter(s))
            continue;
        const float value = m_chart->pointValue(s, int(index));
        // A blank title marks a series with nothing to name (the history's unread ones).
        const QString title = m_chart->seriesTitle(s).trimmed();
        if (!std::isfinite(value) || title.isEmpty())
            continue;
        reading.lines.append(
            {s, title, m_chart->seriesPen(s).color(), value, !m_recorded || m_recorded(s, index)});
    }
    if (reading.lines.isEmpty())
        return reading;
    reading.index = index;
    reading.second = m_start ? std::optional<qint64>(*m_start + index) : m_times.second(index);
    return reading;
}

QString ChartReadout::timeText(qint64 second) {
    // Second counts take the local clock reading as if it were UTC; read them back alike.
    return QDateTime::fromSecsSinceEpoch(second, Qt::UTC).toString(QStringLiteral("HH:mm:ss"));
}

QString ChartReadout::text() const {
    return m_current.isEmpty() ? QString() : m_box->text();
}

int ChartReadout::cursorX() const {
    return m_current.isEmpty() ? -1 : m_cursor->x();
}

bool ChartReadout::eventFilter(QObject* watched, QEvent* event) {
    // The plot is known by its address: while the chart is torn down its hide reaches here
    // after the chart has stopped being one.
    if (watched == m_plot) {
        switch (event->type()) {
        case QEvent::MouseMove:
            m_pointer = static_cast<QMouseEvent*>(event)->position().toPoint();
            follow();
            break;
        case QEvent::Leave:
        case QEvent::Hide:
            m_pointer.reset();
            hide();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ChartReadout::hide() {
    m_current = Reading();
    m_cursor->hide();
    m_box->hide();
}

void ChartReadout::follow() {
    QCustomPlot* plot = m_chart->plot();
    const QRect area = plot->axisRect()->rect();
    if (!m_pointer || !area.contains(*m_pointer))
        return hide();
    const QCPRange shown = plot->xAxis->range();
    const double x = plot->xAxis->pixelToCoord(m_pointer->x());
    if (!std::isfinite(x))
        return hide();
    // The nearest point, kept inside the axis range so the cursor stays on the plot.
    const double first = std::ceil(shown.lower);
    const double last = std::floor(shown.upper);
    if (first > last)
        return hide();
    const double nearest = std::clamp(std::round(x), first, last);
    if (nearest < 0 || nearest > double(std::numeric_limits<int>::max()))
        return hide();
    const Reading reading = readingAt(qint64(nearest));
    if (reading.isEmpty())
        return hide();
    m_current = reading;

    QStringList rows;
    if (reading.second)
        rows << QStringLiteral("<b style=\"color:#000000\">%1</b>").arg(timeText(*reading.second));
    for (const Line& line : reading.lines)
        rows << QStringLiteral("<span style=\"color:%1\">%2: %3</span>")
                    .arg(line.color.name(), line.title.toHtmlEscaped(),
                         line.recorded ? QString::number(double(line.value), 'g', 7)
                                       : QStringLiteral("无记录"));
    const QString html =
        QStringLiteral("<div style=\"white-space:pre\">%1</div>").arg(rows.join(u"<br>"));
    m_box->setText(html);
    m_box->adjustSize();

    const int cursorX = int(std::lround(plot->xAxis->coordToPixel(nearest)));
    m_cursor->setGeometry(cursorX, area.top(), 1, area.height());
    m_cursor->show();
    m_cursor->raise();

    const QPoint p = *m_pointer;
    const QSize box = m_box->size();
    int left = p.x() + 14;
    if (left + box.width() > area.right())
        left = p.x() - 14 - box.width();
    int top = p.y() + 16;
    if (top + box.height() > plot->height())
        top = p.y() - 16 - box.height();
    m_box->move(std::max(0, left), std::max(0, top));
    m_box->show();
    m_box->raise();
}
