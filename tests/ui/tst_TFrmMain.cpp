#include "Acquisition.h"
#include "Chart.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "FakePort.h"
#include "FileBytes.h"
#include "Ini.h"
#include "ManualScheduler.h"
#include "TFrmComSet.h"
#include "TFrmLine.h"
#include "TFrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

class FakeLink : public LinkService {
  public:
    QStringList ports;
    bool openResult = true;
    bool failedOpenStaysOpen = false; // open, but the line settings were refused
    QStringList opened;               // "name@baud" of every open call
    bool isOpen = false;
    FakePort fakePort;

    QStringList list() override { return ports; }
    bool open(const QString& name, int baudIndex) override {
        opened << QStringLiteral("%1@%2").arg(name).arg(baudIndex);
        isOpen = openResult || failedOpenStaysOpen;
        return openResult;
    }
    void close() override { isOpen = false; }
    Port* port() override { return isOpen ? &fakePort : nullptr; }
};

// One main window over a temporary folder, with every outside effect recorded.
struct Harness {
    QTemporaryDir dir;
    FakeLink link;
    ManualScheduler scheduler; // runs a cycle's pauses when the test says
    QStringList messages;
    QStringList errors;
    int comSetRuns = 0;
    std::function<void(TFrmComSet&)> onComSet;
    std::function<void(const QString&)> onMessage;
    std::function<void(const QString&)> onError;
    std::function<void(QDialog&)> onDialog;
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(8, 30, 0));

    QString config() const { return dir.path() + "/config.ini"; }

    std::unique_ptr<TFrmMain> make() {
        MainEnvironment env;
        env.baseDir = dir.path();
        env.link = &link;
        env.pause = [](int) {};
        env.scheduler = &scheduler;
        env.clock = [this] { return now; };
        env.showMessage = [this](const QString& t) {
            messages << t;
            if (onMessage)
                onMessage(t);
        };
        env.showError = [this](const QString& t) {
            errors << t;
            if (onError)
                onError(t);
        };
        env.runComSet = [this](TFrmComSet& d) {
            ++comSetRuns;
            if (onComSet)
                onComSet(d);
        };
        env.runDialog = [this](QDialog& d) {
            if (onDialog)
                onDialog(d);
        };
        auto w = std::make_unique<TFrmMain>(env);
        w->LoadTime->stop(); // the tests run the start-up step themselves
        return w;
    }
};

QStringList Captions(TFrmMain& w) {
    QStringList out;
    for (TFrmLine* line : w.curveWindows())
        out << line->windowTitle();
    return out;
}

QByteArray Reply(int address, char command, const char* value, char code) {
    QByteArray r;
    r.append('\x02').append('0').append(char('0' + address)).append('P').append(command);
    r.append(value).append(code).append('\x03');
    char check = 0;
    for (int i = 1; i < r.size(); ++i)
        check ^= r[i];
    return r.append(check);
}

} // namespace

class TestTFrmMain : public QObject {
    Q_OBJECT
  private slots:
    void firstRun_data();
    void firstRun();
    void configuredPortKeptWholeAndOpened();
    void configuredPortFailingAsksAgain();
    void deadPortAtStartUp_data();
    void deadPortAtStartUp();
    void failedChangeWithoutConfiguredPortResumesPolling();
    void startUpReopensCurveWindowsOnce();
    void storedRange_data();
    void storedRange();
    void startUpLoadsEachPenIntoItsSeries();
    void recordSwitchOpensAndClosesCurveWindow();
    void openAllThenCloseAll();
    void closingCurveWindowUnchecksAndShutdownStoresIt();
    void commSettingsPreselectsAndCancelKeepsAll_data();
    void commSettingsPreselectsAndCancelKeepsAll();
    void dialogsHoldTheirFlagForTheirWholeLife();
    void tickShowsAndRecordsReplies();
    void portCommandsAndClosingWaitForRunningCycle();
    void switchingOffWaitsForRunningCycle_data();
    void switchingOffWaitsForRunningCycle();
    void errorBoxesDoNotPileUp();
    void unsavableSettingsToldOncePerEpisode();
    void boxesNameTheCaptionNeverTheProgramFile_data();
    void boxesNameTheCaptionNeverTheProgramFile();
};

