#pragma once

#include "Port.h"

#include <QDialog>
#include <QMessageBox>
#include <functional>

class QComboBox;
class QInputMethodEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SignPanel;

// Reads and writes the two parameters held in one instrument (pressure full scale and main
// relay output) straight over the port. The opener keeps the polling cycle off the port
// while the dialog runs.
class TFrmPicAll : public QDialog {
    Q_OBJECT
  public:
    using MessageFn = std::function<void(QMessageBox::Icon icon, const QString& text)>;

    // port may be null or closed: reads and writes then send nothing.
    TFrmPicAll(Port* port, PauseFn pause, QWidget* parent = nullptr);

    // Creates the dialog, runs it modally and destroys it.
    static void Open(Port* port, PauseFn pause, QWidget* parent);

    void setMessageFn(MessageFn fn) { m_message = std::move(fn); }

    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label2;
    SignPanel* Panel1;
    QLineEdit* Edit1;
    QComboBox* ComboBox2;
    QPushButton* BtnRdPres;
    QPushButton* BtnWrPres;
    QLabel* Label3;
    SignPanel* Panel2;
    QLineEdit* Edit2;
    QComboBox* ComboBox3;
    QPushButton* BtnRdAlrm;
    QPushButton* BtnWrAlrm;
    QLabel* Label4;
    QPushButton* Button1;
    QTimer* Timer1;

    void Timer1Timer();
    void ComboBox1Change();
    void BtnRdPresClick();
    void BtnRdAlrmClick();
    void BtnWrPresClick();
    void BtnWrAlrmClick();
    void Panel1Click();
    void Panel2Click();
    // True when the key is swallowed.
    bool Edit1KeyPress(QKeyEvent* event);
    bool Edit2KeyPress(QKeyEvent* event);
    void Button1Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Row {
        char command;
        SignPanel* sign;
        QLineEdit* magnitude;
        QComboBox* decimals;
    };

    void buildControls();
    Row pressureRow() const;
    Row relayRow() const;
    bool portOpen() const;
    void setButtonsEnabled(bool on);
    // Throws ConversionError when a valid reply carries a value that is not a number.
    void readParameter(const Row& row);
    void writeParameter(const Row& row);
    void toggleSign(const Row& row);
    bool magnitudeKeyPress(QLineEdit* edit, QLineEdit* other, QKeyEvent* event);
    void magnitudeInputMethod(QLineEdit* edit, QInputMethodEvent* event);
    void limitBeforeDigit(QLineEdit* edit);
    void showError(const QString& text);

    Port* m_port;
    PauseFn m_pause;
    MessageFn m_message;
};
