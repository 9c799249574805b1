#include "TFrmTrend.h"

#include "Chart.h"
#include "ChartExport.h"
#include "ChartPrint.h"
#include "ColorValue.h"
#include "SharedState.h"
#include "TgrdProgressBar.h"
#include "TrendLoader.h"
#include "TrendPlottable.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTimeZone>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

std::function<QDate()>& Today() {
    static std::function<QDate()> today = [] { return QDate::currentDate(); };
    return today;
}

QString SeriesTitle(int s) {
    return (s < 8 ? QStringLiteral("压力%1") : QStringLiteral("温度%1")).arg(s % 8 + 1);
}

// Seconds are on the local clock as recorded, so they are shown as if they were UTC.
QString TimeText(qint64 second, const QString& format) {
    return QDateTime::fromSecsSinceEpoch(second, Qt::UTC).toString(format);
}

} // namespace

void TFrmTrend::setClock(std::function<QDate()> today) {
    Today() = today ? std::move(today) : [] { return QDate::currentDate(); };
}

TFrmTrend::TFrmTrend(const SharedState& state, QString baseDir, QWidget* parent)
    : QDialog(parent), m_state(state), m_baseDir(std::move(baseDir)) {
    setObjectName(QStringLiteral("FrmTrend"));
    setWindowTitle(QStringLiteral("趋势"));
    m_message = [](QWidget* owner, const QString& text) {
        QMessageBox::information(owner, QString(), text);
    };

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setFixedHeight(57);
    QFont stripFont = Panel1->font();
    stripFont.setPixelSize(11);
    Panel1->setFont(stripFont);
    Panel1->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));
    auto* strip = new QGridLayout(Panel1);
    strip->setContentsMargins(2, 2, 2, 2);
    strip->setVerticalSpacing(2);
    strip->setHorizontalSpacing(3);
    for (int i = 0; i < 8; ++i) {
        CheckBoxes[i] = new QCheckBox(QStringLiteral("仪表 %1 数据").arg(i + 1), Panel1);
        CheckBoxes[i]->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        strip->addWidget(CheckBoxes[i], i % 2, i / 2);
    }
    const QDate today = Today()();
    Label1 = new QLabel(QStringLiteral("起始日期"), Panel1);
    DateEdit1 = new QDateEdit(today.addDays(-30), Panel1);
    Label2 = new QLabel(QStringLiteral("结束日期"), Panel1);
    DateEdit2 = new QDateEdit(today, Panel1);
    for (QDateEdit* edit : {DateEdit1, DateEdit2}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setDateRange(QDate(1970, 1, 1), QDate(2106, 2, 6));
        edit->setMinimumWidth(edit->sizeHint().width());
    }
    DateEdit1->setObjectName(QStringLiteral("DateEdit1"));
    DateEdit2->setObjectName(QStringLiteral("DateEdit2"));
    strip->addWidget(Label1, 0, 4);
    strip->addWidget(DateEdit1, 0, 5);
    strip->addWidget(Label2, 1, 4);
    strip->addWidget(DateEdit2, 1, 5);
    Button1 = new QPushButton(QStringLiteral("显示"), Panel1);
    Button5 = new QPushButton(QStringLiteral("取消"), Panel1);
    Button2 = new QPushButton(QStringLiteral("打印"), Panel1);
    Button4 = new QPushButton(QStringLiteral("导出"), Panel1);
    int column = 6;
    for (QPushButton* button : {Button1, Button5, Button2, Button4}) {
        button->setMinimumWidth(50);
        button->setMaximumWidth(58);
        strip->addWidget(button, 1, column++);
    }
    Button1->setObjectName(QStringLiteral("Button1"));
    Button5->setObjectName(QStringLiteral("Button5"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button4->setObjectName(QStringLiteral("Button4"));
    Button5->setEnabled(false);
    strip->setColumnStretch(column, 1);

    PBar = new TgrdProgressBar(this);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setOrientation(TgrdProgressBar::orHorizontal);
    PBar->setStyle(TgrdProgressBar::sRectangles);
    PBar->setFixedHeight(17);

    Chart1 = new Chart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    QCustomPlot* plot = Chart1->plot();
    for (int s = 0; s < 16; ++s) {
        m_series[s] = new TrendPlottable(plot->xAxis, s < 8 ? plot->yAxis : plot->yAxis2);
        m_series[s]->setName(SeriesTitle(s));
        m_series[s]->removeFromLegend();
    }
    Chart1->setAxisTitle(Chart::Left, QStringLiteral("压力(MPa)"));
    Chart1->setAxisRange(Chart::Left, 0, 50);
    Chart1->setAxisLineDotted(Chart::Left, true);
    Chart1->setAxisGridVisible(Chart::Left, true);
    Chart1->setAxisGridColor(Chart::Left, QColor(255, 255, 128));
    Chart1->setAxisTitle(Chart::Right, QStringLiteral("温度(℃)"));
    Chart1->setAxisRange(Chart::Right, 0, SharedState::TempAxisMax(m_state.TempFull));
    Chart1->setAxisGridVisible(Chart::Right, false);
    Chart1->setAxisTitle(Chart::Bottom, QStringLiteral("时间"));
    Chart1->setAxisRange(Chart::Bottom, TrendDay::dayStart(DateEdit1->date()),
                         TrendDay::dayStart(DateEdit2->date()) + TrendDay::kDaySeconds);
    Chart1->setAxisGridVisible(Chart::Bottom, true);
    Chart1->setAxisGridColor(Chart::Bottom, QColor(128, 255, 128));
    Chart1->setTitleVisible(false);
    Chart1->setLegendVisible(true);
    Chart1->placeLegendBesidePlot();
    Chart1->setFootAlignment(Qt::AlignLeft);
    // The wheel zooms the time only: a trend is looked into along the days, and zooming the
    // values with it soon leaves the curves off the plot. Dragging still moves both.
    plot->axisRect()->setRangeZoomAxes({plot->xAxis}, {});
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeSpec(Qt::UTC);
    plot->xAxis->setTicker(ticker);
    updateTicker();
    applyPens();

    Readout = new QLabel(plot);
    Readout->setObjectName(QStringLiteral("Readout"));
    Readout->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255,255,255,230); border: 1px solid gray; padding: 2px; }"));
    Readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    Readout->hide();
    plot->setMouseTracking(true);
    plot->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(PBar);
    layout->addWidget(Chart1, 1);

    m_loader = new TrendLoader(this);
    m_refetch = new QTimer(this);
    m_refetch->setSingleShot(true);
    m_refetch->setInterval(120);
    connect(m_refetch, &QTimer::timeout, this, &TFrmTrend::viewChanged);
    connect(plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange&) {
                updateTicker();
                if (m_haveRange && !m_placing)
                    m_refetch->start();
            });
    connect(m_loader, &TrendLoader::progress, this, [this](quint64, int done, int total) {
        PBar->setMin(0);
        PBar->setMax(total);
        PBar->setPosition(done);
    });
    connect(m_loader, &TrendLoader::finished, this,
            [this](quint64, const TrendReader::Result& result) { place(result); });
    connect(m_loader, &TrendLoader::cancelled, this, [this](quint64) {
        // The chart keeps what it showed, and a zoom goes on reading those days.
        m_wholeRead = false;
        Button5->setEnabled(false);
        PBar->setPosition(0);
    });
    connect(Button1, &QPushButton::clicked, this, &TFrmTrend::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmTrend::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TFrmTrend::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TFrmTrend::Button5Click);

    resize(800, 600);
    if (const QScreen* screen = this->screen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFrmTrend::~TFrmTrend() = default;

void TFrmTrend::setMessageFunction(MessageFunction show) {
    m_message = std::move(show);
}

void TFrmTrend::setSaveFileChooser(SaveFileChooser choose) {
    m_chooseSaveFile = std::move(choose);
}

void TFrmTrend::showMessage(const QString& text) {
    if (m_message)
        m_message(this, text);
}

bool TFrmTrend::reading() const {
    return m_loader->busy();
}

int TFrmTrend::plotColumns() const {
    const int width = Chart1->plot()->axisRect()->width();
    return width > 0 ? width : 800;
}

void TFrmTrend::Button1Click() {
    const QDate first = DateEdit1->date();
    const QDate last = DateEdit2->date();
    if (first > last) {
        showMessage(QStringLiteral("起始日期不能晚于结束日期"));
        return;
    }
    if (first.daysTo(last) + 1 > TrendReader::kMaxDays) {
        showMessage(QStringLiteral("日期范围不能超过%1天").arg(TrendReader::kMaxDays));
        return;
    }
    TrendReader::Request request;
    request.baseDir = m_baseDir;
    request.firstDay = first;
    request.lastDay = last;
    bool any = false;
    for (int i = 0; i < 8; ++i) {
        const bool on = CheckBoxes[i]->isChecked();
        request.series[i] = request.series[i + 8] = on;
        any = any || on;
    }
    if (!any) {
        showMessage(QStringLiteral("请选择仪表数据 "));
        return;
    }
    m_pending = request;
    startRead(request, TrendReader::rangeBegin(request), TrendReader::rangeEnd(request), true);
}

void TFrmTrend::startRead(TrendReader::Request request, qint64 begin, qint64 end, bool whole) {
    request.begin = begin;
    request.end = end;
    request.columns = plotColumns();
    m_wholeRead = whole;
    PBar->setPosition(0);
    Button5->setEnabled(true);
    m_loader->start(request);
}

void TFrmTrend::viewChanged() {
    if (!m_haveRange)
        return;
    const QCPRange range = Chart1->plot()->xAxis->range();
    const qint64 begin =
        std::max(qint64(std::floor(range.lower)), TrendReader::rangeBegin(m_request));
    const qint64 end = std::min(qint64(std::ceil(range.upper)), TrendReader::rangeEnd(m_request));
    if (end <= begin)
        return;
    if (!m_wholeRead || !m_loader->busy())
        startRead(m_request, begin, end, false);
}

void TFrmTrend::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_haveRange)
        m_refetch->start();
}

