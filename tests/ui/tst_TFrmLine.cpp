#include "Chart.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "SharedState.h"
#include "TFrmLine.h"

#include <QGroupBox>
#include <QTimer>
#include <QtTest>

class TestTFrmLine : public QObject {
    Q_OBJECT
  private slots:
    void tickSamplesItsOwnInstrument_data();
    void tickSamplesItsOwnInstrument();
    void sharedTickCountSwitchesEachWindowToAutomaticTime();
    void closingSwitchesOffItsInstrumentOnce();
};

void TestTFrmLine::tickSamplesItsOwnInstrument_data() {
    QTest::addColumn<int>("tempFull");
    QTest::addColumn<double>("tempMax");
    QTest::newRow("first item") << 0 << 40.0;
    QTest::newRow("last item") << 9 << 400.0;
    QTest::newRow("damaged, largest") << int(INT32_MAX) << 85899345920.0;
    QTest::newRow("damaged, negative") << -7 << 0.0;
}

void TestTFrmLine::tickSamplesItsOwnInstrument() {
    QFETCH(int, tempFull);
    SharedState state;
    for (int n = 1; n <= 8; ++n) {
        state.PresValue[n] = 10.0f * n;
        state.TempValue[n] = n + 0.5f;
        state.LineWidthPress[n] = n % 5 + 1;
        state.LineColorPress[n] = ColorValue::Rgb(n, 0, 0);
        state.LineWidthTemp[n] = (n + 2) % 5 + 1;
        state.LineColorTemp[n] = ColorValue::Rgb(0, n, 0);
    }
    state.TempFull = tempFull;
    state.PresY0 = -500; // wholly below the initial 0..50
    state.PresYn = -100;
    TFrmLine w(state, {});
    w.setInstrument(3);
    QCOMPARE(w.windowTitle(), QStringLiteral("仪表地址:3"));
    QCOMPARE(w.GroupBox1->title(), QStringLiteral("03"));
    QVERIFY(w.Timer1->isActive() && w.Timer1->interval() == 1000);
    QDateTime now(QDate(2026, 12, 7), QTime(8, 0, 59));
    w.setClock([&now] { return now; });
    w.Chart1->setAxisRange(Chart::Right, 30, 35); // as zoomed in by the wheel
    w.Timer1Timer();
    state.PresValue[3] = -1.5f;
    now = now.addSecs(1);
    w.Timer1Timer();
    // the readout finds each point at the second it was sampled
    const ChartReadout::Reading at = w.Chart1Readout->readingAt(1);
    QCOMPARE(ChartReadout::timeText(at.second.value_or(0)), QStringLiteral("08:01:00"));
    QCOMPARE(at.lines.size(), 2);
    QCOMPARE(at.lines[0].value, -1.5f);

    QCOMPARE(w.Chart1->pointCount(w.Series1), 2);
    QCOMPARE(w.Chart1->pointValue(w.Series1, 0), 30.0f);
    QCOMPARE(w.Chart1->pointValue(w.Series1, 1), -1.5f);
    QCOMPARE(w.Chart1->pointValue(w.Series2, 1), 3.5f);
    QCOMPARE(w.Chart1->seriesPen(w.Series1).width(), 4);
    QCOMPARE(w.Chart1->seriesPen(w.Series1).color(), QColor(3, 0, 0));
    QCOMPARE(w.Chart1->seriesPen(w.Series2).width(), 1);
    QCOMPARE(w.Chart1->seriesPen(w.Series2).color(), QColor(0, 3, 0));
    QCOMPARE(w.Chart1->axisMinimum(Chart::Left), -500.0);
    QCOMPARE(w.Chart1->axisMaximum(Chart::Left), -100.0);
    QCOMPARE(w.Chart1->axisMinimum(Chart::Right), 0.0);
    QTEST(w.Chart1->axisMaximum(Chart::Right), "tempMax");
    QCOMPARE(w.Chart1->axisMaximum(Chart::Bottom), 600.0);
    QCOMPARE(state.CurveTickCount, 2);
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(qobject_cast<QFrame*>(w.Chart1->parentWidget())->frameShadow(), QFrame::Sunken);
}

// One count for all windows: the tick that reaches 600 switches its own window, the others
// switch at their next tick, whatever they hold.
void TestTFrmLine::sharedTickCountSwitchesEachWindowToAutomaticTime() {
    SharedState state;
    state.CurveTickCount = 597;
    TFrmLine a(state, {});
    TFrmLine b(state, {});
    a.setInstrument(1);
    b.setInstrument(2);
    a.Timer1Timer();
    a.Timer1Timer();
    b.Timer1Timer();
    QCOMPARE(state.CurveTickCount, 600);
    QVERIFY(!a.Chart1->axisAutoMaximum(Chart::Bottom));
    QVERIFY(b.Chart1->axisAutoMaximum(Chart::Bottom));
    QCOMPARE(b.Chart1->axisMaximum(Chart::Bottom), 0.0); // its one point spans the width
    a.Timer1Timer();
    QCOMPARE(a.Chart1->axisMinimum(Chart::Bottom), 0.0);
    QCOMPARE(a.Chart1->axisMaximum(Chart::Bottom), 2.0);
}

void TestTFrmLine::closingSwitchesOffItsInstrumentOnce() {
    SharedState state;
    state.PresValue = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    state.TempValue = state.PresValue;
    QList<int> closed;
    TFrmLine w(state, [&closed](int n) { closed << n; });
    w.setInstrument(4);
    w.show();
    w.close();
    w.close();
    QCOMPARE(closed, QList<int>{4});
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(state.PresValue, (SharedState::PerAddress<float>{0, 1, 2, 3, 0, 5, 6, 7, 8}));
    QCOMPARE(state.TempValue, (SharedState::PerAddress<float>{0, 1, 2, 3, 0, 5, 6, 7, 8}));
}

QTEST_MAIN(TestTFrmLine)
#include "tst_TFrmLine.moc"