void TestTFrmMain::firstRun_data() {
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("openResult");
    QTest::addColumn<bool>("polling");
    QTest::addColumn<bool>("retry");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no ports ends the program") << QStringList{} << true << false << false << true;
    QTest::newRow("first port opens")
        << QStringList{"ttyS0", "ttyUSB10"} << true << true << false << false;
    QTest::newRow("open fails, asked again")
        << QStringList{"ttyS0"} << false << false << true << false;
}

void TestTFrmMain::firstRun() {
    QFETCH(QStringList, ports);
    QFETCH(bool, openResult);
    Harness h;
    h.link.ports = ports;
    h.link.openResult = openResult;
    bool cancelVisible = true;
    QString selected;
    int baud = -1;
    h.onComSet = [&](TFrmComSet& d) {
        cancelVisible = !d.BtnCl->isHidden();
        selected = d.ComboBox1->currentText();
        baud = d.ComboBox2->currentIndex();
        d.ComboBox1->setCurrentIndex(d.ComboBox1->count() - 1); // the operator's own choice
        d.ComboBox2->setCurrentIndex(4);
    };
    auto w = h.make();
    w->show();
    QVERIFY(QFile::exists(h.config()));
    QCOMPARE(IniReadString(h.config(), "Caption", "title"), QStringLiteral("压力仪表监控软件"));
    QCOMPARE(w->windowTitle(), QStringLiteral("压力仪表监控软件"));
    QVERIFY(w->curveWindows().isEmpty());

    w->LoadTimeTimer();
    QFETCH(bool, polling);
    QFETCH(bool, retry);
    QFETCH(bool, closed);
    QCOMPARE(w->SecCy->isActive(), polling);
    QCOMPARE(w->LoadTime->isActive(), retry);
    QCOMPARE(w->isHidden(), closed);
    if (ports.isEmpty()) {
        QCOMPARE(h.messages,
                 QStringList{QStringLiteral("在计算机上没有发现可用串口设备，程序终止")});
        QCOMPARE(h.comSetRuns, 0);
        return;
    }
    QCOMPARE(h.comSetRuns, 1);
    QVERIFY(!cancelVisible);
    QCOMPARE(selected, ports.first());
    QCOMPARE(baud, 3);
    QCOMPARE(h.link.opened, QStringList{ports.last() + "@4"});
    QVERIFY(h.messages.isEmpty());
}

void TestTFrmMain::configuredPortKeptWholeAndOpened() {
    Harness h;
    IniWriteString(h.config(), "comSet", "comid", "/dev/ttyUSB10");
    IniWriteInteger(h.config(), "comSet", "baudrate", 4);
    auto w = h.make();
    w->LoadTimeTimer();
    QCOMPARE(h.link.opened, QStringList{"/dev/ttyUSB10@4"});
    QCOMPARE(w->state().PortName, QStringLiteral("/dev/ttyUSB10"));
    QVERIFY(w->SecCy->isActive());
    QVERIFY(!w->LoadTime->isActive());
}

void TestTFrmMain::configuredPortFailingAsksAgain() {
    Harness h;
    IniWriteString(h.config(), "comSet", "comid", "ttyS7");
    h.link.ports = {"ttyS0", "ttyS7"};
    h.link.openResult = false;
    int selectedIndex = -2;
    h.onComSet = [&](TFrmComSet& d) {
        selectedIndex = d.ComboBox1->currentIndex();
        d.Confirmed = true;
    };
    auto w = h.make();
    w->LoadTimeTimer();
    QCOMPARE(h.messages, QStringList{QStringLiteral("通讯端口打开失败，必须重新设置")});
    QCOMPARE(selectedIndex, 1);
    QVERIFY(w->state().PortBusy); // stays off the port until a port opens again
    QVERIFY(w->LoadTime->isActive());
    QVERIFY(!w->SecCy->isActive());

    // The port is back: the next run of the step opens it and polling resumes.
    h.link.openResult = true;
    w->LoadTimeTimer();
    QVERIFY(w->SecCy->isActive());
    QVERIFY(!w->state().PortBusy);
}

// No port left on the machine: the configured one fails and the dialog offers only it. In
// flight: a re-run after a failed port change meets a cycle, and another starts in the box.
void TestTFrmMain::deadPortAtStartUp_data() {
    QTest::addColumn<QString>("comid");
    QTest::addColumn<bool>("inFlight");
    QTest::addColumn<QString>("closeIn");   // empty: the dialog is cancelled
    QTest::addColumn<int>("readsAtDialog"); // -1: no dialog
    QTest::newRow("cancelled: unattended") << "ttyUSB0" << false << "" << 0;
    QTest::newRow("cancelled, in flight") << "ttyUSB0" << true << "" << 2;
    QTest::newRow("closed in the box") << "ttyUSB0" << false << "box" << -1;
    QTest::newRow("closed in the dialog") << "ttyUSB0" << false << "dialog" << 0;
    QTest::newRow("closed in the first-run choice") << "" << false << "dialog" << 0;
}

