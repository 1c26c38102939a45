#include "section/section_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

constexpr int kSubBins = CMagnitudeHistogram::kSubBins;

double MidpointOf(int bin)
{
    const int exponent = bin / kSubBins + 1 + CMagnitudeHistogram::kMinExponent;
    const double mantissa = 0.5 + (bin % kSubBins + 0.5) / (2.0 * kSubBins);
    return std::ldexp(mantissa, exponent);
}

} // namespace

CMagnitudeHistogram::CMagnitudeHistogram() : m_bins(kBins + 1, 0) {}

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
    const double wanted =
        std::ceil(std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(count));
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
    : m_frame(frame),
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

std::vector<float> CSectionReducer::Cells() const
{
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
    const SectionFrame& f = m_frame;
    if (index < 0 || index >= f.traceCount || !(intervalMs > 0.0) || samples.empty())
        return;
    const int column = static_cast<int>(index * f.columns / f.traceCount);
    const int lastColumn =
        std::max(column, static_cast<int>((index + 1) * f.columns / f.traceCount) - 1);
    if (m_columns[static_cast<std::size_t>(column)].traceNumber == 0)
        m_columns[static_cast<std::size_t>(column)] = origin;

    const double rowMs = (f.endMs - f.startMs) / f.rows;
    const auto n = static_cast<std::int64_t>(samples.size());
    // Only the samples inside the frame: a zoomed view of a long trace costs
    // what it shows.
    // Clamped as doubles: a window far from the trace must not overflow.
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
    const auto rows = static_cast<std::ptrdiff_t>(f.rows);
    const auto own = m_cells.begin() + column * rows;
    for (int c = column + 1; c <= lastColumn; ++c)
        std::copy(own, own + rows, m_cells.begin() + c * rows);
}

} // namespace tessara
