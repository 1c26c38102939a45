#include "section/section_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace tessara
{
namespace
{

constexpr int kSubBins = CMagnitudeHistogram::kSubBins;

// With GCC on x86-64 Linux the loop over every sample is built twice, for
// AVX2 and for the baseline, and the loader picks the one the processor
// runs, as the sample codec does. (Clang 14 renames such functions, so it
// builds the baseline only.)
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define TESSARA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TESSARA_VECTOR_CLONES
#endif

/// Whether a stacked trace held a negative or a non-finite sample.
struct StackFlags {
    bool negative = false;
    bool notFinite = false;
};

/// The order of stacked samples in a row: the larger magnitude first, then
/// the earlier trace. The magnitude's bits above the trace's place reversed,
/// so that one integer comparison, which compiles to no branch, tells it;
/// never 0 for a sample of a stack (under 2^31 traces).
inline std::uint64_t Rank(float v, std::int32_t trace)
{
    const std::uint64_t magnitude = std::bit_cast<std::uint32_t>(v) & 0x7FFFFFFFu;
    return magnitude << 32 | (0xFFFFFFFFu - static_cast<std::uint32_t>(trace));
}

// Vectors of 32 bytes: compilers make vector code of their operators on any
// target (two halves where registers are 16 bytes), where a plain loop of
// selects is left scalar at the default optimisation level.
using Floats [[gnu::vector_size(32)]] = float;
using Ints [[gnu::vector_size(32)]] = std::int32_t;

/// Stacks `count` samples `s` of trace `trace` onto `peaks` and `from`:
/// where a sample is finite and of larger magnitude than the peak (or the
/// peak is NaN, nothing yet), it and `trace` take the place; ties keep the
/// earlier trace. Masks and selects, not branches: this is the loop every
/// sample of the file passes through.
TESSARA_VECTOR_CLONES
StackFlags StackSamples(
    const float* s, float* peaks, std::int32_t* from, std::int64_t count, std::int32_t trace)
{
    using V = Floats;
    using M = Ints;
    constexpr std::int64_t kWidth = 8;
    // Filled lane by lane: no function returns a vector, whose registers
    // would differ between the baseline and the AVX2 build.
    M magnitudeBits; // all but the sign
    V largest;
    V zero;
    M traces;
    M negative;
    M notFinite;
    for (std::int64_t k = 0; k < kWidth; ++k) {
        magnitudeBits[k] = std::numeric_limits<std::int32_t>::max();
        largest[k] = std::numeric_limits<float>::max();
        zero[k] = 0;
        traces[k] = trace;
        negative[k] = 0;
        notFinite[k] = 0;
    }
    std::int64_t j = 0;
    for (; j + kWidth <= count; j += kWidth) {
        V v;
        V p;
        M f;
        std::memcpy(&v, s + j, sizeof v);
        std::memcpy(&p, peaks + j, sizeof p);
        std::memcpy(&f, from + j, sizeof f);
        const V magnitude = reinterpret_cast<V>(reinterpret_cast<M>(v) & magnitudeBits);
        const V peak = reinterpret_cast<V>(reinterpret_cast<M>(p) & magnitudeBits);
        const M finite = magnitude <= largest;
        const M larger = finite & ~(magnitude <= peak);
        p = reinterpret_cast<V>((reinterpret_cast<M>(v) & larger) |
                                (reinterpret_cast<M>(p) & ~larger));
        f = (traces & larger) | (f & ~larger);
        negative |= finite & (v < zero);
        notFinite |= ~finite;
        std::memcpy(peaks + j, &p, sizeof p);
        std::memcpy(from + j, &f, sizeof f);
    }
    bool anyNegative = false;
    bool anyNotFinite = false;
    for (std::int64_t k = 0; k < kWidth; ++k) {
        anyNegative = anyNegative || negative[k] != 0;
        anyNotFinite = anyNotFinite || notFinite[k] != 0;
    }
    for (; j < count; ++j) {
        const float v = s[j];
        const float magnitude = std::fabs(v);
        const bool finite = magnitude <= std::numeric_limits<float>::max();
        if (finite && !(magnitude <= std::fabs(peaks[j]))) {
            peaks[j] = v;
            from[j] = trace;
        }
        anyNegative = anyNegative || (finite && v < 0);
        anyNotFinite = anyNotFinite || !finite;
    }
    return {anyNegative, anyNotFinite};
}

double MidpointOf(int bin)
{
    const int exponent = bin / kSubBins + 1 + CMagnitudeHistogram::kMinExponent;
    const double mantissa = 0.5 + (bin % kSubBins + 0.5) / (2.0 * kSubBins);
    return std::ldexp(mantissa, exponent);
}

} // namespace

CMagnitudeHistogram::CMagnitudeHistogram() : m_bins(kBins + 1, 0) {}

void CMagnitudeHistogram::Add(const CMagnitudeHistogram& other)
{
    for (std::size_t bin = 0; bin < m_bins.size(); ++bin)
        m_bins[bin] += other.m_bins[bin];
}

std::int64_t CMagnitudeHistogram::Count() const
{
    std::int64_t count = 0;
    for (const std::int64_t n : m_bins)
        count += n;
    return count;
}

double CMagnitudeHistogram::Percentile(double percent) const
{
    const std::int64_t count = Count();
    if (count == 0)
        return 0.0;
    // NaN would pass the clamp and make the rank undefined.
    const double share = std::isnan(percent) ? 1.0 : std::clamp(percent, 0.0, 100.0) / 100.0;
    const double wanted = std::ceil(share * static_cast<double>(count));
    const std::int64_t rank = std::max<std::int64_t>(1, static_cast<std::int64_t>(wanted));
    std::int64_t seen = m_bins[kZeroBin];
    if (seen >= rank)
        return 0.0;
    for (int bin = 0; bin < kBins; ++bin) {
        seen += m_bins[static_cast<std::size_t>(bin)];
        if (seen >= rank)
            return MidpointOf(bin);
    }
    return MidpointOf(kBins - 1);
}

void ApplyAgc(std::span<double> samples, int windowSamples, std::vector<double>& scratch)
{
    const std::size_t n = samples.size();
    if (n == 0)
        return;
    const std::size_t half = static_cast<std::size_t>(std::max(1, windowSamples)) / 2;
    // Prefix sums of the magnitudes: each window's mean from two lookups, in
    // one pass whatever the window, and from the values before any change.
    scratch.assign(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        scratch[i + 1] = scratch[i] + std::fabs(samples[i]);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = i > half ? i - half : 0;
        const std::size_t to = std::min(n, i + half + 1);
        const double mean = (scratch[to] - scratch[from]) / static_cast<double>(to - from);
        samples[i] = mean > 0.0 ? samples[i] / mean : 0.0;
    }
}

CSectionReducer::CSectionReducer(const SectionFrame& frame)
    : m_frame(frame), m_rowMs((frame.endMs - frame.startMs) / frame.rows),
      m_cells(static_cast<std::size_t>(frame.columns) * static_cast<std::size_t>(frame.rows),
              std::numeric_limits<float>::quiet_NaN()),
      m_columns(static_cast<std::size_t>(frame.columns))
{
}

void CSectionReducer::KeepLargest(int column, int row, double value)
{
    float& cell =
        m_cells[static_cast<std::size_t>(column) * static_cast<std::size_t>(m_frame.rows) +
                static_cast<std::size_t>(row)];
    if (std::isnan(cell) || std::fabs(value) > std::fabs(static_cast<double>(cell)))
        cell = static_cast<float>(value);
}

void CSectionReducer::Stretch(int column, int lastColumn)
{
    const auto rows = static_cast<std::ptrdiff_t>(m_frame.rows);
    const auto own = m_cells.begin() + column * rows;
    for (int c = column + 1; c <= lastColumn; ++c)
        std::copy(own, own + rows, m_cells.begin() + c * rows);
}

std::vector<float> CSectionReducer::Cells()
{
    Finish();
    const auto columns = static_cast<std::size_t>(m_frame.columns);
    const auto rows = static_cast<std::size_t>(m_frame.rows);
    std::vector<float> rowMajor(m_cells.size());
    for (std::size_t c = 0; c < columns; ++c)
        for (std::size_t r = 0; r < rows; ++r)
            rowMajor[r * columns + c] = m_cells[c * rows + r];
    return rowMajor;
}

void CSectionReducer::AddTrace(std::int64_t index,
                               std::span<const double> samples,
                               double delayMs,
                               double intervalMs,
                               const ColumnTrace& origin)
{
    Add(index, samples, delayMs, intervalMs, origin);
}

void CSectionReducer::AddTrace(std::int64_t index,
                               std::span<const float> samples,
                               double delayMs,
                               double intervalMs,
                               const ColumnTrace& origin)
{
    Add(index, samples, delayMs, intervalMs, origin);
}

void CSectionReducer::TakeLater(CSectionReducer& later)
{
    Finish();
    later.Finish();
    for (std::size_t k = 0; k < m_cells.size(); ++k) {
        const float v = later.m_cells[k];
        float& cell = m_cells[k];
        if (!std::isnan(v) && (std::isnan(cell) || std::fabs(v) > std::fabs(cell)))
            cell = v;
    }
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].traceNumber == 0)
            m_columns[c] = later.m_columns[c];
    }
    m_magnitudes.Add(later.m_magnitudes);
    m_anyNegative = m_anyNegative || later.m_anyNegative;
}

