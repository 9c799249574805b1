// The history window's whole preview (预览) of a full day with all eight instruments ticked
// and the span to the next day (次日前): from the click to the chart and progress bar painted.
// Writes the day's file into a temporary folder first.
//   history_preview [--runs N]
#include "Chart.h"
#include "HistoryQuery.h"
#include "RecorderDay.h"
#include "SharedState.h"
#include "TFrmPrint.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <qcustomplot.h>
#include <vector>

namespace {

// The day's file with all eight instruments on.
bool WriteDay(const QString& path, QDate day) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray out = RecorderDay(day, 8);
    return file.write(out) == out.size();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runsAt = int(args.indexOf("--runs"));
    const int runs = runsAt > 0 ? std::max(1, args.value(runsAt + 1).toInt()) : 9;

    QTemporaryDir base;
    const QDate day(2024, 3, 15);
    if (!base.isValid() || !WriteDay(HistoryQuery::dataFilePath(base.path(), day), day)) {
        std::fprintf(stderr, "cannot write the day's file\n");
        return 1;
    }
    SharedState state;
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        state.LineWidthPress[n] = 1;
        state.LineWidthTemp[n] = 1;
        state.LineColorPress[n] = 0x0000FF;
        state.LineColorTemp[n] = 0x008000;
    }
    TFrmPrint form(state, base.path());
    form.resize(800, 600);
    form.setMessageFunction([](QWidget*, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    form.DateTimePicker1->setDate(day);
    form.MaskEdit1->setText(QStringLiteral("00:00"));
    form.SpanButtons[5]->setChecked(true);
    for (QCheckBox* box : form.CheckBoxes)
        box->setChecked(true);
    form.show();
    QApplication::processEvents();

    QCustomPlot* plot = form.Chart1->plot();
    bool replotted = false;
    QObject::connect(plot, &QCustomPlot::afterReplot, &form, [&replotted] { replotted = true; });
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        replotted = false;
        QElapsedTimer timer;
        timer.start();
        form.Button1->click();
        while (!replotted)
            QApplication::processEvents();
        form.repaint(); // the chart's and the progress bar's paint, not left to the next frame
        times.push_back(timer.nsecsElapsed() / 1.0e6);
    }
    std::sort(times.begin(), times.end());
    const int rows = form.Chart1->pointCount(0);
    std::printf("%d runs, min %.1f ms, max %.1f ms; %d points in each of %d series\n", runs,
                times.front(), times.back(), rows, form.Chart1->seriesCount());
    std::printf("RESULT name=history_preview rows=%d ms=%.1f\n", rows, times[times.size() / 2]);
    return rows == 86400 ? 0 : 1;
}
