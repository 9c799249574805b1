#include "ColumnReduction.h"
#include "LineEnvelope.h"
#include "SeriesStore.h"

#include <QTest>
#include <algorithm>
#include <cmath>
#include <random>

class tst_ColumnReduction : public QObject {
    Q_OBJECT
  private slots:
    void spikeInADaySurvives() {
        std::vector<float> y(86400, 1.0f);
        y[43210] = 500.0f;
        y[70000] = -20.0f;
        const auto columns = ReduceColumns(y, 0.0, 86399.0, 700);
        const auto hit = [&](float v) {
            return std::any_of(columns.begin(), columns.end(),
                               [v](const ColumnExtent& c) { return c.min <= v && c.max >= v; });
        };
        QVERIFY(hit(500.0f));
        QVERIFY(hit(-20.0f));
        const auto spike = std::find_if(columns.begin(), columns.end(),
                                        [](const ColumnExtent& c) { return c.max == 500.0f; });
        QCOMPARE(std::count_if(columns.begin(), columns.end(),
                               [](const ColumnExtent& c) { return c.max > 1.0f; }),
                 1);
        QVERIFY(spike->firstIndex <= 43210 && spike->lastIndex >= 43210);
        QCOMPARE(spike->column, int(43210 * 700 / 86399.0));
    }

