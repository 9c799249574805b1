#include "LineEnvelope.h"
#include "SeriesStore.h"
#include "ThinLine.h"

#include <QTest>
#include <cmath>
#include <limits>

// The outline of a series: one point per unit of x, one device pixel per unit of value
// (values grow upwards), columns one pixel wide.
class tst_LineEnvelope : public QObject {
    Q_OBJECT
    // The points in `width` columns centred on whole device pixels, and their mapping.
    static std::vector<ColumnExtent> columnsOf(const SeriesStore& store, int width,
                                               LineEnvelope::Mapping& map) {
        std::vector<ColumnExtent> columns;
        const double perColumn = double(store.count()) / width;
        store.reduce(-0.5 * perColumn, double(store.count()) - 0.5 * perColumn, width, columns);
        map = {0.0, 1.0 / perColumn, 1000.0, -1.0};
        return columns;
    }

    LineEnvelope build(const std::vector<float>& y, int width, double pen, bool points = false) {
        SeriesStore store;
        store.assign(y);
        LineEnvelope::Mapping map;
        const std::vector<ColumnExtent> columns = columnsOf(store, width, map);
        LineEnvelope envelope;
        LineEnvelope::PointSource source;
        if (points)
            source = [&store](int first, int last) { return store.held(first, last); };
        envelope.build(columns, map, pen, 1.0, -0.5, QRectF(-10, -10, width + 20, 2020), source);
        return envelope;
    }
    static bool covered(const LineEnvelope::Sample& s) { return s.top <= s.bottom; }

    // The thin stroke's polyline of y over `width` columns, through the columns.
    ThinPolyline thin(const std::vector<float>& y, int width) {
        SeriesStore store;
        store.assign(y);
        LineEnvelope::Mapping map;
        const std::vector<ColumnExtent> columns = columnsOf(store, width, map);
        ThinPolyline line;
        line.build(columns, map, QRectF(-10, -10, width + 20, 2020),
                   [&store](int first, int last) { return store.held(first, last); });
        return line;
    }

  private slots:
    // At most two points a column, the points themselves give the polyline the columns give,
    // gaps and all; that is the shortcut a sparse view takes.
    void thinPolylineOfFewPointsIsThePoints() {
        std::vector<float> y(1000);
        for (int i = 0; i < 1000; ++i)
            y[size_t(i)] = float(500 + 300 * std::sin(i / 40.0));
        y[300] = y[301] = y[302] = std::nanf("");
        const ThinPolyline columns = thin(y, 600);
        ThinPolyline points;
        points.build(y, 0, {0.0, 600.0 / 1000.0, 1000.0, -1.0}, QRectF(-10, -10, 620, 2020));
        QCOMPARE(points.runEnds, columns.runEnds);
        QCOMPARE(points.points.size(), columns.points.size());
        for (size_t k = 0; k < points.points.size(); ++k)
            QVERIFY((points.points[k] - columns.points[k]).manhattanLength() < 1e-9);
    }

    // Dense columns: a spike goes out and back at its own x, a jump stands at its own x.
    void thinPolylineKeepsSpikesAndJumpsInPlace_data() {
        QTest::addColumn<bool>("spike");
        QTest::newRow("spike") << true;
        QTest::newRow("jump") << false;
    }
    void thinPolylineKeepsSpikesAndJumpsInPlace() {
        QFETCH(bool, spike);
        std::vector<float> y(86400, 100.0f);
        if (spike)
            y[43125] = 700.0f;
        else
            std::fill(y.begin() + 43125, y.end(), 700.0f);
        const ThinPolyline line = thin(y, 500);
        const double at = 43125 * 500.0 / 86400; // the x of point 43125
        int tall = 0;
        for (size_t k = 0; k + 1 < line.points.size(); ++k) {
            const QPointF a = line.points[k];
            const QPointF b = line.points[k + 1];
            if (std::abs(a.y() - b.y()) < 500.0)
                continue;
            ++tall;
            QVERIFY2(std::abs(a.x() - at) < 0.01 && std::abs(b.x() - at) < 0.01,
                     qPrintable(QString("%1..%2, not at %3").arg(a.x()).arg(b.x()).arg(at)));
        }
        QCOMPARE(tall, spike ? 2 : 1);
    }

