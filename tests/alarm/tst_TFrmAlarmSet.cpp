#include "FileBytes.h"
#include "Ini.h"
#include "TFrmAlarmSet.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestTFrmAlarmSet : public QObject {
    Q_OBJECT

  private slots:
    // entries: "edit=text" pairs typed before OK. A refused entry leaves the file alone.
    void okChecksThenWrites_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("written"); // "key=value" expected in [Alarm], empty: no write
        QTest::newRow("nothing changed") << ""
                                         << ""
                                         << "";
        QTest::newRow("one limit") << "1=12.5"
                                   << ""
                                   << "PresHigh1=12.5";
        QTest::newRow("silent") << "33=30"
                                << ""
                                << "Silent=30";
        QTest::newRow("not a number") << "6=1e3"
                                      << "仪表地址2的压力下限不是有效的数字"
                                      << "";
        QTest::newRow("high not above low") << "11=20 12=20"
                                            << "仪表地址3的温度上限必须大于温度下限"
                                            << "";
        QTest::newRow("high above low") << "11=20.5 12=-3"
                                        << ""
                                        << "TempLow3=-3";
        QTest::newRow("silent fraction") << "33=1.5"
                                         << "无应答报警时间须为0到86400"
                                         << "";
    }

    void okChecksThenWrites() {
        QFETCH(QString, entries);
        QFETCH(QString, message);
        QFETCH(QString, written);
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(WriteDefaultConfig(config));
        const QByteArray before = FileBytes(config);

        TFrmAlarmSet dialog(config);
        QStringList messages;
        dialog.setMessageFn([&](QMessageBox::Icon, const QString& text) { messages << text; });
        for (const QString& entry : entries.split(u' ', Qt::SkipEmptyParts)) {
            const QStringList pair = entry.split(u'=');
            QLineEdit* edit = dialog.findChild<QLineEdit*>(QStringLiteral("Edit") + pair[0]);
            QVERIFY(edit);
            edit->setText(pair[1]);
        }
        dialog.BtnOk->click();

        QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(messages[0].startsWith(message), qPrintable(messages[0]));
        QCOMPARE(dialog.result(), message.isEmpty() ? int(QDialog::Accepted) : 0);
        QCOMPARE(dialog.written(), !written.isEmpty());
        if (written.isEmpty()) {
            QCOMPARE(FileBytes(config), before);
        } else {
            const QStringList kv = written.split(u'=');
            QCOMPARE(IniReadString(config, QStringLiteral("Alarm"), kv[0]), kv[1]);
            // Reopened, the dialog shows what was saved and OK writes nothing more.
            TFrmAlarmSet again(config);
            const QByteArray saved = FileBytes(config);
            again.BtnOk->click();
            QVERIFY(!again.written());
            QCOMPARE(FileBytes(config), saved);
        }
    }
};

QTEST_MAIN(TestTFrmAlarmSet)
#include "tst_TFrmAlarmSet.moc"
