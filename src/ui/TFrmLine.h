#pragma once

#include <QDateTime>
#include <QWidget>
#include <functional>

class Chart;
class ChartReadout;
class QGroupBox;
class QTimer;
struct SharedState;

// A curve window: samples one instrument's latest values once a second and draws them.
class TFrmLine : public QWidget {
    Q_OBJECT
  public:
    static const QString kCaptionPrefix; // "仪表地址:"

    // onClosed runs from FormClose with the instrument address, so the main window can switch
    // the instrument off.
    TFrmLine(SharedState& state, std::function<void(int)> onClosed, QWidget* parent = nullptr);

    // Sets the instrument number text ("01".."08") and the caption ("仪表地址:n").
    void setInstrument(int address);
    // The address the window shows, read back from its instrument number text.
    int instrument() const;
    // The address digit of a caption "仪表地址:n"; 0 for any other caption.
    static int AddressFromCaption(const QString& caption);

    // The clock whose second each new point is read off at (the wall clock by default).
    void setClock(std::function<QDateTime()> clock);

    void Timer1Timer();

    QGroupBox* GroupBox1 = nullptr;
    Chart* Chart1 = nullptr;
    ChartReadout* Chart1Readout = nullptr;
    int Series1 = 0;
    int Series2 = 1;
    QTimer* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormClose();

    SharedState& m_state;
    std::function<void(int)> m_onClosed;
    std::function<QDateTime()> m_clock;
    bool m_closed = false;
};
