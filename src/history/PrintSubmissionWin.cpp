#include "PrintSubmission.h"

// The Windows print engine starts the spooler's document in QPainter::begin() and fails it
// there when the spooler refuses; nothing is left to ask afterwards.
QString PrintSubmission::refusalBefore(const QPrinter&) {
    return QString();
}

QString PrintSubmission::refusalAfter(const QPrinter&) {
    return QString();
}
