#include "Chart.h"
#include "ChartExport.h"
#include "ChartPrint.h"
#include "ChartReadout.h"
#include "ColorValue.h"
#include "SharedState.h"
#include "TFrmPrint.h"
#include "TgrdProgressBar.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

class TestTFrmPrint : public QObject {
    Q_OBJECT
  private slots:
    void pageRect_data();
    void pageRect();
    void printsOneLandscapePageAndRestoresOrientation_data();
    void printsOneLandscapePageAndRestoresOrientation();
    void pageIsDrawnStretchedInsideTheMargins();
    void previewFillsTheChart();
    void exportsThePrintedPage_data();
    void exportsThePrintedPage();
    void timerAppliesPens();
    void fitsItsDesignedSize();
    void fitsTheScreenWithTheStripInOrder_data();
    void fitsTheScreenWithTheStripInOrder();
    void keysStayInTheWindow_data();
    void keysStayInTheWindow();
    void readoutTellsAGapFromAReading();
    void chartDesign();
};

void TestTFrmPrint::pageRect_data() {
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QRect>("expected"); // left, top, right, bottom (exclusive)
    QTest::newRow("1000 x 700") << QSize(1000, 700) << QRect(70, 49, 930, 651);
    QTest::newRow("rounds up") << QSize(1008, 650) << QRect(71, 46, 937, 604);
    QTest::newRow("rounds down") << QSize(1006, 2) << QRect(70, 0, 936, 2);
}

void TestTFrmPrint::pageRect() {
    QFETCH(QSize, page);
    QFETCH(QRect, expected);
    const QRect r = ChartPrint::pageRect(page.width(), page.height());
    QCOMPARE(QRect(r.x(), r.y(), r.x() + r.width(), r.y() + r.height()), expected);
}

void TestTFrmPrint::printsOneLandscapePageAndRestoresOrientation_data() {
    QTest::addColumn<int>("orientation");
    QTest::newRow("portrait") << int(QPageLayout::Portrait);
    QTest::newRow("landscape") << int(QPageLayout::Landscape);
}

void TestTFrmPrint::printsOneLandscapePageAndRestoresOrientation() {
    QFETCH(int, orientation);
    const auto before = QPageLayout::Orientation(orientation);
    QTemporaryDir dir;
    Chart chart;
    chart.resize(600, 400);
    chart.addSeries(Chart::Left, QStringLiteral("a"));
    for (int i = 0; i < 100; ++i)
        chart.appendPoint(0, float(i % 10));
    chart.setFoot({QStringLiteral("foot")});
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("chart.pdf")));
    printer.setPageOrientation(before);
    QCOMPARE(ChartPrint::print(chart, printer), QString());
    QCOMPARE(printer.pageLayout().orientation(), before);
    QCOMPARE(printer.docName(), QStringLiteral("Chart1"));
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(pdf.readAll());
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))), 1);
    const QRegularExpressionMatch box =
        QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0 0 ([\\d.]+) ([\\d.]+)"))
            .match(text);
    QVERIFY(box.hasMatch());
    QVERIFY(box.captured(1).toDouble() > box.captured(2).toDouble());
}

