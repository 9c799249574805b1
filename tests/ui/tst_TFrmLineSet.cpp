#include "ColorBox.h"
#include "ColorValue.h"
#include "Ini.h"
#include "LineSample.h"
#include "SharedState.h"
#include "SignPanel.h"
#include "TFrmLineSet.h"

#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int32_t kRed = ColorValue::Rgb(0xFF, 0, 0);
constexpr int32_t kNavy = ColorValue::Rgb(0, 0, 0x80);
constexpr int32_t kMoneyGreen = ColorValue::Rgb(0xC0, 0xDC, 0xC0);
constexpr int32_t kButtonFace = ColorValue::kButtonFace;

SharedState SampleState() {
    SharedState s;
    for (int n = 1; n <= 8; ++n) {
        s.LineWidthPress[n] = 1 + n % 5;
        s.LineColorPress[n] = n % 2 ? kRed : kNavy;
        s.LineWidthTemp[n] = 1 + (n + 2) % 5;
        s.LineColorTemp[n] = n % 2 ? kMoneyGreen : kButtonFace;
    }
    s.TempFull = 3;
    s.PresY0 = -50;
    s.PresYn = 2000;
    return s;
}

bool SamePens(const SharedState& a, const SharedState& b) {
    return a.LineWidthPress == b.LineWidthPress && a.LineColorPress == b.LineColorPress &&
           a.LineWidthTemp == b.LineWidthTemp && a.LineColorTemp == b.LineColorTemp;
}

// Section headers and mSet keys in file order: shows the order of the first writes.
QStringList WriteOrder(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList order;
    bool inMSet = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw.trimmed());
        if (line.startsWith(u'[')) {
            order << line;
            inMSet = line == u"[mSet]";
        } else if (inMSet && line.contains(u'=')) {
            order << line.section(u'=', 0, 0);
        }
    }
    return order;
}

} // namespace