    void columnsPartitionThePoints_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("xMin");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<int>("width");
        QTest::newRow("dense day") << 86400 << 0.0 << 86400.0 << 777;
        QTest::newRow("last 600 of a day") << 86400 << 85800.0 << 86400.0 << 640;
        QTest::newRow("sparse, fractional range") << 100 << 10.3 << 40.7 << 500;
        QTest::newRow("exactly one point per column") << 1000 << 0.0 << 800.0 << 800;
        QTest::newRow("range beyond the data") << 50 << -100.0 << 900.0 << 300;
    }

    // Every point in view lands in exactly one column, columns ascend, and each column
    // holds just the points whose x maps onto it.
    void columnsPartitionThePoints() {
        QFETCH(int, count);
        QFETCH(double, xMin);
        QFETCH(double, xMax);
        QFETCH(int, width);
        std::vector<float> y(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            y[size_t(i)] = float(std::sin(i * 0.37) * 100.0 + (i % 7));
        const auto columns = ReduceColumns(y, xMin, xMax, width);
        QVERIFY(!columns.empty());

        const double scale = width / (xMax - xMin);
        for (size_t k = 0; k < columns.size(); ++k) {
            const ColumnExtent& c = columns[k];
            if (k > 0) {
                QVERIFY(c.column > columns[k - 1].column);
                QCOMPARE(c.firstIndex, columns[k - 1].lastIndex + 1);
            }
            QCOMPARE(c.first, y[size_t(c.firstIndex)]);
            QCOMPARE(c.last, y[size_t(c.lastIndex)]);
            const auto [lo, hi] =
                std::minmax_element(y.begin() + c.firstIndex, y.begin() + c.lastIndex + 1);
            QCOMPARE(c.min, *lo);
            QCOMPARE(c.max, *hi);
            QCOMPARE(int(std::floor((c.firstIndex - xMin) * scale)), c.column);
            QCOMPARE(int(std::floor((c.lastIndex - xMin) * scale)), c.column);
        }
        const int firstInView = std::max(0, int(std::ceil(xMin)));
        const int lastInView = std::min(count - 1, int(std::floor(xMax)));
        QVERIFY(columns.front().firstIndex <= firstInView);
        QVERIFY(columns.back().lastIndex >= lastInView);
    }

    void neighboursOutsideTheRangeAreKept() {
        std::vector<float> y(2000);
        for (int i = 0; i < 2000; ++i)
            y[size_t(i)] = float(i);
        const auto columns = ReduceColumns(y, 600.5, 1199.5, 600);
        QCOMPARE(columns.front().firstIndex, 600);
        QVERIFY(columns.front().column < 0);
        QCOMPARE(columns.back().lastIndex, 1200);
        QVERIFY(columns.back().column >= 600);
    }

    void summaryReducesLikeTheRawPoints_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("kept"); // points held at full resolution
        QTest::addColumn<bool>("summarised");
        QTest::addColumn<double>("xMin"); // negative: the oldest held point
        QTest::addColumn<double>("xMax");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("steady"); // long stretches of one value
        QTest::newRow("a day, all held")
            << 86400 << 86400 << false << 0.0 << 86399.0 << 700 << false;
        QTest::newRow("steady readings, a day")
            << 86400 << 86400 << false << 0.0 << 86399.0 << 700 << true;
        QTest::newRow("steady readings, a block a column")
            << 86400 << 86400 << false << 0.0 << 44800.0 << 700 << true;
        QTest::newRow("steady readings, older dropped")
            << 300000 << 50000 << false << -1.0 << 299999.0 << 640 << true;
        QTest::newRow("an hour of a day")
            << 86400 << 86400 << false << 40000.3 << 43600.0 << 613 << false;
        QTest::newRow("two points a column")
            << 86400 << 86400 << false << 1000.0 << 2400.0 << 700 << false;
        QTest::newRow("eight points a column over a gap")
            << 86400 << 86400 << false << 66000.0 << 71600.0 << 700 << false;
        QTest::newRow("fewer points than columns")
            << 86400 << 86400 << false << 69900.2 << 70550.0 << 700 << false;
        // 256 points a column: whole blocks, so the summary is exact up to the held points.
        QTest::newRow("month-like, old points summarised")
            << 300000 << 50000 << true << 0.0 << 179200.0 << 700 << false;
        QTest::newRow("summarised, the whole run")
            << 300000 << 50000 << true << 0.0 << 299776.0 << 1171 << false;
        QTest::newRow("older points dropped")
            << 300000 << 50000 << false << -1.0 << 299999.0 << 640 << false;
    }

    // The pyramid gives the same columns as scanning every point, also after points were
    // changed in place (extremes raised and removed) and old ones dropped.
    void summaryReducesLikeTheRawPoints() {
        QFETCH(int, count);
        QFETCH(int, kept);
        QFETCH(bool, summarised);
        QFETCH(double, xMin);
        QFETCH(double, xMax);
        QFETCH(int, width);
        QFETCH(bool, steady);
        std::mt19937 random(42);
        std::normal_distribution<float> noise(0.0f, 3.0f);
        std::vector<float> y(static_cast<size_t>(count));
        float level = 0.0f;
        for (float& v : y) {
            level += noise(random) * 0.1f;
            v = random() % 997 == 0 ? std::nanf("") : level + noise(random);
        }
        // Steady: a level for every 30,000 points, scattered gaps only in the first half, so
        // the second half's stretches are long enough to be found from the upper levels.
        if (steady)
            for (size_t i = 0; i < y.size(); ++i)
                y[i] = std::isnan(y[i]) && i < y.size() / 2 ? y[i]
                                                            : float(20 + 15 * ((i / 30000) % 5));
        if (steady) { // an infinity, and a gap that starts where a column and a block do
            y[12345] = INFINITY;
            std::fill(y.begin() + 40960, y.begin() + 41500, std::nanf(""));
        }
        for (int i = 70000; i < 70500; ++i) // a gap of a few columns
            y[size_t(i)] = std::nanf("");
        SeriesStore store;
        store.setRetention(kept, summarised);
        for (float v : y)
            store.append(v);
        QCOMPARE(store.count(), (long long)count);
        // Summarised: at least the last `kept` points at full resolution; dropped: at most.
        const long long held = store.count() - store.firstHeld();
        QVERIFY(summarised ? held >= kept && held < kept * 9 / 8
                           : held <= kept && held > kept * 7 / 8);
        for (long long x : {store.count() - 1, store.firstHeld() + 5, store.count() - kept / 2}) {
            y[size_t(x)] = x % 2 ? 1.0e4f : -1.0e4f; // new extremes, later taken away again
            QVERIFY(store.set(x, y[size_t(x)]));
        }
        y[size_t(count - 1)] = 0.5f;
        QVERIFY(store.set(count - 1, 0.5f));
        QVERIFY(!store.set(store.firstHeld() - 1, 1.0f) || store.firstHeld() == 0);
        QVERIFY(std::isnan(store.value(store.firstHeld() - 1)) || store.firstHeld() == 0);
        QCOMPARE(store.value(store.firstHeld()), y[size_t(store.firstHeld())]);

        if (xMin < 0)
            xMin = double(store.firstHeld());
        const long long from = store.firstRepresented();
        std::vector<ColumnExtent> expected;
        ReduceColumns(std::span<const float>(y).subspan(size_t(from)), xMin - from, xMax - from,
                      width, expected);
        std::vector<ColumnExtent> actual;
        store.reduce(xMin, xMax, width, actual);
        // A neighbour beyond the right edge among dropped points is a whole block.
        if (summarised && xMax < store.firstHeld()) {
            QCOMPARE(actual.back().column, expected.back().column);
            actual.pop_back();
            expected.pop_back();
        }
        for (ColumnExtent& e : expected) {
            e.firstIndex += int(from);
            e.lastIndex += int(from);
        }
        // A steady stretch's columns come as one entry that stands for them all, and the
        // outline drawn from it is the same.
        QVERIFY(!steady || actual.size() < expected.size() / 2);
        size_t at = 0;
        for (const ColumnExtent& m : actual) {
            QVERIFY(m.span >= 1 && at + size_t(m.span) <= expected.size());
            const ColumnExtent& a = expected[at];
            const ColumnExtent& z = expected[at + size_t(m.span) - 1];
            QVERIFY2(m.column == a.column && z.column == m.column + m.span - 1 &&
                         m.firstIndex == a.firstIndex && m.lastIndex == z.lastIndex &&
                         m.first == a.first && m.last == z.last,
                     qPrintable(QString("column %1").arg(m.column)));
            for (; at <= size_t(&z - expected.data()); ++at)
                QVERIFY(expected[at].min == m.min && expected[at].max == m.max &&
                        (m.span == 1 || (m.min == m.max && expected[at].first == m.min)));
        }
        QCOMPARE(at, expected.size());
        const LineEnvelope::Mapping map{-xMin * width / (xMax - xMin), width / (xMax - xMin), 300.0,
                                        -2.0};
        LineEnvelope one, each;
        one.build(actual, map, 3.0, 1.0, -0.5, QRectF(-10, -1000, width + 20, 3000));
        each.build(expected, map, 3.0, 1.0, -0.5, QRectF(-10, -1000, width + 20, 3000));
        QCOMPARE(one.samples().size(), each.samples().size());
        for (size_t i = 0; i < one.samples().size(); ++i)
            QVERIFY(one.samples()[i].x == each.samples()[i].x &&
                    one.samples()[i].top == each.samples()[i].top &&
                    one.samples()[i].bottom == each.samples()[i].bottom);
        // The extremes of the whole represented run (infinities count), as the axes'
        // automatic maximum uses them.
        float lo = INFINITY, hi = -INFINITY;
        for (size_t i = size_t(from); i < y.size(); ++i)
            if (!std::isnan(y[i]))
                lo = std::min(lo, y[i]), hi = std::max(hi, y[i]);
        const ValueExtent all = store.extent(0, store.count());
        QCOMPARE(all.min, lo);
        QCOMPARE(all.max, hi);
    }

    void degenerateInputGivesNoColumns_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("xMin");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<int>("width");
        QTest::newRow("no points") << 0 << 0.0 << 600.0 << 600;
        QTest::newRow("no pixels") << 100 << 0.0 << 600.0 << 0;
        QTest::newRow("empty range") << 100 << 5.0 << 5.0 << 600;
        QTest::newRow("reversed range") << 100 << 50.0 << 5.0 << 600;
        QTest::newRow("range far right of the data") << 100 << 500.0 << 600.0 << 600;
        QTest::newRow("not a number") << 100 << std::nan("") << 600.0 << 600;
    }

    void degenerateInputGivesNoColumns() {
        QFETCH(int, count);
        QFETCH(double, xMin);
        QFETCH(double, xMax);
        QFETCH(int, width);
        const std::vector<float> y(size_t(count), 3.0f);
        QVERIFY(ReduceColumns(y, xMin, xMax, width).empty());
    }
};

QTEST_APPLESS_MAIN(tst_ColumnReduction)
#include "tst_ColumnReduction.moc"