// The chart's white panel covers exactly the page less 7 % on each side.
void TestTFrmPrint::pageIsDrawnStretchedInsideTheMargins() {
    Chart chart;
    chart.resize(600, 400);
    chart.setFoot({QStringLiteral("foot")});
    QImage page(1000, 700, QImage::Format_ARGB32);
    page.fill(Qt::transparent);
    QPainter painter(&page);
    ChartPrint::drawPage(chart, painter, page.size());
    painter.end();
    const QRect inside(70, 49, 860, 602);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qAlpha(page.pixel(x, y)) != (inside.contains(x, y) ? 255 : 0))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TestTFrmPrint::previewFillsTheChart() {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Data/2024/03"));
    QFile file(dir.filePath(QStringLiteral("Data/2024/03/15.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint64 start = QDateTime(QDate(2024, 3, 15), QTime(8, 30), Qt::UTC).toSecsSinceEpoch();
    file.write("header,\r\n");
    for (int k = 0; k < 700; ++k)
        file.write(QStringLiteral("%1,t,1,2,%3,4.5,\r\n")
                       .arg(QString::number(start + k, 16))
                       .arg(k == 10 ? 70 : 3)
                       .toLatin1());
    file.close();

    SharedState state;
    TFrmPrint form(state, dir.path());
    QStringList messages;
    form.setMessageFunction([&](QWidget*, const QString& text) { messages << text; });
    QCOMPARE(form.size(), QSize(800, 600));
    form.DateTimePicker1->setDate(QDate(2024, 3, 15));
    form.MaskEdit1->setText(QStringLiteral("08:30"));

    form.Button1Click();
    QCOMPARE(messages, QStringList{QStringLiteral("请选择仪表数据 ")});

    form.CheckBoxes[1]->setChecked(true);
    form.Button1Click();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(form.Chart1->foot(),
             QStringList{QStringLiteral("查询数据时间段:2024-03-15 08:30 起,10分钟内数据")});
    QCOMPARE(form.Chart1->pointCount(1), 601);
    QCOMPARE(form.Chart1->pointCount(9), 601);
    QCOMPARE(form.Chart1->pointCount(0), 0);
    QCOMPARE(form.Chart1->pointValue(1, 600), 3.0f);
    QCOMPARE(form.Chart1->pointValue(9, 0), 4.5f);
    QCOMPARE(form.Chart1->seriesTitle(1), QStringLiteral("压力2"));
    QCOMPARE(form.Chart1->seriesTitle(0), QStringLiteral(" "));
    const ChartReadout::Reading at = form.Chart1Readout->readingAt(10);
    QCOMPARE(at.second.value_or(0), start + 10);
    QCOMPARE(at.lines.size(), 2); // the titled series of instrument 2
    QCOMPARE(at.lines[0].value, 70.0f);
    QCOMPARE(form.Chart1->axisMaximum(Chart::Left), 60.0);
    QCOMPARE(form.PBar->position(), form.PBar->max());
    // a zoom of the view is not the window's maximum: the next query grows 60 by the rules
    form.Chart1->plot()->yAxis->setRange(5, 20);
    form.Chart1->plot()->yAxis2->setRange(0, 10);
    form.Button1Click();
    form.Chart1->restoreAxisRanges(); // the double-click
    QCOMPARE(form.Chart1->axisMaximum(Chart::Left), 70.0);
    QCOMPARE(form.Chart1->axisMaximum(Chart::Right), 40.0);

    // a day without a file leaves the chart as it was
    form.DateTimePicker1->setDate(QDate(2024, 3, 16));
    form.MaskEdit1->setText(QStringLiteral("24:00"));
    form.Button1Click();
    form.MaskEdit1->setText(QStringLiteral("08:30"));
    form.Button1Click();
    QCOMPARE(messages.mid(1),
             (QStringList{QStringLiteral("错误的时间格式1"), QStringLiteral("数据文件不存在")}));
    QCOMPARE(form.Chart1->pointCount(1), 601);

    // an emptied first hour position reaches the query as a blank
    form.MaskEdit1->setCursorPosition(0);
    QTest::keyClick(form.MaskEdit1, Qt::Key_Delete);
    QCOMPARE(form.timeText(), QStringLiteral(" 8:30"));
    form.DateTimePicker1->setDate(QDate(2024, 3, 15));
    form.Button1Click();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(form.Chart1->foot(),
             QStringList{QStringLiteral("查询数据时间段:2024-03-15  8:30 起,10分钟内数据")});
}

void TestTFrmPrint::exportsThePrintedPage_data() {
    QTest::addColumn<QString>("name");    // as chosen in the dialog, under the folder
    QTest::addColumn<QString>("failure"); // how the message starts; empty: saved
    QTest::newRow("pdf") << "chart.pdf"
                         << "";
    QTest::newRow("png") << "chart.PNG"
                         << "";
    QTest::newRow("folder missing") << "missing/chart.pdf"
                                    << "导出失败: ";
    QTest::newRow("name held by a folder") << "taken.png"
                                           << "导出失败: ";
    QTest::newRow("other format") << "chart.jpg"
                                  << "导出失败: 只能保存为 PDF 或 PNG 文件";
}

void TestTFrmPrint::exportsThePrintedPage() {
    QFETCH(QString, name);
    QFETCH(QString, failure);
    const bool pdf = name.endsWith(QStringLiteral(".pdf"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdf && failure.isEmpty() && pdftoppm.isEmpty())
        QSKIP("pdftoppm and pdftotext (poppler-utils) are needed to look at the page");
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Data/2024/03"));
    QDir(dir.path()).mkpath(QStringLiteral("out/taken.png"));
    QFile file(dir.filePath(QStringLiteral("Data/2024/03/15.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint64 start = QDateTime(QDate(2024, 3, 15), QTime(8, 30), Qt::UTC).toSecsSinceEpoch();
    for (int k = 0; k < 3600; ++k)
        file.write(
            QStringLiteral("%1,t,1,2,%2,4.5,\r\n").arg(start + k, 0, 16).arg(k % 40).toLatin1());
    file.close();
    SharedState state;
    state.LineWidthPress[2] = 3;
    state.LineColorPress[2] = ColorValue::Rgb(0, 0, 255);
    TFrmPrint form(state, dir.path());
    QStringList messages;
    form.setMessageFunction([&](QWidget*, const QString& text) { messages << text; });
    form.DateTimePicker1->setDate(QDate(2024, 3, 15));
    form.MaskEdit1->setText(QStringLiteral("08:30"));
    form.SpanButtons[2]->setChecked(true);
    form.CheckBoxes[1]->setChecked(true);
    form.Button1Click();
    form.Timer1Timer();
    form.Chart1->plot()->setBackground(Qt::black); // the panel's extent shows on white paper
    const QDir out(dir.filePath(QStringLiteral("out")));
    QString suggested;
    form.setSaveFileChooser([&](QWidget*, const QString& offered) {
        suggested = offered;
        return out.filePath(name);
    });
    const auto entries = [&out] {
        return out.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    };
    const QStringList before = entries();
    form.Button4Click();
    QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("2024-03-15 08-30 1小时.pdf"));
    if (!failure.isEmpty()) {
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(failure), qPrintable(messages[0]));
        QCOMPARE(entries(), before);
        return;
    }
    QCOMPARE(messages, QStringList());
    QCOMPARE(entries(), QStringList({name, QStringLiteral("taken.png")}));

    QImage page;
    if (pdf) {
        QProcess text;
        text.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                   {out.filePath(name), QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput())
                    .contains(QStringLiteral("查询数据时间段:2024-03-15 08:30 起,1小时内数据")));
        QProcess render;
        render.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
                                out.filePath(name), dir.filePath(QStringLiteral("page"))});
        QVERIFY(render.waitForFinished());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("page*.png")}).size(), 1); // one page
        QVERIFY(page.load(dir.filePath(QStringLiteral("page-1.png"))));
        QVERIFY(page.width() > page.height());
    } else {
        QVERIFY(page.load(out.filePath(name)));
        QCOMPARE(page.size(), ChartExport::kImageSize);
    }
    // The panel fills the page less 7 % on each side, the page being the paper less what the
    // printer cannot reach (nothing for a PDF); the curve is there.
    const QRect margins = ChartPrint::pageRect(page.width(), page.height()).adjusted(-1, -1, 1, 1);
    QRect drawn;
    int curve = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c != Qt::white)
                drawn |= QRect(x, y, 1, 1);
            curve += c.blue() > 200 && c.red() < 100 && c.green() < 100;
        }
    }
    QVERIFY(margins.contains(drawn));
    QVERIFY(drawn.contains(margins.adjusted(2, 2, -2, -2)));
    QVERIFY2(curve > page.width() / 2, qPrintable(QString::number(curve)));
}

