#pragma once

#include "LinkService.h"
#include "Port.h"
#include "Scheduler.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;

class TFrmComSet;

// Everything the main window reaches outside itself, so tests can run it without a serial
// port, modal boxes, sleeps or the wall clock.
struct MainEnvironment {
    QString baseDir; // folder of config.ini and Data/
    LinkService* link = nullptr;
    PauseFn pause;                  // the instrument settings dialog's exchanges, which block
    Scheduler* scheduler = nullptr; // the polling cycle's steps; null: timers of the GUI thread
    std::function<QDateTime()> clock;
    // The line, the polling cycle and the record on a thread of their own (the program);
    // without it they run on the window's thread and commands act at once (most tests).
    bool acquisitionThread = false;
    std::function<void(const QString&)> showMessage; // information box, one OK button
    std::function<void(const QString&)> showError;   // the standard error box
    std::function<void(TFrmComSet&)> runComSet;      // shows the dialog modally
    // The system's alert, sounded about every 2 s while an alarm is unacknowledged; null: the
    // application's beep.
    std::function<void()> beep;
    // Modal runs of the other dialogs; a test may replace them to look inside.
    std::function<void(QDialog&)> runDialog;

    QString configPath() const { return baseDir + QStringLiteral("/config.ini"); }
};
