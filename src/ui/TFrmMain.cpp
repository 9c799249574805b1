#include "TFrmMain.h"

#include "Acquisition.h"
#include "AcquisitionLink.h"
#include "AlarmLook.h"
#include "Chart.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "Ini.h"
#include "MainCycleDisplay.h"
#include "ProgramIcon.h"
#include "ScreenFit.h"
#include "SerialPorts.h"
#include "TFrmAlarmSet.h"
#include "TFrmComSet.h"
#include "TFrmEvents.h"
#include "TFrmLine.h"
#include "TFrmLineSet.h"
#include "TFrmPicAll.h"
#include "TFrmPrint.h"
#include "TFrmTrend.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

const QString kNoPortsMessage = QStringLiteral("在计算机上没有发现可用串口设备，程序终止");
const QString kOpenFailedMessage = QStringLiteral("通讯端口打开失败，必须重新设置");
const QRect kFrame(192, 113, 981, 768); // the main window's outer frame at start

// Sets a flag for a scope and clears it however the scope ends.
class FlagGuard {
  public:
    explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

  private:
    bool& m_flag;
};

} // namespace

TFrmMain::TFrmMain(MainEnvironment env, QWidget* parent)
    : QMainWindow(parent), m_env(std::move(env)) {
    setObjectName(QStringLiteral("FrmMain"));
    // 981 x 768 at 192, 113 is the frame where the screen holds it, else the frame fitted into
    // the screen's free area (a move places the frame); fitFrame() takes the
    // frame's margins off the size once they are known.
    FitWindowToScreen(this, kFrame);
    setWindowIcon(ProgramIcon());

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildValueRow();
    // On a screen narrower than the eight panels the row scrolls instead of losing panel 8.
    m_valueRow = new QScrollArea(central);
    m_valueRow->setObjectName(QStringLiteral("ValueRow"));
    m_valueRow->setFrameShape(QFrame::NoFrame);
    m_valueRow->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_valueRow->setWidgetResizable(true);
    m_valueRow->setWidget(ToolBar2);
    m_valueRow->setFixedHeight(ToolBar2->height());
    column->addWidget(m_valueRow);

    // The main chart lies over the curve windows; hiding it uncovers them.
    m_chartArea = new QWidget(central);
    auto* stack = new QGridLayout(m_chartArea);
    stack->setContentsMargins(0, 0, 0, 0);
    mdiArea = new QMdiArea(m_chartArea);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    mdiArea->setBackground(ColorValue::ToQColor(int32_t(ColorValue::kSystemFlag | 1u)));
    stack->addWidget(mdiArea, 0, 0);
    buildMainChart();
    stack->addWidget(Chart1, 0, 0);
    Chart1->raise();
    column->addWidget(m_chartArea, 1);
    setCentralWidget(central);

    buildMenu();

    LoadTime = new QTimer(this);
    LoadTime->setObjectName(QStringLiteral("LoadTime"));
    LoadTime->setInterval(50);
    LoadTime->setSingleShot(true);
    connect(LoadTime, &QTimer::timeout, this, &TFrmMain::LoadTimeTimer);

    RecordStatus = new QLabel(statusBar());
    RecordStatus->setObjectName(QStringLiteral("RecordStatus"));
    statusBar()->addWidget(RecordStatus);

    // A lost line is closed and retried apart from the cycle, and shown without a modal box
    // that would wait for an operator who is not there.
    LineStatus = new QLabel(statusBar());
    LineStatus->setObjectName(QStringLiteral("LineStatus"));
    statusBar()->addWidget(LineStatus);

    // Settings that cannot be saved are said once an episode, and shown while it lasts.
    ConfigStatus = new QLabel(statusBar());
    ConfigStatus->setObjectName(QStringLiteral("ConfigStatus"));
    statusBar()->addWidget(ConfigStatus);
    const QPointer<TFrmMain> self(this);
    const QString config = QFileInfo(configPath()).absoluteFilePath();
    SetIniWriteObserver([self, config](const QString& path, bool saved) {
        if (self && QFileInfo(path).absoluteFilePath() == config)
            QMetaObject::invokeMethod(self, [self, saved] {
                if (self)
                    self->configSaved(saved);
            });
    });

    m_display = std::make_unique<MainCycleDisplay>(*this);
    Acquisition::Settings settings;
    settings.baseDir = m_env.baseDir;
    settings.link = m_env.link;
    settings.scheduler = m_env.scheduler;
    settings.clock = m_env.clock;
    m_acq = std::make_unique<Acquisition>(settings);
    m_link = std::make_unique<AcquisitionLink>(*m_acq);
    SecCy = m_acq->tickTimer();
    LineWatch = m_acq->lineWatch();
    connect(m_acq.get(), &Acquisition::reported, this,
            [this](const CycleReport& report) { applyReport(report); });
    connect(m_acq.get(), &Acquisition::lineStateChanged, this,
            [this](const QString& port, LineState state) {
                switch (state) {
                case LineState::Working:
                    LineStatus->clear();
                    break;
                case LineState::Lost:
                    LineStatus->setText(QStringLiteral("通讯中断: %1, 正在重新连接").arg(port));
                    break;
                case LineState::NotOpened:
                    LineStatus->setText(QStringLiteral("通讯端口 %1 无法打开, 正在重试").arg(port));
                    break;
                }
            });
    connect(m_acq.get(), &Acquisition::errorRaised, this, &TFrmMain::showErrorOnce);
    connect(m_acq.get(), &Acquisition::cycleFinished, this, &TFrmMain::cycleFinished);

    // Alarms show in the instruments' group boxes and the status line; the panels' colours
    // stay the line's state.
    m_alarms = std::make_unique<AlarmSnapshot>();
    AlarmStatus = new QLabel(statusBar());
    AlarmStatus->setObjectName(QStringLiteral("AlarmStatus"));
    statusBar()->addWidget(AlarmStatus);
    AlarmBlink = new QTimer(this);
    AlarmBlink->setObjectName(QStringLiteral("AlarmBlink"));
    AlarmBlink->setInterval(AlarmLook::kBlinkMs);
    connect(AlarmBlink, &QTimer::timeout, this, [this] {
        m_blinkOn = !m_blinkOn;
        for (int n = 1; n <= SharedState::kInstruments; ++n) {
            if (AlarmLook::Blinks(m_alarms->worst(n)))
                applyAlarmLook(n);
        }
    });
    AlarmBeep = new QTimer(this);
    AlarmBeep->setObjectName(QStringLiteral("AlarmBeep"));
    AlarmBeep->setInterval(2000);
    connect(AlarmBeep, &QTimer::timeout, this, &TFrmMain::soundAlert);
    connect(m_acq.get(), &Acquisition::alarmsChanged, this, &TFrmMain::showAlarms);

    FormCreate();
    if (m_env.acquisitionThread)
        m_acq->start();
    LoadTime->start();
}

