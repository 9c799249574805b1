#include "FakePort.h"
#include "SignPanel.h"
#include "TFrmPicAll.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// A reply frame around a five-character value field, with 'P' and ETX in the unexamined bytes.
QByteArray Reply(const QByteArray& field, char code, char address = '1') {
    QByteArray frame = QByteArray("\x02") + '0' + address + "P1" + field + code + '\x03';
    char check = 0;
    for (qsizetype i = 1; i < frame.size(); ++i)
        check ^= frame.at(i);
    return frame + check;
}

bool ButtonsEnabled(const TFrmPicAll& d) {
    return d.BtnRdPres->isEnabled() && d.BtnWrPres->isEnabled() && d.BtnRdAlrm->isEnabled() &&
           d.BtnWrAlrm->isEnabled();
}

} // namespace

class TestTFrmPicAll : public QObject {
    Q_OBJECT

  private:
    FakePort m_port;
    PauseRecorder m_pauses;
    QStringList m_messages;

    // The dialog without its automatic read, for driving one handler at a time.
    std::unique_ptr<TFrmPicAll> quietDialog(Port* port) {
        auto dialog = std::make_unique<TFrmPicAll>(port, m_pauses.fn());
        dialog->Timer1->stop();
        dialog->setMessageFn([this](QMessageBox::Icon, const QString& t) { m_messages << t; });
        return dialog;
    }

  private slots:
    void init() {
        m_port = FakePort();
        m_pauses.pauses.clear();
        m_messages.clear();
    }

    void readsBothParametersAfterOpeningAndAddressChange() {
        TFrmPicAll dialog(&m_port, m_pauses.fn());
        QVERIFY(dialog.Timer1->isActive());
        QCOMPARE(dialog.Timer1->interval(), 100);
        QTRY_COMPARE(m_port.writes.size(), 2);
        QCOMPARE(m_port.writes, (QList<QByteArray>{"\x04\x30\x31P1\x05", "\x04\x30\x31P2\x05"}));
        QCOMPARE(m_pauses.pauses, (QList<int>{100, 100}));
        QCOMPARE(m_port.readSizes, (QList<qint64>{128, 128}));

        dialog.ComboBox1->setCurrentIndex(4);
        QVERIFY(dialog.Timer1->isActive());
        QTRY_COMPARE(m_port.writes.size(), 4);
        QCOMPARE(m_port.writes.mid(2),
                 (QList<QByteArray>{"\x04\x30\x35P1\x05", "\x04\x30\x35P2\x05"}));
        QVERIFY(ButtonsEnabled(dialog));
    }

