#include "SerialPort.h"
#include "SignPanel.h"
#include "TFrmPicAll.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The instrument settings dialog's own code against the simulator on a pseudo-terminal: a
// parameter written through the dialog is what a later read returns.
class TestPicAllIntegration : public QObject {
    Q_OBJECT
  private slots:
    void writtenFullScaleReadsBack();
};

void TestPicAllIntegration::writtenFullScaleReadsBack() {
    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    QProcess sim;
    sim.start(qEnvironmentVariable("PRESMON_BUILD_DIR") + "/presmon-sim",
              {"--addresses", "2,5", "--link", link});
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(sim.waitForReadyRead(5000));

    SerialPort port;
    QVERIFY(port.open(link, 3));
    QStringList messages;
    {
        TFrmPicAll dialog(&port, [](int ms) { QThread::msleep(ms); });
        dialog.setMessageFn([&](QMessageBox::Icon, const QString& t) { messages << t; });
        dialog.Timer1->stop();
        dialog.ComboBox1->setCurrentIndex(4); // address 05
        dialog.Timer1->stop();
        dialog.Panel1->setText("+");
        dialog.Edit1->setText("742");
        dialog.ComboBox2->setCurrentIndex(2); // decimal code '3'
        dialog.BtnWrPresClick();
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("0742")); // acknowledged

        dialog.Edit1->setText("0");
        dialog.ComboBox2->setCurrentIndex(0);
        dialog.Timer1Timer(); // the automatic read of both parameters
        QCOMPARE(dialog.Panel1->text(), QStringLiteral("+"));
        QCOMPARE(dialog.Edit1->text(), QStringLiteral("742"));
        QCOMPARE(dialog.ComboBox2->currentIndex(), 2);
        QVERIFY(dialog.BtnWrPres->isEnabled());
    }
    {
        // A second dialog on instrument 2 does not see instrument 5's value.
        TFrmPicAll dialog(&port, [](int ms) { QThread::msleep(ms); });
        dialog.Timer1->stop();
        dialog.ComboBox1->setCurrentIndex(1);
        dialog.Timer1->stop();
        dialog.Timer1Timer();
        QVERIFY(dialog.Edit1->text() != QStringLiteral("742"));
    }
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    port.close();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

QTEST_MAIN(TestPicAllIntegration)
#include "tst_PicAllIntegration.moc"
