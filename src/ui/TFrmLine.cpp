#include "TFrmLine.h"

#include "Chart.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "DailyRecord.h"
#include "ProgramIcon.h"
#include "SharedState.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QTimer>
#include <QVBoxLayout>

const QString TFrmLine::kCaptionPrefix = QStringLiteral("仪表地址:");

TFrmLine::TFrmLine(SharedState& state, std::function<void(int)> onClosed, QWidget* parent)
    : QWidget(parent), m_state(state), m_onClosed(std::move(onClosed)) {
    setObjectName(QStringLiteral("FrmLine"));
    setWindowTitle(QStringLiteral("采样曲线"));
    setWindowIcon(ProgramIcon());
    resize(547, 454);

    Chart1 = new Chart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setTitle(QStringLiteral("实事采样数据图"));
    Chart1->setLegendVisible(true);
    Chart1->setLegendAlignment(Qt::AlignLeft);
    Chart1->setAxisRange(Chart::Bottom, 0, 600);
    Chart1->setAxisRange(Chart::Left, 0, 50);
    Chart1->setAxisTitle(Chart::Left, QStringLiteral("压力(MPa)"));
    Chart1->setAxisRange(Chart::Right, 0, 40);
    Chart1->setAxisTitle(Chart::Right, QStringLiteral("温度(℃)"));
    Chart1->setAxisGridVisible(Chart::Right, false);
    // The window shows everything since it opened; beyond a day only a summary is kept,
    // so memory and redraws stay flat over long runs.
    Chart1->setRetention(86400, true);
    Series1 = Chart1->addSeries(Chart::Left, QStringLiteral("压力"));
    Chart1->setSeriesPen(Series1, 1, Qt::red);
    Series2 = Chart1->addSeries(Chart::Right, QStringLiteral("温度"));
    Chart1->setSeriesPen(Series2, 1, Qt::green);
    Chart1Readout = new ChartReadout(Chart1);

    // The chart sits in a lowered inner bevel that fills the window.
    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QVBoxLayout(bevel);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(Chart1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bevel);

    // Sits on top of the chart's corner; its caption is the window's only record of the address.
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(0, 0, 73, 17);
    GroupBox1->setFlat(true);
    GroupBox1->raise();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFrmLine::Timer1Timer);
    Timer1->start();
}

void TFrmLine::setInstrument(int address) {
    GroupBox1->setTitle(QStringLiteral("0%1").arg(address));
    setWindowTitle(kCaptionPrefix + QString::number(address));
}

void TFrmLine::setClock(std::function<QDateTime()> clock) {
    m_clock = std::move(clock);
}

int TFrmLine::instrument() const {
    return GroupBox1->title().toInt();
}

int TFrmLine::AddressFromCaption(const QString& caption) {
    if (!caption.startsWith(kCaptionPrefix) || caption.size() <= kCaptionPrefix.size())
        return 0;
    const QChar digit = caption.at(kCaptionPrefix.size());
    return digit.isDigit() ? digit.digitValue() : 0;
}

void TFrmLine::Timer1Timer() {
    const int n = instrument();
    if (n < 1 || n > SharedState::kInstruments)
        return;
    Chart1->setAxisRange(Chart::Right, 0, SharedState::TempAxisMax(m_state.TempFull));
    Chart1->setAxisRange(Chart::Left, m_state.PresY0, m_state.PresYn);
    Chart1->setSeriesPen(Series1, m_state.LineWidthPress[n],
                         ColorValue::ToQColor(m_state.LineColorPress[n]));
    Chart1->appendPoint(Series1, m_state.PresValue[n]);
    Chart1->setSeriesPen(Series2, m_state.LineWidthTemp[n],
                         ColorValue::ToQColor(m_state.LineColorTemp[n]));
    Chart1->appendPoint(Series2, m_state.TempValue[n]);
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    Chart1Readout->times().record(Chart1->pointCount(Series1) - 1, SecondCount(now));
    ++m_state.CurveTickCount;
    // Past 600 shared ticks the whole curve is squeezed into the window instead of being cut.
    if (m_state.CurveTickCount >= 600 && !Chart1->axisAutoMaximum(Chart::Bottom))
        Chart1->setAxisAutoMaximum(Chart::Bottom, true);
}

void TFrmLine::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TFrmLine::FormClose() {
    // A sub-window may deliver close twice (frame and sub-window); switch off once.
    if (m_closed)
        return;
    m_closed = true;
    Timer1->stop();
    const int n = instrument();
    if (n >= 1 && n <= SharedState::kInstruments) {
        m_state.PresValue[n] = 0;
        m_state.TempValue[n] = 0;
        if (m_onClosed)
            m_onClosed(n);
    }
}