void TestTFrmPrint::timerAppliesPens() {
    SharedState state;
    for (int n = 1; n <= 8; ++n) {
        state.LineWidthPress[n] = n % 5 + 1;
        state.LineColorPress[n] = ColorValue::Rgb(10 * n, 0, 0);
        state.LineWidthTemp[n] = 2;
        state.LineColorTemp[n] = ColorValue::Rgb(0, 20 * n, 0);
    }
    state.LineWidthTemp[8] = 1000; // beyond what the chart draws
    TFrmPrint form(state, QString());
    form.Timer1Timer();
    QCoreApplication::processEvents();
    QSignalSpy redraws(form.Chart1->plot(), &QCustomPlot::beforeReplot);
    form.Timer1Timer(); // nothing changed: nothing to redraw
    QCoreApplication::processEvents();
    QCOMPARE(redraws.count(), 0);
    QCOMPARE(form.Chart1->seriesPen(2).width(), 4);
    QCOMPARE(form.Chart1->seriesPen(2).color(), QColor(30, 0, 0));
    QCOMPARE(form.Chart1->seriesPen(15).color(), QColor(0, 160, 0));
    QCOMPARE(form.Timer1->interval(), 500);
    QVERIFY(form.Timer1->isActive());
}

void TestTFrmPrint::fitsItsDesignedSize() {
    SharedState state;
    TFrmPrint form(state, QString());
    form.show();
    QVERIFY2(form.minimumSizeHint().width() <= 800,
             qPrintable(QString::number(form.minimumSizeHint().width())));
    QCOMPARE(form.size(), QSize(800, 600));
    QVERIFY(form.DateTimePicker1->width() >= form.DateTimePicker1->sizeHint().width());
    // The legend stands in its own column and covers none of the plot; pages draw this layout.
    QCustomPlot* plot = form.Chart1->plot();
    plot->replot();
    QVERIFY(plot->legend->visible());
    QVERIFY(plot->legend->outerRect().right() < plot->axisRect()->outerRect().left());
    QVERIFY(plot->legend->outerRect().height() < plot->axisRect()->outerRect().height());
}