TFrmMain::~TFrmMain() {
    // The line is closed and the thread ended before anything it reports to goes.
    m_acq->stop();
    SetIniWriteObserver(nullptr);
    // Released while a close still waited for the cycle: the shutdown writes must not be lost.
    if (m_closeDue)
        FormClose();
}

void TFrmMain::buildValueRow() {
    ToolBar2 = new QWidget(this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setFixedHeight(129);
    // Scrolls only once panel 8 itself would be cut: at the designed size the client area ends
    // a few pixels into box 8's right border.
    ToolBar2->setMinimumWidth(2 + (SharedState::kInstruments - 1) * 121 + 113);
    QFont panelFont(QStringLiteral("Arial"));
    panelFont.setPixelSize(19);
    panelFont.setBold(true);
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        auto* box = new QGroupBox(QStringLiteral("仪表地址%1").arg(n), ToolBar2);
        box->setObjectName(QStringLiteral("GroupBox%1").arg(9 - n));
        box->setGeometry(2 + (n - 1) * 121, 4, 121, 119);
        GroupBoxOfAddress[n] = box;
        auto* pressLabel = new QLabel(QStringLiteral("压力采样值"), box);
        pressLabel->move(8, 24);
        auto* tempLabel = new QLabel(QStringLiteral("温度采样值"), box);
        tempLabel->move(8, 72);
        for (int t = 0; t < 2; ++t) {
            const int number = 2 * n - 1 + t;
            auto* p = new QLabel(QStringLiteral("0.0"), box);
            p->setObjectName(QStringLiteral("Panel%1").arg(number));
            p->setGeometry(8, t == 0 ? 40 : 88, 105, 25);
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            p->setAlignment(Qt::AlignCenter);
            p->setFont(panelFont);
            p->setAutoFillBackground(true);
            Panels[number] = p;
            setPanelColor(n, t == 1, ColorValue::kButtonFace);
        }
    }
}