    void spanOfTheStroke_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<double>("pen");
        QTest::addColumn<double>("expected"); // vertical span in the middle of the line
        for (double pen : {1.0, 3.0, 5.0}) {
            QTest::addRow("flat, pen %g", pen) << "flat" << pen << pen;
            QTest::addRow("45 degrees, pen %g", pen) << "slope" << pen << pen * std::sqrt(2.0);
            QTest::addRow("45 degrees, 8 points a column, pen %g", pen)
                << "dense slope" << pen << pen * std::sqrt(2.0);
        }
    }

    // A sloped line keeps its true thickness: the span is the pen widened by the slope.
    void spanOfTheStroke() {
        QFETCH(QString, shape);
        QFETCH(double, pen);
        QFETCH(double, expected);
        const int width = 400;
        const int n = shape == "dense slope" ? 8 * width : width;
        std::vector<float> y(size_t(n), 300.0f);
        if (shape != "flat")
            for (int i = 0; i < n; ++i)
                y[size_t(i)] = float(i) * width / n;
        const LineEnvelope envelope = build(y, width, pen);
        // The outline is filled straight between samples, so those just outside [100, 300]
        // count too: a level line needs none between them.
        const auto& samples = envelope.samples();
        const auto inside = [](const LineEnvelope::Sample& s) { return s.x >= 100 && s.x <= 300; };
        int checked = 0;
        for (size_t k = 0; k < samples.size(); ++k) {
            const auto& s = samples[k];
            if (!inside(s) && !(k + 1 < samples.size() && s.x < 100 && samples[k + 1].x > 100) &&
                !(k > 0 && s.x > 300 && samples[k - 1].x < 300))
                continue;
            QVERIFY2(std::abs((s.bottom - s.top) - expected) < 1e-6,
                     qPrintable(QString("span %1 at x %2").arg(s.bottom - s.top).arg(s.x)));
            ++checked;
        }
        QVERIFY(checked >= (shape == "flat" ? 2 : 400));
        QCOMPARE(int(envelope.runs().size()), 1);
    }

    void spikeKeepsItsHeight_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("pen");
        QTest::newRow("a day in 500 columns, pen 1") << 86400 << 1.0;
        QTest::newRow("a day in 500 columns, pen 5") << 86400 << 5.0;
        QTest::newRow("fewer points than columns, pen 3") << 300 << 3.0;
    }

    void spikeKeepsItsHeight() {
        QFETCH(int, points);
        QFETCH(double, pen);
        std::vector<float> y(size_t(points), 100.0f);
        y[size_t(points / 3)] = 900.0f;
        const LineEnvelope envelope = build(y, 500, pen);
        double top = std::numeric_limits<double>::infinity();
        for (const auto& s : envelope.samples())
            top = std::min(top, s.top);
        QCOMPARE(top, 1000.0 - 900.0 - pen / 2);
    }

    // A jump inside a dense column is drawn where it happens, one pen wide, not as a slope
    // smeared across the column.
    void stepStaysOnePenWide() {
        std::vector<float> y(86400, 100.0f);
        std::fill(y.begin() + 43120, y.end(), 600.0f); // near the left of column 250
        double from = 1e9, to = -1e9;
        const LineEnvelope envelope = build(y, 500, 1.0, true); // the samples live in it
        for (const auto& s : envelope.samples()) {
            if (s.bottom - s.top > 250.0) {
                from = std::min(from, s.x);
                to = std::max(to, s.x);
            }
        }
        QVERIFY2(to - from <= 1.0, qPrintable(QString("jump %1 wide").arg(to - from)));
        QVERIFY2(std::abs((from + to) / 2 - 43119.5 * 500 / 86400) <= 0.15,
                 qPrintable(QString("%1..%2").arg(from).arg(to)));
    }

    void gapOfAColumnStays_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("gapFrom");
        QTest::addColumn<int>("gapTo"); // points [gapFrom, gapTo) are not numbers
        // 86400 points in 500 columns: column 250 holds points 43114..43286.
        QTest::newRow("one point in one column") << 500 << 250 << 251;
        QTest::newRow("one whole dense column") << 86400 << 43114 << 43287;
        QTest::newRow("one and a half columns across two") << 86400 << 43200 << 43460;
    }

    void gapOfAColumnStays() {
        QFETCH(int, points);
        QFETCH(int, gapFrom);
        QFETCH(int, gapTo);
        std::vector<float> y(static_cast<size_t>(points));
        for (int i = 0; i < points; ++i)
            y[size_t(i)] =
                i < gapFrom || i >= gapTo ? float(500 + 50 * std::sin(i * 0.01)) : std::nanf("");
        const LineEnvelope envelope = build(y, 500, 1.0);
        QCOMPARE(int(envelope.runs().size()), 2);
        // Between the runs lies at least half a column where nothing is drawn.
        const auto& samples = envelope.samples();
        const double end = samples[size_t(envelope.runs()[0].second - 1)].x;
        const double start = samples[size_t(envelope.runs()[1].first)].x;
        QVERIFY2(start - end >= 0.5, qPrintable(QString("gap %1").arg(start - end)));
        const double gapCentre = (gapFrom + gapTo - 1) / 2.0 * 500 / points;
        QVERIFY(end < gapCentre && start > gapCentre);
    }
};

QTEST_APPLESS_MAIN(tst_LineEnvelope)
#include "tst_LineEnvelope.moc"
