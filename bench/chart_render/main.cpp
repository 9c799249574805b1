// Redraw cost of a day of data (16 series x 86,400 points) in the chart, against
// QCustomPlot's own QCPGraph and against a bare reduce-and-stroke floor.
#include "Chart.h"
#include "ColumnReduction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <qcustomplot.h>
#include <random>
#include <vector>

namespace {

constexpr int kSeries = 16;
constexpr int kDay = 86400;
constexpr int kWidth = 800;
constexpr int kHeight = 600;

const QColor kColors[8] = {Qt::red,     Qt::blue,     Qt::darkGreen, Qt::magenta,
                           Qt::darkRed, Qt::darkCyan, Qt::black,     Qt::darkYellow};

int PenWidth(int series) {
    return 1 + series % 5;
}
QColor PenColor(int series) {
    return kColors[series % 8];
}

// Slowly drifting readings with noise and the odd spike, like a day of recordings.
std::vector<std::vector<float>> MakeDay() {
    std::mt19937 random(12345);
    std::normal_distribution<float> noise(0.0f, 0.8f);
    std::vector<std::vector<float>> data(kSeries, std::vector<float>(kDay));
    for (int s = 0; s < kSeries; ++s) {
        const bool pressure = s < kSeries / 2;
        float level = pressure ? 300.0f + 40.0f * s : 20.0f + 3.0f * s;
        for (int i = 0; i < kDay; ++i) {
            level += noise(random) * (pressure ? 0.5f : 0.05f);
            data[size_t(s)][size_t(i)] = level + noise(random) * (pressure ? 4.0f : 0.3f);
        }
        data[size_t(s)][size_t(kDay / 3 + 97 * s)] += pressure ? 400.0f : 60.0f;
    }
    return data;
}

double MedianMs(int repetitions, const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1.0e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Configure(Chart& chart) {
    chart.resize(kWidth, kHeight);
    chart.setAxisRange(Chart::Left, 0, 1200);
    chart.setAxisRange(Chart::Right, 0, 120);
    for (int s = 0; s < kSeries; ++s) {
        chart.addSeries(s < kSeries / 2 ? Chart::Left : Chart::Right);
        chart.setSeriesPen(s, PenWidth(s), PenColor(s));
    }
}

double FullRedrawOurs(const std::vector<std::vector<float>>& day, QRect& plotArea) {
    Chart chart;
    Configure(chart);
    for (int s = 0; s < kSeries; ++s)
        for (float y : day[size_t(s)])
            chart.appendPoint(s, y);
    chart.setAxisRange(Chart::Bottom, 0, kDay - 1);
    QCustomPlot* plot = chart.plot();
    plot->toPixmap(kWidth, kHeight); // warm-up, and it lays the plot out
    plotArea = plot->axisRect()->rect();
    return MedianMs(9, [plot] { plot->toPixmap(kWidth, kHeight); });
}

double FullRedrawQcpGraph(const std::vector<std::vector<float>>& day) {
    QCustomPlot plot;
    plot.resize(kWidth, kHeight);
    plot.setBackground(Qt::white);
    plot.yAxis2->setVisible(true);
    plot.yAxis->setRange(0, 1200);
    plot.yAxis2->setRange(0, 120);
    plot.xAxis->setRange(0, kDay - 1);
    QVector<double> keys(kDay);
    for (int i = 0; i < kDay; ++i)
        keys[i] = i;
    for (int s = 0; s < kSeries; ++s) {
        QCPGraph* graph = plot.addGraph(plot.xAxis, s < kSeries / 2 ? plot.yAxis : plot.yAxis2);
        QVector<double> values(day[size_t(s)].begin(), day[size_t(s)].end());
        graph->setData(keys, values, true);
        graph->setPen(QPen(PenColor(s), PenWidth(s)));
    }
    plot.toPixmap(kWidth, kHeight);
    return MedianMs(3, [&plot] { plot.toPixmap(kWidth, kHeight); });
}

// Reduction and drawing alone, with the same primitives (a pixel-aligned bar per column
// reaching the previous column's last value), pens and plot area, but no plot around.
double Floor(const std::vector<std::vector<float>>& day, const QRect& area) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    std::vector<ColumnExtent> columns;
    std::vector<QRect> bars;
    return MedianMs(9, [&] {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        for (int s = 0; s < kSeries; ++s) {
            const double yScale = -area.height() / (s < kSeries / 2 ? 1200.0 : 120.0);
            const double y0 = area.bottom();
            const double w = PenWidth(s);
            ReduceColumns(day[size_t(s)], 0.0, kDay - 1, area.width(), columns);
            bars.clear();
            float previousLast = columns.front().first;
            for (const ColumnExtent& c : columns) {
                const float lo = std::min(c.min, previousLast);
                const float hi = std::max(c.max, previousLast);
                previousLast = c.last;
                const int top = int(std::lround(y0 + yScale * hi - w / 2));
                const int bottom = int(std::lround(y0 + yScale * lo + w / 2));
                bars.emplace_back(int(std::lround(area.left() + c.column + 0.5 - w / 2)), top,
                                  int(w), bottom - top);
            }
            painter.setBrush(PenColor(s));
            painter.drawRects(bars.data(), int(bars.size()));
        }
    });
}

// The main chart's tick: every series holds `points`, the bottom axis shows the last
// 600, each series gets one more point and the chart is redrawn.
double LiveTick(const std::vector<std::vector<float>>& day, int points) {
    Chart chart;
    Configure(chart);
    for (int s = 0; s < kSeries; ++s)
        for (int i = 0; i < points; ++i)
            chart.appendPoint(s, day[size_t(s)][size_t(i)]);
    chart.setAxisRange(Chart::Bottom, points - 600, points);
    QCustomPlot* plot = chart.plot();
    plot->toPixmap(kWidth, kHeight);
    int next = points;
    return MedianMs(31, [&] {
        for (int s = 0; s < kSeries; ++s)
            chart.appendPoint(s, day[size_t(s)][size_t(next % kDay)]);
        ++next;
        plot->toPixmap(kWidth, kHeight);
    });
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto day = MakeDay();
    const long long points = (long long)kSeries * kDay;

    QRect area;
    const double ours = FullRedrawOurs(day, area);
    std::printf("ours: %.2f ms per full redraw (plot area %dx%d)\n", ours, area.width(),
                area.height());
    const double floorMs = Floor(day, area);
    {
        Chart empty;
        Configure(empty);
        empty.setAxisRange(Chart::Bottom, 0, kDay - 1);
        empty.plot()->toPixmap(kWidth, kHeight);
        std::printf("empty chart: %.2f ms\n",
                    MedianMs(9, [&] { empty.plot()->toPixmap(kWidth, kHeight); }));
        std::vector<ColumnExtent> cols;
        std::printf("reduce only: %.2f ms\n", MedianMs(9, [&] {
                        for (int s = 0; s < kSeries; ++s)
                            ReduceColumns(day[size_t(s)], 0.0, kDay - 1, area.width(), cols);
                    }));
    }
    std::printf("floor: %.2f ms\n", floorMs);
    const double baseline = FullRedrawQcpGraph(day);
    std::printf("qcpgraph: %.2f ms\n", baseline);

    const int small = 6000;
    const double smallMs = LiveTick(day, small);
    const double largeMs = LiveTick(day, kDay);
    std::printf("RESULT name=live_tick points_small=%d small_ms=%.2f points_large=%lld "
                "large_ms=%.2f ratio=%.2f\n",
                kSeries * small, smallMs, points, largeMs, largeMs / smallMs);
    std::printf("RESULT name=chart_render points=%lld ours_ms=%.2f baseline=qcpgraph "
                "baseline_ms=%.2f speedup=%.1f floor_ms=%.2f\n",
                points, ours, baseline, baseline / ours, floorMs);
    return 0;
}