void TFrmMain::buildMainChart() {
    Chart1 = new Chart(m_chartArea);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setTitleVisible(false);
    Chart1->setLegendVisible(false);
    Chart1->setAxisTitle(Chart::Left, QStringLiteral("压力(Pa)"));
    Chart1->setAxisRange(Chart::Left, -100, 100);
    Chart1->setAxisTitle(Chart::Right, QStringLiteral("温度(℃)"));
    Chart1->setAxisRange(Chart::Right, 0, 40);
    Chart1->setAxisGridVisible(Chart::Right, false);
    Chart1->setAxisRange(Chart::Bottom, 0, 600);
    // Titles only name the values in the readout; the legend stays hidden.
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        Chart1->addSeries(Chart::Left, QStringLiteral("压力%1").arg(n)); // Series1..8: 0..7
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        Chart1->addSeries(Chart::Right, QStringLiteral("温度%1").arg(n)); // Series9..16: 8..15
    Chart1Readout = new ChartReadout(Chart1);
    // Switched-off instruments only draw zeros; the readout lists the ones being recorded.
    Chart1Readout->setSeriesFilter([this](int series) { return isSwitchedOn(series % 8 + 1); });
}

void TFrmMain::buildMenu() {
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    muCtrl = menuBar()->addMenu(QStringLiteral("控制"));
    muCtrl->setObjectName(QStringLiteral("muCtrl"));
    muPrint = addItem(muCtrl, "muPrint", QStringLiteral("打印"));
    muTrend = addItem(muCtrl, "muTrend", QStringLiteral("趋势"));
    muEvents = addItem(muCtrl, "muEvents", QStringLiteral("报警记录"));
    muCtrl->addSeparator()->setObjectName(QStringLiteral("N2"));
    muExit = addItem(muCtrl, "muExit", QStringLiteral("退出"));

    muSetting = menuBar()->addMenu(QStringLiteral("设置"));
    muSetting->setObjectName(QStringLiteral("muSetting"));
    muComSet = addItem(muSetting, "muComSet", QStringLiteral("通讯设置"));
    muLineSet = addItem(muSetting, "muLineSet", QStringLiteral("曲线设置"));
    muAppSet = addItem(muSetting, "muAppSet", QStringLiteral("仪表设置"));
    muAlarmSet = addItem(muSetting, "muAlarmSet", QStringLiteral("报警设置"));

    muCy = menuBar()->addMenu(QStringLiteral("数据记录"));
    muCy->setObjectName(QStringLiteral("muCy"));
    muOC = muCy->addMenu(QStringLiteral("打开/关闭"));
    muOC->setObjectName(QStringLiteral("muOC"));
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        muAp[n] = addItem(muOC, "", QStringLiteral("机码%1").arg(n, 2, 10, QLatin1Char('0')));
        muAp[n]->setObjectName(QStringLiteral("muAp%1").arg(n));
        muAp[n]->setCheckable(true);
        muAp[n]->setData(n); // the item's tag: its address
    }
    muOC->addSeparator()->setObjectName(QStringLiteral("N1"));
    muOpenAll = addItem(muOC, "muOpenAll", QStringLiteral("全部打开"));
    muCloseAll = addItem(muOC, "muCloseAll", QStringLiteral("全部关闭"));
    muShowAll = addItem(muCy, "muShowAll", QStringLiteral("单图显示"));
    muShowAll->setCheckable(true);
    muShowAll->setChecked(true);

    connect(muPrint, &QAction::triggered, this, &TFrmMain::muPrintClick);
    connect(muTrend, &QAction::triggered, this, &TFrmMain::muTrendClick);
    connect(muEvents, &QAction::triggered, this, &TFrmMain::muEventsClick);
    connect(muAlarmSet, &QAction::triggered, this, &TFrmMain::muAlarmSetClick);
    connect(muExit, &QAction::triggered, this, &TFrmMain::muExitClick);
    connect(muComSet, &QAction::triggered, this, &TFrmMain::muComSetClick);
    connect(muLineSet, &QAction::triggered, this, &TFrmMain::muLineSetClick);
    connect(muAppSet, &QAction::triggered, this, &TFrmMain::muAppSetClick);
    connect(muOpenAll, &QAction::triggered, this, &TFrmMain::muOpenAllClick);
    connect(muCloseAll, &QAction::triggered, this, &TFrmMain::muCloseAllClick);
    connect(muShowAll, &QAction::triggered, this, &TFrmMain::muShowAllClick);
}

