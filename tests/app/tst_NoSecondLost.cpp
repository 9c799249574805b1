#include "../../bench/RecorderDay.h"
#include "../faults/FaultHarness.h"
#include "Chart.h"
#include "ChartPrint.h"
#include "HistoryQuery.h"
#include "TFrmPicAll.h"
#include "TFrmPrint.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QSet>

using namespace faults;

// The recorder on its own thread against the simulator with eight instruments: whatever the
// window does (a busy slot, a full day printed, 仪表设置 opened and closed, 3 instruments
// becoming 8) every second from the first row to the last gets exactly one row.
class TestNoSecondLost : public QObject {
    Q_OBJECT
  private slots:
    void busyWindowCostsNoRow();
};

void TestNoSecondLost::busyWindowCostsNoRow() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start({"--addresses", "1,2,3,4,5,6,7,8", "--seed", "3"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2, 3}));
    const QDate pastDay(2024, 3, 15);
    {
        const QString path = HistoryQuery::dataFilePath(dir.path(), pastDay);
        QDir().mkpath(QFileInfo(path).path());
        QFile day(path);
        QVERIFY(day.open(QIODevice::WriteOnly));
        day.write(RecorderDay(pastDay, 8));
    }

    WatchedLink serial(dir.path() + "/config.ini");
    ErrorBoxes boxes;
    QStringList messages;
    MainEnvironment env = Environment(dir.path(), &serial, boxes, messages);
    env.acquisitionThread = true;
    int printedPoints = 0;
    qint64 pdfBytes = 0;
    env.runDialog = [&](QDialog& dialog) {
        if (auto* history = qobject_cast<TFrmPrint*>(&dialog)) {
            history->DateTimePicker1->setDate(pastDay);
            history->MaskEdit1->setText(QStringLiteral("00:00"));
            history->SpanButtons[5]->setChecked(true);
            for (QCheckBox* box : history->CheckBoxes)
                box->setChecked(true);
            history->Button1Click();
            printedPoints = history->Chart1->pointCount(0);
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath("day.pdf"));
            QCOMPARE(ChartPrint::print(*history->Chart1, printer), QString());
            pdfBytes = QFileInfo(printer.outputFileName()).size();
        } else if (qobject_cast<TFrmPicAll*>(&dialog)) {
            dialog.show();
            QTest::qWait(700);
            dialog.reject();
        }
    };
    auto rows = [&] { return DayFile::read(TodayFile(dir.path())).lines.size(); };
    {
        TFrmMain window(env);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= 3, kDeadlineMs);
        // A slot that keeps the window's thread for 5 s.
        QTimer::singleShot(0, &window, [] {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < 5000) {
            }
        });
        QTest::qWait(5500);
        window.muPrint->trigger();
        QCOMPARE(printedPoints, 86400);
        QVERIFY(pdfBytes > 0);
        window.muAppSet->trigger();
        QTest::qWait(1500);
        window.muOpenAll->trigger();
        const qsizetype before = rows();
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= before + 4, kDeadlineMs);
        window.close();
        QTRY_VERIFY(!window.isVisible());
    }
    sim.stop();
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('\n')));

    const DayFile day = DayFile::read(TodayFile(dir.path()));
    QCOMPARE(day.headers(), 1);
    QList<qint64> numbers;
    int eight = 0;
    for (const QByteArray& line : day.lines.mid(1)) {
        QVERIFY2(WellFormedRow(line), line.constData());
        numbers << DataNumber(line);
        eight += line.split(',').value(17) != "0.0" ? 1 : 0; // instrument 8's pressure
    }
    QVERIFY(numbers.size() >= 12);
    for (qsizetype i = 1; i < numbers.size(); ++i)
        QVERIFY2(numbers[i] == numbers[i - 1] + 1, qPrintable(QStringLiteral("row %1: %2 after %3")
                                                                  .arg(i)
                                                                  .arg(numbers[i], 0, 16)
                                                                  .arg(numbers[i - 1], 0, 16)));
    QVERIFY(eight >= 3); // the last rows poll all eight
}

QTEST_MAIN(TestNoSecondLost)
#include "tst_NoSecondLost.moc"
