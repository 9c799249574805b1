#pragma once

#include "MainEnvironment.h"
#include "SharedState.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class Acquisition;
class AcquisitionLink;
class Chart;
class ChartReadout;
class QAction;
class QDialog;
class QGroupBox;
class QLabel;
class QMdiArea;
class QScrollArea;
class QMenu;
class QTimer;
class TFrmLine;
class MainCycleDisplay;
struct AlarmSnapshot;
struct CycleReport;

// The frame of the program: value row, main chart, curve windows and every menu command.
// It owns the program-wide state for the whole run.
class TFrmMain : public QMainWindow {
    Q_OBJECT
  public:
    explicit TFrmMain(MainEnvironment env, QWidget* parent = nullptr);
    ~TFrmMain() override;

    SharedState& state() { return m_state; }
    const MainEnvironment& environment() const { return m_env; }

    // Handlers, public so the program and the tests can drive them.
    void FormCreate();
    void LoadTimeTimer();
    void SecCyTimer();
    void muApClick(QAction* item);
    void muOpenAllClick();
    void muCloseAllClick();
    void muShowAllClick();
    void muComSetClick();
    void muLineSetClick();
    void muAppSetClick();
    void muPrintClick();
    void muTrendClick();
    void muEventsClick();
    void muAlarmSetClick();
    // Stops the alarm sound until a new alarm rises; the alarms stay unacknowledged.
    void silenceAlarms();
    void muExitClick();

    // The curve windows in the area's child list order.
    QList<TFrmLine*> curveWindows() const;
    TFrmLine* openCurveWindow(int address, bool cascade);

    // Panel of address n: the pressure panel, or the temperature panel when temperature is set.
    QLabel* panel(int n, bool temperature) const;
    void setPanelColor(int n, bool temperature, int32_t colorValue);
    int32_t panelColor(int n, bool temperature) const;
    bool isSwitchedOn(int n) const;

    // Shows an error box soon, unless one is already open or due: ticks keep running while a
    // modal box waits, and a broken line or a full disk must not stack a new box every second.
    void showErrorOnce(const QString& text);

    // Whether the once-a-second tick is armed (asked of the thread that owns it).
    bool polling() const;
    Acquisition& acquisition() { return *m_acq; }
    // Hands the pens and axis settings to the polling cycle (between its cycles), after a
    // dialog or a test changed them in state().
    void pushChartSettings();

    // Runs a box or dialog of the port steps as a modal one, except that the main window can
    // still be closed meanwhile (Qt drops a close request to a window under a modal box, and
    // the box may wait for an operator who is not there); a close ends it as rejected.
    void runClosable(QDialog& dialog);

    // Controls under their given names.
    QMdiArea* mdiArea = nullptr;
    QWidget* ToolBar2 = nullptr;
    std::array<QGroupBox*, 9> GroupBoxOfAddress{};
    std::array<QLabel*, 17> Panels{}; // Panel1..Panel16 at their number
    Chart* Chart1 = nullptr;
    ChartReadout* Chart1Readout = nullptr;
    QMenu* muCtrl = nullptr;
    QMenu* muSetting = nullptr;
    QMenu* muCy = nullptr;
    QMenu* muOC = nullptr;
    QAction* muPrint = nullptr;
    QAction* muTrend = nullptr;
    QAction* muEvents = nullptr;
    QAction* muAlarmSet = nullptr;
    QAction* muExit = nullptr;
    QAction* muComSet = nullptr;
    QAction* muLineSet = nullptr;
    QAction* muAppSet = nullptr;
    std::array<QAction*, 9> muAp{}; // muAp1..muAp8 at their address
    QAction* muOpenAll = nullptr;
    QAction* muCloseAll = nullptr;
    QAction* muShowAll = nullptr;
    QTimer* LoadTime = nullptr;
    QTimer* SecCy = nullptr;      // owned by the acquisition thread: look, never touch
    QLabel* LineStatus = nullptr; // "通讯中断: <port>, 正在重新连接" while the line is lost
    QTimer* LineWatch = nullptr;    // the acquisition thread's watch over the serial line
    QLabel* RecordStatus = nullptr; // the daily record's fault, empty while rows go in
    QLabel* ConfigStatus = nullptr; // while config.ini cannot be written
    QLabel* AlarmStatus = nullptr;  // the newest unacknowledged alarm, or unreadable limits
    QTimer* AlarmBlink = nullptr;   // blinks the boxes of alarms nobody has seen
    QTimer* AlarmBeep = nullptr;    // the alert while an alarm is unacknowledged

  signals:
    // A polling cycle has ended, with or without a row.
    void cycleFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildValueRow();
    void buildMainChart();
    void buildMenu();
    void FormClose();
    void curveWindowClosed(int address);
    void closeCurveWindows(int address); // 0: all
    bool firstRunPortChoice();
    enum class ComSet { Cancelled, Opened, Failed, Ended };
    ComSet comSetCommand();
    void openConfiguredPort();
    void fitFrame();
    // Runs acquisitionPart on the acquisition thread once the cycle in flight has ended, then
    // windowPart here: commands take effect between cycles.
    void afterCycle(std::function<void(Acquisition&)> acquisitionPart,
                    std::function<void()> windowPart);
    void setPortBusy(bool busy);
    void setHistoryOpen(bool open);
    void resumePolling(bool restart);
    void applyReport(const CycleReport& report);
    void configSaved(bool saved);
    void loadAlarmLimits();
    void showAlarms(const AlarmSnapshot& snapshot);
    void soundAlert();
    void applyAlarmLook(int address);
    void startUpStep();
    QString configPath() const { return m_env.configPath(); }

    MainEnvironment m_env;
    SharedState m_state;
    std::unique_ptr<MainCycleDisplay> m_display;
    std::unique_ptr<Acquisition> m_acq;
    std::unique_ptr<AcquisitionLink> m_link; // the port steps' and dialogs' way to the line
    QWidget* m_chartArea = nullptr;
    QScrollArea* m_valueRow = nullptr;
    bool m_errorBoxOpen = false;
    bool m_closed = false;
    bool m_closeDue = false; // a close waits for the running cycle
    bool m_acquisitionStopped = false;
    bool m_configUnsaved = false;
    std::unique_ptr<AlarmSnapshot> m_alarms; // as last reported
    bool m_blinkOn = true;
    bool m_silenced = false;
    QString m_badLimits; // the status line's word on limits that are not numbers // an episode of
                         // failed config.ini writes is under way
    bool m_closingWindows = false; // a command closes curve windows and sets the switches itself
    QDialog* m_closable = nullptr; // the box or dialog that runClosable() is showing
    bool m_frameFitted = false;
};