void TestTFrmMain::deadPortAtStartUp() {
    QFETCH(QString, comid);
    QFETCH(bool, inFlight);
    QFETCH(QString, closeIn);
    Harness h;
    IniWriteString(h.config(), "comSet", "comid", comid);
    h.link.ports = comid.isEmpty() ? QStringList{"ttyS0"} : QStringList{};
    h.link.openResult = false;
    h.link.isOpen = h.link.failedOpenStaysOpen = inFlight;
    auto w = h.make();
    w->show();
    w->state().PresY0 = -42;
    w->muAp[1]->trigger();
    w->SecCyTimer();
    bool closable = false;
    int readsAtDialog = -1;
    // Shown as the program shows them; the operator answers or closes from the event loop.
    auto show = [&](const QString& where, QDialog& d) {
        QTimer::singleShot(0, &d, [&] {
            closable = d.isVisible() && !QGuiApplication::modalWindow();
            where == closeIn ? void(w->close()) : d.reject();
        });
        w->runClosable(d);
    };
    h.onMessage = [&](const QString&) {
        w->SecCyTimer();
        QDialog box(w.get());
        show("box", box);
    };
    h.onComSet = [&](TFrmComSet& d) {
        readsAtDialog = w->LoadTime->isActive() ? -2 : int(h.link.fakePort.readSizes.size());
        show("dialog", d);
    };
    w->LoadTimeTimer();
    QCOMPARE(h.link.opened.isEmpty(), inFlight || comid.isEmpty());
    h.scheduler.runAll();
    QTEST(readsAtDialog, "readsAtDialog"); // the step armed again only after the dialog
    QCOMPARE(h.comSetRuns, readsAtDialog < 0 ? 0 : 1);
    QVERIFY(closable);
    QVERIFY(!w->LoadTime->isActive()); // never asked again
    if (!closeIn.isEmpty()) {
        QVERIFY(!w->isVisible());
        QCOMPARE(IniReadInteger(h.config(), "mSet", "PresY0"), -42); // the shutdown writes
        QCOMPARE(h.link.opened.size(), comid.isEmpty() ? 0 : 1);     // nothing after them
        return;
    }
    QVERIFY(w->SecCy->isActive());
    // A port that never opened is not called a lost line.
    QCOMPARE(w->LineStatus->text(), QStringLiteral("通讯端口 ttyUSB0 无法打开, 正在重试"));
    h.link.openResult = true; // the adapter is plugged in again
    QTRY_VERIFY_WITH_TIMEOUT(h.link.isOpen && w->LineStatus->text().isEmpty(), 15000);
    QCOMPARE(h.messages.size(), 1);
}

// config.ini holds no port (deleted, or not writable): the re-armed step takes the first-run
// path, and the port it opens must be polled.
void TestTFrmMain::failedChangeWithoutConfiguredPortResumesPolling() {
    Harness h;
    h.link.ports = {"ttyS0", "ttyS1"};
    h.link.openResult = false;
    h.onComSet = [](TFrmComSet& d) { d.Confirmed = true; };
    auto w = h.make();
    w->muComSetClick();
    QVERIFY(w->state().PortBusy);
    QVERIFY(w->LoadTime->isActive());
    h.link.openResult = true;
    w->LoadTimeTimer();
    QCOMPARE(h.link.opened.last(), QStringLiteral("ttyS0@3"));
    QVERIFY(w->SecCy->isActive());
    QVERIFY(!w->state().PortBusy);
}

