#pragma once

#include "AlarmLimits.h"

#include <QDialog>
#include <QMessageBox>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The limits of the eight instruments and the no-answer time, read from and written to the
// [Alarm] section of config.ini. Nothing is written unless the operator changed an entry, so a
// program that never had limits keeps its config.ini as it was.
class TFrmAlarmSet : public QDialog {
    Q_OBJECT
  public:
    using MessageFn = std::function<void(QMessageBox::Icon icon, const QString& text)>;

    TFrmAlarmSet(QString configPath, QWidget* parent = nullptr);

    // Runs the dialog modally; true when it wrote new limits, which the caller then reads with
    // ReadAlarmLimits and hands to the alarm engine.
    static bool Open(const QString& configPath, QWidget* parent);

    void setMessageFn(MessageFn fn) { m_message = std::move(fn); }
    bool written() const { return m_written; }

    // Edit(4n-3)..Edit(4n): pressure high, pressure low, temperature high, temperature low of
    // instrument n; Edit33 the no-answer seconds.
    std::array<QLineEdit*, 34> Edit{};
    std::array<QLabel*, 15> Label{};
    QPushButton* BtnOk;
    QPushButton* BtnCancel;

    void BtnOkClick();

  private:
    void buildControls();
    // The limits as entered; false, with the operator told why and the entry focused, when
    // one does not pass the checks.
    bool collect(AlarmLimits* limits);
    void refuse(QLineEdit* edit, const QString& text);
    // Through the message function when one is set, else a message box.
    void tell(QMessageBox::Icon icon, const QString& text);

    QString m_configPath;
    QStringList m_loaded; // the entries' texts as they were read
    MessageFn m_message;
    bool m_written = false;
};
