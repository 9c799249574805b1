#pragma once

#include <cstdint>

// The seconds of one series within one block of a day: their extremes, the first and the
// last value and where those lie, and how many seconds hold a value. Stored as is in the
// cache files, so its layout is fixed.
struct TrendBlock {
    float min = 0;
    float max = 0;
    float first = 0;
    float last = 0;
    uint16_t firstOffset = 0; // seconds from the block's start
    uint16_t lastOffset = 0;
    uint16_t count = 0; // 0: no second of the block has a value
    uint16_t reserved = 0;
};
static_assert(sizeof(TrendBlock) == 24);