void TestTFrmMain::startUpReopensCurveWindowsOnce() {
    Harness h;
    WriteDefaultConfig(h.config());
    IniWriteInteger(h.config(), "OpenOrClose", "2", 1);
    IniWriteInteger(h.config(), "OpenOrClose", "5", 7); // any non-zero value counts as on
    h.link.openResult = false;
    h.link.ports = {"ttyS0"};
    auto w = h.make();
    QVERIFY(w->muAp[2]->isChecked());
    QVERIFY(w->muAp[5]->isChecked());
    QVERIFY(w->curveWindows().isEmpty()); // marks loaded without running the handler
    w->LoadTimeTimer();
    w->LoadTimeTimer(); // a re-run after a failed choice
    QCOMPARE(Captions(*w), (QStringList{"仪表地址:2", "仪表地址:5"}));
    const auto subs = w->mdiArea->subWindowList(QMdiArea::CreationOrder);
    QCOMPARE(subs[0]->pos(), QPoint(30, 0));
    QCOMPARE(subs[1]->pos(), QPoint(120, 0));
    QCOMPARE(w->curveWindows()[1]->GroupBox1->title(), QStringLiteral("05"));
}

// From the initial -100..100, ends set in the order that keeps minimum <= maximum.
void TestTFrmMain::storedRange_data() {
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("yn");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("wholly below the initial range") << -500 << -200 << -500.0 << -200.0;
    QTest::newRow("inverted: maximum taken, minimum skipped") << 500 << 200 << -100.0 << 200.0;
}

void TestTFrmMain::storedRange() {
    QFETCH(int, y0);
    QFETCH(int, yn);
    Harness h;
    WriteDefaultConfig(h.config());
    IniWriteInteger(h.config(), "mSet", "PresY0", y0);
    IniWriteInteger(h.config(), "mSet", "PresYn", yn);
    auto w = h.make();
    QTEST(w->Chart1->axisMinimum(Chart::Left), "min");
    QTEST(w->Chart1->axisMaximum(Chart::Left), "max");
}

void TestTFrmMain::startUpLoadsEachPenIntoItsSeries() {
    Harness h;
    WriteDefaultConfig(h.config());
    for (int n = 1; n <= 8; ++n) {
        const QString key = QString::number(n);
        IniWriteInteger(h.config(), "LineWidthPress", key, n % 5 + 1);
        IniWriteInteger(h.config(), "LineColorPress", key, ColorValue::Rgb(n, 0, 0));
        IniWriteInteger(h.config(), "LineWidthTemp", key, (n + 2) % 5 + 1);
        IniWriteInteger(h.config(), "LineColorTemp", key, ColorValue::Rgb(0, n, 0));
    }
    auto w = h.make();
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(w->Chart1->seriesPen(n - 1).width(), n % 5 + 1);
        QCOMPARE(w->Chart1->seriesPen(n - 1).color(), QColor(n, 0, 0));
        QCOMPARE(w->Chart1->seriesPen(n + 7).width(), (n + 2) % 5 + 1);
        QCOMPARE(w->Chart1->seriesPen(n + 7).color(), QColor(0, n, 0));
    }
    QCOMPARE(w->windowIcon().pixmap(32).toImage(),
             QIcon(":/icons/presmon.png").pixmap(32).toImage());
}

void TestTFrmMain::recordSwitchOpensAndClosesCurveWindow() {
    Harness h;
    auto w = h.make();
    w->show();
    w->muAp[3]->trigger();
    QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", "3"), 1);
    QCOMPARE(Captions(*w), QStringList{"仪表地址:3"});
    const QSize room = w->mdiArea->viewport()->size() - QSize(547, 454);
    QCOMPARE(w->curveWindows()[0]->parentWidget()->pos(),
             QPoint(room.width() / 2, room.height() / 2));
    QCOMPARE(w->curveWindows()[0]->GroupBox1->title(), QStringLiteral("03"));

    w->state().PresValue[3] = 12.5f;
    w->setPanelColor(3, false, 0x008000);
    w->muAp[5]->trigger();
    w->muAp[3]->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", "3"), 0);
    QCOMPARE(Captions(*w), QStringList{"仪表地址:5"}); // only its own window closes
    QCOMPARE(w->state().PresValue[3], 0.0f);
    QCOMPARE(w->panelColor(3, false), ColorValue::kButtonFace);
    QCOMPARE(w->panelColor(3, true), ColorValue::kButtonFace);
}

