#include "Chart.h"

#include "DenseSeries.h"
#include "ImagePlot.h"

#include <QPainter>
#include <QPicture>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace {

// Wider pens only slow the redraw down without showing more.
constexpr int kMaxPenWidth = 64;

// Both ends in the order that keeps lower <= upper throughout; an end that would cross the
// other is skipped.
void StepRange(double& lower, double& upper, double min, double max) {
    const auto setMin = [&] {
        if (min <= upper)
            lower = min;
    };
    const auto setMax = [&] {
        if (max >= lower)
            upper = max;
    };
    if (min < lower) {
        setMin();
        setMax();
    } else {
        setMax();
        setMin();
    }
}

} // namespace

Chart::Chart(QWidget* parent) : QWidget(parent), m_plot(new ImagePlot(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);

    m_plot->setBackground(Qt::white);
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->xAxis2->setVisible(false);
    m_plot->yAxis2->setVisible(true);
    m_plot->yAxis2->setTickLabels(true);
    QCPAxisRect* rect = m_plot->axisRect();
    rect->setRangeDragAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});
    rect->setRangeZoomAxes({m_plot->xAxis}, {m_plot->yAxis, m_plot->yAxis2});

    m_title = new QCPTextElement(m_plot, QString(), QFont(font().family(), 11, QFont::Bold));
    m_foot = new QCPTextElement(m_plot, QString(), font());
    m_foot->setTextFlags(Qt::AlignHCenter | Qt::AlignVCenter);

    m_plot->legend->setVisible(false);
    m_plot->legend->setBrush(QColor(255, 255, 255, 220));

    m_axes[Left] = {0.0, 100.0, false};
    m_axes[Right] = {0.0, 40.0, false};
    m_axes[Bottom] = {0.0, 600.0, false};
    std::copy(std::begin(m_axes), std::end(m_axes), std::begin(m_programmed));
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &Chart::restoreAxisRanges);
    for (Axis axis : {Left, Right, Bottom}) {
        QCPAxis* a = qcpAxis(axis);
        // Zoom and pan by the operator become the axis' values, so later one-sided
        // changes are checked against what is on screen.
        connect(a, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [this, axis](const QCPRange& range) {
                    if (m_applying)
                        return;
                    m_axes[axis].min = range.lower;
                    m_axes[axis].max = range.upper;
                });
        applyRange(axis);
    }
    m_plot->yAxis2->grid()->setVisible(false);
    updateLayout();
}

Chart::~Chart() {
    // Elements taken out of the layout are no longer owned by the plot.
    if (!m_title->layout())
        delete m_title;
    if (!m_foot->layout())
        delete m_foot;
}

QCustomPlot* Chart::plot() const {
    return m_plot;
}

QCPAxis* Chart::qcpAxis(Axis axis) const {
    switch (axis) {
    case Left:
        return m_plot->yAxis;
    case Right:
        return m_plot->yAxis2;
    case Bottom:
        break;
    }
    return m_plot->xAxis;
}

DenseSeries* Chart::series(int index) const {
    return index >= 0 && index < m_series.size() ? m_series[index] : nullptr;
}

bool Chart::validAxis(Axis axis) {
    return axis == Left || axis == Right || axis == Bottom;
}