void TFrmMain::FormCreate() {
    const QString path = configPath();
    if (QFile::exists(path))
        MakeWritable(path);
    else
        WriteDefaultConfig(path);

    const QString caption = IniReadString(path, QStringLiteral("Caption"), QStringLiteral("title"));
    setWindowTitle(caption);
    // Boxes, and a window whose title is empty, show the program's name in their title bar:
    // the caption, or nothing at all.
    QCoreApplication::setApplicationName(caption.isEmpty() ? QStringLiteral(" ") : caption);

    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        const QString key = QString::number(n);
        // The record-switch handler is bound to the user's click only: loading the marks
        // opens no window and writes nothing.
        connect(muAp[n], &QAction::triggered, this, [this, n] { muApClick(muAp[n]); });
        muAp[n]->setChecked(IniReadInteger(path, QStringLiteral("OpenOrClose"), key) != 0);
        m_state.LineWidthPress[n] = IniReadInteger(path, QStringLiteral("LineWidthPress"), key);
        m_state.LineColorPress[n] = IniReadInteger(path, QStringLiteral("LineColorPress"), key);
        m_state.LineWidthTemp[n] = IniReadInteger(path, QStringLiteral("LineWidthTemp"), key);
        m_state.LineColorTemp[n] = IniReadInteger(path, QStringLiteral("LineColorTemp"), key);
        Chart1->setSeriesPen(n - 1, m_state.LineWidthPress[n],
                             ColorValue::ToQColor(m_state.LineColorPress[n]));
        Chart1->setSeriesPen(n + 7, m_state.LineWidthTemp[n],
                             ColorValue::ToQColor(m_state.LineColorTemp[n]));
    }
    m_state.TempFull = IniReadInteger(path, QStringLiteral("mSet"), QStringLiteral("TempFull"));
    m_state.PresY0 = IniReadInteger(path, QStringLiteral("mSet"), QStringLiteral("PresY0"));
    m_state.PresYn = IniReadInteger(path, QStringLiteral("mSet"), QStringLiteral("PresYn"));
    Chart1->setAxisRange(Chart::Left, m_state.PresY0, m_state.PresYn);
    loadAlarmLimits();
    SharedState::PerAddress<bool> on{};
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        on[n] = muAp[n]->isChecked();
    m_acq->post([on](Acquisition& a) {
        for (int n = 1; n <= SharedState::kInstruments; ++n)
            a.setSwitch(n, on[n]);
    });
    pushChartSettings();
}

void TFrmMain::pushChartSettings() {
    afterCycle([settings = m_state](Acquisition& a) { a.setChartSettings(settings); }, {});
}

void TFrmMain::afterCycle(std::function<void(Acquisition&)> acquisitionPart,
                          std::function<void()> windowPart) {
    m_acq->post([this, acquisitionPart = std::move(acquisitionPart),
                 windowPart = std::move(windowPart)](Acquisition& a) {
        a.afterCycle(acquisitionPart, this, windowPart);
    });
}

void TFrmMain::setPortBusy(bool busy) {
    m_state.PortBusy = busy;
    afterCycle([busy](Acquisition& a) { a.setPortBusy(busy); }, {});
}

void TFrmMain::setHistoryOpen(bool open) {
    m_state.HistoryOpen = open;
    afterCycle([open](Acquisition& a) { a.setHistoryOpen(open); }, {});
}

// The port is the cycle's again: polling resumes, at once or only when it had stopped.
void TFrmMain::resumePolling(bool restart) {
    setPortBusy(false);
    m_acq->post([restart](Acquisition& a) {
        if (restart)
            a.stopTicking();
        a.startTicking();
    });
}

void TFrmMain::applyReport(const CycleReport& report) {
    for (const DisplayOp& op : report.ops)
        m_display->apply(op);
    m_state.PresValue = report.presValue;
    m_state.TempValue = report.tempValue;
    m_state.PointCount = report.pointCount;
}

void TFrmMain::configSaved(bool saved) {
    if (saved) {
        if (std::exchange(m_configUnsaved, false))
            ConfigStatus->clear();
        return;
    }
    if (std::exchange(m_configUnsaved, true))
        return;
    const QString text = QStringLiteral("设置无法保存: %1 不能写入, 更改的设置在下次启动时将丢失")
                             .arg(QDir::toNativeSeparators(configPath()));
    ConfigStatus->setText(text);
    if (!m_closed)
        showErrorOnce(text);
}

void TFrmMain::loadAlarmLimits() {
    QStringList bad;
    const AlarmLimits limits = ReadAlarmLimits(configPath(), &bad);
    // Reported once, in the status line: a box at start-up would wait for nobody.
    m_badLimits = bad.isEmpty() ? QString() : BadAlarmKeysText(bad);
    AlarmStatus->setText(m_badLimits);
    m_acq->post([limits](Acquisition& a) { a.setAlarmLimits(limits); });
}

void TFrmMain::showAlarms(const AlarmSnapshot& snapshot) {
    const AlarmEvent newest = snapshot.newestUnacknowledged;
    // A new alarm sounds again, whoever silenced the one before.
    if (!newest.text.isEmpty() && !(newest == m_alarms->newestUnacknowledged))
        m_silenced = false;
    *m_alarms = snapshot;
    bool blinking = false;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        applyAlarmLook(n);
        blinking = blinking || AlarmLook::Blinks(snapshot.worst(n));
    }
    if (blinking && !AlarmBlink->isActive())
        AlarmBlink->start();
    else if (!blinking)
        AlarmBlink->stop();
    AlarmStatus->setText(newest.text.isEmpty() ? m_badLimits : AlarmStatusText(newest));
    if (snapshot.anyUnacknowledged && !m_silenced) {
        if (!AlarmBeep->isActive()) {
            AlarmBeep->start();
            soundAlert();
        }
    } else {
        AlarmBeep->stop();
    }
}

