#pragma once

#include "ColumnReduction.h"
#include "ValueExtent.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

// The points of one series (x = index since the last reset) with a pyramid of block
// extremes above them, so a range of any length reduces in O(log n) and a redraw costs
// the same after a month as after a minute. Only the newest `fullResolution` points are
// kept as values; older ones are dropped, or, when summarised, live on only as their
// 64-point blocks (extremes and first and last finite value), which is finer than any
// screen column once that much is in view.
class SeriesStore {
  public:
    static constexpr int kBlock = 64;
    static constexpr int kFan = 8;
    static constexpr long long kDay = 86400;

    void setRetention(long long fullResolution, bool summariseOlder);

    long long count() const { return m_count; }       // x of the next point
    long long firstHeld() const { return m_rawBase; } // oldest point kept as a value
    long long firstRepresented() const; // oldest point still drawn, as a value or a block
    float value(long long x) const;     // NaN for a point not held
    // The values of points [first, last], or nothing unless all of them are held.
    std::span<const float> held(long long first, long long last) const;
    void append(float y);
    bool set(long long x, float y); // false for a point not held
    void assign(std::vector<float> values);
    void clear();

    // Extremes of the values in [begin, end); dropped-but-summarised points take part
    // through their whole blocks.
    ValueExtent extent(long long begin, long long end) const;
    // Same contract as ReduceColumns over the represented points. In the summarised part
    // columns take whole blocks, each block going to the column its first point falls in.
    // The columns of a steady stretch found from the blocks come as one entry `span` wide.
    void reduce(double xMin, double xMax, int pixelWidth, std::vector<ColumnExtent>& out) const;
    // Changes with every change to the points, so a drawing of them can be kept until then.
    uint64_t revision() const { return m_revision; }

  private:
    struct Block {
        ValueExtent extent;
        float first;
        float last;
        uint8_t firstOffset; // offsets of the first and last finite value in the block
        uint8_t lastOffset;
        uint8_t finite; // how many of its values are finite
    };

    // A block of a level above the base blocks: its extremes and how many of its values are
    // finite, so a steady stretch is found a whole block of the level at a time.
    struct Node {
        ValueExtent extent;
        uint32_t finite = 0;
        void add(float y) {
            extent.add(y);
            finite += std::isfinite(y);
        }
        void add(const Node& child) {
            extent.add(child.extent);
            finite += child.finite;
        }
    };

    static Block emptyBlock();
    void addToBlock(Block& b, long long x, float y);
    void addToLevels(long long x, float y);
    void growLevels();
    void rebuildAll();
    void refreshBlock(long long block);
    long long dropChunk() const;
    void dropOld();
    void dropSummaryBefore(long long x);                 // blocks and levels wholly before x
    Node levelNode(size_t level, long long block) const; // level 0: the base blocks
    bool steadyAt(size_t level, long long block, float value) const;
    ValueExtent blockExtent(long long b0, long long b1) const;   // base blocks [b0, b1)
    ValueExtent rawExtent(long long begin, long long end) const; // held points only
    ValueExtent scan(long long begin, long long end) const;
    // Points [begin, end), held, finite and all of one value (a steady reading), and the
    // first block after those looked at.
    struct LevelRun {
        long long begin;
        long long end;
        float value;
        long long nextBlock;
    };
    // The longest such run of whole blocks from the block of x, from the pyramid alone; an
    // empty one when that block is not steady.
    LevelRun levelRun(long long x) const;

    uint64_t m_revision = 0;
    long long m_limit = kDay;
    bool m_summarise = false;
    long long m_count = 0;
    long long m_rawBase = 0;
    std::vector<float> m_raw;
    // Base blocks of kBlock points; m_blockBase is the number of the first one kept.
    std::deque<Block> m_blocks;
    long long m_blockBase = 0;
    // m_levels[k] holds the blocks of kBlock * kFan^(k+1) points.
    std::vector<std::deque<Node>> m_levels;
    std::vector<long long> m_levelBase;
};