void Chart::scheduleReplot() {
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void Chart::applyRange(Axis axis) {
    double lower = m_axes[axis].min;
    double upper = m_axes[axis].max;
    if (!(upper > lower)) {
        // An empty range would vanish in the plot; draw it slightly widened instead.
        const double pad = std::max(std::abs(lower) * 1e-3, 1e-3);
        lower -= pad;
        upper += pad;
    }
    m_applying = true;
    qcpAxis(axis)->setRange(lower, upper);
    m_applying = false;
    scheduleReplot();
}

void Chart::followData() {
    if (m_axes[Bottom].autoMax) {
        int most = 0;
        for (const DenseSeries* s : m_series)
            most = std::max(most, s->count());
        if (most > 0) {
            m_programmed[Bottom].max = std::max(m_programmed[Bottom].min, double(most - 1));
            m_axes[Bottom].max = std::max(m_axes[Bottom].min, double(most - 1));
            applyRange(Bottom);
        }
    }
    for (Axis axis : {Left, Right}) {
        if (!m_axes[axis].autoMax)
            continue;
        bool found = false;
        float largest = 0.0f;
        for (const DenseSeries* s : m_series) {
            float v = 0.0f;
            if (s->valueAxis() == qcpAxis(axis) && s->largestValue(v) && (!found || v > largest)) {
                largest = v;
                found = true;
            }
        }
        if (found) {
            m_programmed[axis].max = std::max(m_programmed[axis].min, double(largest));
            m_axes[axis].max = std::max(m_axes[axis].min, double(largest));
            applyRange(axis);
        }
    }
    scheduleReplot();
}

void Chart::updateLayout() {
    QCPLayoutGrid* grid = m_plot->plotLayout();
    if (m_title->layout())
        grid->take(m_title);
    if (m_foot->layout())
        grid->take(m_foot);
    grid->simplify();
    if (m_titleVisible && !m_title->text().isEmpty()) {
        grid->insertRow(0);
        grid->addElement(0, 0, m_title);
    }
    if (!m_footLines.isEmpty()) {
        grid->insertRow(grid->rowCount());
        grid->addElement(grid->rowCount() - 1, 0, m_foot);
    }
    scheduleReplot();
}

int Chart::addSeries(Axis vertical, const QString& title) {
    auto* s = new DenseSeries(m_plot->xAxis, vertical == Right ? m_plot->yAxis2 : m_plot->yAxis);
    s->setName(title);
    s->setPen(QPen(Qt::black, 0));
    s->setRetention(m_fullResolution, m_summariseOlder);
    s->addToLegend();
    m_series.append(s);
    scheduleReplot();
    return int(m_series.size()) - 1;
}

int Chart::seriesCount() const {
    return int(m_series.size());
}

void Chart::appendPoint(int series, float y) {
    if (DenseSeries* s = this->series(series)) {
        s->append(y);
        followData();
    }
}

void Chart::clearSeries(int series) {
    if (DenseSeries* s = this->series(series)) {
        s->clear();
        followData();
    }
}

void Chart::setSeriesValues(int series, std::vector<float> values) {
    if (DenseSeries* s = this->series(series)) {
        s->setValues(std::move(values));
        followData();
    }
}

void Chart::setPointValue(int series, int index, float y) {
    DenseSeries* s = this->series(series);
    if (s && index >= 0 && index < s->count()) {
        s->setValue(index, y);
        followData();
    }
}

int Chart::pointCount(int series) const {
    const DenseSeries* s = this->series(series);
    return s ? s->count() : 0;
}

float Chart::pointValue(int series, int index) const {
    const DenseSeries* s = this->series(series);
    if (!s || index < 0 || index >= s->count())
        return std::nanf("");
    return s->value(index);
}

int Chart::firstHeldPoint(int series) const {
    const DenseSeries* s = this->series(series);
    return s ? int(s->store().firstHeld()) : 0;
}

void Chart::setRetention(int fullResolutionPoints, bool summariseOlder) {
    m_fullResolution = fullResolutionPoints;
    m_summariseOlder = summariseOlder;
    for (DenseSeries* s : m_series)
        s->setRetention(fullResolutionPoints, summariseOlder);
    scheduleReplot();
}

void Chart::setSeriesPen(int series, int width, const QColor& color) {
    if (DenseSeries* s = this->series(series)) {
        s->setPen(QPen(color, std::clamp(width, 0, kMaxPenWidth)));
        scheduleReplot();
    }
}

QPen Chart::seriesPen(int series) const {
    const DenseSeries* s = this->series(series);
    return s ? s->pen() : QPen();
}

void Chart::setSeriesTitle(int series, const QString& title) {
    if (DenseSeries* s = this->series(series)) {
        s->setName(title);
        scheduleReplot();
    }
}

QString Chart::seriesTitle(int series) const {
    const DenseSeries* s = this->series(series);
    return s ? s->name() : QString();
}

bool Chart::setAxisMinimum(Axis axis, double min) {
    if (!validAxis(axis) || !std::isfinite(min))
        return false;
    if (min <= m_programmed[axis].max)
        m_programmed[axis].min = min;
    if (min > m_axes[axis].max)
        return false;
    m_axes[axis].min = min;
    applyRange(axis);
    return true;
}

bool Chart::setAxisMaximum(Axis axis, double max) {
    if (!validAxis(axis) || !std::isfinite(max))
        return false;
    if (max >= m_programmed[axis].min)
        m_programmed[axis].max = max;
    if (max < m_axes[axis].min)
        return false;
    m_axes[axis].max = max;
    applyRange(axis);
    return true;
}

void Chart::setAxisRange(Axis axis, double min, double max) {
    // A reversed pair is not refused whole: each end is tried in turn and a refused one
    // skipped, so 500..200 over -100..100 gives -100..200.
    if (!validAxis(axis) || !std::isfinite(min) || !std::isfinite(max))
        return;
    AxisState programmed = m_programmed[axis];
    StepRange(programmed.min, programmed.max, min, max);
    StepRange(m_axes[axis].min, m_axes[axis].max, min, max);
    m_programmed[axis] = programmed;
    applyRange(axis);
}

void Chart::restoreAxisRanges() {
    for (Axis axis : {Left, Right, Bottom}) {
        m_axes[axis].min = m_programmed[axis].min;
        m_axes[axis].max = m_programmed[axis].max;
        applyRange(axis);
    }
}

double Chart::axisMinimum(Axis axis) const {
    return validAxis(axis) ? m_axes[axis].min : 0.0;
}

double Chart::axisMaximum(Axis axis) const {
    return validAxis(axis) ? m_axes[axis].max : 0.0;
}

void Chart::setAxisAutoMaximum(Axis axis, bool on) {
    if (!validAxis(axis))
        return;
    m_axes[axis].autoMax = on;
    followData();
}

bool Chart::axisAutoMaximum(Axis axis) const {
    return validAxis(axis) && m_axes[axis].autoMax;
}

void Chart::setAxisTitle(Axis axis, const QString& title) {
    if (!validAxis(axis))
        return;
    qcpAxis(axis)->setLabel(title);
    scheduleReplot();
}

void Chart::setAxisGridVisible(Axis axis, bool on) {
    if (!validAxis(axis))
        return;
    qcpAxis(axis)->grid()->setVisible(on);
    scheduleReplot();
}

void Chart::setAxisGridColor(Axis axis, const QColor& color) {
    if (!validAxis(axis))
        return;
    QCPGrid* grid = qcpAxis(axis)->grid();
    QPen pen = grid->pen();
    pen.setColor(color);
    grid->setPen(pen);
    scheduleReplot();
}

void Chart::setAxisLineDotted(Axis axis, bool on) {
    if (!validAxis(axis))
        return;
    QCPAxis* a = qcpAxis(axis);
    QPen pen = a->basePen();
    pen.setStyle(on ? Qt::DotLine : Qt::SolidLine);
    a->setBasePen(pen);
    scheduleReplot();
}

void Chart::setTitle(const QString& title) {
    m_title->setText(title);
    updateLayout();
}

void Chart::setTitleVisible(bool on) {
    m_titleVisible = on;
    updateLayout();
}

void Chart::setFoot(const QStringList& lines) {
    m_footLines = lines;
    m_foot->setText(lines.join(QLatin1Char('\n')));
    updateLayout();
}

QStringList Chart::foot() const {
    return m_footLines;
}

void Chart::setFootAlignment(Qt::Alignment alignment) {
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    m_foot->setTextFlags(int((horizontal ? horizontal : Qt::AlignHCenter) | Qt::AlignVCenter));
    scheduleReplot();
}

void Chart::setLegendVisible(bool on) {
    m_plot->legend->setVisible(on);
    scheduleReplot();
}

void Chart::setLegendAlignment(Qt::Alignment alignment) {
    Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    Qt::Alignment vertical = alignment & Qt::AlignVertical_Mask;
    if (!horizontal)
        horizontal = Qt::AlignRight;
    if (!vertical)
        vertical = Qt::AlignTop;
    m_plot->axisRect()->insetLayout()->setInsetAlignment(0, horizontal | vertical);
    scheduleReplot();
}

void Chart::placeLegendBesidePlot() {
    QCPLegend* legend = m_plot->legend;
    QCPAxisRect* rect = m_plot->axisRect();
    QCPLayoutGrid* grid = m_plot->plotLayout();
    if (legend->layout() != rect->insetLayout())
        return; // placed already
    int row = 0, col = 0;
    for (int i = 0; i < grid->elementCount(); ++i) {
        if (grid->elementAt(i) == rect)
            grid->indexToRowCol(i, row, col);
    }
    // The axis rect's cell becomes [legend column | axis rect]; the title and foot rows
    // keep spanning the whole width.
    rect->insetLayout()->take(legend);
    grid->take(rect);
    auto* body = new QCPLayoutGrid;
    grid->addElement(row, col, body);
    auto* side = new QCPLayoutGrid;
    body->addElement(0, 0, side);
    body->addElement(0, 1, rect);
    body->setColumnStretchFactor(0, 0.001);
    body->setColumnSpacing(0);
    side->addElement(0, 0, legend);
    side->addElement(1, 0, new QCPLayoutElement); // keeps the legend at the top
    side->setRowStretchFactor(0, 0.001);
    side->setMargins(QMargins(4, 4, 0, 4));
    scheduleReplot();
}

void Chart::render(QPainter* painter, const QRect& target) {
    if (!painter || !painter->isActive() || target.isEmpty())
        return;
    // The plot is laid out in the picture's units at the size the target has on its
    // device, so fonts and pens keep their physical size on a printer page. Playing a
    // picture on a device of another resolution scales it by the ratio already.
    QPicture picture;
    const QPaintDevice* device = painter->device();
    const double sx = device ? double(device->logicalDpiX()) / picture.logicalDpiX() : 1.0;
    const double sy = device ? double(device->logicalDpiY()) / picture.logicalDpiY() : 1.0;
    const int width = std::max(1, int(std::lround(target.width() / sx)));
    const int height = std::max(1, int(std::lround(target.height() / sy)));
    {
        // Finer columns, or the enlargement would show them as steps.
        for (DenseSeries* s : m_series)
            s->setOversampling(std::max(sx, 1.0));
        QCPPainter recorder(&picture);
        m_plot->toPainter(&recorder, width, height);
        for (DenseSeries* s : m_series)
            s->setOversampling(1.0);
    }
    painter->save();
    painter->translate(target.topLeft());
    painter->scale(target.width() / (width * sx), target.height() / (height * sy));
    painter->drawPicture(0, 0, picture);
    painter->restore();
}
