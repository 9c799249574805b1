#include "Protocol.h"

#include <QTest>

namespace {

// A reply frame around the given fields with a correct block check.
QByteArray reply(const QByteArray& address, char command, const QByteArray& field, char code,
                 char byte3 = 'P', char byte11 = kEtx) {
    QByteArray f = kStx + address + byte3 + command + field + code + byte11;
    char x = 0;
    for (qsizetype i = 1; i < f.size(); ++i)
        x ^= f[i];
    return f + x;
}

QByteArray damaged(QByteArray frame) {
    frame[12] = char(frame[12] ^ 0x01);
    return frame;
}

} // namespace

class TstProtocol : public QObject {
    Q_OBJECT

  private slots:
    void buildPollRequest() {
        QCOMPARE(BuildPollRequest(3, '4'), QByteArray::fromHex("043033503405"));
        QCOMPARE(BuildPollRequest(8, '3'), QByteArray::fromHex("043038503305"));
    }

    void buildParameterWrite_data() {
        QTest::addColumn<QByteArray>("magnitude");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("+50 code 1 to 2")
            << QByteArray("50") << QByteArray::fromHex("0430320250312b303035303103") + '\x7d';
        QTest::newRow("empty is zero")
            << QByteArray() << QByteArray::fromHex("0430320250312b30303030310378");
        QTest::newRow("long keeps first four")
            << QByteArray("123456") << QByteArray::fromHex("0430320250312b3132333431037c");
    }
    void buildParameterWrite() {
        QFETCH(QByteArray, magnitude);
        QTEST(BuildParameterWrite(2, '1', '+', magnitude, '1'), "frame");
    }

    void replyValid_data() {
        const QByteArray good = reply("01", '3', "00001", '4');
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<bool>("valid");
        QTest::newRow("example") << QByteArray::fromHex("02303550333031323334320363") << true;
        QTest::newRow("bytes 3 and 11 free") << reply("01", '3', "00001", '4', 'x', '\0') << true;
        QTest::newRow("byte 0 ignored") << 'Z' + good.mid(1) << true;
        QTest::newRow("bad check") << damaged(good) << false;
        QTest::newRow("too short") << good.left(12) << false;
        QTest::newRow("too long") << good + '\0' << false;
    }
    void replyValid() {
        QFETCH(QByteArray, window);
        QTEST(ReplyValid(window), "valid");
    }

    void decodeReading_data() {
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<int>("address");
        QTest::addColumn<char>("command");
        QTest::addColumn<float>("value");
        QTest::addColumn<char>("code");
        QTest::newRow("example 12.34")
            << QByteArray::fromHex("02303550333031323334320363") << 5 << '3' << 12.34f << '2';
        QTest::newRow("unknown code not scaled")
            << reply("05", '3', "01234", '7') << 5 << '3' << 1234.f << '7';
        QTest::newRow("negative") << reply("08", '4', "-0050", '3') << 8 << '4' << -5.f << '3';
        QTest::newRow("plus sign") << reply("01", '4', "+0120", '1') << 1 << '4' << 0.12f << '1';
        QTest::newRow("fraction and blanks")
            << reply("02", '3', " 12.5", '4') << 2 << '3' << 12.5f << '4';
        QTest::newRow("address out of range passed on")
            << reply("12", '3', "00001", '4') << 12 << '3' << 1.f << '4';
    }
    void decodeReading() {
        QFETCH(QByteArray, window);
        const Reading r = DecodeReading(window);
        QTEST(r.address, "address");
        QTEST(r.command, "command");
        QTEST(r.value, "value");
        QTEST(r.decimalCode, "code");
    }

    void decodeParameter() {
        for (const auto& [field, value] :
             {std::pair{"-0050", -50}, {"+9999", 9999}, {"00123", 123}}) {
            const Parameter p = DecodeParameter(reply("03", '1', field, '3'));
            QCOMPARE(int(p.value), value);
            QCOMPARE(p.decimalCode, '3');
        }
    }

