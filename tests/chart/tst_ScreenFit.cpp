#include "ScreenFit.h"

// A window on a screen: tst_TFrmPrint opens the history window on two screen sizes.
#include <QTest>

class tst_ScreenFit : public QObject {
    Q_OBJECT
  private slots:
    void fitFrame_data();
    void fitFrame();
};

void tst_ScreenFit::fitFrame_data() {
    QTest::addColumn<QRect>("designed");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("expected");
    const QRect laptop(0, 0, 1366, 728); // 1366 x 768 less a 40-pixel task bar
    QTest::newRow("fits: kept") << QRect(192, 113, 981, 600) << laptop << QSize()
                                << QRect(192, 113, 981, 600);
    QTest::newRow("too low: moved up, not shrunk")
        << QRect(192, 113, 981, 700) << laptop << QSize() << QRect(192, 28, 981, 700);
    QTest::newRow("too tall: top edge, height shrunk")
        << QRect(192, 113, 981, 768) << laptop << QSize() << QRect(192, 0, 981, 728);
    QTest::newRow("above the area: moved down")
        << QRect(283, -33, 800, 560) << QRect(0, 0, 910, 512) << QSize() << QRect(110, 0, 800, 512);
    QTest::newRow("offset area (task bar on the left)")
        << QRect(0, 0, 300, 200) << QRect(60, 0, 964, 768) << QSize() << QRect(60, 0, 300, 200);
    QTest::newRow("minimum stops the shrinking, left and top kept on screen")
        << QRect(100, 100, 816, 639) << QRect(0, 0, 683, 480) << QSize(700, 400)
        << QRect(0, 0, 700, 480);
    QTest::newRow("fixed size larger than the area")
        << QRect(-50, 300, 400, 500) << QRect(0, 0, 683, 480) << QSize(400, 500)
        << QRect(0, 0, 400, 500);
    QTest::newRow("no area: unchanged")
        << QRect(5, 5, 10, 10) << QRect() << QSize() << QRect(5, 5, 10, 10);
}

void tst_ScreenFit::fitFrame() {
    QFETCH(QRect, designed);
    QFETCH(QRect, area);
    QFETCH(QSize, minimum);
    QFETCH(QRect, expected);
    QCOMPARE(FitFrameToArea(designed, area, minimum), expected);
}

QTEST_MAIN(tst_ScreenFit)
#include "tst_ScreenFit.moc"
