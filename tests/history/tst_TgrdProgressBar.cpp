#include "ProgressBarGeometry.h"
#include "TgrdProgressBar.h"

#include <QtTest>

namespace G = ProgressBarGeometry;

namespace {

class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestTgrdProgressBar : public QObject {
    Q_OBJECT
  private slots:
    void fill_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("filled");
        QTest::newRow("half") << 0 << 100 << 50 << 73;
        QTest::newRow("full") << 0 << 100 << 100 << 146;
        QTest::newRow("above max") << 0 << 100 << 250 << 146;
        QTest::newRow("below min") << 10 << 100 << -5 << 0;
        QTest::newRow("offset range") << 100 << 200 << 150 << 73;
        QTest::newRow("empty range, above") << 7 << 7 << 8 << 146;
        QTest::newRow("empty range, at min") << 7 << 7 << 7 << 0;
        QTest::newRow("empty range, below") << 7 << 7 << 3 << 0;
        QTest::newRow("large numbers") << 0 << 2000000000 << 1999999999 << 145;
    }

    void fill() {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, position);
        QFETCH(int, filled);
        QCOMPARE(G::filledLength(min, max, position, 146), filled);
    }

    void blocksOfAFullBar() {
        const QRect bar = G::barArea(QRect(0, 0, 150, 24), true);
        QCOMPARE(bar.height(), 20);
        QCOMPARE(G::blockPitch(bar, true), 15);
        const QList<G::Block> blocks = G::blocks(bar, true, 146, true);
        QVERIFY(blocks.size() >= 2);
        for (int i = 0; i + 1 < blocks.size(); ++i) {
            QCOMPARE(blocks[i].rect.width(), 13);
            QCOMPARE(blocks[i].rect.x(), bar.x() + 15 * i);
            QCOMPARE(blocks[i].rect.height(), 20);
        }
        const QRect last = blocks.last().rect;
        QCOMPARE(last.x(), blocks[blocks.size() - 2].rect.x() + 15);
        QCOMPARE(last.right(), bar.right());
        // without the final block, only blocks whose closing boundary is inside the fill
        for (const G::Block& b : G::blocks(bar, true, 46, false))
            QVERIFY(b.colourOffset < 46);
        const QList<G::Block> upright = G::blocks(QRect(2, 2, 20, 146), false, 146, true);
        QCOMPARE(upright.first().rect.bottom(), 2 + 146 - 2); // one pixel above the bottom
        QCOMPARE(upright.last().rect.top(), 2);
    }

    void text_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("percent");
        QTest::addColumn<QString>("text");
        QTest::newRow("half of 400") << 0 << 400 << 200 << true << "50 %";
        QTest::newRow("rounded") << 0 << 3 << 2 << true << "67 %";
        QTest::newRow("offset range") << 100 << 200 << 150 << true << "50 %";
        QTest::newRow("empty range") << 5 << 5 << 6 << true << "100 %";
        QTest::newRow("position") << 0 << 400 << 123 << false << "123";
    }

    void text() {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, position);
        QFETCH(bool, percent);
        QFETCH(QString, text);
        QCOMPARE(G::text(min, max, position, percent), text);
    }

    void gradientRunsFromBeginToEnd() {
        const QColor navy(0, 0, 128), white(255, 255, 255);
        QCOMPARE(G::gradientColor(navy, white, 0, 146), navy);
        QCOMPARE(G::gradientColor(navy, white, 146, 146), white);
        // truncated, not rounded: 73 * 127 / 146 + 128 = 191.5
        QCOMPARE(G::gradientColor(navy, white, 73, 146), QColor(127, 127, 191));
        QCOMPARE(G::gradientColor(white, navy, 73, 146), QColor(127, 127, 191));
        QCOMPARE(G::gradientColor(navy, white, 5, 0), navy);
    }

    void rangeSettersRefuseCrossing() {
        TgrdProgressBar bar;
        QCOMPARE(bar.style(), TgrdProgressBar::sRectangles);
        QCOMPARE(bar.orientation(), TgrdProgressBar::orVertical);
        QCOMPARE(bar.size(), QSize(150, 16));
        bar.setMax(-1);
        QCOMPARE(bar.max(), 100);
        bar.setMin(101);
        QCOMPARE(bar.min(), 0);
        bar.setMin(100);
        QCOMPARE(bar.min(), 100);
        bar.setPosition(-50);
        QCOMPARE(bar.position(), -50);
    }

    void glyphSizesTheBar() {
        TgrdProgressBar bar;
        bar.setOrientation(TgrdProgressBar::orHorizontal);
        QPixmap glyph(10, 12);
        glyph.fill(Qt::red);
        bar.setGlyph(glyph);
        QCOMPARE(bar.height(), 16);
        bar.setOrientation(TgrdProgressBar::orVertical);
        bar.setGlyph(glyph);
        QCOMPARE(bar.width(), 14);
    }

    void paintedBlocksMatchGeometry() {
        TgrdProgressBar bar;
        bar.setOrientation(TgrdProgressBar::orHorizontal);
        bar.resize(150, 24);
        bar.setPosition(100);
        const QImage image = bar.grab().toImage();
        const QList<G::Block> blocks = G::blocks(G::barArea(bar.rect(), true), true, 146, true);
        const QColor background = bar.palette().color(bar.backgroundRole());
        for (int i = 0; i < blocks.size(); ++i) {
            QCOMPARE(image.pixelColor(blocks[i].rect.center()), QColor(0, 0, 128));
            if (i + 1 < blocks.size())
                QCOMPARE(image.pixelColor(blocks[i].rect.right() + 1, 12), background);
        }
        QCOMPARE(image.pixelColor(147, 12), QColor(0, 0, 128));
        QCOMPARE(image.pixelColor(148, 12), background);
        QCOMPARE(image.pixelColor(149, 12), bar.palette().color(QPalette::Light)); // lowered edge
    }

    void longRunRepaintsOncePerPixel() {
        QWidget window;
        TgrdProgressBar* bar = new TgrdProgressBar(&window);
        bar->setOrientation(TgrdProgressBar::orHorizontal);
        bar->setGeometry(0, 0, 784, 17);
        bar->setMax(84000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter;
        bar->installEventFilter(&counter);
        for (int position = 0; position <= 84000; ++position)
            bar->setPosition(position);
        QVERIFY(counter.paints > 100); // the repaints happen at once, inside the loop
        QVERIFY(counter.paints <= 780);
        bar->setShowText(true);
        counter.paints = 0;
        for (int position = 0; position <= 84000; ++position)
            bar->setPosition(position);
        QVERIFY(counter.paints <= 780 + 101);
    }
};

QTEST_MAIN(TestTgrdProgressBar)
#include "tst_TgrdProgressBar.moc"
