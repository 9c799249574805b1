#include "Chart.h"
#include "ChartReadout.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>
#include <numeric>
#include <qcustomplot.h>

Q_DECLARE_METATYPE(Chart::Axis)

class tst_Chart : public QObject {
    Q_OBJECT
    // The chart 700 x 400 with one series of y on the left axis, 0 to 100, black in the
    // pen, every point in view; returns the series.
    static int showLine(Chart& chart, int pen, const std::vector<float>& y) {
        chart.resize(700, 400);
        const int s = chart.addSeries(Chart::Left);
        chart.setSeriesPen(s, pen, Qt::black);
        chart.setAxisRange(Chart::Left, 0, 100);
        chart.setSeriesValues(s, y);
        chart.setAxisRange(Chart::Bottom, 0, double(y.size()) - 1.0);
        return s;
    }

  private slots:
    void rangeRule_data() {
        QTest::addColumn<Chart::Axis>("axis");
        QTest::addColumn<double>("min0");
        QTest::addColumn<double>("max0");
        QTest::addColumn<QString>("op"); // "min", "max" or "range"
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("min1");
        QTest::addColumn<double>("max1");
        QTest::newRow("minimum above maximum refused")
            << Chart::Left << -100.0 << 100.0 << "min" << 150.0 << 0.0 << -100.0 << 100.0;
        QTest::newRow("maximum below minimum refused")
            << Chart::Right << 0.0 << 40.0 << "max" << -1.0 << 0.0 << 0.0 << 40.0;
        QTest::newRow("minimum equal to maximum taken")
            << Chart::Left << 0.0 << 50.0 << "min" << 50.0 << 0.0 << 50.0 << 50.0;
        QTest::newRow("bottom page forward, maximum first")
            << Chart::Bottom << 0.0 << 600.0 << "max" << 1200.0 << 0.0 << 0.0 << 1200.0;
        QTest::newRow("range wholly below")
            << Chart::Left << -100.0 << 100.0 << "range" << -500.0 << -200.0 << -500.0 << -200.0;
        QTest::newRow("range wholly above")
            << Chart::Left << -100.0 << 100.0 << "range" << 300.0 << 900.0 << 300.0 << 900.0;
        QTest::newRow("range overlapping")
            << Chart::Right << 0.0 << 40.0 << "range" << 20.0 << 400.0 << 20.0 << 400.0;
        QTest::newRow("range collapsed to a point")
            << Chart::Left << 0.0 << 1000.0 << "range" << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("reversed range moving up: maximum taken, minimum skipped")
            << Chart::Left << -100.0 << 100.0 << "range" << 500.0 << 200.0 << -100.0 << 200.0;
        QTest::newRow("reversed range moving down: minimum taken, maximum skipped")
            << Chart::Left << 0.0 << 50.0 << "range" << -10.0 << -20.0 << -10.0 << 50.0;
        QTest::newRow("not a number refused")
            << Chart::Left << 0.0 << 50.0 << "max" << std::nan("") << 0.0 << 0.0 << 50.0;
    }

    void rangeRule() {
        QFETCH(Chart::Axis, axis);
        QFETCH(double, min0);
        QFETCH(double, max0);
        QFETCH(QString, op);
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, min1);
        QFETCH(double, max1);
        const bool taken = min1 != min0 || max1 != max0;
        Chart chart;
        chart.setAxisRange(axis, min0, max0);
        QCOMPARE(chart.axisMinimum(axis), min0);
        QCOMPARE(chart.axisMaximum(axis), max0);