// The strip's texts in reading order, each with the rectangle its text takes in the window.
static QList<std::pair<QString, QRect>> StripTexts(const TFrmPrint& form) {
    QList<std::pair<QString, QRect>> texts;
    for (QWidget* w : form.Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString text;
        int indent = 0;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            // Box and radio indicators stand left of the text.
            if (!qobject_cast<QPushButton*>(w))
                indent = w->width() - w->fontMetrics().horizontalAdvance(text);
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text();
            indent = label->contentsMargins().left();
        } else {
            continue;
        }
        const QPoint at = w->mapTo(&form, QPoint(indent, 0));
        if (qobject_cast<QPushButton*>(w))
            texts.append({text, QRect(w->mapTo(&form, QPoint(0, 0)), w->size())});
        else
            texts.append(
                {text, QRect(at, QSize(w->fontMetrics().horizontalAdvance(text), w->height()))});
    }
    return texts;
}

void TestTFrmPrint::fitsTheScreenWithTheStripInOrder_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("family"); // the application's font, empty for the default
    QTest::addColumn<bool>("designedSize");
    QTest::newRow("1366 x 768") << QStringLiteral("laptop") << QString() << true;
    QTest::newRow("1024 x 768 at 150 %") << QStringLiteral("small150") << QString() << false;
    QTest::newRow("1366 x 768, a wide font")
        << QStringLiteral("laptop") << QStringLiteral("DejaVu Sans Mono") << false;
    QTest::newRow("1024 x 768 at 150 %, a wide font")
        << QStringLiteral("small150") << QStringLiteral("DejaVu Sans Mono") << false;
}

