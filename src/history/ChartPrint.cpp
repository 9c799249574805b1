#include "ChartPrint.h"

#include "Chart.h"
#include "PrintSubmission.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>

QRect ChartPrint::pageRect(int width, int height, int marginPercent) {
    const int x = int(std::lround(double(marginPercent) * width / 100.0));
    const int y = int(std::lround(double(marginPercent) * height / 100.0));
    return QRect(QPoint(x, y), QPoint(width - x - 1, height - y - 1));
}

void ChartPrint::drawPage(Chart& chart, QPainter& painter, const QSize& page, int marginPercent) {
    const QRect target = pageRect(page.width(), page.height(), marginPercent);
    painter.save();
    painter.setClipRect(target);
    chart.render(&painter, target);
    painter.restore();
}

namespace {

// Orientation and margins go back to what they were however the job ends.
class LayoutRestorer {
  public:
    explicit LayoutRestorer(QPrinter& printer)
        : m_printer(printer), m_saved(printer.pageLayout()) {}
    ~LayoutRestorer() { m_printer.setPageLayout(m_saved); }
    LayoutRestorer(const LayoutRestorer&) = delete;
    LayoutRestorer& operator=(const LayoutRestorer&) = delete;

  private:
    QPrinter& m_printer;
    QPageLayout m_saved;
};

} // namespace

QString ChartPrint::print(Chart& chart, QPrinter& printer, int marginPercent) {
    const LayoutRestorer restorer(printer);
    // A file is written by Qt itself; only a job for a printer goes through a spooler.
    const bool spooled =
        printer.outputFormat() == QPrinter::NativeFormat && printer.outputFileName().isEmpty();
    if (spooled) {
        const QString refusal = PrintSubmission::refusalBefore(printer);
        if (!refusal.isEmpty())
            return refusal;
    }
    if (!printer.setPageOrientation(QPageLayout::Landscape))
        return QStringLiteral("打印机 \"%1\" 不能横向打印。").arg(printer.printerName());
    // The margins are taken from the printable area, the paper less what the printer cannot
    // reach, not from inside the layout's default margins.
    const QPageLayout landscape = printer.pageLayout();
    printer.setPageMargins(landscape.minimumMargins(), landscape.units());
    printer.setDocName(QStringLiteral("Chart1"));
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("无法在 \"%1\" 上开始打印任务。")
            .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                 : printer.printerName());
    drawPage(chart, painter, QSize(printer.width(), printer.height()), marginPercent);
    const bool drawn = printer.printerState() != QPrinter::Error;
    if (!drawn)
        printer.abort();
    const bool ended = painter.end();
    if (!drawn || !ended)
        return QStringLiteral("打印曲线图失败, 打印任务已取消。");
    return spooled ? PrintSubmission::refusalAfter(printer) : QString();
}

QString ChartPrint::print(Chart& chart, QImage& image, int marginPercent) {
    if (image.isNull())
        return QStringLiteral("The image to draw the chart on is empty.");
    image.fill(Qt::white);
    QPainter painter;
    if (!painter.begin(&image))
        return QStringLiteral("The chart could not be drawn on the image.");
    drawPage(chart, painter, image.size(), marginPercent);
    painter.end();
    return QString();
}

QString ChartPrint::printOnDefaultPrinter(Chart& chart, int marginPercent) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return QStringLiteral("当前没有选定默认打印机。");
    QPrinter printer(info, QPrinter::HighResolution);
    return print(chart, printer, marginPercent);
}
