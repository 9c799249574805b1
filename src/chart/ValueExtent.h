#pragma once

#include <limits>

// The extremes of some values (not-a-number ones passed over); empty (min > max) when none.
struct ValueExtent {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    bool empty() const { return !(min <= max); }
    void add(float v) {
        min = v < min ? v : min; // NaN compares false and is passed over
        max = v > max ? v : max;
    }
    void add(const ValueExtent& o) {
        min = o.min < min ? o.min : min;
        max = o.max > max ? o.max : max;
    }
};
