#include "SeriesStore.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <limits>

namespace {

constexpr long long kMaxChunk = 4096;

long long LevelSize(size_t level) {
    return (long long)SeriesStore::kBlock << (3 * level); // kFan = 8
}

long long FloorDiv(long long a, long long b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

static_assert(SeriesStore::kFan == 8, "LevelSize assumes a fan-out of 8");

SeriesStore::Block SeriesStore::emptyBlock() {
    return {ValueExtent(), std::nanf(""), std::nanf(""), 0, 0, 0};
}

void SeriesStore::setRetention(long long fullResolution, bool summariseOlder) {
    ++m_revision;
    m_limit = std::max<long long>(kBlock, fullResolution);
    if (m_summarise && !summariseOlder) {
        dropSummaryBefore(m_rawBase); // the blocks of dropped points go with the summary
    }
    m_summarise = summariseOlder;
    if (m_count - m_rawBase > m_limit)
        dropOld();
}

long long SeriesStore::firstRepresented() const {
    if (m_summarise && !m_blocks.empty())
        return std::min(m_rawBase, m_blockBase * kBlock);
    return m_rawBase;
}

float SeriesStore::value(long long x) const {
    if (x < m_rawBase || x >= m_count)
        return std::nanf("");
    return m_raw[size_t(x - m_rawBase)];
}

std::span<const float> SeriesStore::held(long long first, long long last) const {
    if (first < m_rawBase || last >= m_count || first > last)
        return {};
    return std::span<const float>(m_raw).subspan(size_t(first - m_rawBase),
                                                 size_t(last - first + 1));
}

void SeriesStore::addToBlock(Block& b, long long x, float y) {
    b.extent.add(y);
    if (!std::isfinite(y))
        return;
    ++b.finite;
    const auto offset = uint8_t(x % kBlock);
    if (std::isnan(b.first)) {
        b.first = y;
        b.firstOffset = offset;
    }
    b.last = y;
    b.lastOffset = offset;
}

void SeriesStore::addToLevels(long long x, float y) {
    const long long b = x / kBlock;
    if (m_blocks.empty())
        m_blockBase = b;
    if (b >= m_blockBase + (long long)m_blocks.size())
        m_blocks.push_back(emptyBlock());
    addToBlock(m_blocks.back(), x, y);
    for (size_t l = 0; l < m_levels.size(); ++l) {
        const long long p = x / LevelSize(l + 1);
        std::deque<Node>& level = m_levels[l];
        if (level.empty())
            m_levelBase[l] = p;
        if (p >= m_levelBase[l] + (long long)level.size())
            level.emplace_back();
        level.back().add(y);
    }
}

void SeriesStore::growLevels() {
    // Levels are added until the top one has a single block, so a range query never
    // walks more than kFan blocks on any level.
    for (;;) {
        const size_t top = m_levels.size();
        const long long topBase = top == 0 ? m_blockBase : m_levelBase[top - 1];
        const long long topCount =
            top == 0 ? (long long)m_blocks.size() : (long long)m_levels[top - 1].size();
        if (topCount <= 1)
            return;
        std::deque<Node> up;
        const long long upBase = topBase / kFan;
        for (long long b = topBase; b < topBase + topCount; ++b) {
            if (b / kFan >= upBase + (long long)up.size())
                up.emplace_back();
            up.back().add(levelNode(top, b));
        }
        m_levels.push_back(std::move(up));
        m_levelBase.push_back(upBase);
    }
}

void SeriesStore::append(float y) {
    ++m_revision;
    if (m_raw.size() == m_raw.capacity())
        m_raw.reserve(
            size_t(std::min<long long>(std::max<long long>(2 * (long long)m_raw.capacity(), 256),
                                       m_limit + (m_summarise ? dropChunk() : 0) + 1)));
    m_raw.push_back(y);
    addToLevels(m_count, y);
    ++m_count;
    const size_t top = m_levels.size();
    if ((top == 0 ? m_blocks.size() : m_levels[top - 1].size()) > 1)
        growLevels();
    if (m_count - m_rawBase > m_limit)
        dropOld();
}

void SeriesStore::refreshBlock(long long block) {
    Block b = emptyBlock();
    const long long end = std::min(m_count, (block + 1) * kBlock);
    for (long long x = std::max(block * kBlock, m_rawBase); x < end; ++x)
        addToBlock(b, x, m_raw[size_t(x - m_rawBase)]);
    m_blocks[size_t(block - m_blockBase)] = b;
    long long child = block;
    for (size_t l = 0; l < m_levels.size(); ++l) {
        const long long parent = child / kFan;
        const long long childBase = l == 0 ? m_blockBase : m_levelBase[l - 1];
        const long long childCount =
            l == 0 ? (long long)m_blocks.size() : (long long)m_levels[l - 1].size();
        Node n;
        for (long long c = std::max(parent * kFan, childBase);
             c < std::min((parent + 1) * kFan, childBase + childCount); ++c)
            n.add(levelNode(l, c));
        m_levels[l][size_t(parent - m_levelBase[l])] = n;
        child = parent;
    }
}

bool SeriesStore::set(long long x, float y) {
    if (x < m_rawBase || x >= m_count)
        return false;
    ++m_revision;
    m_raw[size_t(x - m_rawBase)] = y;
    refreshBlock(x / kBlock);
    return true;
}

void SeriesStore::rebuildAll() {
    m_blocks.clear();
    m_levels.clear();
    m_levelBase.clear();
    m_blockBase = m_rawBase / kBlock;
    for (long long x = m_rawBase; x < m_count; ++x) {
        const long long b = x / kBlock;
        if (b >= m_blockBase + (long long)m_blocks.size())
            m_blocks.push_back(emptyBlock());
        addToBlock(m_blocks.back(), x, m_raw[size_t(x - m_rawBase)]);
    }
    growLevels();
}

void SeriesStore::assign(std::vector<float> values) {
    ++m_revision;
    m_raw = std::move(values);
    m_count = (long long)m_raw.size();
    m_rawBase = 0;
    rebuildAll();
    if (m_count > m_limit) {
        dropOld();
        m_raw.shrink_to_fit();
    }
}

void SeriesStore::clear() {
    ++m_revision;
    m_raw.clear();
    m_raw.shrink_to_fit();
    m_blocks.clear();
    m_levels.clear();
    m_levelBase.clear();
    m_count = 0;
    m_rawBase = 0;
    m_blockBase = 0;
}

long long SeriesStore::dropChunk() const {
    return std::clamp(m_limit / 8 / kBlock * kBlock, (long long)kBlock, kMaxChunk);
}

void SeriesStore::dropOld() {
    // Whole chunks at a time, so the copy is paid once per chunk and the held points start
    // on a block boundary.
    const long long chunk = dropChunk();
    // Dropped points live on in the summary only when summarised: then at least the limit is
    // kept at full resolution; otherwise at most the limit is kept.
    const long long over = m_count - m_limit;
    const long long newBase = (m_summarise ? over : over + chunk - 1) / chunk * chunk;
    if (newBase <= m_rawBase)
        return;
    m_raw.erase(m_raw.begin(), m_raw.begin() + (newBase - m_rawBase));
    m_rawBase = newBase;
    if (!m_summarise)
        dropSummaryBefore(newBase);
}

void SeriesStore::dropSummaryBefore(long long x) {
    while (!m_blocks.empty() && m_blockBase < x / kBlock) {
        m_blocks.pop_front();
        ++m_blockBase;
    }
    for (size_t l = 0; l < m_levels.size(); ++l) {
        while (!m_levels[l].empty() && m_levelBase[l] < x / LevelSize(l + 1)) {
            m_levels[l].pop_front();
            ++m_levelBase[l];
        }
    }
}

SeriesStore::Node SeriesStore::levelNode(size_t level, long long block) const {
    if (level == 0) {
        const Block& b = m_blocks[size_t(block - m_blockBase)];
        return {b.extent, b.finite};
    }
    return m_levels[level - 1][size_t(block - m_levelBase[level - 1])];
}

bool SeriesStore::steadyAt(size_t level, long long block, float value) const {
    // All its points there (the newest block as far as it goes) and all finite and equal.
    const long long size = LevelSize(level);
    const Node n = levelNode(level, block);
    return n.finite == std::min(m_count - block * size, size) && n.extent.min == value &&
           n.extent.max == value;
}

ValueExtent SeriesStore::blockExtent(long long b0, long long b1) const {
    ValueExtent r;
    // Blocks [from, to) of one level, stepped through with an iterator: indexing a deque
    // afresh costs a division each time, and a month's column walks dozens of them.
    const auto addRange = [this, &r](size_t level, long long from, long long to) {
        const auto add = [&r, count = to - from](auto it) {
            for (long long k = 0; k < count; ++k, ++it)
                r.add(it->extent);
        };
        if (from >= to)
            return;
        if (level == 0)
            add(m_blocks.begin() + (from - m_blockBase));
        else
            add(m_levels[level - 1].begin() + (from - m_levelBase[level - 1]));
    };
    const size_t top = m_levels.size();
    for (size_t level = 0; b0 < b1; ++level) {
        if (level == top) {
            addRange(level, b0, b1);
            break;
        }
        // The ends up to whole blocks of the level above, which then stand for the middle.
        const long long up = std::min(b1, (b0 + kFan - 1) / kFan * kFan);
        addRange(level, b0, up);
        b0 = up;
        const long long down = std::max(b0, b1 / kFan * kFan);
        addRange(level, down, b1);
        b1 = down;
        b0 /= kFan;
        b1 /= kFan;
    }
    return r;
}

ValueExtent SeriesStore::scan(long long begin, long long end) const {
    const float* data = m_raw.data() + (begin - m_rawBase);
    const long long n = end - begin;
    long long k = 0;
    ValueExtent r;
#if defined(__SSE2__)
    // minps/maxps return their second operand when either is NaN, which is exactly
    // ValueExtent::add's passing over. Four pairs of accumulators keep the loop free of a
    // dependency chain; they are folded with shuffles, as a column's scan is short.
    if (n >= 4) {
        constexpr int kPairs = 4;
        __m128 lo[kPairs], hi[kPairs];
        for (int j = 0; j < kPairs; ++j) {
            lo[j] = _mm_set1_ps(r.min);
            hi[j] = _mm_set1_ps(r.max);
        }
        for (; k + 4 * kPairs <= n; k += 4 * kPairs)
            for (int j = 0; j < kPairs; ++j) {
                const __m128 v = _mm_loadu_ps(data + k + 4 * j);
                lo[j] = _mm_min_ps(v, lo[j]);
                hi[j] = _mm_max_ps(v, hi[j]);
            }
        for (; k + 4 <= n; k += 4) {
            const __m128 v = _mm_loadu_ps(data + k);
            lo[0] = _mm_min_ps(v, lo[0]);
            hi[0] = _mm_max_ps(v, hi[0]);
        }
        // Accumulators hold no NaN (it never replaces one), so folding them is plain.
        for (int j = 1; j < kPairs; ++j) {
            lo[0] = _mm_min_ps(lo[0], lo[j]);
            hi[0] = _mm_max_ps(hi[0], hi[j]);
        }
        __m128 low = _mm_min_ps(lo[0], _mm_movehl_ps(lo[0], lo[0]));
        __m128 high = _mm_max_ps(hi[0], _mm_movehl_ps(hi[0], hi[0]));
        low = _mm_min_ss(low, _mm_shuffle_ps(low, low, 1));
        high = _mm_max_ss(high, _mm_shuffle_ps(high, high, 1));
        r = ValueExtent{_mm_cvtss_f32(low), _mm_cvtss_f32(high)};
    }
#endif
    for (; k < n; ++k)
        r.add(data[k]);
    return r;
}

SeriesStore::LevelRun SeriesStore::levelRun(long long x) const {
    const long long first = x / kBlock;
    const float value = m_blocks[size_t(first - m_blockBase)].extent.min;
    if (!std::isfinite(value) || !steadyAt(0, first, value))
        return {first * kBlock, first * kBlock, value, first + 1};
    // Up the pyramid while the run keeps to whole blocks of the level above, down again into
    // the first block that is not steady: a day's run costs a few dozen looks, not a look per
    // base block.
    size_t level = 0;
    long long b = first + 1; // in blocks of `level`
    bool climb = true;       // not straight after stepping down into a block
    while (b * LevelSize(level) < m_count) {
        while (climb && b % kFan == 0 && level < m_levels.size()) {
            b /= kFan;
            ++level;
        }
        climb = steadyAt(level, b, value);
        if (climb)
            ++b;
        else if (level > 0) {
            b *= kFan;
            --level;
        } else {
            break;
        }
    }
    const long long end = std::min(m_count, b * LevelSize(level));
    return {first * kBlock, end, value, (end + kBlock - 1) / kBlock};
}

ValueExtent SeriesStore::rawExtent(long long begin, long long end) const {
    // Up to a few blocks, one vector scan costs less than two partial ones and the blocks.
    if (end - begin <= 8 * kBlock)
        return scan(begin, end);
    const long long a = (begin + kBlock - 1) / kBlock * kBlock;
    const long long z = end / kBlock * kBlock;
    ValueExtent r = scan(begin, a);
    r.add(blockExtent(a / kBlock, z / kBlock));
    r.add(scan(z, end));
    return r;
}

ValueExtent SeriesStore::extent(long long begin, long long end) const {
    begin = std::max(begin, firstRepresented());
    end = std::min(end, m_count);
    ValueExtent r;
    if (begin >= end)
        return r;
    if (begin < m_rawBase) {
        r.add(blockExtent(begin / kBlock, (std::min(end, m_rawBase) + kBlock - 1) / kBlock));
        begin = m_rawBase;
    }
    if (begin < end)
        r.add(rawExtent(begin, end));
    return r;
}

void SeriesStore::reduce(double xMin, double xMax, int pixelWidth,
                         std::vector<ColumnExtent>& out) const {
    out.clear();
    if (m_count == 0 || pixelWidth <= 0 || !(xMax > xMin) || !std::isfinite(xMin) ||
        !std::isfinite(xMax))
        return;
    const double scale = pixelWidth / (xMax - xMin);
    const double inverse = (xMax - xMin) / pixelWidth;
    const long long lo = firstRepresented();
    long long i = std::max(lo, (long long)std::ceil(std::max(xMin, double(lo) - 1.0)) - 1);
    const long long end =
        std::min(m_count, (long long)std::floor(std::min(xMax, double(m_count))) + 2);
    if (i < m_rawBase)
        i = FloorDiv(i, kBlock) * kBlock;
    // A column that straddles the oldest held point comes in two parts; they are merged.
    const auto emit = [&out](const ColumnExtent& c) {
        if (!out.empty() && out.back().column == c.column) {
            ColumnExtent& m = out.back();
            m.lastIndex = c.lastIndex;
            m.last = c.last;
            m.span = std::max(m.span, c.column + c.span - m.column);
            m.min = std::min(m.min, c.min);
            m.max = std::max(m.max, c.max);
        } else {
            out.push_back(c);
        }
    };
    if (i >= m_rawBase && end - i <= 16LL * pixelWidth) {
        // A few points a column: one pass over them, a point starting the next column where
        // the expression ColumnOf floors reaches the next whole number.
        const float* data = m_raw.data() - m_rawBase;
        int column = columns::ColumnOf(double(i), xMin, scale);
        double columnEnd = double(column) + 1.0;
        ValueExtent e;
        long long first = -1;
        long long last = -1;
        const auto flush = [&] {
            if (first >= 0)
                out.push_back(
                    {column, int(first), int(last), data[first], data[last], e.min, e.max});
            e = ValueExtent();
            first = last = -1;
        };
        for (long long x = i; x < end; ++x) {
            if ((double(x) - xMin) * scale >= columnEnd) {
                flush();
                column = columns::ColumnOf(double(x), xMin, scale);
                columnEnd = double(column) + 1.0;
            }
            const float v = data[x];
            e.add(v);
            if (std::isfinite(v)) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        flush();
        return;
    }
    LevelRun level{0, 0, 0.0f, i / kBlock}; // none yet
    while (i < end) {
        const int column = columns::ColumnOf(double(i), xMin, scale);
        long long next = columns::NextColumnStart(i, end, xMin, scale);
        if (i < m_rawBase) {
            // Dropped points: whole blocks, each in the column of its first point.
            next = std::min((next + kBlock - 1) / kBlock * kBlock, m_rawBase);
            long long b = i / kBlock;
            long long z = next / kBlock - 1;
            // A column's last block lies a column's worth of blocks past the previous one and
            // is rarely cached over a month of them: fetched ahead while this column is done.
            const long long ahead = (next + 2 * (next - i)) / kBlock - 1;
            if (ahead < m_blockBase + (long long)m_blocks.size()) {
                const Block* p = &m_blocks[size_t(ahead - m_blockBase)];
                __builtin_prefetch(p);
                __builtin_prefetch(reinterpret_cast<const char*>(p) - 64);
            }
            // Infinite values count in the extremes but are no point to draw a line to.
            while (b <= z && std::isnan(m_blocks[size_t(b - m_blockBase)].first))
                ++b;
            while (z >= b && std::isnan(m_blocks[size_t(z - m_blockBase)].last))
                --z;
            if (b <= z) {
                const ValueExtent e = blockExtent(i / kBlock, next / kBlock);
                const Block& f = m_blocks[size_t(b - m_blockBase)];
                const Block& l = m_blocks[size_t(z - m_blockBase)];
                emit({column, int(b * kBlock + f.firstOffset), int(z * kBlock + l.lastOffset),
                      f.first, l.last, e.min, e.max});
            }
        } else {
            const auto at = [this](long long x) { return m_raw[size_t(x - m_rawBase)]; };
            // A steady stretch is told by its blocks, without reading its points: the run
            // of equal, wholly finite blocks around i, looked up once for all its columns.
            if (next - i >= kBlock) {
                if (next > level.end && i / kBlock >= level.nextBlock)
                    level = levelRun(i);
                if (i >= level.begin && next <= level.end) {
                    const float v = level.value;
                    // The run's whole columns as one entry: the last may reach past it.
                    int c = columns::ColumnOf(double(std::min(level.end, end) - 1), xMin, scale);
                    const auto start = [&](int edge) {
                        return columns::EdgeIndex(edge, next, end, xMin, scale, inverse);
                    };
                    long long after = start(c + 1);
                    if (after > level.end) {
                        after = start(c);
                        --c;
                    }
                    if (c > column && after > next)
                        next = after;
                    else
                        c = column;
                    emit({column, int(i), int(next - 1), v, v, v, v, c - column + 1});
                    i = next;
                    continue;
                }
            }
            long long first = i;
            while (first < next && !std::isfinite(at(first)))
                ++first;
            if (first < next) {
                long long last = next - 1;
                while (!std::isfinite(at(last)))
                    --last;
                const ValueExtent e = rawExtent(i, next);
                emit({column, int(first), int(last), at(first), at(last), e.min, e.max});
            }
        }
        i = next;
    }
}