template <typename T>
void CSectionReducer::Add(std::int64_t index,
                          std::span<const T> samples,
                          double delayMs,
                          double intervalMs,
                          const ColumnTrace& origin)
{
    const SectionFrame& f = m_frame;
    if (index < 0 || index >= f.traceCount || !(intervalMs > 0.0) || samples.empty())
        return;
    const int column = static_cast<int>(index * f.columns / f.traceCount);
    const int lastColumn =
        std::max(column, static_cast<int>((index + 1) * f.columns / f.traceCount) - 1);
    if (m_columns[static_cast<std::size_t>(column)].traceNumber == 0)
        m_columns[static_cast<std::size_t>(column)] = origin;
    // Doubles (gained samples, 32-bit integers) go trace by trace, each
    // row's largest measured against the float its cell holds: stacked in
    // double precision, a value that rounding made equal to a cell's would
    // be judged otherwise, and the picture would change. Floats compare the
    // same either way. Samples further apart than rows share no row.
    if (!std::is_same_v<T, float> || intervalMs > m_rowMs) {
        Finish();
        AddAlone(index, column, samples, delayMs, intervalMs);
        Stretch(column, lastColumn);
        return;
    }
    // A full stack (2^31 traces in one column) is reduced, and another begun.
    if (m_stack.column != column || m_stack.delayMs != delayMs ||
        m_stack.intervalMs != intervalMs || m_stack.length != samples.size() ||
        m_stack.traces == std::numeric_limits<std::int32_t>::max()) {
        Finish();
        Begin(column, delayMs, intervalMs, samples.size());
    }
    m_stack.lastColumn = lastColumn;
    if constexpr (std::is_same_v<T, float>)
        Push(index, samples);
}

