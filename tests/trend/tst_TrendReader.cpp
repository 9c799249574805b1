#include "TrendCache.h"
#include "TrendDays.h"
#include "TrendReader.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <optional>

using namespace TrendDays;

namespace {

const QDate kDay(2026, 3, 10);
const QDate kFirst(2026, 1, 1); // the generated month
const int kDaysWithFiles[] = {0, 1, 15, 30};
const qint64 kSpike = dayStart(kFirst) + 15 * 86400 + 13 * 3600 + 37 * 60 + 21;
const qint64 kDip = dayStart(kFirst) + 30 * 86400 + 4 * 3600 + 5;
const qint64 kGapBegin = dayStart(kFirst) + 86400 + 6 * 3600; // two hours without rows

// What the generated month holds at a second, as its file writes it.
std::optional<float> monthValue(qint64 second) {
    const qint64 day = (second - dayStart(kFirst)) / 86400;
    if (second < dayStart(kFirst) || std::find(std::begin(kDaysWithFiles), std::end(kDaysWithFiles),
                                               day) == std::end(kDaysWithFiles))
        return std::nullopt;
    if (second >= kGapBegin && second < kGapBegin + 7200)
        return std::nullopt;
    const double v = second == kSpike ? 99.5
                     : second == kDip ? -3.25
                                      : 10 + 5 * std::sin(double(second % 86400) / 86400 * 6.2832);
    return QByteArray::number(v, 'f', 3).toFloat();
}

QByteArray cut(QByteArray bytes, int tail) {
    bytes.chop(tail);
    return bytes;
}

TrendReader::Request request(const QString& base, QDate first, QDate last, qint64 begin, qint64 end,
                             int columns) {
    TrendReader::Request r;
    r.baseDir = base;
    r.firstDay = first;
    r.lastDay = last;
    r.begin = begin;
    r.end = end;
    r.columns = columns;
    r.series[0] = r.series[8] = true;
    return r;
}

} // namespace

class TestTrendReader : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void secondsAroundMidnight_data();
    void secondsAroundMidnight();
    void columnsHoldTheExtremesOfTheirSeconds_data();
    void columnsHoldTheExtremesOfTheirSeconds();
    void cacheFollowsTheDayFile_data();
    void cacheFollowsTheDayFile();

  private:
    QTemporaryDir m_month;
};

void TestTrendReader::initTestCase() {
    QVERIFY(m_month.isValid());
    for (int d : kDaysWithFiles) {
        QByteArray bytes = header();
        for (qint64 s = dayStart(kFirst.addDays(d)); s < dayStart(kFirst.addDays(d + 1)); ++s)
            if (const auto v = monthValue(s))
                bytes += row(s, *v);
        QVERIFY(write(m_month.path(), kFirst.addDays(d), bytes));
    }
}

void TestTrendReader::secondsAroundMidnight_data() {
    QTest::addColumn<QByteArray>("day");
    QTest::addColumn<QByteArray>("next");      // empty: no file
    QTest::addColumn<QString>("expected");     // second from midnight = pressure 1
    QTest::addColumn<QString>("temperatures"); // temperature 1 where not half the pressure
    const qint64 m = dayStart(kDay.addDays(1));
    QByteArray steady = header(), after = header();
    for (int o = -10; o < 0; ++o)
        steady += row(m + o, 10 + o);
    for (int o = 0; o < 10; ++o)
        after += row(m + o, 10 + o);
    QTest::newRow("both days") << steady << after
                               << "-10=0 -9=1 -8=2 -7=3 -6=4 -5=5 -4=6 -3=7 -2=8 -1=9 0=10 1=11 "
                                  "2=12 3=13 4=14 5=15 6=16 7=17 8=18 9=19"
                               << QString();
    QTest::newRow("gap inside a day")
        << header() + row(m - 10, 1) + row(m - 9, 2) + row(m - 6, 3) << header() + row(m + 4, 4)
        << "-10=1 -9=2 -6=3 4=4" << QString();
    QTest::newRow("next day without a file")
        << header() + row(m - 3, 1) + row(m - 2, 2) << QByteArray() << "-3=1 -2=2" << QString();
    QTest::newRow("row past midnight in the day before's file")
        << header() + row(m - 1, 1) + row(m, 2) << header() + row(m + 1, 3) << "-1=1 0=2 1=3"
        << QString();
    QByteArray unreadable = row(m - 4, 9);
    unreadable.replace(",9.000,", ",abc,");
    QTest::newRow("duplicate data numbers: the later row wins, value by value")
        << header() + row(m - 5, 1) + row(m - 5, 2) + row(m - 4, 3) + unreadable << QByteArray()
        << "-5=2 -4=3"
        << "-5=1 -4=4.5";
    QByteArray forms = header();
    const char* texts[] = {"1e1", " 2.5 ", ".5", "+4", "1.2345678901234", "12."};
    for (int i = 0; i < 6; ++i)
        forms += row(m - 6 + i, 1).replace(",1.000,", QByteArray(",") + texts[i] + ",");
    QTest::newRow("value forms beside the recorder's own")
        << forms << QByteArray() << "-6=10 -5=2.5 -4=0.5 -3=4 -2=1.23457 -1=12"
        << "-6=0.5 -5=0.5 -4=0.5 -3=0.5 -2=0.5 -1=0.5";
    QTest::newRow("torn last line")
        << header() + row(m - 3, 1) + cut(row(m - 2, 2), 9) << QByteArray() << "-3=1" << QString();
    QTest::newRow("last row whole but without its line end")
        << header() + row(m - 3, 1) + cut(row(m - 2, 2), 2) << QByteArray() << "-3=1 -2=2"
        << QString();
    QTest::newRow("malformed lines")
        << header() + "garbage\r\n\r\nZZ,2026-03-10 23:59:59,5,5,\r\n,,,\r\n" + row(m - 1, 7) +
               row(dayStart(QDate(1990, 1, 1)), 8)
        << QByteArray() << "-1=7" << QString();
}

