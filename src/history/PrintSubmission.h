#pragma once

#include <QString>

class QPrinter;

// Whether the printing system took a job that a QPrinter handed to it. Qt's print engines
// end a job without telling when the spooler refused it (a queue that rejects jobs, a
// stopped server), so the spooler is asked directly, on the thread that prints.
class PrintSubmission {
  public:
    // Before the job: empty when the printer's queue takes jobs, otherwise why not.
    static QString refusalBefore(const QPrinter& printer);
    // After painter.end(): empty when the printing system accepted the job just sent,
    // otherwise what it answered.
    static QString refusalAfter(const QPrinter& printer);
};
