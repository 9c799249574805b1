#pragma once

#include <QDate>
#include <QSize>
#include <QString>
#include <functional>

class Chart;
class QWidget;

// Saves a chart as the printed page, into a PDF file or a PNG image. The file is written
// whole or not at all: a failed save leaves whatever stood under that name before.
class ChartExport {
  public:
    // Landscape A4 at 150 dots per inch.
    static constexpr QSize kImageSize{1754, 1240};
    static constexpr int kImageDpi = 150;
    static constexpr int kPdfDpi = 300;

    // The format follows the name's suffix, ".pdf" or ".png" (any case). Returns an empty
    // text on success, otherwise why nothing was saved.
    static QString save(Chart& chart, const QString& path);

    // Asks where to save: `choose`, or the file dialog when that is empty.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
    // 导出 as the chart windows do it: asks for a file, starting in the folder of the run's last
    // export (at first the documents folder) with suggestedName, and saves there. Returns the
    // operator's message when the save failed; empty on success or when nothing was chosen.
    static QString exportChosen(Chart& chart, QWidget* parent, const QString& suggestedName,
                                const SaveFileChooser& choose);

    // "2026-12-07 08-00 1小时.pdf": the query's day, start time and span caption.
    static QString defaultFileName(QDate day, const QString& timeText, const QString& span);
};
