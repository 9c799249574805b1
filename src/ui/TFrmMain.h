#pragma once

#include "MainEnvironment.h"
#include "SharedState.h"

#include <QMainWindow>
#include <array>
#include <memory>

class Chart;
class LineSupervisor;
class ChartReadout;
class QAction;
class QDialog;
class QGroupBox;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class TFrmLine;
class MainCycleDisplay;
class PollCycle;
class Scheduler;

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
    QAction* muExit = nullptr;
    QAction* muComSet = nullptr;
    QAction* muLineSet = nullptr;
    QAction* muAppSet = nullptr;
    std::array<QAction*, 9> muAp{}; // muAp1..muAp8 at their address
    QAction* muOpenAll = nullptr;
    QAction* muCloseAll = nullptr;
    QAction* muShowAll = nullptr;
    QTimer* LoadTime = nullptr;
    QTimer* SecCy = nullptr;
    QLabel* LineStatus = nullptr; // "通讯中断: <port>, 正在重新连接" while the line is lost
    QTimer* LineWatch = nullptr;    // looks after the serial line a few times a second
    QLabel* RecordStatus = nullptr; // the daily record's fault, empty while rows go in

  signals:
    // A polling cycle has ended, with or without a row.
    void cycleFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

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
    QString configPath() const { return m_env.configPath(); }

    MainEnvironment m_env;
    SharedState m_state;
    std::unique_ptr<MainCycleDisplay> m_display;
    std::unique_ptr<Scheduler> m_ownScheduler; // when the environment brings none
    std::unique_ptr<PollCycle> m_cycle;
    std::unique_ptr<LineSupervisor> m_line;
    QWidget* m_chartArea = nullptr;
    bool m_errorBoxOpen = false;
    bool m_closed = false;
    bool m_closeDue = false;       // a close waits for the running cycle
    QDialog* m_closable = nullptr; // the box or dialog that runClosable() is showing
    bool m_frameFitted = false;
};
