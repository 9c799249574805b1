#include "PrintSubmission.h"

#include <QPrinter>
#include <cups/cups.h>

namespace {

QByteArray QueueName(const QPrinter& printer) {
    // An instance ("queue/instance") prints through its queue.
    return printer.printerName().section(u'/', 0, 0).toLocal8Bit();
}

QString LastError() {
    return QString::fromLocal8Bit(cupsLastErrorString());
}

} // namespace

QString PrintSubmission::refusalBefore(const QPrinter& printer) {
    const QByteArray name = QueueName(printer);
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return QStringLiteral("找不到打印机 \"%1\": %2").arg(printer.printerName(), LastError());
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool refuses = accepting && qstrcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    if (refuses)
        return QStringLiteral("打印机 \"%1\" 不接受打印任务, 没有打印。")
            .arg(printer.printerName());
    return QString();
}

QString PrintSubmission::refusalAfter(const QPrinter& printer) {
    // The print engine submits the job with this thread's connection; its answer is this
    // thread's last status. refusalBefore() left a success there, so a stale error cannot
    // be mistaken for this job's.
    if (cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE)
        return QString();
    return QStringLiteral("打印机 \"%1\" 不接受打印任务, 没有打印: %2")
        .arg(printer.printerName(), LastError());
}