void TestTFrmPrint::fitsTheScreenWithTheStripInOrder() {
    QFETCH(QString, screen);
    QFETCH(QString, family);
    QFETCH(bool, designedSize);
    const QFont original = QApplication::font();
    auto restore = qScopeGuard([&] { QApplication::setFont(original); });
    if (!family.isEmpty())
        QApplication::setFont(QFont(family, 9));
    QScreen* target = nullptr;
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == screen)
            target = s;
    QVERIFY(target);
    QWidget opener; // the main window, on the screen under test
    opener.setGeometry(target->geometry().adjusted(10, 40, -10, -10));
    opener.show();
    QCOMPARE(opener.screen(), target);
    SharedState state;
    TFrmPrint form(state, QString(), &opener);
    form.resize(800, 600);
    form.show();
    QVERIFY(target->availableGeometry().contains(form.frameGeometry()));
    if (designedSize)
        QCOMPARE(form.size(), QSize(800, 600));
    // Without the wide font (Wine has none of the host's), its stand-in may fit in one band.
    if (family.isEmpty() || QFontInfo(QApplication::font()).family() == family)
        QCOMPARE(form.Panel1->height() == 57, designedSize);
    QVERIFY(form.Chart1->height() > 200);

    const auto texts = StripTexts(form);
    QCOMPARE(texts.size(), 20);
    QRect all;
    for (int i = 0; i < texts.size(); ++i) {
        all |= texts[i].second;
        for (int j = i + 1; j < texts.size(); ++j)
            QVERIFY2(!texts[i].second.adjusted(-1, 0, 1, 0).intersects(texts[j].second),
                     qPrintable(texts[i].first + QLatin1String(" touches ") + texts[j].first));
    }
    QVERIFY(form.Panel1->geometry().contains(all));

    // Columns of two, left to right: instruments, date over time, spans; then the buttons,
    // 曲线设置, 预览, 打印 in the lower row with 导出 over 打印.
    auto at = [&](QWidget* w) { return w->mapTo(&form, QPoint(0, 0)); };
    QList<QWidget*> columns(form.CheckBoxes.begin(), form.CheckBoxes.end());
    columns << form.Label3 << form.Label1;
    columns.append(QList<QWidget*>(form.SpanButtons.begin(), form.SpanButtons.end()));
    columns << form.Button4 << form.Button2;
    for (int i = 0; i + 1 < columns.size(); i += 2) {
        QVERIFY(at(columns[i]).x() == at(columns[i + 1]).x() &&
                at(columns[i]).y() < at(columns[i + 1]).y());
        if (i < 16) // the spans end the band or stand left of the buttons
            QVERIFY(at(columns[i]).x() < at(columns[i + 2]).x() ||
                    at(columns[i]).y() < at(columns[i + 2]).y());
    }
    for (QWidget* w : {form.Button3, form.Button1})
        QCOMPARE(at(w).y(), at(form.Button2).y());
    QVERIFY(at(form.Button3).x() < at(form.Button1).x() &&
            at(form.Button1).x() < at(form.Button2).x());
}

void TestTFrmPrint::keysStayInTheWindow_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("previews"); // how many times 预览 ran
    QTest::newRow("Enter in the start time")
        << QStringLiteral("MaskEdit1") << int(Qt::Key_Enter) << 1;
    QTest::newRow("Return in the start time")
        << QStringLiteral("MaskEdit1") << int(Qt::Key_Return) << 1;
    QTest::newRow("Return on 曲线设置") << QStringLiteral("Button3") << int(Qt::Key_Return) << 1;
    QTest::newRow("Return on 打印") << QStringLiteral("Button2") << int(Qt::Key_Return) << 1;
    QTest::newRow("Escape") << QStringLiteral("MaskEdit1") << int(Qt::Key_Escape) << 0;
}

void TestTFrmPrint::keysStayInTheWindow() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, previews);
    SharedState state;
    TFrmPrint form(state, QString());
    QStringList shown;
    int curveSettings = 0;
    form.setMessageFunction([&](QWidget*, const QString& text) { shown << text; });
    form.setCurveSettingsOpener([&](QWidget*) { ++curveSettings; });
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QWidget* target = form.findChild<QWidget*>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(curveSettings, 0);
    // With nothing ticked, a query says so and stops.
    QCOMPARE(shown, QStringList(previews, QStringLiteral("请选择仪表数据 ")));
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), 0);
}

