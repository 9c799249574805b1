#pragma once

#include "AlarmSnapshot.h"

#include <QDialog>
#include <functional>

class QDateEdit;
class QLabel;
class QPushButton;
class QTreeWidget;

// The alarms that stand and a chosen day's event log, newest first. Acknowledging goes
// through the callbacks, to the alarm engine on the acquisition thread; the list of alarms
// follows the snapshots that come back through showAlarms.
class TFrmEvents : public QDialog {
    Q_OBJECT
  public:
    TFrmEvents(QString baseDir, QWidget* parent = nullptr);

    void setAcknowledge(std::function<void(int address, int kind)> fn);
    void setAcknowledgeAll(std::function<void()> fn);
    // Without a callback the silence button stays hidden.
    void setSilence(std::function<void()> fn);
    void setDate(const QDate& day);

    QLabel* Label1;
    QDateEdit* DateTimePicker1;
    QPushButton* BtnRefresh;
    QLabel* Label2;
    QTreeWidget* ListView1; // standing alarms
    QPushButton* BtnAck;
    QPushButton* BtnAckAll;
    QPushButton* BtnSilence;
    QLabel* Label3;
    QTreeWidget* ListView2; // the day's events
    QLabel* Label4;
    QPushButton* Button1;

  public slots:
    void showAlarms(const AlarmSnapshot& snapshot);
    // Reads the chosen day's file again.
    void refresh();

  private:
    void buildControls();
    void updateButtons();
    void BtnAckClick();

    QString m_baseDir;
    AlarmSnapshot m_snapshot;
    std::function<void(int, int)> m_acknowledge;
    std::function<void()> m_acknowledgeAll;
    std::function<void()> m_silence;
};