void TFrmMain::applyAlarmLook(int n) {
    AlarmLook::Apply(GroupBoxOfAddress[n], m_alarms->worst(n), m_blinkOn);
    // A new style sheet on the box polishes the panels inside it afresh, which drops their
    // colours: the link state must not go grey because an alarm blinks.
    for (bool temperature : {false, true})
        setPanelColor(n, temperature, panelColor(n, temperature));
}

void TFrmMain::soundAlert() {
    if (m_env.beep)
        m_env.beep();
    else
        QApplication::beep();
}

void TFrmMain::silenceAlarms() {
    m_silenced = true;
    AlarmBeep->stop();
}

void TFrmMain::muTrendClick() {
    TFrmTrend dialog(m_state, m_env.baseDir, this);
    if (m_env.runDialog)
        m_env.runDialog(dialog);
}

void TFrmMain::muEventsClick() {
    TFrmEvents dialog(m_env.baseDir, this);
    if (m_env.clock)
        dialog.setDate(m_env.clock().date());
    dialog.setAcknowledge([this](int address, int kind) {
        m_acq->post([address, kind](Acquisition& a) { a.acknowledge(address, kind); });
    });
    dialog.setAcknowledgeAll([this] { m_acq->post([](Acquisition& a) { a.acknowledgeAll(); }); });
    dialog.setSilence([this] { silenceAlarms(); });
    dialog.showAlarms(*m_alarms);
    connect(m_acq.get(), &Acquisition::alarmsChanged, &dialog, &TFrmEvents::showAlarms);
    if (m_env.runDialog)
        m_env.runDialog(dialog);
}

void TFrmMain::muAlarmSetClick() {
    TFrmAlarmSet dialog(configPath(), this);
    if (m_env.runDialog)
        m_env.runDialog(dialog);
    if (dialog.written())
        loadAlarmLimits();
}

bool TFrmMain::polling() const {
    return m_acq->call<bool>([](Acquisition& a) { return a.tickTimer()->isActive(); });
}

TFrmLine* TFrmMain::openCurveWindow(int address, bool cascade) {
    auto* window = new TFrmLine(m_state, [this](int n) { curveWindowClosed(n); });
    if (m_env.clock)
        window->setClock(m_env.clock);
    window->setInstrument(address);
    QMdiSubWindow* sub = mdiArea->addSubWindow(window);
    sub->setWindowIcon(window->windowIcon());
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(547, 454);
    if (cascade) {
        sub->move(30 * (address - 1), 0);
    } else {
        const QSize area = mdiArea->viewport()->size();
        sub->move(qMax(0, (area.width() - sub->width()) / 2),
                  qMax(0, (area.height() - sub->height()) / 2));
    }
    sub->show();
    return window;
}

QList<TFrmLine*> TFrmMain::curveWindows() const {
    QList<TFrmLine*> windows;
    for (QMdiSubWindow* sub : mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* line = qobject_cast<TFrmLine*>(sub->widget()); line && !sub->isHidden())
            windows << line;
    }
    return windows;
}

void TFrmMain::closeCurveWindows(int address) {
    // The command that closes them sets the switches itself.
    FlagGuard closing(m_closingWindows);
    // Work on a copy: closing releases windows later, but the list must not shift under us.
    const QList<QMdiSubWindow*> subs = mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* sub : subs) {
        if (address == 0 || TFrmLine::AddressFromCaption(sub->windowTitle()) == address)
            sub->close();
    }
}

void TFrmMain::curveWindowClosed(int address) {
    if (m_closingWindows)
        return;
    // The window is gone at once; its instrument is switched off once a cycle in flight ends:
    // that cycle still polls it, shows and plots its values.
    afterCycle([address](Acquisition& a) { a.setSwitch(address, false); },
               [this, address] {
                   if (m_closed)
                       return;
                   muAp[address]->setChecked(false);
                   m_state.PresValue[address] = 0;
                   m_state.TempValue[address] = 0;
                   setPanelColor(address, false, ColorValue::kButtonFace);
                   setPanelColor(address, true, ColorValue::kButtonFace);
               });
}

QLabel* TFrmMain::panel(int n, bool temperature) const {
    return Panels[2 * n - (temperature ? 0 : 1)];
}

