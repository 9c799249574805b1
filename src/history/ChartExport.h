#pragma once

#include <QDate>
#include <QSize>
#include <QString>

class Chart;

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

    // "2026-12-07 08-00 1小时.pdf": the query's day, start time and span caption.
    static QString defaultFileName(QDate day, const QString& timeText, const QString& span);
};
