#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

// Reads one day's data file back into the point arrays of the history chart. Pure logic:
// the window hands in its controls' values and puts the result into its chart.
class HistoryQuery {
  public:
    static constexpr int kInstruments = 8;
    static constexpr int kSeries = 2 * kInstruments; // 0..7 pressure of 1..8, 8..15 temperature

    enum class Outcome {
        Ok,
        BadTime,      // nothing changed
        NoInstrument, // nothing changed
        NoFile,       // nothing changed
        NoSpan,       // only the foot was cleared
        ReadFailed,   // the results reached so far stand, message says why
    };

    struct Input {
        QDate day;
        QString timeText;                        // "hh:mm", the first hour position may be blank
        int span = 1;                            // rb1..rb6 as 1..6
        std::array<bool, kInstruments> ticked{}; // instrument n at n - 1
        double leftMaximum = 50;
        double rightMaximum = 40;
        QString filePath;
    };

    struct Result {
        Outcome outcome = Outcome::Ok;
        QString message; // for the operator; empty when Ok
        std::array<std::vector<float>, kSeries> points;
        // Per point, whether a value was read into it; the others keep their pre-filled 0.
        std::array<std::vector<bool>, kSeries> recorded;
        std::array<QString, kSeries> titles;
        double leftMaximum = 50;
        double rightMaximum = 40;
        QString foot;
        long long linesRead = 0;
        long long rowsInWindow = 0;

        // The foot and all series are to be replaced in the chart.
        bool seriesRebuilt() const {
            return outcome == Outcome::Ok || outcome == Outcome::ReadFailed;
        }
    };

    // Called with the 128-byte position and the maximum (file length / 128) when
    // reading starts and whenever the position changes.
    using Progress = std::function<void(int position, int maximum)>;

    static Result run(const Input& input, const Progress& progress = {});

    // Seconds since 1970-01-01 00:00:00 of the start text, the local clock taken as if it
    // were UTC. 64 bits so that no date wraps around the 32-bit keys of the file.
    static std::optional<long long> startSeconds(QDate day, const QString& timeText);
    static QString dataFilePath(const QString& baseDir, QDate day);
    static QString spanSuffix(int span);
};