void TFrmMain::setPanelColor(int n, bool temperature, int32_t colorValue) {
    QLabel* p = panel(n, temperature);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, ColorValue::ToQColor(colorValue));
    p->setPalette(pal);
    p->setProperty("colorValue", colorValue);
}

int32_t TFrmMain::panelColor(int n, bool temperature) const {
    return panel(n, temperature)->property("colorValue").toInt();
}

bool TFrmMain::isSwitchedOn(int n) const {
    return muAp[n]->isChecked();
}

void TFrmMain::showErrorOnce(const QString& text) {
    if (m_errorBoxOpen)
        return;
    m_errorBoxOpen = true;
    // Shown from the event loop once the tick is over: Qt never fires a timer again while its
    // own handler runs, so a box opened inside the tick would stop polling and recording until
    // the operator clicks OK.
    QTimer::singleShot(0, this, [this, text] {
        FlagGuard open(m_errorBoxOpen);
        if (m_env.showError)
            m_env.showError(text);
    });
}

void TFrmMain::LoadTimeTimer() {
    LoadTime->stop();
    if (m_closed)
        return;
    // The step takes the line over: never while a cycle waits for its replies (after a failed
    // port change the cycle goes on ticking), and nothing of it shows before that cycle ends.
    afterCycle({}, [this] {
        if (!m_closed)
            startUpStep();
    });
}

void TFrmMain::startUpStep() {
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        if (!muAp[n]->isChecked())
            continue;
        // A re-run after a failed port change must not open a second window per instrument.
        bool open = false;
        for (TFrmLine* w : curveWindows())
            open = open || w->instrument() == n;
        if (!open)
            openCurveWindow(n, true);
    }

    const QString path = configPath();
    const QString comid = IniReadString(path, QStringLiteral("comSet"), QStringLiteral("comid"));
    if (!comid.isEmpty()) {
        // Kept whole: a cut name would open another port or none (COM12 is not COM1).
        m_state.PortName = PlatformPortName(comid);
        m_state.BaudIndex =
            IniReadInteger(path, QStringLiteral("comSet"), QStringLiteral("baudrate"));
        const QString name = m_state.PortName;
        const int baud = m_state.BaudIndex;
        m_acq->post([name, baud](Acquisition& a) { a.setPort(name, baud); });
        openConfiguredPort();
        return;
    }
    if (firstRunPortChoice()) {
        // Also reached after a failed port change when config.ini holds no port: the
        // cycle must get the port back.
        resumePolling(true);
    } else if (!m_closed) {
        LoadTime->start();
    }
}

void TFrmMain::openConfiguredPort() {
    if (m_link->open(m_state.PortName, m_state.BaudIndex)) {
        resumePolling(true);
        return;
    }
    if (m_env.showMessage)
        m_env.showMessage(kOpenFailedMessage);
    // Cycles may have started while the box was open: the settings wait for the one in
    // flight, and the step goes on only once they have returned.
    afterCycle([](Acquisition& a) { a.setPortBusy(true); },
               [this] {
                   if (m_closed)
                       return;
                   switch (comSetCommand()) {
                   case ComSet::Cancelled: {
                       // Nobody chose another port: an unattended recorder must not stop at boxes.
                       // The cycle runs, and the configured port is tried every 2 s, shown in the
                       // status line.
                       const QString name = m_state.PortName;
                       m_acq->post([name](Acquisition& a) {
                           a.retryPort(name);
                           a.startTicking();
                       });
                       break;
                   }
                   case ComSet::Opened:
                   case ComSet::Failed:
                       LoadTime->start(); // once more, with the port then configured
                       break;
                   case ComSet::Ended:
                       break;
                   }
               });
}

bool TFrmMain::firstRunPortChoice() {
    const QStringList ports = m_link->list();
    if (ports.isEmpty()) {
        if (m_env.showMessage)
            m_env.showMessage(kNoPortsMessage);
        close();
        return false;
    }
    TFrmComSet dialog(this);
    dialog.ComboBox1->addItems(ports);
    dialog.ComboBox1->setCurrentIndex(0);
    dialog.BtnCl->hide();
    if (m_env.runComSet)
        m_env.runComSet(dialog);
    if (m_closed)
        return false; // the program was closed meanwhile: no port is opened after the shutdown
    // The choice is taken however the dialog was closed: it has no cancel button.
    m_state.PortName = PlatformPortName(dialog.ComboBox1->currentText());
    m_state.BaudIndex = dialog.ComboBox2->currentIndex();
    return m_link->open(m_state.PortName, m_state.BaudIndex);
}

