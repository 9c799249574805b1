#pragma once

#include <QtGlobal>

// One pixel column of a trend series: the extremes of the seconds it covers that hold a
// value, the first and the last of them, and when those were. Columns without a value are
// never made, so a gap stays a gap.
struct TrendColumn {
    int column = 0; // from the left edge of the range; -1 and the count are the neighbours
    float min = 0;
    float max = 0;
    float first = 0;
    float last = 0;
    qint64 firstSecond = 0;
    qint64 lastSecond = 0;
};
