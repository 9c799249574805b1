#pragma once

#include <QRect>
#include <QString>

class Chart;
class QImage;
class QPainter;
class QPrinter;
class QSize;

// Prints a chart on one landscape page, stretched into the page less its margins.
class ChartPrint {
  public:
    // Margins as a percentage of the printable width (left, right) and height (top,
    // bottom), each rounded to the nearest pixel; the right and bottom edges are exclusive.
    static QRect pageRect(int width, int height, int marginPercent = 7);

    // Draws the chart stretched into a page of the given size less its margins.
    static void drawPage(Chart& chart, QPainter& painter, const QSize& page, int marginPercent = 7);

    // The page is the printer's printable area. The printer's orientation and margins are
    // restored however the job ends. Returns an empty text on success, otherwise what went
    // wrong.
    static QString print(Chart& chart, QPrinter& printer, int marginPercent = 7);
    // The page on the system's default printer; the operator's message when there is none or
    // the job failed or was refused, empty once it was accepted.
    static QString printOnDefaultPrinter(Chart& chart, int marginPercent = 7);
    // The same page on an image: white, the image's size taken as the page, its dots per
    // metre as the resolution.
    static QString print(Chart& chart, QImage& image, int marginPercent = 7);
};