    void readShowsReply_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("sign");
        QTest::addColumn<QString>("magnitude");
        QTest::addColumn<int>("decimalIndex");
        // Before every read: "+", "7", decimal index 3.
        QTest::newRow("zero shows minus") << Reply("+0000", '1') << "-" << QString("0") << 0;
        QTest::newRow("+0120 code 3") << Reply("+0120", '3') << "+" << QString("120") << 2;
        QTest::newRow("-0050 code 2") << Reply("-0050", '2') << "-" << QString("50") << 1;
        QTest::newRow("five digits shown whole")
            << Reply("12345", '4') << "+" << QString("12345") << 3;
        QTest::newRow("other code keeps list")
            << Reply("01234", '7') << "+" << QString("1234") << 3;
        QTest::newRow("noise before reply")
            << QByteArray("\x06\x15") + Reply("+0042", '4') << "+" << QString("42") << 3;
        QByteArray damaged = Reply("+0120", '3');
        damaged[12] = char(damaged[12] ^ 1);
        QTest::newRow("damaged then good")
            << damaged + Reply("+0120", '3') << "+" << QString("7") << 3;
        QTest::newRow("silence") << QByteArray() << "+" << QString("7") << 3;
    }

    void readShowsReply() {
        QFETCH(QByteArray, received);
        QFETCH(QString, sign);
        QFETCH(QString, magnitude);
        QFETCH(int, decimalIndex);
        auto dialog = quietDialog(&m_port);
        dialog->Edit1->setText("7");
        dialog->ComboBox2->setCurrentIndex(3);
        m_port.pendingReads << received;

        dialog->BtnRdPresClick();

        QCOMPARE(dialog->Panel1->text(), sign);
        QCOMPARE(dialog->Edit1->text(), magnitude);
        QCOMPARE(dialog->ComboBox2->currentIndex(), decimalIndex);
        QVERIFY(ButtonsEnabled(*dialog));
        QVERIFY(m_messages.isEmpty());
        // Typing after a read must not cut the value that was read.
        QTest::keyClick(dialog->Edit1, '6');
        QVERIFY(dialog->Edit1->text().startsWith(magnitude));
    }

    void nonNumericValueShowsConversionError() {
        auto dialog = quietDialog(&m_port);
        m_port.pendingReads << Reply("12x45", '1');
        dialog->Timer1Timer();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains("is not a valid integer value"));
        QVERIFY(ButtonsEnabled(*dialog));
        // The error ends the automatic read before the relay row.
        QCOMPARE(m_port.writes.size(), 1);
    }

    void write_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("frame"); // empty when nothing may be sent
        QTest::addColumn<QString>("after");
        const QByteArray example = QByteArray::fromHex("0430320250312B3030353031037D");
        QTest::newRow("acknowledged") << "50" << true << QByteArray("\x06") << example << "0050";
        QTest::newRow("ack among noise")
            << " 50 " << true << QByteArray("\x15\x06") << example << "0050";
        QTest::newRow("not acknowledged") << "50" << true << QByteArray("\x15") << example << "50";
        QTest::newRow("silence") << "50" << true << QByteArray() << example << "50";
        QTest::newRow("empty") << "" << true << QByteArray("\x06") << QByteArray() << "";
        QTest::newRow("not a number") << "5a" << true << QByteArray("\x06") << QByteArray() << "5a";
        QTest::newRow("sign inside") << "-5" << true << QByteArray("\x06") << QByteArray() << "-5";
        QTest::newRow("port closed") << "50" << false << QByteArray("\x06") << QByteArray() << "50";
    }

    void write() {
        QFETCH(QString, text);
        QFETCH(bool, portOpen);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, frame);
        QFETCH(QString, after);
        auto dialog = quietDialog(&m_port);
        m_port.open = portOpen;
        dialog->ComboBox1->setCurrentIndex(1);
        dialog->Edit1->setText(text);
        m_port.pendingReads << answer;
        dialog->show();
        dialog->BtnWrPres->setFocus();

        QTest::keyClick(dialog->BtnWrPres, Qt::Key_Space); // 写入 pressed from the keyboard

        QCOMPARE(m_port.writes, frame.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{frame});
        if (!frame.isEmpty()) {
            QCOMPARE(m_pauses.pauses, QList<int>{100});
            QCOMPARE(m_port.readSizes, QList<qint64>{5});
        }
        QCOMPARE(dialog->Edit1->text(), after);
        QVERIFY(ButtonsEnabled(*dialog));
        QCOMPARE(dialog->focusWidget(), dialog->BtnWrPres); // not the next entry, text selected
    }

    void relayRowWritesItsOwnCommand() {
        auto dialog = quietDialog(&m_port);
        dialog->ComboBox1->setCurrentIndex(7);
        dialog->Panel2Click();
        dialog->Edit2->setText("1234");
        dialog->ComboBox3->setCurrentIndex(3);
        dialog->BtnWrAlrmClick();
        QCOMPARE(m_port.writes.size(), 1);
        QCOMPARE(m_port.writes.first().mid(2, 10), QByteArray("8\x02P2-12344"));
    }

    void signPanelResetsDecimals() {
        auto dialog = quietDialog(&m_port);
        for (auto [panel, decimals] : {std::pair{dialog->Panel1, dialog->ComboBox2},
                                       std::pair{dialog->Panel2, dialog->ComboBox3}}) {
            decimals->setCurrentIndex(2);
            QTest::mouseClick(panel, Qt::LeftButton);
            QCOMPARE(panel->text(), QStringLiteral("-"));
            QCOMPARE(decimals->currentIndex(), 0);
            QTest::mouseClick(panel, Qt::LeftButton);
            QCOMPARE(panel->text(), QStringLiteral("+"));
        }
    }

    // typed: keys, or with a leading "IME:" text committed by an input method
    void magnitudeKeys_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("focusMoves");
        QTest::addColumn<QString>("otherAfter"); // Edit1, which holds "50" before
        QTest::newRow("digits") << "" << QString("12") << "12" << false << "50";
        QTest::newRow("point discarded") << "1" << QString(".") << "1" << false << "50";
        QTest::newRow("letter trims") << " 1 " << QString("a") << "1" << false << "50";
        QTest::newRow("fifth digit refused") << "" << QString("12345") << "1234" << false << "50";
        QTest::newRow("backspace") << "12" << QString("\b") << "1" << false << "50";
        QTest::newRow("enter moves on") << "12" << QString("\r") << "12" << true << "50";
        QTest::newRow("enter selects the next entry")
            << "12" << QString("\r7") << "12" << true << "7";
        QTest::newRow("tab passes") << " 1 " << QString("\t") << " 1 " << false << "50";
        QTest::newRow("escape closes") << " 1 " << QString("\x1b") << " 1 " << false << "50";
        QTest::newRow("IME fifth digit refused")
            << "12" << QString("IME:345") << "1234" << false << "50";
        QTest::newRow("IME pinyin trims") << " 1 " << QString("IME:五5") << "15" << false << "50";
    }

    void magnitudeKeys() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        auto dialog = quietDialog(&m_port);
        dialog->show();
        dialog->Edit2->setFocus();
        dialog->Edit2->setText(before);
        dialog->Edit1->setText(QStringLiteral("50"));
        if (typed.startsWith("IME:")) {
            QInputMethodEvent commit;
            commit.setCommitString(typed.mid(4));
            QCoreApplication::sendEvent(dialog->Edit2, &commit);
        } else {
            for (QChar c : typed) // each key to the entry that has the focus then
                QTest::keyClicks(dialog->focusWidget(), QString(c));
        }
        QCOMPARE(dialog->Edit2->text(), after);
        QTEST(dialog->focusWidget() == dialog->Edit1, "focusMoves");
        QTEST(dialog->Edit1->text(), "otherAfter");
        QCOMPARE(dialog->isVisible(), !typed.contains(u'\x1b'));
    }
};

QTEST_MAIN(TestTFrmPicAll)
#include "tst_TFrmPicAll.moc"
