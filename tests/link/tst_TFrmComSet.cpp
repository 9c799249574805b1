#include "TFrmComSet.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TstTFrmComSet : public QObject {
    Q_OBJECT

  private slots:
    void created_showsDesignState() {
        TFrmComSet form;
        QCOMPARE(form.windowTitle(), QStringLiteral("通讯设置"));
        QVERIFY(!form.ComboBox1->isEditable());
        QCOMPARE(form.ComboBox1->currentIndex(), -1);
        QStringList rates;
        for (int i = 0; i < form.ComboBox2->count(); ++i)
            rates << form.ComboBox2->itemText(i);
        QCOMPARE(rates, QStringList({"1200", "2400", "4800", "9600", "19200"}));
        QCOMPARE(form.ComboBox2->currentIndex(), 3);
        QVERIFY(!form.Confirmed);
        form.show();
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }

    void closing_setsConfirmedOnlyForOk_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<int>("result");
        QTest::newRow("ok") << "ok" << true << int(QDialog::Accepted);
        QTest::newRow("cancel") << "cancel" << false << int(QDialog::Rejected);
        QTest::newRow("frame") << "frame" << false << int(QDialog::Rejected);
    }
    void closing_setsConfirmedOnlyForOk() {
        QFETCH(QString, how);
        TFrmComSet form;
        form.ComboBox1->addItems({"ttyS0", "ttyUSB0"});
        form.ComboBox1->setCurrentIndex(1);
        form.open();
        QVERIFY(form.isVisible());
        if (how == "ok")
            QTest::mouseClick(form.BtnOk, Qt::LeftButton);
        else if (how == "cancel")
            QTest::mouseClick(form.BtnCl, Qt::LeftButton);
        else
            form.close();
        QVERIFY(!form.isVisible());
        QTEST(form.Confirmed, "confirmed");
        QTEST(form.result(), "result");
        QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("ttyUSB0"));
    }
};

QTEST_MAIN(TstTFrmComSet)
#include "tst_TFrmComSet.moc"
