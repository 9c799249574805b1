#pragma once

#include "DailyRecord.h"
#include "Ini.h"
#include "SerialLink.h"
#include "TFrmComSet.h"
#include "TFrmMain.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/types.h>

// Shared pieces of the fault scenarios: the instrument simulator as a child process, a serial
// link that the test can watch and salt, and the checks of the day's file.

namespace faults {

inline QString buildDir() {
    return qEnvironmentVariable("PRESMON_BUILD_DIR");
}

// How long a test waits for what it checks before calling it failed: generous, because two
// shared cores under a parallel build can be many times slower than an idle machine. Tests
// wait on the condition itself and never on a fixed time.
constexpr int kDeadlineMs = 20000;

// presmon-sim on a pseudo-terminal reached through a symlink at linkPath.
class Simulator {
  public:
    explicit Simulator(QString linkPath) : m_link(std::move(linkPath)) {}
    ~Simulator() { stop(); }

    bool start(const QStringList& options) {
        m_process.start(buildDir() + "/presmon-sim", QStringList{"--link", m_link} + options);
        // The simulator prints the pseudo-terminal's name once the link is in place.
        return m_process.waitForStarted(kDeadlineMs) && m_process.waitForReadyRead(kDeadlineMs);
    }
    void kill() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            kill();
    }

  private:
    QString m_link;
    QProcess m_process;
};

// A 13-byte reply frame as an instrument sends it, for salting the line with replies nobody
// asked for.
inline QByteArray ReplyFrame(char addressDigit, char command, const QByteArray& field5, char code) {
    QByteArray f;
    f += '\x02';
    f += '0';
    f += addressDigit;
    f += 'P';
    f += command;
    f += field5;
    f += code;
    f += '\x03';
    char check = 0;
    for (int i = 1; i < 12; ++i)
        check = char(check ^ f[i]);
    f += check;
    return f;
}

// Forwards to the real serial port, remembers what every read returned and can put extra
// bytes in front of what the line delivered; logs each write and read ("read <size>") with
// the ms since the start.
class WatchedPort : public Port {
  public:
    WatchedPort() { m_clock.start(); }
    Port* inner = nullptr;
    QByteArray inject;                // prepended to every read
    QList<QByteArray> unclaimedReads; // reads whose tick has not been sampled yet
    int reads = 0;
    QList<QPair<qint64, QByteArray>> log;

    bool isOpen() const override { return inner && inner->isOpen(); }
    qint64 write(const QByteArray& bytes) override {
        log << qMakePair(m_clock.elapsed(), bytes);
        return inner ? inner->write(bytes) : -1;
    }
    QByteArray read(qint64 maxBytes) override {
        log << qMakePair(m_clock.elapsed(), "read " + QByteArray::number(maxBytes));
        QByteArray got = inner ? inner->read(maxBytes - inject.size()) : QByteArray();
        got.prepend(inject);
        ++reads;
        unclaimedReads << got;
        return got;
    }

  private:
    QElapsedTimer m_clock;
};

class WatchedLink : public LinkService {
  public:
    explicit WatchedLink(const QString& configPath, QString extraPort = {})
        : m_serial(configPath), m_extraPort(std::move(extraPort)) {}

    // The computer's ports do not include a pseudo-terminal; the operator types its path.
    QStringList list() override {
        QStringList ports = m_serial.list();
        if (!m_extraPort.isEmpty())
            ports << m_extraPort;
        return ports;
    }
    bool open(const QString& name, int baudIndex) override {
        ++opens;
        return m_serial.open(name, baudIndex);
    }
    void close() override { m_serial.close(); }
    bool lost() override { return m_serial.lost(); }
    Port* port() override {
        watched.inner = m_serial.port();
        return watched.inner ? &watched : nullptr;
    }

    WatchedPort watched;
    int opens = 0;

  private:
    SerialLink m_serial;
    QString m_extraPort;
};

// Error boxes as the operator meets them: each one stays open for a while in its own event
// loop, as a modal box does until OK is clicked. depth tells whether boxes were ever stacked.
struct ErrorBoxes {
    int modalMs = 1000;
    int shown = 0;
    int depth = 0;
    int maxDepth = 0;
    QStringList texts;

    std::function<void(const QString&)> fn() {
        return [this](const QString& text) {
            ++shown;
            texts << text;
            maxDepth = std::max(maxDepth, ++depth);
            QTest::qWait(modalMs);
            --depth;
        };
    }
};

inline bool WriteConfig(const QString& dir, const QString& link, const QList<int>& on) {
    const QString config = dir + "/config.ini";
    bool ok = WriteDefaultConfig(config);
    ok &= IniWriteString(config, "comSet", "comid", link);
    for (int n : on)
        ok &= IniWriteInteger(config, "OpenOrClose", QString::number(n), 1);
    return ok;
}

inline MainEnvironment Environment(const QString& dir, LinkService* link, ErrorBoxes& boxes,
                                   QStringList& messages) {
    MainEnvironment env;
    env.baseDir = dir;
    env.link = link;
    env.pause = [](int ms) { QThread::msleep(ms); };
    env.clock = [] { return QDateTime::currentDateTime(); };
    env.acquisitionThread = true; // as the program runs
    env.showMessage = [&messages](const QString& t) { messages << t; };
    env.showError = boxes.fn();
    env.runComSet = [](TFrmComSet&) {};
    env.runDialog = [](QDialog&) {};
    return env;
}

inline const QRegularExpression& RowPattern() {
    static const QRegularExpression row(
        R"(^[0-9A-F]{8,},\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,(-?\d+(\.\d+)?,){16}$)");
    return row;
}

// The lines of a day's file without their CR LF; a missing final line end is reported.
struct DayFile {
    QByteArray bytes;
    QList<QByteArray> lines;
    bool endsWithLineEnd = false;
    bool bareLineFeed = false; // some line ends in LF without CR

    static DayFile read(const QString& path) {
        DayFile d;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return d;
        d.bytes = f.readAll();
        d.endsWithLineEnd = d.bytes.endsWith("\r\n");
        QList<QByteArray> parts = d.bytes.split('\n');
        if (parts.last().isEmpty())
            parts.removeLast();
        for (int i = 0; i < parts.size(); ++i) {
            QByteArray line = parts[i];
            const bool terminated = i < parts.size() - 1 || d.bytes.endsWith('\n');
            if (line.endsWith('\r'))
                line.chop(1);
            else if (terminated)
                d.bareLineFeed = true;
            d.lines << line;
        }
        return d;
    }
    int headers() const {
        int count = 0;
        for (const QByteArray& l : lines)
            count += l == RecordHeader() ? 1 : 0;
        return count;
    }
};

inline bool WellFormedRow(const QByteArray& line) {
    return line.count(',') == 18 && RowPattern().match(QString::fromLatin1(line)).hasMatch();
}

inline qint64 DataNumber(const QByteArray& line) {
    bool ok = false;
    const qint64 n = line.left(line.indexOf(',')).toLongLong(&ok, 16);
    return ok ? n : -1;
}

inline QString TodayFile(const QString& dir) {
    return dir + QStringLiteral("/Data/%1.csv").arg(QDate::currentDate().toString("yyyy/MM/dd"));
}

// CPU time of this process in milliseconds, user and system together.
inline qint64 CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

} // namespace faults
