#pragma once

#include "TrendReader.h"

#include <QDate>
#include <QDialog>
#include <array>
#include <functional>

class Chart;
class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TgrdProgressBar;
class TrendLoader;
class TrendPlottable;
struct SharedState;

// The trend window: the record of up to 366 days drawn over real time, every pixel column
// showing the extremes of the seconds it covers. Reading runs on a thread of its own; zoom
// and pan read again at the new scale.
class TFrmTrend : public QDialog {
    Q_OBJECT
  public:
    using MessageFunction = std::function<void(QWidget* parent, const QString& text)>;
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    // baseDir holds the Data folder of the daily files (the executable's directory).
    TFrmTrend(const SharedState& state, QString baseDir, QWidget* parent = nullptr);
    ~TFrmTrend() override;

    // Today as the window's default range sees it; the system date unless set.
    static void setClock(std::function<QDate()> today);
    void setMessageFunction(MessageFunction show);
    void setSaveFileChooser(SaveFileChooser choose);

    void Button1Click(); // "显示": reads and draws the chosen days
    void Button2Click(); // "打印"
    void Button4Click(); // "导出"
    void Button5Click(); // "取消": stops the read in progress

    bool reading() const;
    const TrendReader::Result& shown() const { return m_shown; }
    TrendPlottable* series(int index) const { return m_series[size_t(index)]; }
    // The readout's text for the column under a point in time, empty where none is.
    QString readoutAt(double second) const;

    QFrame* Panel1;
    std::array<QCheckBox*, 8> CheckBoxes;
    QLabel* Label1;
    QDateEdit* DateEdit1; // first day
    QLabel* Label2;
    QDateEdit* DateEdit2; // last day
    QPushButton* Button1;
    QPushButton* Button5;
    QPushButton* Button2;
    QPushButton* Button4;
    TgrdProgressBar* PBar;
    Chart* Chart1;
    QLabel* Readout;

  signals:
    void drawn(); // a read has been put on the chart

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void startRead(TrendReader::Request request, qint64 begin, qint64 end, bool whole);
    void viewChanged();
    void place(const TrendReader::Result& result);
    void applyPens();
    void updateTicker();
    void showMessage(const QString& text);
    int plotColumns() const;
    QString exportName() const;

    const SharedState& m_state;
    QString m_baseDir;
    MessageFunction m_message;
    SaveFileChooser m_chooseSaveFile;
    TrendLoader* m_loader;
    QTimer* m_refetch;
    std::array<TrendPlottable*, 16> m_series{};
    TrendReader::Request m_request; // the days and instruments on the chart
    TrendReader::Request m_pending; // those of the whole read in progress
    bool m_haveRange = false;
    bool m_wholeRead = false; // the read in progress is of the whole range
    bool m_placing = false;
    TrendReader::Result m_shown;
};
