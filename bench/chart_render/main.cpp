// Redraw cost and look of the chart's series against QCustomPlot's own QCPGraph, over a
// matrix of shapes and pens. Every cell is drawn in the same 800 x 600 plot:
//   ours      DenseSeries (column spans filled antialiased; at pen 1 the thin stroke straight
//             into the layer's image); fresh: the points changed before every redraw, so
//             everything is drawn again; kept: unchanged, the kept picture where there is one
//   qcp_aa    QCPGraph, antialiased, its default adaptive sampling
//   qcp       QCPGraph, not antialiased, its default adaptive sampling
// Times are the median CPU time of redrawing the series' own buffered layer (the axes are
// not redrawn), the kinds taking turns round by round. Every time includes what the layer
// costs with no series shown (its clear and painter), measured alongside as `empty`;
// net_vs_qcp_aa is the antialiased ratio with that taken off both sides.
// `differ` is the share of line pixels (pixels more than 64/255 off the empty plot in
// either picture) where ours is more than 64/255 off QCPGraph antialiased with adaptive
// sampling off, i.e. the stroke of every point, with the same pen (round caps and joins).
//   chart_render [--pictures DIR] [--quick]
#include "CpuTime.h"
#include "DenseSeries.h"
#include "ImagePlot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <qcustomplot.h>
#include <random>
#include <vector>

namespace {

constexpr int kDay = 86400;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kThreshold = 64;

const QColor kColors[8] = {Qt::red,     Qt::blue,     Qt::darkGreen, Qt::magenta,
                           Qt::darkRed, Qt::darkCyan, Qt::black,     Qt::darkYellow};

struct Series {
    std::vector<float> y;
    bool right = false;
    int pen = 1;
    QColor color = Qt::black;
};

struct Scene {
    QString name;
    std::vector<Series> series;
    double xMin = 0, xMax = 0;
    double leftMin = 0, leftMax = 1, rightMin = 0, rightMax = 1;
};

struct Timing {
    double ours = 0, fresh = 0, qcpAa = 0, qcp = 0, empty = 0, differ = 0;
};

// Slowly drifting readings with noise, like a day of pressure recordings.
std::vector<float> NoisyDay(unsigned seed, float level, float drift, float noise, int n = kDay) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        level += normal(random) * drift;
        y[size_t(i)] = level + normal(random) * noise;
    }
    return y;
}

// A smooth wandering curve with a little noise, for the sparse cells.
std::vector<float> Wander(int n) {
    std::mt19937 random(7);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = float(50 + 30 * std::sin(i * 6.283 / 230.0) +
                             10 * std::sin(i * 6.283 / 37.0) + normal(random) * 0.7);
    return y;
}

Scene Single(const QString& name, std::vector<float> y, double yMin, double yMax) {
    Scene s;
    s.name = name;
    s.xMin = 0;
    s.xMax = double(y.size()) - 1;
    s.leftMin = yMin;
    s.leftMax = yMax;
    s.series.push_back({std::move(y), false, 1, Qt::black});
    return s;
}

std::vector<Scene> Shapes() {
    std::vector<Scene> shapes;
    shapes.push_back(Single("noisy_day", NoisyDay(1, 500, 0.5f, 4.0f), 0, 1000));
    std::vector<float> sine(kDay);
    for (int i = 0; i < kDay; ++i)
        sine[size_t(i)] = float(50 + 40 * std::sin(i * 6.283185307 / 2000.0));
    shapes.push_back(Single("sine_2000", sine, 0, 100));
    std::vector<float> steps(kDay);
    for (int i = 0; i < kDay; ++i)
        steps[size_t(i)] = float(20 + 15 * ((i / 4000) % 5));
    shapes.push_back(Single("steps", steps, 0, 100));
    std::vector<float> spike(kDay, 30.0f);
    spike[kDay / 3] = 90.0f;
    shapes.push_back(Single("spike", spike, 0, 100));
    std::vector<float> gaps = NoisyDay(2, 500, 0.5f, 4.0f);
    for (int i = 20000; i < 23000; ++i)
        gaps[size_t(i)] = std::nanf("");
    for (int i = 50000; i < 50200; ++i) // about one and a half columns
        gaps[size_t(i)] = std::nanf("");
    gaps[70000] = std::nanf(""); // far less than a column: may close up
    shapes.push_back(Single("nan_gaps", gaps, 0, 1000));
    for (int n : {600, 700, 800, 3000})
        shapes.push_back(Single(QString("points_%1").arg(n), Wander(n), 0, 100));
    Scene hour = Single("hour_of_day", NoisyDay(3, 500, 0.5f, 4.0f), 0, 1000);
    hour.xMin = 40000;
    hour.xMax = 43600;
    shapes.push_back(hour);
    return shapes;
}