void TFrmTrend::applyPens() {
    for (int n = 1; n <= 8; ++n) {
        m_series[n - 1]->setPen(QPen(ColorValue::ToQColor(m_state.LineColorPress[n]),
                                     std::clamp(int(m_state.LineWidthPress[n]), 1, 5)));
        m_series[n + 7]->setPen(QPen(ColorValue::ToQColor(m_state.LineColorTemp[n]),
                                     std::clamp(int(m_state.LineWidthTemp[n]), 1, 5)));
    }
}

void TFrmTrend::place(const TrendReader::Result& result) {
    Button5->setEnabled(false);
    m_placing = true;
    applyPens();
    for (int s = 0; s < 16; ++s)
        m_series[s]->setColumns(result.series[s]);
    if (m_wholeRead) {
        m_request = m_pending;
        m_haveRange = true;
        float extremes[2][2] = {{0, 50}, {0, float(SharedState::TempAxisMax(m_state.TempFull))}};
        for (int s = 0; s < 16; ++s) {
            const bool on = m_request.series[s];
            if (on)
                m_series[s]->addToLegend();
            else
                m_series[s]->removeFromLegend();
            for (const TrendColumn& c : result.series[s]) {
                extremes[s / 8][0] = std::min(extremes[s / 8][0], c.min);
                extremes[s / 8][1] = std::max(extremes[s / 8][1], c.max);
            }
        }
        // Whole tens, so a reading far off the usual range is on the chart, not cut.
        Chart1->setAxisRange(Chart::Left, std::floor(extremes[0][0] / 10) * 10,
                             std::ceil(extremes[0][1] / 10) * 10);
        Chart1->setAxisRange(Chart::Right, std::floor(extremes[1][0] / 10) * 10,
                             std::ceil(extremes[1][1] / 10) * 10);
        Chart1->setAxisRange(Chart::Bottom, double(TrendReader::rangeBegin(m_request)),
                             double(TrendReader::rangeEnd(m_request)));
        QStringList instruments;
        for (int i = 0; i < 8; ++i)
            if (m_request.series[i])
                instruments << QString::number(i + 1);
        Chart1->setFoot({QStringLiteral("趋势数据时间段:%1 至 %2, 仪表 %3")
                             .arg(m_request.firstDay.toString(u"yyyy-MM-dd"),
                                  m_request.lastDay.toString(u"yyyy-MM-dd"),
                                  instruments.join(QStringLiteral("、")))});
    }
    m_shown = result;
    m_placing = false;
    Chart1->plot()->replot(QCustomPlot::rpQueuedReplot);
    // A whole read is made at the width the chart had when it began; the legend it brings
    // can narrow the plot, so the columns are made again at the width now on screen.
    if (m_wholeRead && plotColumns() != result.columns)
        m_refetch->start();
    m_wholeRead = false;
    emit drawn();
}