void TestTFrmMain::openAllThenCloseAll() {
    Harness h;
    auto w = h.make();
    w->muAp[2]->trigger();
    w->muAp[6]->trigger();
    w->state().PointCount = 1300;
    w->state().CurveTickCount = 650;
    w->muOpenAll->trigger();
    QCOMPARE(w->state().PointCount, 1300);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList expected;
    for (int n = 1; n <= 8; ++n) {
        expected << QStringLiteral("仪表地址:%1").arg(n);
        QVERIFY(w->muAp[n]->isChecked());
        QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", QString::number(n)), 1);
    }
    QCOMPARE(Captions(*w), expected);
    const auto subs = w->mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(subs[i]->pos(), QPoint(30 * i, 0));

    for (int s = 0; s < 16; ++s)
        w->Chart1->appendPoint(s, 1.0f);
    w->Chart1->setAxisRange(Chart::Bottom, 1200, 1800); // a maximum of 600 first is refused
    w->muCloseAll->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w->curveWindows().isEmpty());
    for (int s = 0; s < 16; ++s)
        QCOMPARE(w->Chart1->pointCount(s), 0);
    QCOMPARE(w->state().PointCount, 0);
    QCOMPARE(w->Chart1->axisMinimum(Chart::Bottom), 0.0);
    QCOMPARE(w->Chart1->axisMaximum(Chart::Bottom), 600.0);
    for (int n = 1; n <= 8; ++n)
        QVERIFY(!w->muAp[n]->isChecked());
    QCOMPARE(w->state().CurveTickCount, 650);
}

void TestTFrmMain::closingCurveWindowUnchecksAndShutdownStoresIt() {
    Harness h;
    h.link.isOpen = true;
    auto w = h.make();
    w->muAp[4]->trigger();
    w->state().PresY0 = -50;
    w->setPanelColor(4, false, 0x008000);
    w->setPanelColor(4, true, 0x00FFFF);
    w->curveWindows()[0]->parentWidget()->close();
    QVERIFY(!w->muAp[4]->isChecked());
    QCOMPARE(w->panelColor(4, false), ColorValue::kButtonFace);
    QCOMPARE(w->panelColor(4, true), ColorValue::kButtonFace);
    QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", "4"), 1); // not written until shutdown
    w->close();
    QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", "4"), 0);
    QCOMPARE(IniReadInteger(h.config(), "mSet", "PresY0"), -50);
    QVERIFY(!h.link.isOpen); // the port closes with the window
}

void TestTFrmMain::commSettingsPreselectsAndCancelKeepsAll_data() {
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("baudIndex");
    QTest::addColumn<int>("portShown");
    QTest::addColumn<int>("baudShown");
    QTest::newRow("listed port") << "ttyS7" << 2 << 1 << 2;
    QTest::newRow("listed twice: the last") << "ttyS0" << 4 << 2 << 4;
    QTest::newRow("unlisted port offered, rate out of range") << "ttyS9" << 5 << 3 << -1;
    QTest::newRow("no port configured: none selected") << "" << 2 << -1 << 2;
    QTest::newRow("negative rate") << "ttyS7" << -1 << 1 << -1;
}

void TestTFrmMain::commSettingsPreselectsAndCancelKeepsAll() {
    QFETCH(QString, portName);
    QFETCH(int, baudIndex);
    Harness h;
    h.link.ports = {"ttyS0", "ttyS7", "ttyS0"};
    int portShown = -2, baudShown = -2;
    QString textShown = "?";
    h.onComSet = [&](TFrmComSet& d) {
        portShown = d.ComboBox1->currentIndex();
        textShown = d.ComboBox1->currentText();
        baudShown = d.ComboBox2->currentIndex();
        d.ComboBox1->setCurrentIndex(0); // changed, then cancelled
        d.ComboBox2->setCurrentIndex(0);
    };
    auto w = h.make();
    w->state().PortName = portName;
    w->state().BaudIndex = baudIndex;
    const QByteArray before = FileBytes(h.config());

    w->muComSet->trigger(); // not confirmed

    QTEST(portShown, "portShown");
    QTEST(baudShown, "baudShown");
    QCOMPARE(textShown, portShown < 0 ? QString() : portName);
    QCOMPARE(w->state().PortName, portName);
    QCOMPARE(w->state().BaudIndex, baudIndex);
    QCOMPARE(FileBytes(h.config()), before);
    QVERIFY(h.link.opened.isEmpty());
    QVERIFY(!w->state().PortBusy); // the old port goes on being polled
}

