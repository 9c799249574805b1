#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class Chart;
class ChartReadout;
class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QTimer;
class TgrdProgressBar;
struct SharedState;

// The history window: reads a chosen day's data file back into a chart and prints it.
class TFrmPrint : public QDialog {
    Q_OBJECT
  public:
    using MessageFunction = std::function<void(QWidget* parent, const QString& text)>;
    using CurveSettingsOpener = std::function<void(QWidget* parent)>;
    // Asks where to save the export, starting from `suggested`; empty when cancelled.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    // dataBaseDir holds the Data folder of the daily files (the executable's directory).
    TFrmPrint(SharedState& state, QString dataBaseDir, QWidget* parent = nullptr);

    // Defaults to a modal QMessageBox; tests record the texts instead.
    void setMessageFunction(MessageFunction show);
    void setCurveSettingsOpener(CurveSettingsOpener open);
    // Defaults to a file dialog; tests hand in the path.
    void setSaveFileChooser(SaveFileChooser choose);

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click(); // "导出": the chart as the printed page, to a PDF or PNG file
    void Timer1Timer();

    // The query's time text: the masked field with its empty positions as blanks.
    QString timeText() const;
    int checkedSpan() const; // 1..6 for rb1..rb6, 0 when none is checked

    QFrame* Panel1;
    std::array<QCheckBox*, 8> CheckBoxes;
    QLabel* Label3;
    QDateEdit* DateTimePicker1;
    QLabel* Label1;
    QLineEdit* MaskEdit1;
    std::array<QRadioButton*, 6> SpanButtons; // rb1..rb6
    QPushButton* Button3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button4;
    TgrdProgressBar* PBar;
    Chart* Chart1;
    ChartReadout* Chart1Readout;
    QTextEdit* Memo1;
    QTimer* Timer1;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FormCreate();
    int stripWidth(QBoxLayout::Direction direction); // the strip's minimum width laid so
    void layStrip(QBoxLayout::Direction direction);
    void showMessage(const QString& text);

    SharedState& m_state;
    bool m_fitted = false;
    QBoxLayout* m_strip = nullptr; // Panel1's two groups
    int m_oneBandWidth = 0;        // the least width that holds them side by side
    QString m_dataBaseDir;
    MessageFunction m_message;
    CurveSettingsOpener m_openCurveSettings;
    SaveFileChooser m_chooseSaveFile;
    QString m_exportName; // from the last query that drew the chart; empty before one
    // The axis maxima the queries grow, kept apart from the chart's view, which a zoom moves.
    double m_leftMaximum = 50;
    double m_rightMaximum = 40;
    // Width and colour value last handed to each series by Timer1Timer.
    std::array<std::optional<std::pair<int32_t, int32_t>>, 16> m_appliedPens;
    // Per series and point, whether the last query read a value there.
    std::array<std::vector<bool>, 16> m_recorded;
};