void TFrmMain::muComSetClick() {
    // The dialog takes the line over: never while a cycle is still waiting for its replies.
    afterCycle([](Acquisition& a) { a.setPortBusy(true); },
               [this] {
                   if (!m_closed)
                       comSetCommand();
               });
}

// Called once the acquisition holds the port busy, between cycles.
TFrmMain::ComSet TFrmMain::comSetCommand() {
    m_state.PortBusy = true;
    QStringList ports = m_link->list();
    // The configured port stays on offer when the system does not list it (a symlink, a
    // pseudo-terminal, an adapter not yet enumerated), so the operator can choose it again.
    if (!m_state.PortName.isEmpty() && !ports.contains(m_state.PortName))
        ports << m_state.PortName;
    if (ports.isEmpty()) {
        if (m_env.showMessage)
            m_env.showMessage(kNoPortsMessage);
        close();
        return ComSet::Ended;
    }
    TFrmComSet dialog(this);
    dialog.ComboBox1->addItems(ports);
    dialog.ComboBox1->setCurrentIndex(ports.lastIndexOf(m_state.PortName));
    dialog.ComboBox2->setCurrentIndex(
        m_state.BaudIndex >= 0 && m_state.BaudIndex < 5 ? m_state.BaudIndex : -1);
    if (m_env.runComSet)
        m_env.runComSet(dialog);
    if (m_closed)
        return ComSet::Ended;
    if (!dialog.Confirmed) {
        // Cancelled: the old port stays open, so polling goes on with it.
        setPortBusy(false);
        return ComSet::Cancelled;
    }
    m_state.BaudIndex = dialog.ComboBox2->currentIndex();
    m_state.PortName = PlatformPortName(dialog.ComboBox1->currentText());
    if (m_link->open(m_state.PortName, m_state.BaudIndex)) {
        setPortBusy(false);
        return ComSet::Opened;
    }
    LoadTime->start(); // the start-up step reopens the configured port
    return ComSet::Failed;
}

void TFrmMain::runClosable(QDialog& dialog) {
    if (m_closed)
        return;
    // Modal in all but the close: the menus wait for the answer.
    dialog.setWindowModality(Qt::NonModal);
    menuBar()->setEnabled(false);
    QEventLoop loop;
    connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QDialog* outer = std::exchange(m_closable, &dialog);
    dialog.show();
    // A modal box takes the keyboard as it opens; so must this one (Enter, Esc).
    dialog.raise();
    dialog.activateWindow();
    loop.exec(QEventLoop::DialogExec);
    m_closable = outer;
    if (!outer)
        menuBar()->setEnabled(true);
}

// The record-switch commands take effect between cycles, as when a tick blocked the menus: a
// cycle in flight polls, shows and records the switches it started with, and only then are
// values zeroed, panels greyed, windows closed, the chart cleared and config.ini written.
void TFrmMain::muApClick(QAction* item) {
    const int n = item->data().toInt();
    if (n < 1 || n > SharedState::kInstruments)
        return;
    // The action has already inverted its own check mark; the cycle no longer looks at it.
    const bool on = item->isChecked();
    afterCycle([n, on](Acquisition& a) { a.setSwitch(n, on); },
               [this, n, on] {
                   if (m_closed)
                       return;
                   muAp[n]->setChecked(on); // a window closed meanwhile may have cleared it
                   IniWriteInteger(configPath(), QStringLiteral("OpenOrClose"), QString::number(n),
                                   on);
                   if (on) {
                       openCurveWindow(n, false);
                       return;
                   }
                   m_state.PresValue[n] = 0;
                   m_state.TempValue[n] = 0;
                   setPanelColor(n, false, ColorValue::kButtonFace);
                   setPanelColor(n, true, ColorValue::kButtonFace);
                   closeCurveWindows(n);
               });
}

void TFrmMain::muOpenAllClick() {
    const auto allOn = [](Acquisition& a) {
        for (int n = 1; n <= SharedState::kInstruments; ++n)
            a.setSwitch(n, true);
    };
    afterCycle(allOn, [this] {
        if (m_closed)
            return;
        closeCurveWindows(0);
        for (int n = 1; n <= SharedState::kInstruments; ++n) {
            muAp[n]->setChecked(true);
            IniWriteInteger(configPath(), QStringLiteral("OpenOrClose"), QString::number(n), 1);
            openCurveWindow(n, true);
        }
    });
}