// Each flag is set before its dialog exists and cleared only after it is gone.
void TestTFrmMain::dialogsHoldTheirFlagForTheirWholeLife() {
    Harness h;
    h.link.isOpen = true;
    auto w = h.make();
    QStringList seen;
    h.onDialog = [&](QDialog& d) {
        auto flags = [&w, &seen](const char* when) {
            seen << QStringLiteral("%1 busy=%2 history=%3")
                        .arg(when)
                        .arg(int(w->state().PortBusy))
                        .arg(int(w->state().HistoryOpen));
        };
        flags(d.metaObject()->className());
        connect(&d, &QObject::destroyed, w.get(), [flags] { flags("destroyed"); });
    };
    w->muAppSet->trigger();
    w->muPrint->trigger();
    QCOMPARE(seen, (QStringList{"TFrmPicAll busy=1 history=0", "destroyed busy=1 history=0",
                                "TFrmPrint busy=0 history=1", "destroyed busy=0 history=1"}));
    QVERIFY(!w->state().PortBusy);
    QVERIFY(!w->state().HistoryOpen);
}

void TestTFrmMain::tickShowsAndRecordsReplies() {
    Harness h;
    h.link.isOpen = true;
    auto w = h.make();
    w->muAp[1]->trigger();
    w->muShowAll->trigger(); // the hidden chart is plotted all the same
    for (int n = 1; n <= 8; ++n) {
        w->state().LineWidthPress[n] = n % 5 + 1;
        w->state().LineColorPress[n] = ColorValue::Rgb(n, 0, 0);
        w->state().LineWidthTemp[n] = (n + 2) % 5 + 1;
        w->state().LineColorTemp[n] = ColorValue::Rgb(0, n, 0);
    }
    w->pushChartSettings();
    h.link.fakePort.pendingReads << Reply(1, '3', "12345", '1') + Reply(1, '4', "00256", '3');
    w->SecCyTimer();
    h.scheduler.runAll();
    QVERIFY(w->Chart1->isHidden());
    w->muShowAll->trigger();
    QVERIFY(!w->Chart1->isHidden());
    QCOMPARE(w->panel(1, false)->text(), QStringLiteral("12.345"));
    QCOMPARE(w->panel(1, true)->text(), QStringLiteral("25.6"));
    QCOMPARE(w->panelColor(1, false), 0x008000);
    QCOMPARE(w->Chart1->pointCount(0), 1);
    QCOMPARE(w->Chart1->pointValue(0, 0), 12.345f);
    // the readout lists the switched-on instrument at the row's clock second
    const ChartReadout::Reading at = w->Chart1Readout->readingAt(0);
    QCOMPARE(ChartReadout::timeText(at.second.value_or(0)), QStringLiteral("08:30:00"));
    QCOMPARE(at.lines.size(), 2);
    QCOMPARE(at.lines[1].title, QStringLiteral("温度1"));
    for (int n = 1; n <= 8; ++n) { // every pen re-applied to its own series
        QCOMPARE(w->Chart1->seriesPen(n - 1).color(), QColor(n, 0, 0));
        QCOMPARE(w->Chart1->seriesPen(n + 7).color(), QColor(0, n, 0));
        QCOMPARE(w->Chart1->seriesPen(n + 7).width(), (n + 2) % 5 + 1);
    }
    const QList<QByteArray> lines = FileBytes(h.dir.path() + "/Data/2024/03/15.csv").split('\n');
    QCOMPARE(lines.value(1), QByteArray("65F40708,2024-03-15 08:30:00,12.345,25.6,0.0,0.0,0.0,0.0,"
                                        "0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,0.0,\r"));
    // after a reset the new point 0 reads its own time, not the old point 0's
    for (int on : {0, 1}) {
        w->acquisition().setSwitch(1, on); // the cycle's own switch, without the menu's work
        h.now = h.now.addSecs(7);
        w->SecCyTimer();
        h.scheduler.runAll();
    }
    QCOMPARE(ChartReadout::timeText(*w->Chart1Readout->readingAt(0).second), "08:30:14");
}

void TestTFrmMain::portCommandsAndClosingWaitForRunningCycle() {
    Harness h;
    h.link.isOpen = true;
    h.link.ports = {"ttyS0"};
    qsizetype readsBeforeDialog = -1;
    h.onComSet = [&](TFrmComSet&) { readsBeforeDialog = h.link.fakePort.readSizes.size(); };
    auto w = h.make();
    w->show();
    w->muAp[1]->trigger();
    w->SecCyTimer(); // the cycle now waits between its requests
    w->muComSet->trigger();
    w->close();
    QCOMPARE(h.comSetRuns, 0);
    QVERIFY(w->isVisible());
    h.scheduler.runAll();
    QCOMPARE(readsBeforeDialog, 1);
    QVERIFY(!w->isVisible());
}