class TestTFrmLineSet : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QString m_ini;
    QStringList m_messages;

    void wire(TFrmLineSet& dialog) {
        dialog.setMessageFn([this](QMessageBox::Icon, const QString& text) { m_messages << text; });
    }

  private slots:
    void init() {
        m_ini = m_dir.filePath(QStringLiteral("config.ini"));
        QFile::remove(m_ini);
        m_messages.clear();
    }

    void okAppliesAndStoresEveryPen() {
        SharedState state = SampleState();
        TFrmLineSet dialog(state, m_ini);
        wire(dialog);
        dialog.PrepareForMainWindow();
        dialog.ComboBoxes[3]->setCurrentIndex(4);
        dialog.ColorBoxes[16]->setColorValue(kRed);
        QCOMPARE(dialog.QRShapes[3]->pen().width(), 5);
        QCOMPARE(dialog.QRShapes[16]->pen().color(), ColorValue::ToQColor(kRed));
        dialog.ComboBox17->setCurrentIndex(6);

        dialog.btnOkClick();

        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        SharedState expected = SampleState();
        expected.LineWidthPress[2] = 5;
        expected.LineColorTemp[8] = kRed;
        QVERIFY(SamePens(state, expected));
        QCOMPARE(state.TempFull, 6);
        QCOMPARE(state.PresY0, -50);
        QCOMPARE(state.PresYn, 2000);
        for (int n = 1; n <= 8; ++n) {
            const QString key = QString::number(n);
            QCOMPARE(IniReadInteger(m_ini, "LineWidthPress", key), expected.LineWidthPress[n]);
            QCOMPARE(IniReadInteger(m_ini, "LineColorPress", key), expected.LineColorPress[n]);
            QCOMPARE(IniReadInteger(m_ini, "LineWidthTemp", key), expected.LineWidthTemp[n]);
            QCOMPARE(IniReadInteger(m_ini, "LineColorTemp", key), expected.LineColorTemp[n]);
        }
        QCOMPARE(IniReadInteger(m_ini, "mSet", "TempFull"), 6);
        QCOMPARE(IniReadInteger(m_ini, "mSet", "PresY0"), -50);
        QCOMPARE(IniReadInteger(m_ini, "mSet", "PresYn"), 2000);
        const QStringList order{
            "[LineWidthPress]", "[LineColorPress]", "[LineWidthTemp]", "[LineColorTemp]",
            "[mSet]",           "TempFull",         "PresY0",          "PresYn"};
        QCOMPARE(WriteOrder(m_ini), order);
    }

    // Each entry is the sign panel followed by the edit text.
    void pressureRange_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // empty when accepted
        QTest::addColumn<int>("y0");
        QTest::addColumn<int>("yn");
        const QString order = QStringLiteral("压力坐标 Y0值必须小于Yn值");
        const QString notInteger = QStringLiteral("' is not a valid integer value");
        QTest::newRow("equal") << "+10" << QString("+10") << order << 0 << 0;
        QTest::newRow("reversed") << "+10" << QString("-10") << order << 0 << 0;
        QTest::newRow("both negative") << "-50" << QString("-10") << QString() << -50 << -10;
        QTest::newRow("leading zeros") << "+007" << QString("+0100") << QString() << 7 << 100;
        QTest::newRow("minus zero") << "-0" << QString("+1") << QString() << 0 << 1;
        QTest::newRow("empty entry") << "+" << QString("+10") << "'+" + notInteger << 0 << 0;
        QTest::newRow("pasted text") << "+0" << QString("+1e3") << "'+1e3" + notInteger << 0 << 0;
        QTest::newRow("beyond 32 bits")
            << "-2147483649" << QString("+1") << "'-2147483649" + notInteger << 0 << 0;
        QTest::newRow("32-bit limits") << "-2147483648" << QString("+2147483647") << QString()
                                       << int(INT32_MIN) << int(INT32_MAX);
    }

    void pressureRange() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QFETCH(int, y0);
        QFETCH(int, yn);
        SharedState state = SampleState();
        TFrmLineSet dialog(state, m_ini);
        wire(dialog);
        dialog.ComboBoxes[1]->setCurrentIndex(4);
        dialog.ComboBox17->setCurrentIndex(9);
        dialog.show();
        if (from.startsWith(u'-')) // the sign toggles start at "+"
            QTest::mouseClick(dialog.Panel1, Qt::LeftButton);
        dialog.Edit1->setText(from.mid(1));
        if (to.startsWith(u'-'))
            QTest::mouseClick(dialog.Panel2, Qt::LeftButton);
        dialog.Edit2->setText(to.mid(1));

        dialog.btnOkClick();

        // Pens and the stored full scale take effect before the range is checked.
        QCOMPARE(state.LineWidthPress[1], 5);
        QCOMPARE(IniReadInteger(m_ini, "LineWidthPress", "1"), 5);
        QCOMPARE(IniReadInteger(m_ini, "mSet", "TempFull"), 9);
        if (message.isEmpty()) {
            QVERIFY(m_messages.isEmpty());
            QVERIFY(!dialog.isVisible());
            QCOMPARE(state.PresY0, y0);
            QCOMPARE(state.PresYn, yn);
            QCOMPARE(state.TempFull, 9);
            QCOMPARE(IniReadInteger(m_ini, "mSet", "PresY0"), y0);
            QCOMPARE(IniReadInteger(m_ini, "mSet", "PresYn"), yn);
        } else {
            QCOMPARE(m_messages, QStringList{message});
            QVERIFY(dialog.isVisible());
            QCOMPARE(state.PresY0, -50);
            QCOMPARE(state.PresYn, 2000);
            QCOMPARE(state.TempFull, 3);
            QCOMPARE(IniReadString(m_ini, "mSet", "PresY0"), QString());
        }
    }

    void storedPenOutsideTheLists_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("color");
        QTest::addColumn<bool>("colorListed");
        QTest::addColumn<int>("storedWidth");
        QTest::addColumn<int>("storedColor");
        QTest::newRow("missing keys") << 0 << 0x123456 << false << 0 << int(ColorValue::kNone);
        QTest::newRow("width 6") << 6 << int(kRed) << true << 0 << int(kRed);
        QTest::newRow("system colour") << 5 << int(kButtonFace) << true << 5 << int(kButtonFace);
        QTest::newRow("extended colour") << 1 << int(kMoneyGreen) << true << 1 << int(kMoneyGreen);
    }

    void storedPenOutsideTheLists() {
        QFETCH(int, width);
        QFETCH(int, color);
        QFETCH(bool, colorListed);
        QFETCH(int, storedWidth);
        QFETCH(int, storedColor);
        SharedState state = SampleState();
        state.LineWidthTemp[4] = width;
        state.LineColorTemp[4] = color;
        TFrmLineSet dialog(state, m_ini);
        wire(dialog);

        QCOMPARE(dialog.ComboBoxes[8]->currentIndex() >= 0, width >= 1 && width <= 5);
        QCOMPARE(dialog.ColorBoxes[8]->currentIndex() >= 0, colorListed);
        QCOMPARE(dialog.QRShapes[8]->pen().color(), ColorValue::ToQColor(color));
        dialog.btnOkClick();

        QCOMPARE(state.LineWidthTemp[4], storedWidth);
        QCOMPARE(state.LineColorTemp[4], storedColor);
        QCOMPARE(IniReadInteger(m_ini, "LineWidthTemp", "4"), storedWidth);
        QCOMPARE(IniReadInteger(m_ini, "LineColorTemp", "4"), storedColor);
    }

    void cancelAppliesNothing() {
        SharedState state = SampleState();
        TFrmLineSet dialog(state, m_ini);
        wire(dialog);
        dialog.PrepareForMainWindow();
        dialog.ComboBoxes[5]->setCurrentIndex(0);
        dialog.ColorBoxes[5]->setCurrentIndex(12);
        dialog.ComboBox17->setCurrentIndex(0);
        dialog.Edit2->setText("9");
        dialog.btnClClick();

        const SharedState before = SampleState();
        QVERIFY(SamePens(state, before));
        QCOMPARE(state.TempFull, before.TempFull);
        QCOMPARE(state.PresYn, before.PresYn);
        QVERIFY(!QFile::exists(m_ini));
    }

    void openingPresets() {
        SharedState state = SampleState();
        TFrmLineSet fromMain(state, m_ini);
        fromMain.PrepareForMainWindow();
        QCOMPARE(fromMain.ComboBox17->currentIndex(), 3);
        QCOMPARE(fromMain.ComboBox17->itemText(0), QStringLiteral("40"));
        QCOMPARE(fromMain.ComboBox17->itemText(8), QStringLiteral("380"));
        QCOMPARE(fromMain.Panel1->text() + fromMain.Edit1->text(), QStringLiteral("-50"));
        QCOMPARE(fromMain.Panel2->text() + fromMain.Edit2->text(), QStringLiteral("+2000"));

        TFrmLineSet fromHistory(state, m_ini);
        wire(fromHistory);
        fromHistory.PrepareForHistoryWindow();
        QVERIFY(fromHistory.ComboBox17->isHidden());
        QVERIFY(fromHistory.Label17->isHidden());
        fromHistory.btnOkClick();
        QCOMPARE(state.TempFull, 3);
        QCOMPARE(IniReadInteger(m_ini, "mSet", "TempFull"), 3);
        QCOMPARE(state.PresY0, 0);
        QCOMPARE(state.PresYn, 1000);
    }

    // typed: keys, or with a leading "IME:" text committed by an input method
    void entryKeys_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("focusMoves");
        QTest::newRow("digit") << "12" << QString("3") << "123" << false;
        QTest::newRow("minus swallowed") << "12" << QString("-") << "12" << false;
        QTest::newRow("point swallowed") << "12" << QString(".") << "12" << false;
        QTest::newRow("letter trims") << " 12 " << QString("a") << "12" << false;
        QTest::newRow("backspace") << "12" << QString("\b") << "1" << false;
        QTest::newRow("enter moves on") << "12" << QString("\r") << "12" << true;
        QTest::newRow("tab moves on") << " 12 " << QString("\t") << " 12 " << true;
        QTest::newRow("escape closes") << " 12 " << QString("\x1b") << " 12 " << false;
        QTest::newRow("IME digits") << "12" << QString("IME:34") << "1234" << false;
        QTest::newRow("IME pinyin trims") << " 12 " << QString("IME:三4") << "124" << false;
        QTest::newRow("IME full-width digit") << "12" << QString("IME:５") << "12" << false;
    }

    void entryKeys() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        SharedState state;
        TFrmLineSet dialog(state, m_ini);
        dialog.show();
        dialog.Edit1->setFocus();
        dialog.Edit1->setText(before);
        if (typed.startsWith("IME:")) {
            QInputMethodEvent commit;
            commit.setCommitString(typed.mid(4));
            QCoreApplication::sendEvent(dialog.Edit1, &commit);
        } else {
            QTest::keyClicks(dialog.Edit1, typed);
        }
        QCOMPARE(dialog.Edit1->text(), after);
        QTEST(dialog.focusWidget() == dialog.Edit2, "focusMoves");
        QCOMPARE(dialog.isVisible(), !typed.contains(u'\x1b'));
    }
};

QTEST_MAIN(TestTFrmLineSet)
#include "tst_TFrmLineSet.moc"