void TFrmMain::muCloseAllClick() {
    const auto allOff = [](Acquisition& a) {
        for (int n = 1; n <= SharedState::kInstruments; ++n)
            a.setSwitch(n, false);
        a.resetChart();
    };
    afterCycle(allOff, [this] {
        if (m_closed)
            return;
        for (int n = 1; n <= SharedState::kInstruments; ++n) {
            muAp[n]->setChecked(false);
            IniWriteInteger(configPath(), QStringLiteral("OpenOrClose"), QString::number(n), 0);
            setPanelColor(n, false, ColorValue::kButtonFace);
            setPanelColor(n, true, ColorValue::kButtonFace);
            Chart1->clearSeries(n - 1);
            Chart1->clearSeries(n + 7);
        }
        Chart1Readout->times().clear();
        m_state.PointCount = 0;
        Chart1->setAxisMinimum(Chart::Bottom, 0);
        Chart1->setAxisMaximum(Chart::Bottom, 600);
        closeCurveWindows(0);
    });
}

void TFrmMain::muShowAllClick() {
    // The action has already inverted its own check mark.
    Chart1->setVisible(muShowAll->isChecked());
}

void TFrmMain::muLineSetClick() {
    TFrmLineSet::OpenFromMainWindow(this, m_state, configPath());
    pushChartSettings();
}

void TFrmMain::muAppSetClick() {
    // The dialog takes the line over: never while a cycle is still waiting for its replies.
    afterCycle([](Acquisition& a) { a.setPortBusy(true); },
               [this] {
                   if (m_closed)
                       return;
                   m_state.PortBusy = true;
                   {
                       TFrmPicAll dialog(m_link->port(), m_env.pause, this);
                       if (m_env.runDialog)
                           m_env.runDialog(dialog);
                   }
                   setPortBusy(false);
               });
}

void TFrmMain::muPrintClick() {
    setHistoryOpen(true);
    {
        TFrmPrint dialog(m_state, m_env.baseDir, this);
        dialog.setCurveSettingsOpener([this](QWidget* owner) {
            TFrmLineSet::OpenFromHistoryWindow(owner, m_state, configPath());
            pushChartSettings();
        });
        dialog.DateTimePicker1->setDate(m_env.clock ? m_env.clock().date() : QDate::currentDate());
        dialog.Memo1->clear();
        dialog.resize(800, 600);
        if (m_env.runDialog)
            m_env.runDialog(dialog);
    }
    setHistoryOpen(false);
}

void TFrmMain::SecCyTimer() {
    m_acq->post([](Acquisition& a) { a.tick(); });
}

void TFrmMain::muExitClick() {
    close();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    // The port closes with the window: a cycle in flight takes its replies and writes its row
    // first, then the acquisition closes the port and ends, and only then come the shutdown
    // writes.
    if (!m_acquisitionStopped) {
        if (!m_acq->threaded() && !m_acq->cycle().running()) {
            m_acq->stop();
            m_acquisitionStopped = true;
        } else {
            event->ignore();
            if (!std::exchange(m_closeDue, true)) {
                afterCycle([](Acquisition& a) { a.stopTicking(); },
                           [this] {
                               m_acq->stop();
                               m_acquisitionStopped = true;
                               close();
                           });
            }
            return;
        }
    }
    FormClose();
    QMainWindow::closeEvent(event);
    // A box or dialog of the port steps ends with the program.
    if (m_closable)
        m_closable->done(QDialog::Rejected);
}

void TFrmMain::showEvent(QShowEvent* event) {
    fitFrame();
    QMainWindow::showEvent(event);
}

void TFrmMain::moveEvent(QMoveEvent* event) {
    fitFrame();
    QMainWindow::moveEvent(event);
}

void TFrmMain::fitFrame() {
    // The frame's margins are known once the window system has framed the window: when it is
    // created on Windows, after it is mapped under X11.
    if (m_frameFitted || !windowHandle())
        return;
    const QMargins m = windowHandle()->frameMargins();
    if (m.isNull())
        return;
    m_frameFitted = true;
    FitWindowToScreen(this, kFrame);
}

void TFrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const bool narrow = m_valueRow->width() < ToolBar2->minimumWidth();
    m_valueRow->setFixedHeight(
        ToolBar2->height() + (narrow ? m_valueRow->horizontalScrollBar()->sizeHint().height() : 0));
}

void TFrmMain::FormClose() {
    if (m_closed)
        return;
    m_closed = true;
    // Nothing may poll a closed port or write config.ini after the shutdown writes.
    LoadTime->stop();
    m_acq->stop();
    const QString path = configPath();
    for (int n = 1; n <= SharedState::kInstruments; ++n)
        IniWriteInteger(path, QStringLiteral("OpenOrClose"), QString::number(n),
                        muAp[n]->isChecked() ? 1 : 0);
    IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("PresY0"),
                   QString::number(m_state.PresY0));
    IniWriteString(path, QStringLiteral("mSet"), QStringLiteral("PresYn"),
                   QString::number(m_state.PresYn));
}
