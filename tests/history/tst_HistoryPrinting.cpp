// 打印 through the real printing system: CUPS with a cups-pdf queue, started here when the
// machine has not started it.
#include "Chart.h"
#include "SharedState.h"
#include "TFrmPrint.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kQueue = QStringLiteral("PresmonTestPdf");

int Run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool SchedulerRunning() {
    QString out;
    return Run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &out) == 0 &&
           out.contains(QLatin1String("is running"));
}

QStringList PrintedPages(const QDir& folder) {
    return folder.entryList({QStringLiteral("Chart1*.pdf")}, QDir::Files);
}

} // namespace

class TestHistoryPrinting : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void printButton_data();
    void printButton();

  private:
    QDir m_output; // where cups-pdf puts the pages of this user's jobs
};

void TestHistoryPrinting::initTestCase() {
    const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {"/usr/sbin"});
    const QString ppd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
    if (cupsd.isEmpty() || !QFile::exists(ppd))
        QSKIP("needs CUPS and its PDF queue (scripts/setup installs them)");
    if (!SchedulerRunning()) {
        QVERIFY(Run(cupsd, {}) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(SchedulerRunning(), 10000);
    }
    QCOMPARE(Run(QStringLiteral("lpadmin"),
                 {QStringLiteral("-p"), kQueue, QStringLiteral("-E"), QStringLiteral("-v"),
                  QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), ppd}),
             0);
    m_output = QDir(QDir::home().filePath(QStringLiteral("PDF")));
}

void TestHistoryPrinting::cleanupTestCase() {
    Run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), kQueue});
}

void TestHistoryPrinting::printButton_data() {
    QTest::addColumn<QString>("defaultPrinter"); // the user's default, through LPDEST
    QTest::addColumn<bool>("refusing");          // the queue rejects jobs (cupsreject)
    QTest::addColumn<QString>("message");        // the box's text begins so; empty: none
    QTest::newRow("printed") << kQueue << false << QString();
    QTest::newRow("no default printer") << QStringLiteral("PresmonNoSuchQueue") << false
                                        << QStringLiteral("当前没有选定默认打印机。");
    QTest::newRow("queue refuses jobs")
        << kQueue << true << QStringLiteral("打印机 \"%1\" 不接受打印任务").arg(kQueue);
}

void TestHistoryPrinting::printButton() {
    QFETCH(QString, defaultPrinter);
    QFETCH(bool, refusing);
    QFETCH(QString, message);
    qputenv("LPDEST", defaultPrinter.toLocal8Bit());
    if (refusing)
        QCOMPARE(Run(QStringLiteral("cupsreject"), {kQueue}), 0);
    auto accept = qScopeGuard([&] {
        if (refusing)
            Run(QStringLiteral("cupsaccept"), {kQueue});
    });

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Data/2024/03"));
    QFile file(dir.filePath(QStringLiteral("Data/2024/03/15.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(
                   QDateTime(QDate(2024, 3, 15), QTime(8, 0), Qt::UTC).toSecsSinceEpoch(), 16) +
               ",t,12.5,30,\r\n");
    file.close();
    SharedState state;
    TFrmPrint form(state, dir.path());
    QStringList shown;
    form.setMessageFunction([&](QWidget*, const QString& text) { shown << text; });
    form.DateTimePicker1->setDate(QDate(2024, 3, 15));
    form.MaskEdit1->setText(QStringLiteral("08:00"));
    form.CheckBoxes[0]->setChecked(true);
    form.Button1Click();
    QVERIFY(shown.isEmpty());

    const QStringList before = PrintedPages(m_output);
    form.Button2Click();
    if (message.isEmpty()) {
        QCOMPARE(shown, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(PrintedPages(m_output).size() == before.size() + 1, 20000);
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(message), qPrintable(shown[0]));
        QTest::qWait(1500); // a page would be on its way by now
        QCOMPARE(PrintedPages(m_output), before);
    }
    // The chart stays as it was, whatever became of the page.
    QCOMPARE(form.Chart1->pointValue(0, 0), 12.5f);
    QCOMPARE(form.Chart1->foot().size(), 1);
}

QTEST_MAIN(TestHistoryPrinting)
#include "tst_HistoryPrinting.moc"
