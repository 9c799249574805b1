#include "Ini.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "SerialPorts.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// The port and the protocol against the simulator on a real pseudo-terminal.
class TstSerialLink : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QProcess m_sim;
    QString m_device; // the symlink the simulator makes, a full path outside /dev

    // One exchange as the program does it: write, pause a fixed time, read once.
    static QByteArray exchange(SerialPort& port, const QByteArray& request, int pauseMs,
                               qint64 maxBytes) {
        if (port.write(request) != request.size())
            return {};
        QThread::msleep(pauseMs);
        return port.read(maxBytes);
    }

  private slots:
    void initTestCase() {
        const QString sim = qEnvironmentVariable("PRESMON_BUILD_DIR") + "/presmon-sim";
        QVERIFY2(QFile::exists(sim), qPrintable(sim));
        m_device = m_dir.filePath("ttySIM0");
        m_sim.start(sim,
                    {"--addresses", "1,2", "--codes", "23,13", "--seed", "7", "--link", m_device});
        QVERIFY(m_sim.waitForStarted(5000));
        QVERIFY(m_sim.waitForReadyRead(5000));
        QVERIFY(m_sim.readLine().trimmed().startsWith("/dev/"));
    }

    void cleanupTestCase() {
        m_sim.terminate();
        QVERIFY(m_sim.waitForFinished(5000));
        QCOMPARE(m_sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sim.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(m_device));
    }

    void openPort_fullPath_opensAndStoresChoice() {
        const QString config = m_dir.filePath("config.ini");
        SerialPort port;
        QVERIFY(OpenPort(port, m_device, 3, config));
        QVERIFY(port.isOpen());
        QCOMPARE(port.name(), m_device);
        QCOMPARE(IniReadString(config, "comSet", "comid"), m_device);
        QCOMPARE(IniReadInteger(config, "comSet", "baudrate"), 3);

        const QString missing = m_dir.filePath("ttyNONE");
        QVERIFY(!OpenPort(port, missing, 1, config));
        QVERIFY(!port.isOpen());
        QCOMPARE(IniReadString(config, "comSet", "comid"), m_device);
    }

    void open_baudIndex_setsOrKeepsRate_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("speed");
        QTest::newRow("1200") << 0 << int(B1200);
        QTest::newRow("19200") << 4 << int(B19200);
        QTest::newRow("outside keeps the driver's rate") << 7 << int(B2400);
        QTest::newRow("negative keeps the driver's rate") << -1 << int(B2400);
    }
    void open_baudIndex_setsOrKeepsRate() {
        QFETCH(int, index);
        QFETCH(int, speed);
        // A second descriptor on the same terminal sees the line state the port applies.
        const int fd = ::open(QFile::encodeName(m_device).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios tio{};
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        ::cfsetispeed(&tio, B2400);
        ::cfsetospeed(&tio, B2400);
        QCOMPARE(::tcsetattr(fd, TCSANOW, &tio), 0);
        SerialPort port;
        const bool opened = port.open(m_device, index);
        ::tcgetattr(fd, &tio);
        ::close(fd);
        QVERIFY(opened);
        QCOMPARE(int(::cfgetospeed(&tio)), speed);
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
    }

    void poll_twoInstruments_decodesBothReadings() {
        SerialPort port;
        QVERIFY(port.open(m_device, 3));
        QCOMPARE(port.read(256), QByteArray()); // nothing waiting, and no blocking
        for (int address : {1, 2}) {
            for (char command : {'3', '4'}) {
                QCOMPARE(port.write(BuildPollRequest(address, command)), qint64(6));
                QThread::msleep(50);
            }
        }
        QByteArray block(256, '\0');
        const QByteArray received = port.read(256);
        block.replace(0, received.size(), received);
        const QList<QByteArray> replies = FindReplies(block);
        QCOMPARE(replies.size(), 4);

        QList<QPair<int, char>> seen;
        for (const QByteArray& window : replies) {
            const Reading r = DecodeReading(window);
            seen << qMakePair(r.address, r.command);
            // The simulator's instruments differ in their decimal codes.
            const char expectedCode = r.command == '4' ? '3' : r.address == 1 ? '2' : '1';
            QCOMPARE(r.decimalCode, expectedCode);
            if (r.command == '3')
                QVERIFY2(r.value > 40 && r.value < 90, qPrintable(QString::number(r.value)));
            else
                QVERIFY2(r.value > 15 && r.value < 30, qPrintable(QString::number(r.value)));
            QVERIFY(!FormatReading(r.value, r.decimalCode).isEmpty());
        }
        const QList<QPair<int, char>> expected{{1, '3'}, {1, '4'}, {2, '3'}, {2, '4'}};
        QCOMPARE(seen, expected);
    }

    void parameter_writeThenRead_givesWrittenValue() {
        SerialPort port;
        QVERIFY(port.open(m_device, 3));
        const QByteArray ack = exchange(port, BuildParameterWrite(2, '1', '-', "123", '3'), 100, 5);
        QVERIFY(IsAcknowledged(ack));

        const QByteArray answer = exchange(port, BuildPollRequest(2, '1'), 100, 128);
        const std::optional<QByteArray> window = FirstReply(answer);
        QVERIFY(window.has_value());
        const Parameter p = DecodeParameter(*window);
        QCOMPARE(p.value, -123);
        QCOMPARE(p.decimalCode, '3');

        // An address the line does not serve stays silent.
        QVERIFY(
            !IsAcknowledged(exchange(port, BuildParameterWrite(5, '1', '+', "1", '1'), 100, 5)));
    }

    // A port reached through a link of its own, the far end a pseudo-terminal's master.
    void lost_onlyWhenTheDeviceGoes_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("lost");
        QTest::newRow("far end silent") << "" << false;
        QTest::newRow("far end hung up") << "hang-up" << true;
        QTest::newRow("device path gone") << "unlink" << true;
    }
    void lost_onlyWhenTheDeviceGoes() {
        QFETCH(QString, fault);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString device = m_dir.filePath("ttyLOST");
        QFile::remove(device);
        QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(master)), device));
        SerialPort port;
        QVERIFY(port.open(device, 3));
        QVERIFY(!port.lost());
        if (fault == "hang-up") {
            ::close(master);
            // The terminal's node goes with its far end; a path stays, so only the hang-up tells.
            QVERIFY(QFile::remove(device) && QFile::link(m_device, device));
        }
        if (fault == "unlink")
            QVERIFY(QFile::remove(device));
        QTEST(port.lost(), "lost");
        if (fault != "hang-up")
            ::close(master);
    }
};

QTEST_GUILESS_MAIN(TstSerialLink)
#include "tst_SerialLink.moc"
