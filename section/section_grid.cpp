#include "section/section_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

// Magnitudes are binned by binary exponent and, within one octave, into
// kSubBins equal steps of the mantissa: each bin is under 0.4 % wide, so its
// midpoint lies within 0.2 % of anything counted in it.
constexpr int kSubBins = 256;
constexpr int kMinExponent = -160; // 2^-160 ~ 7e-49
constexpr int kMaxExponent = 160;
constexpr int kBins = (kMaxExponent - kMinExponent) * kSubBins;

int BinOf(double magnitude)
{
    int exponent = 0;
    const double mantissa = std::frexp(magnitude, &exponent); // 0.5 <= mantissa < 1
    if (exponent <= kMinExponent)
        return 0;
    if (exponent > kMaxExponent)
        return kBins - 1;
    const int sub = std::min(kSubBins - 1, static_cast<int>((mantissa - 0.5) * 2.0 * kSubBins));
    return (exponent - 1 - kMinExponent) * kSubBins + sub;
}

double MidpointOf(int bin)
{
    const int exponent = bin / kSubBins + 1 + kMinExponent;
    const double mantissa = 0.5 + (bin % kSubBins + 0.5) / (2.0 * kSubBins);
    return std::ldexp(mantissa, exponent);
}

} // namespace

CMagnitudeHistogram::CMagnitudeHistogram() : m_bins(kBins, 0) {}

void CMagnitudeHistogram::Add(double value)
{
    if (!std::isfinite(value))
        return;
    ++m_count;
    if (value == 0.0)
        ++m_zeros;
    else
        ++m_bins[static_cast<std::size_t>(BinOf(std::fabs(value)))];
}

double CMagnitudeHistogram::Percentile(double percent) const
{
    if (m_count == 0)
        return 0.0;
    const double wanted =
        std::ceil(std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(m_count));
    const std::int64_t rank = std::max<std::int64_t>(1, static_cast<std::int64_t>(wanted));
    std::int64_t seen = m_zeros;
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
        m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_frame.columns) +
                static_cast<std::size_t>(column)];
    if (std::isnan(cell) || std::fabs(value) > std::fabs(static_cast<double>(cell)))
        cell = static_cast<float>(value);
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
    for (std::int64_t i = first; i <= last; ++i) {
        const double v = samples[static_cast<std::size_t>(i)];
        const double row =
            std::floor((delayMs + static_cast<double>(i) * intervalMs - f.startMs) / rowMs);
        if (!std::isfinite(v) || row < 0.0 || row >= f.rows)
            continue;
        m_magnitudes.Add(v);
        m_anyNegative = m_anyNegative || v < 0.0;
        KeepLargest(column, static_cast<int>(row), v);
    }
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
    for (int c = column + 1; c <= lastColumn; ++c)
        for (int row = 0; row < f.rows; ++row)
            m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(f.columns) +
                    static_cast<std::size_t>(c)] =
                m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(f.columns) +
                        static_cast<std::size_t>(column)];
}

} // namespace tessara