void TestTFrmPrint::readoutTellsAGapFromAReading() {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Data/2024/03"));
    QFile file(dir.filePath(QStringLiteral("Data/2024/03/15.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint64 start = QDateTime(QDate(2024, 3, 15), QTime(8, 0), Qt::UTC).toSecsSinceEpoch();
    for (int k : {0, 1, 3}) // 08:00:02 has no row
        file.write(QByteArray::number(start + k, 16) + ",t,0,21.5,\r\n");
    file.write(QByteArray::number(start + 4, 16) + ",t,x,22,\r\n"); // an unreadable pressure
    file.close();
    SharedState state;
    TFrmPrint form(state, dir.path());
    form.DateTimePicker1->setDate(QDate(2024, 3, 15));
    form.MaskEdit1->setText(QStringLiteral("08:00"));
    form.CheckBoxes[0]->setChecked(true);
    form.resize(800, 600);
    form.show();
    form.Button1Click();
    QCustomPlot* plot = form.Chart1->plot();
    plot->replot();
    // Under the pointer: seconds 1 (a real 0), 2 (no row) and 4 (the pressure unreadable).
    QStringList shown;
    for (int second : {1, 2, 4}) {
        const QPoint p(int(plot->xAxis->coordToPixel(second)), plot->axisRect()->center().y());
        QMouseEvent move(QEvent::MouseMove, p, plot->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
        shown << QString::number(form.Chart1Readout->text().count(QStringLiteral("无记录")));
    }
    QCOMPARE(shown, (QStringList{"0", "2", "1"}));
}

void TestTFrmPrint::chartDesign() {
    SharedState state;
    TFrmPrint form(state, QString());
    QCustomPlot* plot = form.Chart1->plot();
    QCOMPARE(plot->yAxis->label(), QStringLiteral("压力(MPa)"));
    QCOMPARE(plot->yAxis2->label(), QStringLiteral("温度(℃)"));
    QCOMPARE(plot->xAxis->label(), QStringLiteral("时间(s)"));
    QCOMPARE(plot->yAxis->grid()->pen().color(), QColor(255, 255, 128));
    QVERIFY(plot->yAxis->grid()->visible());
    QCOMPARE(plot->xAxis->grid()->pen().color(), QColor(128, 255, 128));
    QVERIFY(plot->xAxis->grid()->visible());
    QVERIFY(!plot->yAxis2->grid()->visible());
    QCOMPARE(plot->yAxis->basePen().style(), Qt::DotLine);
    QCOMPARE(plot->yAxis->range(), QCPRange(0, 50));
    QCOMPARE(plot->yAxis2->range(), QCPRange(0, 40));
    form.Chart1->setFoot({QStringLiteral("查询数据时间段:")});
    QList<QCPTextElement*> texts;
    for (int i = 0; i < plot->plotLayout()->elementCount(); ++i)
        if (auto* text = qobject_cast<QCPTextElement*>(plot->plotLayout()->elementAt(i)))
            if (text->visible() && text->realVisibility())
                texts << text;
    QCOMPARE(texts.size(), 1); // the foot; the title is hidden
    QCOMPARE(texts[0]->text(), QStringLiteral("查询数据时间段:"));
    QVERIFY(texts[0]->textFlags() & Qt::AlignLeft);
}

int main(int argc, char** argv) {
    // Two screens, each taken in logical pixels: a 1366 x 768 laptop and 1024 x 768 at 150 %.
    QTemporaryDir config;
    const QString screens = config.filePath(QStringLiteral("screens.json"));
    QFile json(screens);
    if (!json.open(QIODevice::WriteOnly))
        return 1;
    json.write(R"({"screens": [
        {"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "dpr": 1},
        {"name": "small150", "x": 1366, "y": 0, "width": 683, "height": 512, "dpr": 1.5}]})");
    json.close();
    // Named from its own folder: a Windows path's drive colon would end the platform option.
    const QString workDir = QDir::currentPath();
    QDir::setCurrent(config.path());
    if (qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")) ==
        QLatin1String("offscreen"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=screens.json");
    QApplication app(argc, argv);
    QDir::setCurrent(workDir);
    TestTFrmPrint test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_TFrmPrint.moc"
