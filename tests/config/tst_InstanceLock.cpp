#include "InstanceLock.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// Each start is a process: this program run with PRESMON_LOCK_FOLDER takes the folder as
// presmon does, prints the box's text or "held", and when it holds the folder waits to be killed.
class TstInstanceLock : public QObject {
    Q_OBJECT

    static QByteArray start(QProcess& p, const QString& folder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PRESMON_LOCK_FOLDER", folder);
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {});
        return p.waitForReadyRead(20000) ? p.readAll() : QByteArray();
    }

  private slots:
    void secondStart_endsWithBoxUnlessFirstIsGone_data() {
        QTest::addColumn<bool>("sameFolder");
        QTest::addColumn<bool>("firstKilled");
        QTest::addColumn<QString>("second");
        QTest::newRow("same folder") << true << false << InstanceLock::busyText();
        QTest::newRow("other folder") << false << false << "held";
        QTest::newRow("lock of a killed run taken over") << true << true << "held";
    }
    void secondStart_endsWithBoxUnlessFirstIsGone() {
        QFETCH(bool, sameFolder);
        QFETCH(bool, firstKilled);
        QFETCH(QString, second);
        QTemporaryDir dir, other;
        QProcess first, next;
        QCOMPARE(start(first, dir.path()), QByteArray("held"));
        if (firstKilled) {
            first.kill();
            QVERIFY(first.waitForFinished());
        }
        QCOMPARE(QString::fromUtf8(start(next, sameFolder ? dir.path() : other.path())), second);
        // The box ends the start; a start that holds its folder runs on.
        QCOMPARE(next.waitForFinished(1000), second != "held");
        for (QProcess* p : {&next, &first}) {
            p->kill();
            p->waitForFinished();
        }
    }
    // A lock left by an earlier run whose process id is now this one's.
    void lockNamingThisProcessIsTakenOver() {
        QTemporaryDir dir;
        const QString path = dir.filePath("presmon.lock");
        QByteArray left;
        {
            QLockFile earlier(path);
            QVERIFY(earlier.tryLock(0));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            left = file.readAll();
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(left) == left.size());
        file.close();
        QVERIFY(InstanceLock(dir.path()).acquire({}));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("PRESMON_LOCK_FOLDER");
    if (folder.isEmpty()) {
        TstInstanceLock test;
        return QTest::qExec(&test, argc, argv);
    }
    InstanceLock lock(folder);
    const bool held =
        lock.acquire([](const QString& text) { std::fputs(text.toUtf8().constData(), stdout); });
    std::fputs(held ? "held" : "", stdout);
    std::fflush(stdout);
    if (held)
        QTest::qWait(60000);
    return held ? 0 : 1;
}

#include "tst_InstanceLock.moc"
