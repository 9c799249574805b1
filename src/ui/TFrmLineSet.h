#pragma once

#include <QDialog>
#include <QMessageBox>
#include <array>
#include <cstdint>
#include <functional>

class ColorBox;
class LineSample;
class QComboBox;
class QGroupBox;
class QInputMethodEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class SignPanel;
struct SharedState;

// Pens of the sixteen curves and the ranges of the live axes. On OK the dialog applies the
// choices to the shared state and stores them in config.ini itself; openers only preset and
// show it.
class TFrmLineSet : public QDialog {
    Q_OBJECT
  public:
    // NoIcon for a plain message, Critical for the application's error box.
    using MessageFn = std::function<void(QMessageBox::Icon icon, const QString& text)>;

    TFrmLineSet(SharedState& state, const QString& configPath, QWidget* parent = nullptr);

    static void OpenFromMainWindow(QWidget* parent, SharedState& state, const QString& configPath);
    static void OpenFromHistoryWindow(QWidget* parent, SharedState& state,
                                      const QString& configPath);
    void PrepareForMainWindow();
    void PrepareForHistoryWindow();

    void setMessageFn(MessageFn fn) { m_message = std::move(fn); }

    // The per-instrument controls bound by number (GroupBox1.., QRShape1.., ComboBox1..,
    // ColorBox1..); index 0 is unused.
    std::array<QGroupBox*, 9> GroupBoxes{};
    std::array<LineSample*, 17> QRShapes{};
    std::array<QComboBox*, 17> ComboBoxes{};
    std::array<ColorBox*, 17> ColorBoxes{};
    QLabel* Label17;
    QComboBox* ComboBox17;
    QLabel* Label18;
    SignPanel* Panel1;
    QLineEdit* Edit1;
    QLabel* Label19;
    SignPanel* Panel2;
    QLineEdit* Edit2;
    QPushButton* btnOk;
    QPushButton* btnCl;

    void FormCreate();
    void ComboBox1Change(QComboBox* sender);
    void ComboBox2Change(QComboBox* sender);
    void ColorBox1Change(ColorBox* sender);
    void ColorBox2Change(ColorBox* sender);
    void Panel1Click();
    void Panel2Click();
    // True when the key is swallowed.
    bool Edit1KeyPress(QKeyEvent* event);
    bool Edit2KeyPress(QKeyEvent* event);
    void btnOkClick();
    void btnClClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void presetRange(SignPanel* panel, QLineEdit* edit, int32_t value);
    bool entryKeyPress(QLineEdit* edit, QLineEdit* other, QKeyEvent* event);
    void entryInputMethod(QLineEdit* edit, QInputMethodEvent* event);
    void showMessage(QMessageBox::Icon icon, const QString& text);

    SharedState& m_state;
    QString m_configPath;
    MessageFn m_message;
};
