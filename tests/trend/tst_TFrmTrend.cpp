#include "Chart.h"
#include "ChartExport.h"
#include "ColorValue.h"
#include "SharedState.h"
#include "TFrmTrend.h"
#include "TrendDays.h"
#include "TrendPlottable.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <optional>
#include <qcustomplot.h>

using namespace TrendDays;

namespace {

const QDate kToday(2026, 6, 30);
const qint64 kSpike = dayStart(kToday) + 12 * 3600 + 7;
const qint64 kGap = dayStart(kToday) + 3 * 3600; // two hours without rows

// Today and two days before have files; yesterday has none.
std::optional<float> value(qint64 second) {
    const qint64 day = second / 86400 - dayStart(kToday) / 86400;
    if ((day != 0 && day != -2) || (second >= kGap && second < kGap + 7200))
        return std::nullopt;
    return second == kSpike ? 77.7f : float(20 + (second % 600) / 100.0);
}

} // namespace

class TestTFrmTrend : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void refusesARangeItCannotDraw_data();
    void refusesARangeItCannotDraw();
    void drawsTheExtremesOfTheData_data();
    void drawsTheExtremesOfTheData();
    void cancelKeepsTheChart();

  private:
    QTemporaryDir m_base;
    SharedState m_state;
};

void TestTFrmTrend::initTestCase() {
    for (int d : {-2, 0}) {
        QByteArray bytes = header();
        for (qint64 s = dayStart(kToday.addDays(d)); s < dayStart(kToday.addDays(d + 1)); ++s)
            if (const auto v = value(s))
                bytes += row(s, *v);
        QVERIFY(write(m_base.path(), kToday.addDays(d), bytes));
    }
    for (int n = 1; n <= 8; ++n) {
        m_state.LineWidthPress[n] = m_state.LineWidthTemp[n] = 1;
        m_state.LineColorPress[n] = ColorValue::Rgb(255, 0, 0);
        m_state.LineColorTemp[n] = ColorValue::Rgb(0, 0, 255);
    }
    m_state.TempFull = 1; // the temperature, half the pressure, then lies below it
    TFrmTrend::setClock([] { return kToday; });
}

void TestTFrmTrend::refusesARangeItCannotDraw_data() {
    QTest::addColumn<int>("firstDay"); // from today
    QTest::addColumn<int>("lastDay");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("message");
    QTest::newRow("first after last") << 0 << -1 << true << "起始日期不能晚于结束日期";
    QTest::newRow("367 days") << -366 << 0 << true << "日期范围不能超过366天";
    QTest::newRow("no instrument") << -30 << 0 << false << "请选择仪表数据 ";
}

void TestTFrmTrend::refusesARangeItCannotDraw() {
    QFETCH(int, firstDay);
    QFETCH(int, lastDay);
    QFETCH(bool, ticked);
    QFETCH(QString, message);
    TFrmTrend w(m_state, m_base.path());
    QStringList shown;
    w.setMessageFunction([&](QWidget*, const QString& text) { shown << text; });
    w.DateEdit1->setDate(kToday.addDays(firstDay));
    w.DateEdit2->setDate(kToday.addDays(lastDay));
    w.CheckBoxes[2]->setChecked(ticked);
    w.Button1Click();
    QCOMPARE(shown, QStringList{message});
    QVERIFY(!w.reading());
}

void TestTFrmTrend::drawsTheExtremesOfTheData_data() {
    QTest::addColumn<qint64>("begin"); // 0: the whole default range
    QTest::addColumn<qint64>("end");
    QTest::newRow("the last 31 days") << qint64(0) << qint64(0);
    QTest::newRow("ten minutes around the spike") << kSpike - 300 << kSpike + 300;
    QTest::newRow("twenty seconds around the spike") << kSpike - 10 << kSpike + 10;
    QTest::newRow("into the gap") << kGap - 600 << kGap + 600;
}