void TFrmTrend::updateTicker() {
    QCPAxis* axis = Chart1->plot()->xAxis;
    auto ticker = axis->ticker().dynamicCast<QCPAxisTickerDateTime>();
    if (!ticker)
        return;
    const double span = axis->range().size();
    ticker->setDateTimeFormat(span <= 2 * 3600    ? QStringLiteral("MM-dd\nhh:mm:ss")
                              : span <= 3 * 86400 ? QStringLiteral("MM-dd\nhh:mm")
                                                  : QStringLiteral("yyyy-MM-dd"));
}

QString TFrmTrend::readoutAt(double second) const {
    QString time;
    QStringList lines;
    for (int s = 0; s < 16; ++s) {
        if (!m_request.series[s] || !m_haveRange)
            continue;
        const TrendColumn* c = m_series[s]->columnAt(second);
        if (!c)
            continue;
        if (time.isEmpty()) {
            time = TimeText(c->firstSecond, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            if (c->lastSecond != c->firstSecond)
                time += QStringLiteral(" 至 ") +
                        TimeText(c->lastSecond, c->lastSecond / 86400 == c->firstSecond / 86400
                                                    ? QStringLiteral("hh:mm:ss")
                                                    : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        }
        const QString value = c->min == c->max
                                  ? QString::number(c->min)
                                  : QStringLiteral("最小 %1 最大 %2")
                                        .arg(QString::number(c->min), QString::number(c->max));
        lines << QStringLiteral("<span style=\"color:%1\">%2: %3</span>")
                     .arg(m_series[s]->pen().color().name(), SeriesTitle(s), value);
    }
    if (lines.isEmpty())
        return QString();
    return time + QStringLiteral("<br>") + lines.join(QStringLiteral("<br>"));
}

bool TFrmTrend::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Chart1->plot()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            QCustomPlot* plot = Chart1->plot();
            const QString text = plot->axisRect()->rect().contains(pos)
                                     ? readoutAt(plot->xAxis->pixelToCoord(pos.x()))
                                     : QString();
            if (text.isEmpty()) {
                Readout->hide();
            } else {
                Readout->setText(text);
                Readout->adjustSize();
                QPoint at = pos + QPoint(12, 12);
                if (at.x() + Readout->width() > plot->width())
                    at.setX(pos.x() - 12 - Readout->width());
                if (at.y() + Readout->height() > plot->height())
                    at.setY(pos.y() - 12 - Readout->height());
                Readout->move(at);
                Readout->show();
                Readout->raise();
            }
        } else if (event->type() == QEvent::Leave) {
            Readout->hide();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmTrend::Button5Click() {
    m_loader->cancel();
}

void TFrmTrend::Button2Click() {
    const QString failure = ChartPrint::printOnDefaultPrinter(*Chart1);
    if (!failure.isEmpty())
        showMessage(failure);
}

QString TFrmTrend::exportName() const {
    const QDate first = m_haveRange ? m_request.firstDay : DateEdit1->date();
    const QDate last = m_haveRange ? m_request.lastDay : DateEdit2->date();
    return QStringLiteral("趋势 %1 至 %2.pdf")
        .arg(first.toString(u"yyyy-MM-dd"), last.toString(u"yyyy-MM-dd"));
}

void TFrmTrend::Button4Click() {
    const QString failure =
        ChartExport::exportChosen(*Chart1, this, exportName(), m_chooseSaveFile);
    if (!failure.isEmpty())
        showMessage(failure);
}
