#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

// The local wall clock with milliseconds; tests hand in fixed or stepping times.
using Clock = std::function<QDateTime()>;

// <baseDir>/Data/yyyy/mm/dd.csv
QString DailyFileName(const QString& baseDir, const QDate& day);

// Seconds since 1970-01-01 00:00:00 on the local clock itself (no time-zone conversion),
// rounded to the nearest second with ties to even.
qint64 SecondCount(const QDateTime& localTime);

// The first two fields of a record row, each followed by ','. The clock is read twice on
// purpose: the data number is rounded, the time text truncated, from separate readings.
QString ComposeRecordRow(const Clock& clock);

// Creates one directory level when it is missing; failure shows at the following open.
void EnsureDirectory(const QString& path);

// The header line of a new daily file in GBK, without its line end.
QByteArray RecordHeader();

// Appends row + CR LF to fileName, creating the directories of its path and, for a file
// that does not exist yet, the header line. Returns false with a readable reason in
// *error when the file cannot be opened or written; the row is then lost.
bool AppendRecordRow(const QString& fileName, const QString& row, QString* error = nullptr);

// Appends line + CR LF to a CSV file of whole lines (the daily record, the event log): creates
// the three directory levels above the file, writes header + CR LF first into a new file,
// completes a line a killed run left without its end, writes in one piece and flushes the
// file through to the device before it is closed, so a power cut loses no row that was
// reported written. A line the disk took only in part is cut back off. On failure returns
// false with the system's reason, in the operator's language, in *reason.
bool AppendCsvLine(const QString& fileName, const QByteArray& header, const QByteArray& line,
                   QString* reason = nullptr);

// Pushes what the system still holds of an open file's data to the device; false on failure.
bool SyncToDevice(int fileDescriptor);