void TestTrendReader::secondsAroundMidnight() {
    QFETCH(QByteArray, day);
    QFETCH(QByteArray, next);
    QFETCH(QString, expected);
    QFETCH(QString, temperatures);
    QTemporaryDir base;
    QVERIFY(write(base.path(), kDay, day));
    if (!next.isEmpty())
        QVERIFY(write(base.path(), kDay.addDays(1), next));
    const qint64 m = dayStart(kDay.addDays(1));
    const auto result =
        TrendReader::read(request(base.path(), kDay, kDay.addDays(1), m - 10, m + 10, 40));
    QCOMPARE(int(result.resolution), int(TrendReader::Resolution::Seconds));
    const auto seen = [&](int series, double scale) {
        QStringList out;
        for (const TrendColumn& c : result.series[series]) {
            if (c.firstSecond != c.lastSecond || c.min != c.max)
                return QStringLiteral("not one second a column");
            out << QStringLiteral("%1=%2").arg(c.firstSecond - m).arg(double(c.min) * scale);
        }
        return out.join(u' ');
    };
    QCOMPARE(seen(0, 1), expected);
    QCOMPARE(seen(8, 2), temperatures.isEmpty() ? expected : seen(8, 2));
    if (!temperatures.isEmpty())
        QCOMPARE(seen(8, 1), temperatures);
    QVERIFY(result.series[1].empty());
}

void TestTrendReader::columnsHoldTheExtremesOfTheirSeconds_data() {
    QTest::addColumn<int>("firstDay"); // from the first generated day
    QTest::addColumn<int>("lastDay");
    QTest::addColumn<qint64>("begin"); // seconds from the first generated day
    QTest::addColumn<qint64>("end");
    QTest::addColumn<int>("resolution");
    const qint64 spike = kSpike - dayStart(kFirst);
    QTest::newRow("a month") << 0 << 30 << qint64(0) << qint64(31 * 86400)
                             << int(TrendReader::Resolution::Coarse);
    QTest::newRow("a year") << -335 << 30 << qint64(-335 * 86400) << qint64(31 * 86400)
                            << int(TrendReader::Resolution::Coarse);
    QTest::newRow("three days") << 0 << 30 << qint64(0) << qint64(3 * 86400)
                                << int(TrendReader::Resolution::Fine);
    QTest::newRow("an hour around the spike")
        << 0 << 30 << spike - 1800 << spike + 1800 << int(TrendReader::Resolution::Seconds);
    QTest::newRow("a minute around the dip")
        << 0 << 30 << kDip - dayStart(kFirst) - 30 << kDip - dayStart(kFirst) + 30
        << int(TrendReader::Resolution::Seconds);
}

