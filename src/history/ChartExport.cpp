#include "ChartExport.h"

#include "ChartPrint.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cmath>

namespace {

// QSaveFile writes beside the target and renames over it only once all is written.
QString Commit(QSaveFile& file) {
    if (!file.commit())
        return file.errorString();
    return QString();
}

QString SavePng(Chart& chart, const QString& path) {
    QImage image(ChartExport::kImageSize, QImage::Format_RGB32);
    const int dotsPerMetre = int(std::lround(ChartExport::kImageDpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    if (QString failure = ChartPrint::print(chart, image); !failure.isEmpty())
        return failure;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    return Commit(file);
}

QString SavePdf(Chart& chart, const QString& path) {
    // The printer writes a file by name only, so it writes a scratch file beside the target
    // that is copied into place once the page is complete.
    const QFileInfo target(path);
    QTemporaryFile scratch(target.absolutePath() + QStringLiteral("/.export-XXXXXX.pdf"));
    if (!scratch.open())
        return scratch.errorString();
    scratch.close();

    QPrinter printer(QPrinter::HighResolution);
    // The page is drawn in columns of device pixels: at 300 dpi a day of sixteen curves
    // stays a few megabytes, where the printer default of 1200 dpi makes it four times that.
    printer.setResolution(ChartExport::kPdfDpi);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(scratch.fileName());
    if (QString failure = ChartPrint::print(chart, printer); !failure.isEmpty())
        return failure;

    QFile page(scratch.fileName());
    if (!page.open(QIODevice::ReadOnly))
        return page.errorString();
    const QByteArray bytes = page.readAll();
    if (bytes.isEmpty())
        return QStringLiteral("The PDF page could not be written.");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return Commit(file);
}

} // namespace

QString ChartExport::save(Chart& chart, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("png"))
        return SavePng(chart, path);
    if (suffix == QStringLiteral("pdf"))
        return SavePdf(chart, path);
    return QStringLiteral("只能保存为 PDF 或 PNG 文件");
}

QString ChartExport::defaultFileName(QDate day, const QString& timeText, const QString& span) {
    QString time = timeText.trimmed();
    time.replace(u':', u'-');
    if (time.indexOf(u'-') == 1)
        time.prepend(u'0');
    return QStringLiteral("%1 %2 %3.pdf")
        .arg(day.toString(QStringLiteral("yyyy-MM-dd")), time, span);
}

namespace {

// Where the last export went in this run; the next one starts there.
QString g_exportFolder;

QString ChooseInDialog(QWidget* parent, const QString& suggested) {
    const QString pdf = QStringLiteral("PDF 文件 (*.pdf)");
    const QString png = QStringLiteral("PNG 图片 (*.png)");
    QString filter = pdf;
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("导出"), suggested,
                                                pdf + QStringLiteral(";;") + png, &filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += filter == png ? QStringLiteral(".png") : QStringLiteral(".pdf");
    return path;
}

} // namespace

QString ChartExport::exportChosen(Chart& chart, QWidget* parent, const QString& suggestedName,
                                  const SaveFileChooser& choose) {
    QString folder = g_exportFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(folder).filePath(suggestedName);
    const QString path = choose ? choose(parent, suggested) : ChooseInDialog(parent, suggested);
    if (path.isEmpty())
        return {};
    const QString failure = save(chart, path);
    if (!failure.isEmpty())
        return QStringLiteral("导出失败: %1").arg(failure);
    g_exportFolder = QFileInfo(path).absolutePath();
    return {};
}