        // The plot must never see an inverted range, not even between the two ends.
        QCPAxis* shown = axis == Chart::Bottom  ? chart.plot()->xAxis
                         : axis == Chart::Right ? chart.plot()->yAxis2
                                                : chart.plot()->yAxis;
        bool inverted = false;
        connect(shown, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [&inverted](const QCPRange& r) { inverted |= r.lower > r.upper; });
        if (op == "min")
            QCOMPARE(chart.setAxisMinimum(axis, a), taken);
        else if (op == "max")
            QCOMPARE(chart.setAxisMaximum(axis, a), taken);
        else
            chart.setAxisRange(axis, a, b);
        QCOMPARE(chart.axisMinimum(axis), min1);
        QCOMPARE(chart.axisMaximum(axis), max1);
        QVERIFY(!inverted);
        QVERIFY(shown->range().lower <= min1 && shown->range().upper >= max1);
    }

    // The operator zooms and pans; the program keeps setting one end; a double-click
    // brings back what the program set, and later one-sided changes start from there.
    void doubleClickRestoresProgrammedRanges() {
        Chart chart;
        chart.resize(400, 300);
        chart.setAxisRange(Chart::Left, 500, 900); // moves up: maximum first
        chart.setAxisMaximum(Chart::Right, 80);
        chart.plot()->yAxis->setRange(-3000, -2000);
        chart.plot()->yAxis2->setRange(13, 27);
        chart.plot()->xAxis->setRange(700, 800);
        chart.setAxisMaximum(Chart::Right, 120);
        chart.setAxisMaximum(Chart::Bottom, 650); // refused on screen, kept as set
        QCOMPARE(chart.axisMinimum(Chart::Right), 13.0);
        QTest::mouseDClick(chart.plot(), Qt::LeftButton, {}, QPoint(200, 150));
        for (auto [axis, min, max] : {std::tuple{Chart::Left, 500.0, 900.0},
                                      {Chart::Right, 0.0, 120.0},
                                      {Chart::Bottom, 0.0, 650.0}}) {
            QCOMPARE(chart.axisMinimum(axis), min);
            QCOMPARE(chart.axisMaximum(axis), max);
        }
        chart.setAxisMaximum(Chart::Right, 40);
        QCOMPARE(chart.plot()->yAxis2->range(), QCPRange(0, 40));
    }

    void rangeFromEmptyConfigStaysDrawable() {
        Chart chart;
        chart.resize(400, 300);
        chart.setAxisRange(Chart::Left, 0, 0);
        const int s = chart.addSeries(Chart::Left);
        chart.appendPoint(s, 0.0f);
        chart.appendPoint(s, 0.0f);
        QCOMPARE(chart.axisMinimum(Chart::Left), 0.0);
        QCOMPARE(chart.axisMaximum(Chart::Left), 0.0);
        const QCPRange shown = chart.plot()->yAxis->range();
        QVERIFY(shown.lower < 0.0 && shown.upper > 0.0 && shown.size() < 0.01);
        const QPixmap pixmap = chart.plot()->toPixmap(400, 300);
        QVERIFY(!pixmap.isNull());
    }

    void pointsTakeTheirIndexAsX() {
        Chart chart;
        const int p = chart.addSeries(Chart::Left, "p");
        const int t = chart.addSeries(Chart::Right, "t");
        for (int i = 0; i < 5; ++i)
            chart.appendPoint(p, 10.0f * i);
        chart.appendPoint(t, 7.5f);
        QCOMPARE(chart.pointCount(t), 1);
        QCOMPARE(chart.pointValue(p, 3), 30.0f);
        bool found = false;
        QCOMPARE(chart.plot()->plottable(p)->getKeyRange(found).upper, 4.0);
        QCOMPARE(chart.plot()->plottable(p)->keyAxis(), chart.plot()->xAxis);
        QCOMPARE(chart.plot()->plottable(t)->valueAxis(), chart.plot()->yAxis2);

        chart.setPointValue(p, 2, -1.0f);
        QCOMPARE(chart.pointValue(p, 2), -1.0f);
        QCOMPARE(chart.pointCount(p), 5);
        // Indexes outside a series or the series list change nothing.
        chart.appendPoint(5, 2.0f);
        chart.appendPoint(-1, 2.0f);
        chart.setPointValue(p, 5, 3.0f);
        chart.setPointValue(p, -1, 3.0f);
        chart.setSeriesPen(7, 3, Qt::red);
        QCOMPARE(chart.pointCount(p), 5);
        QVERIFY(std::isnan(chart.pointValue(p, 5)));
        QVERIFY(std::isnan(chart.pointValue(3, 0)));

        chart.clearSeries(p);
        QCOMPARE(chart.pointCount(p), 0);
        QCOMPARE(chart.pointCount(t), 1);
        chart.appendPoint(p, 99.0f); // x starts at 0 again
        QCOMPARE(chart.pointValue(p, 0), 99.0f);
        QCOMPARE(chart.plot()->plottable(p)->getKeyRange(found).upper, 0.0);
    }

    void oldPointsDropButKeepTheirX() {
        Chart chart;
        chart.setRetention(1000, false);
        const int s = chart.addSeries(Chart::Left);
        for (int i = 0; i < 5000; ++i)
            chart.appendPoint(s, float(i));
        const int first = chart.firstHeldPoint(s);
        QCOMPARE(chart.pointCount(s), 5000);
        QVERIFY(first > 4000 && first <= 4125);
        QCOMPARE(chart.pointValue(s, first), float(first));
        QCOMPARE(chart.pointValue(s, 4999), 4999.0f);
        QVERIFY(std::isnan(chart.pointValue(s, first - 1)));
        chart.setPointValue(s, first - 1, 7.0f); // dropped: nothing to change
        QVERIFY(std::isnan(chart.pointValue(s, first - 1)));
        bool found = false;
        QCOMPARE(chart.plot()->plottable(s)->getKeyRange(found).lower, double(first));
    }

    // Drawn on screen, a spike in a day of points reaches its full height and a stretch
    // of missing values stays blank.
    void denseCurveKeepsSpikeAndGap() {
        std::vector<float> y(86400, 20.0f);
        y[30000] = 90.0f;
        std::fill(y.begin() + 60000, y.begin() + 61000, std::nanf(""));
        Chart chart;
        showLine(chart, 1, y);
        const QImage image = chart.plot()->toPixmap(700, 400).toImage();
        QCPAxis* xAxis = chart.plot()->xAxis;
        QCPAxis* yAxis = chart.plot()->yAxis;
        const auto darkest = [&](int x, int yFrom, int yTo) {
            int value = 255;
            for (int row = yFrom; row <= yTo; ++row)
                value = std::min(value, qGray(image.pixel(x, row)));
            return value;
        };
        const int spikeX = int(std::lround(xAxis->coordToPixel(30000)));
        const int spikeTop = int(std::lround(yAxis->coordToPixel(90)));
        QVERIFY(darkest(spikeX, spikeTop + 1, spikeTop + 3) < 64);
        QVERIFY(darkest(spikeX, spikeTop - 4, spikeTop - 2) > 192);
        const int flat = int(std::lround(yAxis->coordToPixel(20)));
        const int gapX = int(std::lround(xAxis->coordToPixel(60500)));
        QVERIFY(darkest(gapX - 2, flat - 3, flat + 3) > 192);
        QVERIFY(darkest(gapX + 2, flat - 3, flat + 3) > 192);
        QVERIFY(darkest(gapX - 12, flat - 3, flat + 3) < 128);
    }

    void inkFollowsThePen_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("rise"); // over the whole line, in values (0 to 100 shown)
        QTest::addColumn<int>("pen");
        for (int pen : {1, 3, 5})
            for (int points : {300, 86400}) {
                QTest::addRow("flat, %d points, pen %d", points, pen) << points << 0.0 << pen;
                QTest::addRow("sloped, %d points, pen %d", points, pen) << points << 60.0 << pen;
            }
    }

    // On screen every column holds the ink of the pen widened by the slope (at pen 1, the
    // ink of the toolkit's own antialiased stroke of every point), and a change to the
    // points shows at the next redraw, though the axes stay as they were.
    void inkFollowsThePen() {
        QFETCH(int, points);
        QFETCH(double, rise);
        QFETCH(int, pen);
        std::vector<float> y(static_cast<size_t>(points));
        for (int i = 0; i < points; ++i)
            y[size_t(i)] = float(20.0 + rise * i / (points - 1));
        Chart chart;
        const int s = showLine(chart, pen, y);
        chart.plot()->xAxis->grid()->setVisible(false); // ink under the line is not counted
        chart.plot()->plottable(s)->setVisible(false);  // the background, and the plot laid out
        const QImage empty = chart.plot()->toPixmap(700, 400).toImage();
        chart.plot()->plottable(s)->setVisible(true);
        const QImage image = chart.plot()->toPixmap(700, 400).toImage();
        QCPAxis* xAxis = chart.plot()->xAxis;
        QCPAxis* yAxis = chart.plot()->yAxis;
        const double slope = (yAxis->coordToPixel(20.0 + rise) - yAxis->coordToPixel(20.0)) /
                             (xAxis->coordToPixel(points - 1) - xAxis->coordToPixel(0));
        const QRect area = chart.plot()->axisRect()->rect();
        const auto inkAt = [&](const QImage& picture, int x) {
            double ink = 0.0;
            for (int row = area.top(); row <= area.bottom(); ++row)
                ink += (qGray(empty.pixel(x, row)) - qGray(picture.pixel(x, row))) / 255.0;
            return ink;
        };
        // The toolkit's own antialiased stroke of every point, in place of ours.
        const auto stroked = [&](const std::vector<float>& values) {
            QCPGraph* graph = chart.plot()->addGraph();
            QVector<double> keys(qsizetype(values.size()));
            std::iota(keys.begin(), keys.end(), 0.0);
            graph->setData(keys, QVector<double>(values.begin(), values.end()), true);
            graph->setPen(QPen(Qt::black, 1));
            graph->setAntialiased(true);
            graph->setAdaptiveSampling(false);
            chart.plot()->plottable(s)->setVisible(false);
            const QImage reference = chart.plot()->toPixmap(700, 400).toImage();
            chart.plot()->plottable(s)->setVisible(true);
            chart.plot()->removeGraph(graph);
            return reference;
        };
        const QImage reference = pen == 1 ? stroked(y) : QImage();
        // On screen the series draws into the layer's own image; a picture of the chart
        // draws through an image of its own: the two agree.
        chart.plot()->replot();
        const QImage onScreen = chart.plot()->grab().toImage();
        QCOMPARE(onScreen.size(), image.size());
        QVERIFY(area.width() > 600);
        // The toolkit's stroke of many points a pixel depends on how it rounds each one; ours
        // follows it only roughly there.
        const double tolerance = pen == 1 ? 0.2 : 0.05;
        for (int x = area.left() + area.width() / 4; x < area.right() - area.width() / 4; x += 7) {
            const double expected =
                pen == 1 ? inkAt(reference, x) : pen * std::sqrt(1.0 + slope * slope);
            QVERIFY(std::abs(inkAt(onScreen, x) - inkAt(image, x)) < 0.02);
            QVERIFY2(std::abs(inkAt(image, x) - expected) < tolerance * expected + 0.1,
                     qPrintable(QString("ink %1 at x %2, expected %3")
                                    .arg(inkAt(image, x))
                                    .arg(x)
                                    .arg(expected)));
        }
        const int middle = points / 2;
        const std::vector<float> level(size_t(points), 90.0f);
        chart.setSeriesValues(s, level);
        chart.setAxisRange(Chart::Bottom, 0, points - 1);
        const QImage changed = chart.plot()->toPixmap(700, 400).toImage();
        const int x = int(std::lround(xAxis->coordToPixel(middle)));
        const double expected = pen == 1 ? inkAt(stroked(level), x) : pen;
        QVERIFY2(std::abs(inkAt(changed, x) - expected) < tolerance * expected + 0.1,
                 qPrintable(QString("ink %1 after the change").arg(inkAt(changed, x))));
        const int row = int(std::lround(yAxis->coordToPixel(90)));
        QVERIFY(std::min(qGray(changed.pixel(x, row)), qGray(changed.pixel(x, row - 1))) < 160);
        // So does a change of colour, on screen and in a picture.
        chart.setSeriesPen(s, pen, Qt::red);
        chart.plot()->replot();
        for (const QImage& red :
             {chart.plot()->grab().toImage(), chart.plot()->toPixmap(700, 400).toImage()}) {
            const auto redness = [&](int r) {
                return qRed(red.pixel(x, r)) - qGreen(red.pixel(x, r));
            };
            QVERIFY(std::max(redness(row), redness(row - 1)) > 64);
        }
    }

    void bottomAutoMaximumFollowsLargestX() {
        Chart chart;
        const int a = chart.addSeries(Chart::Left);
        const int b = chart.addSeries(Chart::Right);
        chart.setAxisRange(Chart::Bottom, 0, 600);
        for (int i = 0; i < 700; ++i)
            chart.appendPoint(a, 1.0f);
        QCOMPARE(chart.axisMaximum(Chart::Bottom), 600.0); // fixed until switched

        chart.setAxisAutoMaximum(Chart::Bottom, true);
        QVERIFY(chart.axisAutoMaximum(Chart::Bottom));
        QCOMPARE(chart.axisMaximum(Chart::Bottom), 699.0);
        for (int i = 0; i < 900; ++i)
            chart.appendPoint(b, 2.0f);
        QCOMPARE(chart.axisMaximum(Chart::Bottom), 899.0);
        QCOMPARE(chart.axisMinimum(Chart::Bottom), 0.0);
        QCOMPARE(chart.plot()->xAxis->range().upper, 899.0);

        chart.setAxisAutoMaximum(Chart::Bottom, false);
        chart.appendPoint(b, 2.0f);
        QCOMPARE(chart.axisMaximum(Chart::Bottom), 899.0);
    }

    void legendListsTitles() {
        Chart chart;
        chart.addSeries(Chart::Left, QStringLiteral("压力"));
        const int t = chart.addSeries(Chart::Right);
        chart.setSeriesTitle(t, QStringLiteral("温度"));
        QCOMPARE(chart.seriesTitle(t), QStringLiteral("温度"));
        QCPLegend* legend = chart.plot()->legend;
        QCOMPARE(legend->itemCount(), 2);
        QStringList names;
        for (int i = 0; i < legend->itemCount(); ++i)
            names << qobject_cast<QCPPlottableLegendItem*>(legend->item(i))->plottable()->name();
        QCOMPARE(names, QStringList({QStringLiteral("压力"), QStringLiteral("温度")}));
    }

    void penWidthIsBounded_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero is the thinnest pen") << 0 << 0;
        QTest::newRow("ordinary") << 3 << 3;
        QTest::newRow("negative from a damaged config") << -4 << 0;
        QTest::newRow("absurdly wide") << 100000 << 64;
    }

    void penWidthIsBounded() {
        QFETCH(int, width);
        QFETCH(int, expected);
        Chart chart;
        const int s = chart.addSeries(Chart::Left);
        chart.setSeriesPen(s, width, QColor(12, 34, 56));
        QCOMPARE(chart.seriesPen(s).width(), expected);
        QCOMPARE(chart.seriesPen(s).color(), QColor(12, 34, 56));
    }

    void drawnInDevicePixelsWhereThePainterScales_data() {
        QTest::addColumn<int>("pen");
        QTest::newRow("pen 1") << 1;
        QTest::newRow("pen 3") << 3;
    }

    // A picture at twice the size (as on a display scaled by the system) draws the series in
    // its own pixels, the pen twice as wide there: a flat line has one partly covered pixel
    // at each edge, where a small picture enlarged would blur each edge over several.
    void drawnInDevicePixelsWhereThePainterScales() {
        QFETCH(int, pen);
        Chart chart;
        showLine(chart, pen, std::vector<float>(3000, 50.3f));
        chart.plot()->xAxis->grid()->setVisible(false);
        chart.plot()->yAxis->grid()->setVisible(false);
        const QImage image = chart.plot()->toPixmap(700, 400, 2.0).toImage();
        const QRect area = chart.plot()->axisRect()->rect();
        for (int x = 2 * area.left() + area.width() / 2; x < 2 * area.right() - area.width() / 2;
             x += 5) {
            double ink = 0.0;
            int partial = 0;
            // The rows above the axis and its ticks.
            for (int row = 2 * area.top() + 2; row < 2 * area.bottom() - 12; ++row) {
                const int gray = qGray(image.pixel(x, row));
                ink += (255 - gray) / 255.0;
                partial += gray > 16 && gray < 239;
            }
            QVERIFY2(std::abs(ink - 2.0 * pen) < 0.1 * pen && partial <= 2,
                     qPrintable(QString("ink %1, %2 partly covered").arg(ink).arg(partial)));
        }
    }

    void wildValuesDrawTheRest_data() {
        QTest::addColumn<int>("pen");
        QTest::addColumn<int>("points");
        for (int pen : {1, 3})
            for (int points : {300, 86400})
                QTest::addRow("pen %d, %d points", pen, points) << pen << points;
    }

    // Readings no instrument should send (infinities, the float extremes, not-a-number)
    // and a far zoom neither break the drawing nor hide the sound readings between them.
    void wildValuesDrawTheRest() {
        QFETCH(int, pen);
        QFETCH(int, points);
        const float wild[] = {std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::max(),
                              std::nanf(""),
                              1e-40f};
        std::vector<float> y(size_t(points), 50.0f);
        for (int i = 0; i < points; i += 7)
            y[size_t(i)] = wild[(i / 7) % 6];
        Chart chart;
        showLine(chart, pen, y);
        // The whole run, then sound points 8 to 13 between -inf and the largest float.
        for (const auto& [from, to] : {std::pair(0.0, points - 1.0), std::pair(8.0, 13.0)}) {
            chart.setAxisRange(Chart::Bottom, from, to);
            chart.plot()->replot();
            const QImage image = chart.plot()->grab().toImage();
            const int x = chart.plot()->axisRect()->center().x();
            const int row = int(std::lround(chart.plot()->yAxis->coordToPixel(50)));
            if (from > 0.0)
                QVERIFY(std::min(qGray(image.pixel(x, row)), qGray(image.pixel(x, row - 1))) < 200);
        }
    }

    void mutationsCoalesceIntoOneRedraw() {
        Chart chart;
        chart.resize(400, 300);
        for (int i = 0; i < 16; ++i)
            chart.addSeries(i < 8 ? Chart::Left : Chart::Right);
        QTest::qWait(20);
        QSignalSpy replots(chart.plot(), &QCustomPlot::afterReplot);
        for (int i = 0; i < 16; ++i)
            chart.appendPoint(i, float(i));
        chart.setAxisRange(Chart::Left, -10, 10);
        QCOMPARE(replots.count(), 0);
        QTRY_COMPARE(replots.count(), 1);
        QTest::qWait(20);
        QCOMPARE(replots.count(), 1);
    }

    void renderPaintsInsideTargetOnly_data() {
        QTest::addColumn<QRect>("target");
        QTest::addColumn<int>("dpi");
        QTest::newRow("screen, wide") << QRect(37, 21, 500, 200) << 96;
        QTest::newRow("screen, tall") << QRect(300, 10, 150, 420) << 96;
        QTest::newRow("printer resolution") << QRect(100, 80, 1200, 820) << 300;
    }

    void renderPaintsInsideTargetOnly() {
        QFETCH(QRect, target);
        QFETCH(int, dpi);
        Chart chart;
        chart.resize(300, 300);
        chart.setTitle("title");
        chart.setFoot({"first foot line", "second"});
        chart.setLegendVisible(true);
        const int s = chart.addSeries(Chart::Left, "p");
        chart.setSeriesPen(s, 3, Qt::red);
        chart.setAxisRange(Chart::Left, 0, 100);
        for (int i = 0; i < 1000; ++i)
            chart.appendPoint(s, 50.0f + 40.0f * float(std::sin(i / 50.0)));
        chart.setAxisAutoMaximum(Chart::Bottom, true);

        const QColor fill(0, 200, 0);
        QImage image(target.right() + 60, target.bottom() + 40, QImage::Format_ARGB32);
        image.setDotsPerMeterX(int(dpi / 0.0254));
        image.setDotsPerMeterY(int(dpi / 0.0254));
        image.fill(fill);
        {
            QPainter painter(&image);
            chart.render(&painter, target);
        }
        int changedInside = 0;
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (!target.contains(x, y)) {
                    QVERIFY2(c == fill, qPrintable(QString("painted at %1,%2").arg(x).arg(y)));
                    continue;
                }
                changedInside += c != fill;
                red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
            }
        }
        // The white panel covers the target (stretched), and the curve is there.
        QVERIFY(changedInside > target.width() * target.height() * 95 / 100);
        QVERIFY(red > 100);
    }
    // Runs of consecutive seconds; rows give (index, second) records, then index -> second.
    void pointTimes_data() {
        QTest::addColumn<QList<QPoint>>("records");
        QTest::addColumn<QList<QPoint>>("lookups"); // second -1: none
        QTest::addColumn<int>("runs");
        QTest::newRow("steady ticks are one run")
            << QList<QPoint>{{0, 100}, {1, 101}, {2, 102}, {3, 103}}
            << QList<QPoint>{{0, 100}, {3, 103}, {4, -1}} << 1;
        QTest::newRow("two ticks in one second, then a skipped second")
            << QList<QPoint>{{0, 100}, {1, 101}, {2, 101}, {3, 103}}
            << QList<QPoint>{{1, 101}, {2, 101}, {3, 103}} << 3;
        QTest::newRow("the same index again keeps the first time")
            << QList<QPoint>{{0, 100}, {0, 150}, {1, 101}} << QList<QPoint>{{0, 100}, {1, 101}}
            << 1;
        QTest::newRow("a lower index starts afresh after a reset")
            << QList<QPoint>{{0, 100}, {1, 101}, {2, 102}, {0, 500}}
            << QList<QPoint>{{0, 500}, {1, -1}} << 1;
        QTest::newRow("an index past a gap leaves the gap untimed")
            << QList<QPoint>{{0, 100}, {3, 103}, {4, 104}}
            << QList<QPoint>{{0, 100}, {1, -1}, {2, -1}, {4, 104}} << 3;
        QTest::newRow("only the last five kept")
            << QList<QPoint>{{0, 10}, {1, 20}, {2, 30}, {3, 31}, {4, 32}, {5, 33}, {6, 34}}
            << QList<QPoint>{{1, -1}, {2, 30}, {6, 34}} << 1;
    }

    void pointTimes() {
        QFETCH(QList<QPoint>, records);
        QFETCH(QList<QPoint>, lookups);
        QFETCH(int, runs);
        PointTimes times(5);
        for (QPoint r : records)
            times.record(r.x(), r.y());
        for (QPoint l : lookups)
            QCOMPARE(times.second(l.x()).value_or(-1), qint64(l.y()));
        QCOMPARE(times.runCount(), qsizetype(runs));
    }

    // Live points carry their recorded second, history points start + x; the pointer picks
    // the nearest point and the readout lists each titled series there, changing nothing.
    void readoutFollowsPointer_data() {
        QTest::addColumn<bool>("history");
        QTest::addColumn<QString>("time");
        QTest::newRow("live") << false << "08:30:47";
        QTest::newRow("history") << true << "08:30:40";
    }

    void readoutFollowsPointer() {
        QFETCH(bool, history);
        QFETCH(QString, time);
        const qint64 start =
            QDateTime(QDate(2026, 12, 7), QTime(8, 30), Qt::UTC).toSecsSinceEpoch();
        Chart chart;
        chart.resize(600, 400);
        chart.setAxisRange(Chart::Bottom, 0, 200);
        const int press = chart.addSeries(Chart::Left, QStringLiteral("压力3"));
        const int temp = chart.addSeries(Chart::Right, QStringLiteral("温度3"));
        chart.addSeries(Chart::Left, QStringLiteral(" ")); // untitled: not listed
        chart.setSeriesPen(press, 2, QColor(0, 0, 255));
        chart.setSeriesPen(temp, 1, QColor(0, 128, 0));
        auto* readout = new ChartReadout(&chart);
        for (int i = 0; i < 100; ++i) {
            chart.appendPoint(press, 0.5f * i);
            chart.appendPoint(temp, 20.0f + i % 3);
            chart.appendPoint(2, 1.0f);
            // a tick that slipped a second at point 30
            readout->times().record(i, start + i + (i >= 30 ? 7 : 0));
        }
        if (history)
            readout->setStartSecond(start);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QCustomPlot* plot = chart.plot();
        plot->replot();
        const double y = plot->yAxis->coordToPixel(10);
        auto hover = [plot](QPointF at) {
            QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(plot, &move);
        };

        hover({plot->xAxis->coordToPixel(39.6), y});
        const ChartReadout::Reading& at = readout->current();
        QCOMPARE(at.index, qint64(40));
        QCOMPARE(ChartReadout::timeText(at.second.value_or(0)), time);
        QCOMPARE(at.lines.size(), 2);
        QCOMPARE(at.lines[0].title, QStringLiteral("压力3"));
        QCOMPARE(at.lines[0].value, 20.0f);
        QCOMPARE(at.lines[0].color, QColor(0, 0, 255));
        QCOMPARE(at.lines[1].value, 21.0f);
        QVERIFY(readout->text().contains(QStringLiteral("color:#0000ff\">压力3: 20<")));
        QVERIFY(readout->text().contains(time));
        QCOMPARE(readout->cursorX(), qRound(plot->xAxis->coordToPixel(40)));

        hover({plot->xAxis->coordToPixel(150), y}); // right of the last point
        QVERIFY(readout->current().isEmpty());
        QCOMPARE(readout->cursorX(), -1);
        hover({plot->xAxis->coordToPixel(40), 2.0}); // above the axis rect
        QVERIFY(readout->current().isEmpty());
        QCOMPARE(chart.axisMinimum(Chart::Bottom), 0.0);
        QCOMPARE(chart.axisMaximum(Chart::Bottom), 200.0);
        QCOMPARE(chart.pointCount(press), 100);
    }
};

QTEST_MAIN(tst_Chart)
#include "tst_Chart.moc"