void TestTrendReader::columnsHoldTheExtremesOfTheirSeconds() {
    QFETCH(int, firstDay);
    QFETCH(int, lastDay);
    QFETCH(qint64, begin);
    QFETCH(qint64, end);
    QFETCH(int, resolution);
    const qint64 origin = dayStart(kFirst);
    const auto result =
        TrendReader::read(request(m_month.path(), kFirst.addDays(firstDay), kFirst.addDays(lastDay),
                                  origin + begin, origin + end, 800));
    QCOMPARE(int(result.resolution), resolution);
    const auto& columns = result.series[0];
    QVERIFY(!columns.empty());
    qint64 previous = origin + begin - 1;
    for (const TrendColumn& c : columns) {
        // Nothing recorded is left out between two columns, and nothing made up inside one.
        for (qint64 s = std::max(previous + 1, origin + begin);
             s < std::min(c.firstSecond, origin + end); ++s)
            QVERIFY2(!monthValue(s), qPrintable(QString::number(s - origin)));
        float lo = INFINITY, hi = -INFINITY;
        for (qint64 s = c.firstSecond; s <= c.lastSecond; ++s)
            if (const auto v = monthValue(s)) {
                lo = std::min(lo, *v);
                hi = std::max(hi, *v);
            }
        QCOMPARE(c.min, lo);
        QCOMPARE(c.max, hi);
        QCOMPARE(c.first, *monthValue(c.firstSecond));
        QCOMPARE(c.last, *monthValue(c.lastSecond));
        previous = c.lastSecond;
    }
    for (qint64 s = previous + 1; s < origin + end; ++s)
        QVERIFY(!monthValue(s));
}

void TestTrendReader::cacheFollowsTheDayFile_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("rebuilt");
    QTest::addColumn<float>("largest");
    QTest::newRow("nothing") << "" << 0 << 1.0f;
    QTest::newRow("the day file grew") << "grow" << 1 << 42.0f;
    QTest::newRow("rewritten, same size, later time") << "rewrite" << 1 << 2.0f;
    QTest::newRow("summary cut short") << "truncate" << 1 << 1.0f;
    QTest::newRow("cache deleted") << "delete" << 1 << 1.0f;
}

void TestTrendReader::cacheFollowsTheDayFile() {
    QFETCH(QString, change);
    QFETCH(int, rebuilt);
    QFETCH(float, largest);
    QTemporaryDir base;
    const auto fill = [&](double value) {
        QByteArray bytes = header();
        for (qint64 s = 0; s < 3600; ++s)
            bytes += row(dayStart(kDay) + s, value);
        return write(base.path(), kDay, bytes);
    };
    QVERIFY(fill(1));
    const auto req =
        request(base.path(), kDay, kDay, dayStart(kDay), dayStart(kDay.addDays(1)), 800);
    const auto first = TrendReader::read(req);
    QCOMPARE(first.daysRebuilt, 1);
    QCOMPARE(int(first.resolution), int(TrendReader::Resolution::Fine));
    const TrendCache cache(base.path());
    QVERIFY(QFileInfo::exists(cache.cachePath(kDay)));
    QVERIFY(!cache.cachePath(kDay).contains(QStringLiteral("/Data/")));
    if (change == u"grow") {
        QVERIFY(write(base.path(), kDay, row(dayStart(kDay) + 3600, 42), QIODevice::Append));
    } else if (change == u"rewrite") {
        const QDateTime before = QFileInfo(path(base.path(), kDay)).lastModified();
        QVERIFY(fill(2));
        QFile f(path(base.path(), kDay));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(before.addSecs(2), QFileDevice::FileModificationTime));
    } else if (change == u"truncate") {
        QVERIFY(QFile::resize(cache.cachePath(kDay), 1000));
    } else if (change == u"delete") {
        QVERIFY(QDir(base.filePath(QStringLiteral("TrendCache"))).removeRecursively());
    }
    const auto second = TrendReader::read(req);
    QCOMPARE(second.daysRebuilt, rebuilt);
    float most = -INFINITY;
    for (const TrendColumn& c : second.series[0])
        most = std::max(most, c.max);
    QCOMPARE(most, largest);
    if (change.isEmpty() || change == u"truncate" || change == u"delete") {
        QCOMPARE(second.series[0].size(), first.series[0].size());
        for (size_t i = 0; i < first.series[0].size(); ++i)
            QCOMPARE(second.series[0][i].lastSecond, first.series[0][i].lastSecond);
    }
}

QTEST_GUILESS_MAIN(TestTrendReader)
#include "tst_TrendReader.moc"
