#include "FaultHarness.h"

#include <QLabel>
#include <algorithm>

using namespace faults;

// The real main window polling the simulator while the line misbehaves in one way at a time.
class TestLineFaults : public QObject {
    Q_OBJECT
  private slots:
    void keepsRecordingThroughLineFaults_data();
    void keepsRecordingThroughLineFaults();
};

namespace {

// What one tick left behind, taken right after the tick's handler returned.
struct TickSample {
    QByteArray read;
    QList<QByteArray> newRows;
    QString text[3][2];
    int32_t color[3][2] = {};
};

// The complete replies in a read that pass the block check, as the test sees them.
QList<QByteArray> CheckedFrames(const QByteArray& bytes) {
    QList<QByteArray> frames;
    for (qsizetype i = 0; i + 13 <= bytes.size(); ++i) {
        if (bytes[i] != '\x02' || bytes[i + 11] != '\x03')
            continue;
        char check = 0;
        for (int k = 1; k < 12; ++k)
            check = char(check ^ bytes[i + k]);
        if (check == bytes[i + 12])
            frames << bytes.mid(i, 13);
    }
    return frames;
}

// A reply whose address or value is not a number: the tick that reads it must end without a
// row.
bool HasUnreadableReply(const QByteArray& bytes) {
    for (const QByteArray& frame : CheckedFrames(bytes)) {
        for (char c : frame.mid(1, 2) + frame.mid(5, 5)) {
            if (!((c >= '0' && c <= '9') || c == '-' || c == '+'))
                return true;
        }
    }
    return false;
}

// Instrument n's reading of one quantity ('3' pressure, '4' temperature) came in this read.
bool Answered(const QByteArray& bytes, int n, char command) {
    const QByteArray head = ReplyFrame(char('0' + n), command, "00000", '0').left(5);
    const QList<QByteArray> frames = CheckedFrames(bytes);
    return std::any_of(frames.cbegin(), frames.cend(),
                       [&](const QByteArray& f) { return f.startsWith(head); });
}

} // namespace

void TestLineFaults::keepsRecordingThroughLineFaults_data() {
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<bool>("salted"); // replies nobody asked for in front of every read
    // share of ticks that must leave a panel green; a late reply turns it green a tick later
    QTest::addColumn<double>("minGreen");

    QTest::newRow("30% of replies dropped")
        << QStringList{"--addresses", "1,2", "--drop", "30"} << false << 0.3;
    QTest::newRow("30% bad block checks")
        << QStringList{"--addresses", "1,2", "--corrupt", "30"} << false << 0.3;
    QTest::newRow("15% non-numeric values")
        << QStringList{"--addresses", "1,2", "--garbage", "15"} << false << 0.0;
    QTest::newRow("50% random bytes before replies")
        << QStringList{"--addresses", "1,2", "--noise", "50"} << false << 0.6;
    QTest::newRow("replies for absent and unasked addresses")
        << QStringList{"--addresses", "1,2,3,4,5,6,7,8"} << true << 0.6;
}