void CSectionReducer::Begin(int column, double delayMs, double intervalMs, std::size_t length)
{
    const SectionFrame& f = m_frame;
    Stack& stack = m_stack;
    const auto n = static_cast<std::int64_t>(length);
    // Only the samples inside the frame: a zoomed view of a long trace costs
    // what it shows. Clamped as doubles: a window far from the trace must not
    // overflow.
    std::int64_t first = static_cast<std::int64_t>(
        std::clamp(std::ceil((f.startMs - delayMs) / intervalMs), 0.0, static_cast<double>(n)));
    std::int64_t last = static_cast<std::int64_t>(
        std::clamp(std::ceil((f.endMs - delayMs) / intervalMs), -1.0, static_cast<double>(n - 1)));
    // The row of a sample grows with its index, so the samples in rows are
    // one run; rounding at either end may leave a sample just outside.
    const double rowOfFirst = (delayMs - f.startMs) / m_rowMs;
    const double rowsPerSample = intervalMs / m_rowMs;
    const auto inRows = [&](std::int64_t i) {
        const double row = rowOfFirst + static_cast<double>(i) * rowsPerSample;
        return row >= 0.0 && row < f.rows;
    };
    while (first <= last && !inRows(first))
        ++first;
    while (last >= first && !inRows(last))
        --last;
    stack.column = column;
    stack.delayMs = delayMs;
    stack.intervalMs = intervalMs;
    stack.length = length;
    stack.first = first;
    stack.last = last;
    const auto inside = static_cast<std::size_t>(std::max<std::int64_t>(0, last - first + 1));
    stack.peaks.assign(inside, std::numeric_limits<float>::quiet_NaN());
    stack.from.assign(inside, 0);
    stack.traces = 0;
}

void CSectionReducer::Push(std::int64_t index, std::span<const float> samples)
{
    Stack& stack = m_stack;
    const std::int32_t trace = stack.traces++;
    const auto inside = static_cast<std::int64_t>(stack.peaks.size());
    if (inside == 0)
        return;
    const float* s = samples.data() + stack.first;
    const auto [negative, notFinite] =
        StackSamples(s, stack.peaks.data(), stack.from.data(), inside, trace);
    m_anyNegative = m_anyNegative || negative;
    const std::int64_t every = std::max(1, m_frame.magnitudeEvery);
    const std::int64_t offset = index % every;
    if (!notFinite) {
        for (std::int64_t j = offset; j < inside; j += every)
            m_magnitudes.Add(s[j]);
        return;
    }
    // Samples that are not finite are not counted and do not move the count on.
    std::int64_t untilCounted = offset + 1;
    for (std::int64_t j = 0; j < inside; ++j) {
        if (std::isfinite(s[j]) && --untilCounted == 0) {
            m_magnitudes.Add(s[j]);
            untilCounted = every;
        }
    }
}