Scene Sixteen(const QString& name, bool live) {
    Scene s;
    s.name = name;
    s.leftMax = 1200;
    s.rightMax = 120;
    for (int i = 0; i < 16; ++i) {
        const bool pressure = i < 8;
        Series series;
        series.y = NoisyDay(100 + unsigned(i), pressure ? 300.0f + 40.0f * i : 20.0f + 3.0f * i,
                            pressure ? 0.5f : 0.05f, pressure ? 4.0f : 0.3f);
        series.y[size_t(kDay / 3 + 97 * i)] += pressure ? 400.0f : 60.0f;
        series.right = !pressure;
        series.pen = 1 + i % 5;
        series.color = kColors[i % 8];
        s.series.push_back(std::move(series));
    }
    s.xMin = live ? kDay - 600 : 0;
    s.xMax = kDay - 1;
    return s;
}

// One plot, as the chart's (layers painted into images), holding both our series and
// QCPGraphs of the same data on a buffered layer of their own; only one kind is visible at
// a time.
class Bench {
  public:
    explicit Bench(const Scene& scene) {
        m_plot.resize(kWidth, kHeight);
        m_plot.setBackground(Qt::white);
        m_plot.yAxis2->setVisible(true);
        m_plot.xAxis->setRange(scene.xMin, scene.xMax);
        m_plot.yAxis->setRange(scene.leftMin, scene.leftMax);
        m_plot.yAxis2->setRange(scene.rightMin, scene.rightMax);
        m_plot.addLayer("cell");
        m_layer = m_plot.layer("cell");
        m_layer->setMode(QCPLayer::lmBuffered);
        for (const Series& s : scene.series) {
            QCPAxis* valueAxis = s.right ? m_plot.yAxis2 : m_plot.yAxis;
            auto* ours = new DenseSeries(m_plot.xAxis, valueAxis);
            ours->setPen(QPen(s.color, s.pen));
            ours->setValues(s.y);
            ours->setLayer(m_layer);
            m_ours.push_back(ours);
            auto* graph = new QCPGraph(m_plot.xAxis, valueAxis);
            QVector<double> keys(qsizetype(s.y.size()));
            for (qsizetype i = 0; i < keys.size(); ++i)
                keys[i] = double(i);
            graph->setData(keys, QVector<double>(s.y.begin(), s.y.end()), true);
            graph->setPen(QPen(s.color, s.pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            graph->setLayer(m_layer);
            m_graphs.push_back(graph);
        }
    }

    enum Kind { None, Ours, QcpAa, Qcp, QcpAllPoints };

    void show(Kind kind) {
        setVisible(kind);
        m_plot.replot();
    }

    void setVisible(Kind kind) {
        for (DenseSeries* s : m_ours)
            s->setVisible(kind == Ours);
        for (QCPGraph* g : m_graphs) {
            g->setVisible(kind == QcpAa || kind == Qcp || kind == QcpAllPoints);
            g->setAntialiased(kind != Qcp);
            g->setAdaptiveSampling(kind != QcpAllPoints);
        }
    }

    void touch() {
        for (DenseSeries* s : m_ours)
            s->setValue(s->count() - 1, s->value(s->count() - 1));
    }

    // One redraw of the kind, timed after an untimed one (the layer drawn, caches warm).
    double timeOnce(Kind kind) {
        setVisible(kind);
        m_layer->replot();
        return CpuMs([this] { m_layer->replot(); });
    }

    // One redraw of ours with the points changed just before it, so nothing kept is used;
    // after an untimed one of the same kind, as every kind is timed after its like.
    double timeFreshOnce() {
        setVisible(Ours);
        touch();
        m_layer->replot();
        touch();
        return CpuMs([this] { m_layer->replot(); });
    }

    // Ours with the points changed before every redraw (one rewritten in place), so the
    // kept picture cannot be reused and the whole drawing is done again.
    double timeFresh(int repetitions) {
        show(Ours);
        touch();
        m_layer->replot(); // warm-up
        return MedianMs(repetitions, [this] {
            touch();
            m_layer->replot();
        });
    }

    QImage image(Kind kind) {
        show(kind);
        return m_plot.toPixmap(kWidth, kHeight).toImage().convertToFormat(QImage::Format_RGB32);
    }

    QRect area() const { return m_plot.axisRect()->rect(); }

  private:
    ImagePlot m_plot;
    QCPLayer* m_layer = nullptr;
    std::vector<DenseSeries*> m_ours;
    std::vector<QCPGraph*> m_graphs;
};

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

double DifferShare(const QImage& ours, const QImage& reference, const QImage& empty,
                   const QRect& area) {
    long long line = 0;
    long long differ = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* o = reinterpret_cast<const QRgb*>(ours.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        const auto* e = reinterpret_cast<const QRgb*>(empty.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (Distance(o[x], e[x]) <= kThreshold && Distance(r[x], e[x]) <= kThreshold)
                continue;
            ++line;
            differ += Distance(o[x], r[x]) > kThreshold;
        }
    }
    return line ? 100.0 * double(differ) / double(line) : 0.0;
}

// Ours beside QCPGraph's stroke of every point, each with a 4x enlargement of a detail
// around the first place where the two differ (or where the line runs, when they agree).
void SavePicture(Bench& bench, const QString& path, const QString& title) {
    const QImage ours = bench.image(Bench::Ours);
    const QImage reference = bench.image(Bench::QcpAllPoints);
    const QImage empty = bench.image(Bench::None);
    const QRect area = bench.area();
    QPoint centre(-1, -1);
    QPoint line(-1, -1);
    for (int x = area.left() + area.width() / 3; x <= area.right() && centre.x() < 0; ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (line.x() < 0 && Distance(reference.pixel(x, y), empty.pixel(x, y)) > kThreshold)
                line = QPoint(x, y);
            if (Distance(ours.pixel(x, y), reference.pixel(x, y)) > kThreshold) {
                centre = QPoint(x, y);
                break;
            }
        }
    }
    if (centre.x() < 0)
        centre = line.x() >= 0 ? line : area.center();
    const QRect detail = QRect(centre - QPoint(60, 30), QSize(120, 60)).intersected(area);
    const int zoom = 4;
    const QSize big = detail.size() * zoom;
    QImage sheet(2 * kWidth + 30, kHeight + big.height() + 60, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setFont(QFont("sans", 11));
    const QImage pictures[2] = {ours, reference};
    const char* captions[2] = {"ours", "QCPGraph, antialiased, every point stroked"};
    for (int k = 0; k < 2; ++k) {
        const int left = 10 + k * (kWidth + 10);
        p.drawText(left, 18, title + ": " + captions[k]);
        p.drawImage(left, 25, pictures[k]);
        p.setPen(Qt::red);
        p.drawRect(detail.translated(left, 25));
        p.drawImage(QRect(QPoint(left, kHeight + 35), big), pictures[k].copy(detail));
        p.setPen(Qt::black);
    }
    p.end();
    sheet.save(path);
    std::printf("wrote %s\n", qPrintable(path));
}

void PrintCell(const QString& name, int points, const QString& pens, const Timing& t) {
    const bool lookOk = t.differ <= 20.0;
    const bool speedOk = t.fresh < t.qcp;
    std::printf("CELL shape=%-12s points=%-6d pen=%-4s fresh_ms=%7.3f kept_ms=%6.3f "
                "qcp_aa_ms=%8.3f qcp_ms=%7.3f vs_qcp=%5.2fx vs_qcp_aa=%6.1fx kept_vs_qcp=%6.2fx "
                "empty_ms=%6.3f net_vs_qcp_aa=%6.1fx differ=%5.1f%% look=%s speed=%s\n",
                qPrintable(name), points, qPrintable(pens), t.fresh, t.ours, t.qcpAa, t.qcp,
                t.qcp / t.fresh, t.qcpAa / t.fresh, t.qcp / t.ours, t.empty,
                (t.qcpAa - t.empty) / (t.fresh - t.empty), t.differ, lookOk ? "met" : "MISSED",
                speedOk ? "met" : "MISSED");
    std::fflush(stdout);
}

// Side by side: every round times one redraw of each kind, so a slow spell of the shared
// cores falls on all of them alike instead of on whichever kind it meets.
Timing Measure(Bench& bench, int repetitions) {
    std::vector<double> ours, fresh, qcpAa, qcp, empty;
    bench.show(Bench::Ours);
    for (int r = 0; r < repetitions; ++r) {
        ours.push_back(bench.timeOnce(Bench::Ours));
        fresh.push_back(bench.timeFreshOnce());
        qcpAa.push_back(bench.timeOnce(Bench::QcpAa));
        qcp.push_back(bench.timeOnce(Bench::Qcp));
        empty.push_back(bench.timeOnce(Bench::None));
    }
    Timing t;
    t.ours = Median(ours);
    t.fresh = Median(fresh);
    t.qcpAa = Median(qcpAa);
    t.qcp = Median(qcp);
    t.empty = Median(empty);
    const QImage blank = bench.image(Bench::None);
    t.differ = DifferShare(bench.image(Bench::Ours), bench.image(Bench::QcpAllPoints), blank,
                           bench.area());
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int picturesAt = int(args.indexOf("--pictures"));
    const QString pictures = picturesAt > 0 ? args.value(picturesAt + 1) : QString();
    const bool quick = args.contains("--quick");
    const int shapeAt = int(args.indexOf("--shape"));
    const QString only = shapeAt > 0 ? args.value(shapeAt + 1) : QString();
    const int repetitions = quick ? 5 : 15;

    // --profile SHAPE PEN (or --profile 16x_full_day|16x_live_600): only our redraw, many times
    // over, for a profiler.
    const int profileAt = int(args.indexOf("--profile"));
    if (profileAt > 0) {
        const QString name = args.value(profileAt + 1);
        if (name.startsWith("16x")) {
            Bench bench(Sixteen(name, name.contains("live")));
            std::printf("ours %.3f ms\n", bench.timeFresh(200));
            return 0;
        }
        for (Scene& shape : Shapes()) {
            if (shape.name != args.value(profileAt + 1))
                continue;
            shape.series.front().pen = args.value(profileAt + 2).toInt();
            Bench bench(shape);
            std::printf("ours %.3f ms\n", bench.timeFresh(2000));
        }
        return 0;
    }
    int cells = 0, lookMet = 0, speedMet = 0;
    double worstDiffer = 0, worstSpeed = 1e9;
    for (Scene& shape : Shapes()) {
        if (!only.isEmpty() && shape.name != only)
            continue;
        const int points = int(shape.series.front().y.size());
        for (int pen : {1, 3, 5}) {
            shape.series.front().pen = pen;
            Bench bench(shape);
            const Timing t = Measure(bench, repetitions);
            PrintCell(shape.name, shape.name == "hour_of_day" ? 3600 : points, QString::number(pen),
                      t);
            ++cells;
            lookMet += t.differ <= 20.0;
            speedMet += t.fresh < t.qcp;
            worstDiffer = std::max(worstDiffer, t.differ);
            worstSpeed = std::min(worstSpeed, t.qcp / t.fresh);
            if (pictures.isEmpty())
                continue;
            const QString title = QString("%1 points, pen %2").arg(points).arg(pen);
            if (pen == 3 && shape.name == "noisy_day")
                SavePicture(bench, QDir(pictures).filePath("chart-dense.png"), title);
            if (pen == 3 && shape.name == "points_800")
                SavePicture(bench, QDir(pictures).filePath("chart-sparse.png"), title);
            if (pen == 1 && shape.name == "spike") // the thin stroke, many points a pixel
                SavePicture(bench, QDir(pictures).filePath("chart-spike-pen1.png"),
                            "single spike, " + title);
            else if (t.differ > 20.0) // the cells that miss the look, to be judged by eye
                SavePicture(
                    bench,
                    QDir(pictures).filePath(QString("chart-%1-pen%2.png").arg(shape.name).arg(pen)),
                    shape.name + ", " + title);
        }
    }
    double fullDayOurs = 0, fullDayQcpAa = 0;
    for (bool live : {false, true}) {
        if (!only.isEmpty() && only != (live ? "16x_live_600" : "16x_full_day"))
            continue;
        const Scene scene = Sixteen(live ? "16x_live_600" : "16x_full_day", live);
        Bench bench(scene);
        const Timing t = Measure(bench, repetitions);
        PrintCell(scene.name, live ? 600 : kDay, "1-5", t);
        ++cells;
        lookMet += t.differ <= 20.0;
        speedMet += t.fresh < t.qcp;
        worstDiffer = std::max(worstDiffer, t.differ);
        worstSpeed = std::min(worstSpeed, t.qcp / t.fresh);
        if (!live) {
            fullDayOurs = t.fresh;
            fullDayQcpAa = t.qcpAa;
        }
    }
    std::printf("RESULT name=chart_render cells=%d look_met=%d speed_met=%d worst_differ=%.1f%% "
                "worst_vs_qcp=%.2fx",
                cells, lookMet, speedMet, worstDiffer, worstSpeed);
    if (fullDayOurs > 0) // measured unless --shape picked another cell
        std::printf(" full_day_16x_ours_ms=%.2f full_day_16x_vs_qcp_aa=%.1fx", fullDayOurs,
                    fullDayQcpAa / fullDayOurs);
    std::printf("\n");
    return 0;
}
