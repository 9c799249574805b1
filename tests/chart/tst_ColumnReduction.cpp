#include "ColumnReduction.h"

#include <QTest>
#include <algorithm>
#include <cmath>

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