void CSectionReducer::FindRuns()
{
    Stack& stack = m_stack;
    if (stack.runsDelayMs == stack.delayMs && stack.runsIntervalMs == stack.intervalMs &&
        stack.runsFirst == stack.first && stack.runsLast == stack.last)
        return;
    const double rowOfFirst = (stack.delayMs - m_frame.startMs) / m_rowMs;
    const double rowsPerSample = stack.intervalMs / m_rowMs;
    stack.runRows.clear();
    stack.runEnds.clear();
    for (std::int64_t i = stack.first; i <= stack.last; ++i) {
        const auto row = static_cast<int>(rowOfFirst + static_cast<double>(i) * rowsPerSample);
        if (stack.runRows.empty() || row != stack.runRows.back()) {
            stack.runRows.push_back(row);
            stack.runEnds.push_back(0);
        }
        stack.runEnds.back() = static_cast<std::size_t>(i - stack.first + 1);
    }
    stack.runsDelayMs = stack.delayMs;
    stack.runsIntervalMs = stack.intervalMs;
    stack.runsFirst = stack.first;
    stack.runsLast = stack.last;
}

void CSectionReducer::Finish()
{
    Stack& stack = m_stack;
    if (stack.column < 0)
        return;
    FindRuns();
    std::size_t j = 0;
    for (std::size_t k = 0; k < stack.runRows.size(); ++k) {
        float largest = 0;
        std::uint64_t largestRank = 0; // 0: no sample yet
        for (; j < stack.runEnds[k]; ++j) {
            // Selects: which way it goes is random with noise. A NaN peak
            // (no sample there) ranks 0 and never wins.
            const float v = stack.peaks[j];
            const std::uint64_t rank = std::isnan(v) ? 0 : Rank(v, stack.from[j]);
            const bool larger = rank > largestRank;
            largest = larger ? v : largest;
            largestRank = larger ? rank : largestRank;
        }
        if (largestRank != 0)
            KeepLargest(stack.column, stack.runRows[k], largest);
    }
    Stretch(stack.column, stack.lastColumn);
    stack.column = -1;
}

template <typename T>
void CSectionReducer::AddAlone(
    std::int64_t index, int column, std::span<const T> samples, double delayMs, double intervalMs)
{
    const SectionFrame& f = m_frame;
    const double rowMs = m_rowMs;
    const auto n = static_cast<std::int64_t>(samples.size());
    const auto first = static_cast<std::int64_t>(
        std::clamp(std::ceil((f.startMs - delayMs) / intervalMs), 0.0, static_cast<double>(n)));
    const auto last = static_cast<std::int64_t>(
        std::clamp(std::ceil((f.endMs - delayMs) / intervalMs), -1.0, static_cast<double>(n - 1)));
    // Rows as a running multiply, not a division per sample. A row's
    // largest sample is found in registers and stored once.
    const double rowOfFirst = (delayMs - f.startMs) / rowMs;
    const double rowsPerSample = intervalMs / rowMs;
    bool negative = false;
    int currentRow = -1;
    double largest = 0.0;
    const std::int64_t every = std::max(1, f.magnitudeEvery);
    std::int64_t untilCounted = index % every + 1;
    for (std::int64_t i = first; i <= last; ++i) {
        const double v = samples[static_cast<std::size_t>(i)];
        const double row = rowOfFirst + static_cast<double>(i) * rowsPerSample;
        if (!std::isfinite(v) || !(row >= 0.0) || row >= f.rows)
            continue;
        if (--untilCounted == 0) {
            m_magnitudes.Add(v);
            untilCounted = every;
        }
        negative = negative || v < 0.0;
        if (static_cast<int>(row) != currentRow) {
            if (currentRow >= 0)
                KeepLargest(column, currentRow, largest);
            currentRow = static_cast<int>(row);
            largest = v;
        }
        // A select, not a branch: with noise it goes either way at random.
        largest = std::fabs(v) > std::fabs(largest) ? v : largest;
    }
    if (currentRow >= 0)
        KeepLargest(column, currentRow, largest);
    m_anyNegative = m_anyNegative || negative;
    if (intervalMs > rowMs) {
        // Samples further apart than rows: a row none fell into takes the
        // sample whose span holds its centre.
        for (int row = 0; row < f.rows; ++row) {
            const double centre = f.startMs + (row + 0.5) * rowMs;
            const double i = std::floor((centre - delayMs) / intervalMs);
            if (i < 0.0 || i >= static_cast<double>(n))
                continue;
            const double v = samples[static_cast<std::size_t>(i)];
            if (std::isfinite(v))
                KeepLargest(column, row, v);
        }
    }
}

} // namespace tessara