void TestTFrmTrend::drawsTheExtremesOfTheData() {
    QFETCH(qint64, begin);
    QFETCH(qint64, end);
    TFrmTrend w(m_state, m_base.path());
    QCOMPARE(w.DateEdit1->date(), kToday.addDays(-30));
    QCOMPARE(w.DateEdit2->date(), kToday);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy drawn(&w, &TFrmTrend::drawn);
    w.CheckBoxes[0]->setChecked(true);
    w.Button1Click();
    QTRY_VERIFY_WITH_TIMEOUT(drawn.count() >= 1 && !w.reading(), 20000);
    QCOMPARE(w.Chart1->foot(), QStringList{"趋势数据时间段:2026-05-31 至 2026-06-30, 仪表 1"});
    QCustomPlot* plot = w.Chart1->plot();
    if (begin) {
        plot->xAxis->setRange(double(begin), double(end)); // as a zoom by the mouse does
        QTRY_VERIFY_WITH_TIMEOUT(!w.reading() && w.shown().begin == begin && w.shown().end == end,
                                 20000);
    } else {
        begin = dayStart(kToday.addDays(-30));
        end = dayStart(kToday.addDays(1));
    }
    float lo = INFINITY, hi = -INFINITY;
    for (qint64 s = begin; s < end; ++s)
        if (const auto v = value(s)) {
            lo = std::min(lo, *v);
            hi = std::max(hi, *v);
        }
    float drawnLo = INFINITY, drawnHi = -INFINITY;
    for (const TrendColumn& c : w.series(0)->columns()) {
        QVERIFY(value(c.firstSecond) && value(c.lastSecond)); // never in a gap
        if (c.lastSecond >= begin && c.firstSecond < end) {
            drawnLo = std::min(drawnLo, c.min);
            drawnHi = std::max(drawnHi, c.max);
        }
    }
    QCOMPARE(drawnLo, lo);
    QCOMPARE(drawnHi, hi);

    // The red curve's highest and lowest pixels are those of the extremes.
    plot->replot();
    const QImage image = plot->grab().toImage();
    const QRect area = plot->axisRect()->rect();
    int top = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left() + 2; x < area.right() - 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 120 && c.blue() < 120) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
    QVERIFY(std::abs(top - plot->yAxis->coordToPixel(hi)) <= 2);
    QVERIFY(std::abs(bottom - plot->yAxis->coordToPixel(lo)) <= 2);

    if (end - begin > 86400) {
        QString suggested;
        const QString path = m_base.filePath(QStringLiteral("trend.png"));
        w.setSaveFileChooser([&](QWidget*, const QString& name) {
            suggested = QFileInfo(name).fileName();
            return path;
        });
        w.Button4Click();
        QCOMPARE(suggested, QStringLiteral("趋势 2026-05-31 至 2026-06-30.pdf"));
        QCOMPARE(QImage(path).size(), ChartExport::kImageSize);
    }
    const QString readout = w.readoutAt(double(kSpike));
    if (kSpike >= begin && kSpike < end) {
        QVERIFY2(readout.contains(QStringLiteral("2026-06-30")), qPrintable(readout));
        QVERIFY2(readout.contains(QStringLiteral("77.7")), qPrintable(readout));
        QCOMPARE(readout.contains(QStringLiteral("最小")), end - begin > 600);
    }
}

void TestTFrmTrend::cancelKeepsTheChart() {
    TFrmTrend w(m_state, m_base.path());
    w.show();
    QSignalSpy drawn(&w, &TFrmTrend::drawn);
    w.CheckBoxes[0]->setChecked(true);
    w.Button1Click();
    QTRY_VERIFY_WITH_TIMEOUT(drawn.count() == 1 && !w.reading(), 20000);
    const QStringList foot = w.Chart1->foot();
    const size_t columns = w.series(0)->columns().size();
    // Another year and another instrument, cancelled before they are back.
    w.DateEdit1->setDate(kToday.addDays(-365));
    w.CheckBoxes[0]->setChecked(false);
    w.CheckBoxes[1]->setChecked(true);
    w.Button1Click();
    QVERIFY(w.Button5->isEnabled());
    w.Button5Click(); // before the read is back, whether or not it has ended
    QTRY_VERIFY_WITH_TIMEOUT(!w.reading(), 20000);
    QCOMPARE(drawn.count(), 1);
    QVERIFY(!w.Button5->isEnabled());
    QCOMPARE(w.series(0)->columns().size(), columns);
    // A zoom afterwards reads the days and the instrument on the chart, at the zoom.
    w.Chart1->plot()->xAxis->setRange(double(kSpike - 300), double(kSpike + 300));
    QTRY_VERIFY_WITH_TIMEOUT(drawn.count() == 2 && !w.reading(), 20000);
    QCOMPARE(w.Chart1->foot(), foot);
    QCOMPARE(w.shown().begin, kSpike - 300);
    QCOMPARE(w.Chart1->plot()->xAxis->range().lower, double(kSpike - 300));
    QVERIFY(!w.series(0)->columns().empty() && w.series(1)->columns().empty());
}

QTEST_MAIN(TestTFrmTrend)
#include "tst_TFrmTrend.moc"