void TestLineFaults::keepsRecordingThroughLineFaults() {
    QFETCH(QStringList, simOptions);
    QFETCH(bool, salted);
    QFETCH(double, minGreen);

    QTemporaryDir dir;
    const QString link = dir.path() + "/ttySIM0";
    Simulator sim(link);
    QVERIFY(sim.start(simOptions + QStringList{"--seed", "11"}));
    QVERIFY(WriteConfig(dir.path(), link, {1, 2}));

    WatchedLink serial(dir.path() + "/config.ini");
    if (salted) {
        // Instrument 5 is switched off, 9 and 0 do not exist, '7' is no reading command.
        serial.watched.inject =
            ReplyFrame('5', '3', "01234", '2') + ReplyFrame('9', '3', "05555", '2') +
            ReplyFrame('0', '4', "06666", '2') + ReplyFrame('1', '7', "09999", '2');
    }
    ErrorBoxes boxes;
    QStringList messages;
    const QString file = TodayFile(dir.path());
    QList<TickSample> samples;
    qsizetype fileRows = 0;
    boxes.modalMs = 2000;
    int ticksWhileBoxOpen = 0;
    {
        TFrmMain window(Environment(dir.path(), &serial, boxes, messages));
        connect(&window, &TFrmMain::cycleFinished, &window, [&] {
            TickSample s;
            ticksWhileBoxOpen += boxes.depth > 0 ? 1 : 0;
            if (!serial.watched.unclaimedReads.isEmpty())
                s.read = serial.watched.unclaimedReads.takeLast();
            for (int n = 1; n <= 2; ++n) {
                for (int t = 0; t < 2; ++t) {
                    s.text[n][t] = window.panel(n, t == 1)->text();
                    s.color[n][t] = window.panelColor(n, t == 1);
                }
            }
            const DayFile day = DayFile::read(file);
            const qsizetype rows = day.lines.size() - day.headers();
            for (qsizetype i = day.lines.size() - (rows - fileRows); i < day.lines.size(); ++i)
                s.newRows << day.lines[i];
            fileRows = rows;
            samples << s;
        });
        window.show();
        // Ticks go on while an error box is open: the operator may take a while.
        QTRY_VERIFY_WITH_TIMEOUT(samples.size() >= 6 && (boxes.shown == 0 || ticksWhileBoxOpen > 0),
                                 kDeadlineMs);
        QVERIFY(window.polling());
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        window.close();
    }
    sim.stop();

    QVERIFY2(boxes.maxDepth <= 1, "error boxes were stacked");
    int unreadable = 0;
    int green[3][2] = {};
    for (int k = 0; k < samples.size(); ++k) {
        const TickSample& s = samples[k];
        const bool abandoned = HasUnreadableReply(s.read);
        unreadable += abandoned ? 1 : 0;
        // Every tick records exactly one row, unless a reply could not be read as a number.
        QCOMPARE(s.newRows.size(), abandoned ? 0 : 1);
        for (const QByteArray& row : s.newRows) {
            QVERIFY2(WellFormedRow(row), row.constData());
            // The row carries what the panels showed at the end of its tick.
            const QList<QByteArray> fields = row.split(',');
            for (int n = 1; n <= 2; ++n) {
                QCOMPARE(QString::fromLatin1(fields[2 * n]), s.text[n][0]);
                QCOMPARE(QString::fromLatin1(fields[2 * n + 1]), s.text[n][1]);
            }
            for (int n = 3; n <= 8; ++n) {
                const QByteArray expected = salted && n == 5 ? "12.34" : "0.0";
                QCOMPARE(fields[2 * n], expected);
                QCOMPARE(fields[2 * n + 1], QByteArray("0.0"));
            }
        }
        for (int n = 1; n <= 2; ++n) {
            for (int t = 0; t < 2; ++t) {
                QVERIFY(s.color[n][t] == 0x008000 || s.color[n][t] == 0x00FFFF);
                // Every reading that came, noise, salt and all, is found and shown.
                if (!abandoned && Answered(s.read, n, t == 0 ? '3' : '4'))
                    QCOMPARE(s.color[n][t], 0x008000);
                green[n][t] += s.color[n][t] == 0x008000 ? 1 : 0;
                // A silent instrument keeps its last value on show.
                if (!abandoned && s.color[n][t] == 0x00FFFF && k > 0)
                    QCOMPARE(s.text[n][t], samples[k - 1].text[n][t]);
            }
        }
    }
    for (int n = 1; n <= 2; ++n) {
        for (int t = 0; t < 2; ++t)
            QVERIFY2(green[n][t] >= minGreen * samples.size(),
                     qPrintable(QStringLiteral("instrument %1/%2 green in %3 of %4 ticks")
                                    .arg(n)
                                    .arg(t)
                                    .arg(green[n][t])
                                    .arg(samples.size())));
    }
    // Only a reply with an unreadable value is worth a box; then at most one per box's life.
    QCOMPARE(boxes.shown > 0, unreadable > 0);
    QVERIFY(boxes.shown <= unreadable);

    const DayFile day = DayFile::read(file);
    QVERIFY(day.endsWithLineEnd);
    QVERIFY(!day.bareLineFeed);
    QCOMPARE(day.headers(), 1);
    qInfo("%d ticks, %d rows, %d ticks ended by an unreadable reply, %d error boxes",
          int(samples.size()), int(day.lines.size() - 1), unreadable, boxes.shown);
}

QTEST_MAIN(TestLineFaults)
#include "tst_LineFaults.moc"
