#include "TFrmPrint.h"

#include "Chart.h"
#include "ChartExport.h"
#include "ChartPrint.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "HistoryQuery.h"
#include "ScreenFit.h"
#include "SharedState.h"
#include "TgrdProgressBar.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// Between two texts that would otherwise touch: the groups, a label and what is left of it.
constexpr int kStripGap = 4;
} // namespace

TFrmPrint::TFrmPrint(SharedState& state, QString dataBaseDir, QWidget* parent)
    : QDialog(parent), m_state(state), m_dataBaseDir(std::move(dataBaseDir)) {
    setObjectName(QStringLiteral("FrmPrint"));
    setWindowTitle(QStringLiteral("打印"));
    m_message = [](QWidget* owner, const QString& text) {
        QMessageBox::information(owner, QString(), text);
    };

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Two rows of controls must fit the 800-pixel window with a CJK font.
    QFont stripFont = Panel1->font();
    stripFont.setPixelSize(11);
    Panel1->setFont(stripFont);
    Panel1->setStyleSheet(QStringLiteral("QCheckBox, QRadioButton { spacing: 2px; }"));
    // Two groups, query (instruments, date, time) and span with the buttons: side by side
    // in one band where the window's width holds them, else one above the other.
    m_strip = new QBoxLayout(QBoxLayout::LeftToRight, Panel1);
    m_strip->setContentsMargins(1, 2, 1, 2);
    m_strip->setSpacing(2); // the date field's box and the first span's indicator
    auto* query = new QGridLayout;
    auto* span = new QGridLayout;
    for (QGridLayout* group : {query, span}) {
        group->setContentsMargins(0, 0, 0, 0);
        group->setVerticalSpacing(2);
        // Check boxes and radio buttons are set off by their indicators; a label is not.
        group->setHorizontalSpacing(1);
        m_strip->addLayout(group);
    }
    m_strip->addStretch(1);
    QGridLayout* strip = query;
    for (int i = 0; i < 8; ++i) {
        CheckBoxes[i] = new QCheckBox(QStringLiteral("仪表 %1 数据").arg(i + 1), Panel1);
        CheckBoxes[i]->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        strip->addWidget(CheckBoxes[i], i % 2, i / 2);
    }
    Label3 = new QLabel(QStringLiteral("日期"), Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    DateTimePicker1 = new QDateEdit(QDate::currentDate(), Panel1);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    // Second counts are 32-bit and start in 1970; other days cannot hold data.
    DateTimePicker1->setDateRange(QDate(1970, 1, 1), QDate(2106, 2, 6));
    Label1 = new QLabel(QStringLiteral("起始时间"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    MaskEdit1 = new QLineEdit(Panel1);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setInputMask(QStringLiteral("09:99;_"));
    MaskEdit1->setText(QStringLiteral("00:00"));
    MaskEdit1->setMaximumWidth(60);
    // Wide enough for the whole date beside the drop-down arrow in the strip's font.
    DateTimePicker1->setMinimumWidth(DateTimePicker1->sizeHint().width());
    for (QLabel* label : {Label3, Label1})
        label->setContentsMargins(kStripGap, 0, 0, 0);
    strip->addWidget(Label3, 0, 4);
    strip->addWidget(DateTimePicker1, 0, 5);
    strip->addWidget(Label1, 1, 4);
    strip->addWidget(MaskEdit1, 1, 5);
    const char* spans[] = {"10分钟", "30分钟", "1小时", "2小时", "3小时", "次日前"};
    strip = span;
    auto* spanGroup = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        SpanButtons[i] = new QRadioButton(QString::fromUtf8(spans[i]), Panel1);
        SpanButtons[i]->setObjectName(QStringLiteral("rb%1").arg(i + 1));
        spanGroup->addButton(SpanButtons[i], i + 1);
        strip->addWidget(SpanButtons[i], i % 2, i / 2);
    }
    SpanButtons[0]->setChecked(true);
    Button3 = new QPushButton(QStringLiteral("曲线设置"), Panel1);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button1 = new QPushButton(QStringLiteral("预览"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("打印"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button4 = new QPushButton(QStringLiteral("导出"), Panel1);
    Button4->setObjectName(QStringLiteral("Button4"));
    // One width for the four, as narrow as their longest text allows in the strip's font.
    int buttonWidth = 0;
    for (QPushButton* button : {Button3, Button1, Button2, Button4})
        buttonWidth =
            std::max(buttonWidth, button->fontMetrics().horizontalAdvance(button->text()) + 2);
    for (QPushButton* button : {Button3, Button1, Button2, Button4}) {
        button->setMinimumWidth(buttonWidth);
        button->setMaximumWidth(buttonWidth + 8);
        // Enter in the time field or on any button runs the query; a focused 曲线设置 would
        // otherwise take it and open its dialog.
        button->setAutoDefault(false);
    }
    Button1->setDefault(true);
    strip->addWidget(Button3, 1, 4);
    strip->addWidget(Button1, 1, 5);
    strip->addWidget(Button2, 1, 6);
    // Above 打印, so the lower row keeps its three buttons and the strip its width.
    strip->addWidget(Button4, 0, 6);
    // An empty column after each group's last takes the width left over.
    for (QGridLayout* group : {query, span})
        group->setColumnStretch(group->columnCount(), 1);
    m_oneBandWidth = stripWidth(QBoxLayout::LeftToRight);
    // The window may narrow down to the two-band strip.
    Panel1->setMinimumWidth(stripWidth(QBoxLayout::TopToBottom));
    layStrip(QBoxLayout::LeftToRight);

    PBar = new TgrdProgressBar(this);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setOrientation(TgrdProgressBar::orHorizontal);
    PBar->setStyle(TgrdProgressBar::sRectangles);
    PBar->setFixedHeight(17);

    Chart1 = new Chart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1Readout = new ChartReadout(Chart1);
    // The query fills seconds without a row with 0; the readout must not pass that off as a
    // reading.
    Chart1Readout->setRecordedFilter([this](int series, qint64 index) {
        const std::vector<bool>& recorded = m_recorded[size_t(series)];
        return index >= 0 && size_t(index) < recorded.size() && recorded[size_t(index)];
    });
    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(PBar);
    layout->addWidget(Chart1, 1);

    connect(Button1, &QPushButton::clicked, this, &TFrmPrint::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmPrint::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFrmPrint::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TFrmPrint::Button4Click);

    FormCreate();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TFrmPrint::Timer1Timer);
    Timer1->start();

    resize(800, 600);
}

void TFrmPrint::showEvent(QShowEvent* event) {
    // Fitted when shown, not when built: the opener sets the designed size in between.
    if (!m_fitted) {
        m_fitted = true;
        CentreWindowOnScreen(this);
    }
    QDialog::showEvent(event);
}

int TFrmPrint::stripWidth(QBoxLayout::Direction direction) {
    m_strip->setDirection(direction);
    m_strip->invalidate();
    return m_strip->minimumSize().width() + 2 * Panel1->frameWidth();
}

void TFrmPrint::layStrip(QBoxLayout::Direction direction) {
    m_strip->setDirection(direction);
    m_strip->invalidate();
    // 57 pixels as designed, more only where a large font needs it.
    Panel1->setFixedHeight(std::max(direction == QBoxLayout::LeftToRight ? 57 : 2 * 57 - 4,
                                    m_strip->minimumSize().height() + 2 * Panel1->frameWidth()));
}

void TFrmPrint::resizeEvent(QResizeEvent* event) {
    const auto wanted =
        width() >= m_oneBandWidth ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (m_strip->direction() != wanted)
        layStrip(wanted);
    QDialog::resizeEvent(event);
}

void TFrmPrint::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the window and throw the chart away; it closes by its title bar.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrmPrint::FormCreate() {
    for (int n = 0; n < 8; ++n)
        Chart1->addSeries(Chart::Left, QStringLiteral(" "));
    for (int n = 0; n < 8; ++n)
        Chart1->addSeries(Chart::Right, QStringLiteral(" "));
    for (int n = 0; n < 16; ++n)
        Chart1->setSeriesPen(n, 1, n < 8 ? Qt::red : Qt::green);
    Chart1->setAxisTitle(Chart::Left, QStringLiteral("压力(MPa)"));
    Chart1->setAxisRange(Chart::Left, 0, m_leftMaximum);
    Chart1->setAxisLineDotted(Chart::Left, true);
    Chart1->setAxisGridVisible(Chart::Left, true);
    Chart1->setAxisGridColor(Chart::Left, QColor(255, 255, 128));
    Chart1->setAxisTitle(Chart::Right, QStringLiteral("温度(℃)"));
    Chart1->setAxisRange(Chart::Right, 0, m_rightMaximum);
    Chart1->setAxisGridVisible(Chart::Right, false);
    Chart1->setAxisTitle(Chart::Bottom, QStringLiteral("时间(s)"));
    Chart1->setAxisMinimum(Chart::Bottom, 0);
    Chart1->setAxisAutoMaximum(Chart::Bottom, true);
    Chart1->setAxisGridVisible(Chart::Bottom, true);
    Chart1->setAxisGridColor(Chart::Bottom, QColor(128, 255, 128));
    Chart1->setTitleVisible(false);
    Chart1->setLegendVisible(true);
    Chart1->placeLegendBesidePlot();
    Chart1->setFootAlignment(Qt::AlignLeft);
}

void TFrmPrint::setMessageFunction(MessageFunction show) {
    m_message = std::move(show);
}

void TFrmPrint::setCurveSettingsOpener(CurveSettingsOpener open) {
    m_openCurveSettings = std::move(open);
}

void TFrmPrint::setSaveFileChooser(SaveFileChooser choose) {
    m_chooseSaveFile = std::move(choose);
}

void TFrmPrint::showMessage(const QString& text) {
    if (m_message)
        m_message(this, text);
}

QString TFrmPrint::timeText() const {
    QString text = MaskEdit1->displayText();
    text.replace(u'_', u' ');
    return text;
}

int TFrmPrint::checkedSpan() const {
    for (int i = 0; i < int(SpanButtons.size()); ++i)
        if (SpanButtons[i]->isChecked())
            return i + 1;
    return 0;
}

void TFrmPrint::Button1Click() {
    HistoryQuery::Input input;
    input.day = DateTimePicker1->date();
    input.timeText = timeText();
    input.span = checkedSpan();
    for (int i = 0; i < 8; ++i)
        input.ticked[i] = CheckBoxes[i]->isChecked();
    input.leftMaximum = m_leftMaximum;
    input.rightMaximum = m_rightMaximum;
    input.filePath = HistoryQuery::dataFilePath(m_dataBaseDir, input.day);

    HistoryQuery::Result result = HistoryQuery::run(input, [this](int position, int maximum) {
        PBar->setMin(0);
        PBar->setMax(maximum);
        PBar->setPosition(position);
    });
    switch (result.outcome) {
    case HistoryQuery::Outcome::BadTime:
    case HistoryQuery::Outcome::NoInstrument:
    case HistoryQuery::Outcome::NoFile:
        showMessage(result.message);
        return;
    case HistoryQuery::Outcome::NoSpan:
        Chart1->setFoot({});
        return;
    case HistoryQuery::Outcome::Ok:
    case HistoryQuery::Outcome::ReadFailed:
        break;
    }
    Chart1->setFoot({result.foot});
    for (int n = 0; n < HistoryQuery::kSeries; ++n) {
        Chart1->setSeriesTitle(n, result.titles[n]);
        Chart1->setSeriesValues(n, std::move(result.points[n]));
        m_recorded[n] = std::move(result.recorded[n]);
    }
    m_leftMaximum = result.leftMaximum;
    m_rightMaximum = result.rightMaximum;
    // Both ends, so a zoomed view shows the whole new result with the minimum at 0.
    Chart1->setAxisRange(Chart::Left, 0, m_leftMaximum);
    Chart1->setAxisRange(Chart::Right, 0, m_rightMaximum);
    if (const auto start = HistoryQuery::startSeconds(input.day, input.timeText))
        Chart1Readout->setStartSecond(*start);
    m_exportName = ChartExport::defaultFileName(input.day, input.timeText,
                                                SpanButtons[input.span - 1]->text());
    if (!result.message.isEmpty())
        showMessage(result.message);
}

void TFrmPrint::Button2Click() {
    const QString failure = ChartPrint::printOnDefaultPrinter(*Chart1);
    if (!failure.isEmpty())
        showMessage(failure);
}

void TFrmPrint::Button4Click() {
    QString name = m_exportName;
    if (name.isEmpty()) {
        // The span group is exclusive and starts with rb1 checked.
        name = ChartExport::defaultFileName(DateTimePicker1->date(), timeText(),
                                            SpanButtons[std::max(checkedSpan(), 1) - 1]->text());
    }
    const QString failure = ChartExport::exportChosen(*Chart1, this, name, m_chooseSaveFile);
    if (!failure.isEmpty())
        showMessage(failure);
}

void TFrmPrint::Button3Click() {
    if (m_openCurveSettings)
        m_openCurveSettings(this);
}

void TFrmPrint::Timer1Timer() {
    // Unchanged pens are left alone: each change redraws up to 1.4 million points. The stored
    // values are compared with the stored values last applied, not with the chart's pen,
    // which holds a width bounded to what it can draw.
    auto apply = [this](int series, int32_t width, int32_t colour) {
        const std::pair<int32_t, int32_t> wanted{width, colour};
        if (m_appliedPens[series] != wanted) {
            Chart1->setSeriesPen(series, width, ColorValue::ToQColor(colour));
            m_appliedPens[series] = wanted;
        }
    };
    for (int n = 1; n <= 8; ++n) {
        apply(n - 1, m_state.LineWidthPress[n], m_state.LineColorPress[n]);
        apply(n + 7, m_state.LineWidthTemp[n], m_state.LineColorTemp[n]);
    }
}