void TestTFrmMain::switchingOffWaitsForRunningCycle_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("record switch") << "muAp2";
    QTest::newRow("curve window closed") << "window";
    QTest::newRow("close all") << "muCloseAll";
}

// The cycle polls, shows and records the switches it started with; the command follows it.
void TestTFrmMain::switchingOffWaitsForRunningCycle() {
    QFETCH(QString, command);
    Harness h;
    h.link.isOpen = true;
    auto w = h.make();
    w->muAp[1]->trigger();
    w->muAp[2]->trigger();
    h.link.fakePort.pendingReads << Reply(2, '3', "00100", '4');
    w->SecCyTimer(); // the cycle now waits between its requests
    if (command == "window")
        w->curveWindows()[1]->parentWidget()->close();
    else
        w->findChild<QAction*>(command)->trigger();
    h.scheduler.runAll();
    QCOMPARE(h.link.fakePort.writes.size(), 4);
    QCOMPARE(w->panelColor(2, false), ColorValue::kButtonFace);
    QCOMPARE(w->state().PresValue[2], 0.0f);
    QCOMPARE(w->Chart1->pointCount(0), command == "muCloseAll" ? 0 : 1);
}

void TestTFrmMain::errorBoxesDoNotPileUp() {
    Harness h;
    h.link.isOpen = true;
    auto w = h.make();
    w->muAp[1]->trigger();
    // A reply that passes the check but carries no number, on every tick.
    const QByteArray bad = Reply(1, '3', "1x2y3", '1');
    int nested = 0;
    h.onError = [&](const QString&) {
        // While the box is open, the timer keeps ticking inside its modal loop.
        for (; nested < 3; ++nested) {
            h.link.fakePort.pendingReads << bad;
            w->SecCyTimer();
            h.scheduler.runAll();
        }
    };
    h.link.fakePort.pendingReads << bad;
    w->SecCyTimer();
    h.scheduler.runAll();
    QVERIFY(h.errors.isEmpty()); // the box opens after the tick, not inside it
    QCoreApplication::processEvents();
    QCOMPARE(h.errors.size(), 1);
    QVERIFY(h.errors[0].contains("1x2y3"));
    h.link.fakePort.pendingReads << bad;
    w->SecCyTimer(); // the box was closed: the next failure shows again
    h.scheduler.runAll();
    QCoreApplication::processEvents();
    QCOMPARE(h.errors.size(), 2);
}

// A config.ini made read-only after the start: the operator is told once, in the status line
// while it lasts and in one box, and the line goes once a write succeeds again.
void TestTFrmMain::unsavableSettingsToldOncePerEpisode() {
    Harness h;
    auto w = h.make();
    QFile config(h.config());
    const QFileDevice::Permissions writable = config.permissions();
    QVERIFY(config.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    for (int n : {8, 7}) {
        w->muAp[n]->trigger();
        QTRY_COMPARE(h.errors.size(), 1);
    }
    QCOMPARE(IniReadInteger(h.config(), "OpenOrClose", "8"), 0);
    QVERIFY(h.errors.first().contains(QDir::toNativeSeparators(h.config())));
    QCOMPARE(w->ConfigStatus->text(), h.errors.first());
    QVERIFY(config.setPermissions(writable));
    w->muAp[8]->trigger();
    QTRY_VERIFY(w->ConfigStatus->text().isEmpty());
    QCOMPARE(h.errors.size(), 1);
}

void TestTFrmMain::boxesNameTheCaptionNeverTheProgramFile_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("caption") << QStringLiteral("压力监控 3 号线");
    QTest::newRow("empty caption") << QString();
}

// A box's title bar shows the program's display name: the configured caption, or nothing.
void TestTFrmMain::boxesNameTheCaptionNeverTheProgramFile() {
    QFETCH(QString, caption);
    Harness h;
    QVERIFY(WriteDefaultConfig(h.config()));
    QVERIFY(IniWriteString(h.config(), "Caption", "title", caption));
    auto w = h.make();
    QCOMPARE(w->windowTitle(), caption);
    QCOMPARE(QGuiApplication::applicationDisplayName().trimmed(), caption);
}

QTEST_MAIN(TestTFrmMain)
#include "tst_TFrmMain.moc"
