// The reduction of SEG-Y traces into an image grid: traces across, true
// two-way time down (delay recording time plus sample times), many samples
// per cell kept as the one of largest magnitude, few stretched. No painting:
// the front ends turn the grid into pixels.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace tessara
{

/// Amplitudes of many samples, counted in one pass into bins a fraction of
/// a per cent wide on a logarithmic scale, so that any percentile of them can
/// be told without keeping or sorting the samples. Fixed size (under 1 MB).
class CMagnitudeHistogram
{
public:
    CMagnitudeHistogram();

    /// Counts |value|; a value that is not finite is not counted. Inline:
    /// it runs once for every sample shown.
    void Add(double value)
    {
        // Nothing but the bin is touched: a running total in memory would
        // chain every sample's store to the next one's.
        if (std::isfinite(value))
            ++m_bins[BinOf(value)];
    }
    /// Counts everything `other` counted, as if it had been added here.
    void Add(const CMagnitudeHistogram& other);
    /// Magnitudes counted so far.
    [[nodiscard]] std::int64_t Count() const;
    /// The magnitude at `percent` (0..100] by nearest rank: the smallest
    /// counted magnitude that at least `percent` per cent of them do not
    /// exceed, within 0.2 % of its value (magnitudes between 1e-48 and 1e48;
    /// smaller or larger ones count at those bounds). 0 when nothing was
    /// counted. A percent outside 0..100 counts as the nearer end, NaN as 100.
    [[nodiscard]] double Percentile(double percent) const;

    // Magnitudes are binned by binary exponent and, within one octave, into
    // kSubBins equal steps of the mantissa: each bin is under 0.4 % wide, so
    // its midpoint lies within 0.2 % of anything counted in it.
    static constexpr int kSubBins = 256;      // the top 8 bits of the fraction
    static constexpr int kMinExponent = -160; // frexp exponents: 2^-160 ~ 7e-49
    static constexpr int kMaxExponent = 160;
    static constexpr int kBins = (kMaxExponent - kMinExponent) * kSubBins;
    static constexpr int kZeroBin = kBins; // zeros have a bin of their own, after the others

private:
    /// The bin of a finite non-zero value, read off its IEEE 754 bits (the
    /// biased exponent and the top 8 bits of the fraction): no libm call in
    /// the loop over every sample.
    static std::size_t BinOf(double value)
    {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        const auto key = static_cast<std::int64_t>((bits >> 44) & 0x7FFFF);
        constexpr std::int64_t kFirst = (1023 + kMinExponent) * kSubBins;
        return value == 0.0
                   ? kZeroBin
                   : static_cast<std::size_t>(std::clamp<std::int64_t>(key - kFirst, 0, kBins - 1));
    }

    std::vector<std::int64_t> m_bins;
};

/// Divides every sample by the mean magnitude over a window of
/// `windowSamples` samples centred on it (cut short at the trace's ends), so
/// that weak late arrivals show as strongly as early ones. A sample whose
/// window holds only zeros becomes 0. `windowSamples` < 1 counts as 1.
void ApplyAgc(std::span<double> samples, int windowSamples, std::vector<double>& scratch);

/// The frame of a grid: which traces, which times, how many cells.
struct SectionFrame {
    std::int64_t traceCount = 0; ///< traces spread across the columns, >= 1
    int columns = 1;             ///< cells across, >= 1
    int rows = 1;                ///< cells down, >= 1
    double startMs = 0.0;        ///< two-way time at the top edge of row 0
    double endMs = 1.0;          ///< two-way time at the bottom edge of the last row, > startMs
    /// The clip level is estimated from every n-th sample (offset by the
    /// trace's index, so that no sample of a pattern is always left out):
    /// tens of millions of samples tell a percentile as well as billions.
    int magnitudeEvery = 1;
};

/// Where a column's first trace came from, for the axis along the top.
struct ColumnTrace {
    std::int64_t traceNumber = 0; ///< 1-based in the file; 0: no trace in this column
    double secondOfDay = -1.0;    ///< its recording time, s after midnight; -1 unknown
};

/// Reduces traces into a grid of frame.columns x frame.rows cells. Trace k
/// (0-based in the frame) takes column k * columns / traceCount when there
/// are at least as many traces as columns, else the columns from there up to
/// the next trace's (stretched). A sample at time delay + i x interval falls
/// into the row whose span holds that time; a row none falls into (samples
/// further apart than rows) takes the sample whose span holds the row's
/// centre. A cell keeps the value of largest magnitude with its sign; ties
/// keep the first (the earlier trace, then the earlier sample; samples in
/// double precision against the float a cell holds). Cells no sample reached are NaN. Magnitudes()
/// counts every frame.magnitudeEvery-th sample inside the frame's time span.
class CSectionReducer
{
public:
    explicit CSectionReducer(const SectionFrame& frame);

    /// Adds trace `index` (0..traceCount-1; others are ignored) whose sample
    /// i lies at delayMs + i x intervalMs. Samples that are not finite are
    /// skipped. Traces are added in ascending `index`. The cells of a trace
    /// may be held back until Finish or the next look at the cells.
    void AddTrace(std::int64_t index,
                  std::span<const double> samples,
                  double delayMs,
                  double intervalMs,
                  const ColumnTrace& origin);
    /// The same for samples in single precision.
    void AddTrace(std::int64_t index,
                  std::span<const float> samples,
                  double delayMs,
                  double intervalMs,
                  const ColumnTrace& origin);
    /// Reduces the traces held back into their cells; traces may follow.
    void Finish();
    /// Takes in what `later` (the same frame, given traces of higher index
    /// than any given here) holds, as if its traces had been added here
    /// after this one's: ties keep this one's values. Finishes both.
    void TakeLater(CSectionReducer& later);

    [[nodiscard]] const SectionFrame& Frame() const { return m_frame; }
    /// Row-major: cell (column c, row r) is Cells()[r * columns + c]. A copy,
    /// made after Finish.
    [[nodiscard]] std::vector<float> Cells();
    /// Column-major, as the reducer keeps them: cell (column c, row r) is
    /// ColumnMajorCells()[c * rows + r]. One trace's cells lie together, so
    /// reducing it touches few pages. Valid after Finish, which it calls.
    [[nodiscard]] const std::vector<float>& ColumnMajorCells()
    {
        Finish();
        return m_cells;
    }
    /// The same cells handed over rather than copied: a picture's grid is
    /// held once. The reducer has no cells afterwards.
    [[nodiscard]] std::vector<float> TakeColumnMajorCells()
    {
        Finish();
        return std::move(m_cells);
    }
    [[nodiscard]] const std::vector<ColumnTrace>& Columns() const { return m_columns; }
    [[nodiscard]] const CMagnitudeHistogram& Magnitudes() const { return m_magnitudes; }
    /// Some sample inside the frame was below zero.
    [[nodiscard]] bool bAnyNegative() const { return m_anyNegative; }

private:
    /// Consecutive traces of one column that share delay, sample interval
    /// and length, combined sample by sample (largest magnitude, the earlier
    /// trace on ties, with the trace's place in the stack beside it) so that
    /// the samples are sorted into rows once per column, not once per trace.
    struct Stack {
        int column = -1; ///< -1: empty
        int lastColumn = -1;
        double delayMs = 0.0;
        double intervalMs = 0.0;
        std::size_t length = 0;   ///< samples per trace
        std::int64_t first = 0;   ///< the first sample inside the frame
        std::int64_t last = -1;   ///< the last one; samples first..last lie in rows
        std::vector<float> peaks; ///< sample first + j: the largest magnitude so far, NaN none
        std::vector<std::int32_t> from; ///< with peaks[j]: the stacked trace it came from, 0-based
        std::int32_t traces = 0;
        /// The rows samples first..last fall into, as runs: run k covers row
        /// runRows[k] with peaks[runEnds[k - 1]] up to peaks[runEnds[k]]
        /// (from 0). Kept from one stack to the next of the same layout, so
        /// that a file of traces alike works them out once.
        std::vector<int> runRows;
        std::vector<std::size_t> runEnds;
        double runsDelayMs = std::numeric_limits<double>::quiet_NaN();
        double runsIntervalMs = 0.0;
        std::int64_t runsFirst = 0;
        std::int64_t runsLast = -1;
    };

    template <typename T>
    void Add(std::int64_t index,
             std::span<const T> samples,
             double delayMs,
             double intervalMs,
             const ColumnTrace& origin);
    /// One trace reduced on its own, straight into the cells.
    template <typename T>
    void AddAlone(std::int64_t index,
                  int column,
                  std::span<const T> samples,
                  double delayMs,
                  double intervalMs);
    void Begin(int column, double delayMs, double intervalMs, std::size_t length);
    /// The stack's runEnds and runRows for its delay, interval and samples.
    void FindRuns();
    void Push(std::int64_t index, std::span<const float> samples);
    void KeepLargest(int column, int row, double value);
    void Stretch(int column, int lastColumn);

    SectionFrame m_frame;
    double m_rowMs = 1.0;
    std::vector<float> m_cells; // column-major
    std::vector<ColumnTrace> m_columns;
    CMagnitudeHistogram m_magnitudes;
    bool m_anyNegative = false;
    Stack m_stack;
};

} // namespace tessara