    // The message quotes the field that failed; "integer" for addresses and parameters.
    void decode_notNumber_throws_data() {
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<bool>("parameter");
        QTest::addColumn<QString>("message");
        const QString real = QStringLiteral("' is not a valid floating point value");
        const QString integer = QStringLiteral("' is not a valid integer value");
        QTest::newRow("letter in address")
            << reply("0A", '3', "00001", '4') << false << "'0A" + integer;
        QTest::newRow("letter in value")
            << reply("01", '3', "1?234", '4') << false << "'1?234" + real;
        QTest::newRow("blank value") << reply("01", '3', "     ", '4') << false << "'     " + real;
        QTest::newRow("two points") << reply("01", '3', "1.2.3", '4') << false << "'1.2.3" + real;
        QTest::newRow("control byte")
            << reply("01", '3', QByteArray("12\0 3", 5), '4') << false << "'12\\x00 3" + real;
        QTest::newRow("exponent") << reply("01", '3', "1e+03", '4') << false << "'1e+03" + real;
        QTest::newRow("parameter fraction")
            << reply("01", '1', "12.50", '2') << true << "'12.50" + integer;
        QTest::newRow("parameter sign only")
            << reply("01", '1', "-    ", '2') << true << "'-    " + integer;
        QTest::newRow("short window")
            << QByteArray("\x02\x30\x31") << false << "'\\x0201" + integer;
    }
    void decode_notNumber_throws() {
        QFETCH(QByteArray, window);
        QFETCH(bool, parameter);
        try {
            parameter ? void(DecodeParameter(window)) : void(DecodeReading(window));
            QFAIL("no ConversionError");
        } catch (const ConversionError& e) {
            QTEST(QString::fromUtf8(e.what()), "message");
        }
    }

    void findReplies_data() {
        const QByteArray a = reply("01", '3', "01234", '2');
        const QByteArray b = reply("01", '4', "00250", '3');
        QTest::addColumn<QList<int>>("starts"); // where frames are placed
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QList<QByteArray>>("found");
        QTest::newRow("back to back")
            << QList<int>{0, 13} << QList<QByteArray>{a, b} << QList<QByteArray>{a, b};
        QTest::newRow("after leading noise")
            << QList<int>{7, 40} << QList<QByteArray>{a, b} << QList<QByteArray>{a, b};
        // The damaged window at 0 swallows the good frame that starts inside it.
        QTest::newRow("stray STX skipped with its window")
            << QList<int>{5, 0, 30} << QList<QByteArray>{a, QByteArray(1, kStx), b}
            << QList<QByteArray>{b};
        QTest::newRow("damaged then good right after")
            << QList<int>{0, 13} << QList<QByteArray>{damaged(a), b} << QList<QByteArray>{b};
        QTest::newRow("last full window taken")
            << QList<int>{243} << QList<QByteArray>{a} << QList<QByteArray>{a};
        QTest::newRow("too near the end")
            << QList<int>{244} << QList<QByteArray>{a} << QList<QByteArray>{};
        QTest::newRow("empty buffer") << QList<int>{} << QList<QByteArray>{} << QList<QByteArray>{};
    }
    void findReplies() {
        QFETCH(QList<int>, starts);
        QFETCH(QList<QByteArray>, frames);
        QByteArray block(256, '\0');
        for (qsizetype i = 0; i < starts.size(); ++i)
            block.replace(starts[i], qMin(frames[i].size(), 256 - starts[i]), frames[i]);
        block.truncate(256);
        QTEST(FindReplies(block), "found");
    }

    void firstReply_data() {
        const QByteArray good = reply("02", '1', "+0050", '1');
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("found"); // empty: none
        QTest::newRow("after noise") << "ab" + good << good;
        QTest::newRow("damaged first, good later") << damaged(good) + good << QByteArray();
        QTest::newRow("stray STX first") << kStx + good << QByteArray();
        QTest::newRow("incomplete") << good.left(12) << QByteArray();
        QTest::newRow("STX at 126") << QByteArray(126, 'x') + good << good;
        QTest::newRow("STX beyond 127") << QByteArray(127, 'x') + good << QByteArray();
    }
    void firstReply() {
        QFETCH(QByteArray, block);
        QTEST(FirstReply(block).value_or(QByteArray()), "found");
    }

    void isAcknowledged() {
        QVERIFY(IsAcknowledged(QByteArray(1, kAck)));
        QVERIFY(IsAcknowledged("\x15z\x06"));
        QVERIFY(!IsAcknowledged("\x15"));
        QVERIFY(!IsAcknowledged(QByteArray()));
    }

    void formatReading_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<char>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("code 1") << 0.5f << '1' << "0.500";
        QTest::newRow("code 2") << 12.34f << '2' << "12.34";
        QTest::newRow("code 3 negative") << -5.f << '3' << "-5.0";
        QTest::newRow("code 4") << 1234.f << '4' << "1234";
        QTest::newRow("other code") << 1234.f << '7' << QString();
        QTest::newRow("no negative zero") << -0.04f << '3' << "0.0";
    }
    void formatReading() {
        QFETCH(float, value);
        QFETCH(char, code);
        QFETCH(QString, text);
        QCOMPARE(FormatReading(value, code), text);
        QCOMPARE(FormatReading(value, code).isNull(), text.isNull());
    }
};

QTEST_GUILESS_MAIN(TstProtocol)
#include "tst_Protocol.moc"
