// The reduction against grids worked by hand: where a sample lands, how
// traces of different delays line up, which value a crowded cell keeps, how
// few traces or samples are stretched; AGC; the one-pass percentile.
#include "section/section_grid.h"
#include "tests/section/exact_percentile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace tessara
{
namespace
{

/// Cell (column, row) of the reducer's grid.
float Cell(CSectionReducer& r, int column, int row)
{
    return r.Cells()[static_cast<std::size_t>(row * r.Frame().columns + column)];
}

// Ten rows of 10 ms from 0 to 100 ms, four traces in four columns.
constexpr SectionFrame kTenRows{4, 4, 10, 0.0, 100.0};

TEST(SectionReducer, SpikeAtAKnownDelayLandsInItsPixel)
{
    CSectionReducer r(kTenRows);
    // Delay 40 ms, 2 ms samples: sample 7 lies at 54 ms, row 5 (50..60 ms).
    std::vector<double> samples(10, 0.0);
    samples[7] = 8.0;
    r.AddTrace(2, samples, 40.0, 2.0, {3, 100.0});
    EXPECT_EQ(Cell(r, 2, 5), 8.0f);
    EXPECT_EQ(Cell(r, 2, 4), 0.0f) << "40..48 ms: the zeros before the spike";
    for (int row : {0, 1, 2, 3, 6, 7, 8, 9})
        EXPECT_TRUE(std::isnan(Cell(r, 2, row))) << "no sample of the trace at row " << row;
    for (int column : {0, 1, 3})
        EXPECT_TRUE(std::isnan(Cell(r, column, 5))) << column;
    EXPECT_EQ(r.Columns()[2].traceNumber, 3);
    EXPECT_EQ(r.Columns()[0].traceNumber, 0);
}

TEST(SectionReducer, TracesOfDifferentDelaysLineUpInTime)
{
    CSectionReducer r(kTenRows);
    // The same reflector at 73 ms two-way time, recorded with delays of 0 and
    // 30 ms: sample 73 of the first, sample 43 of the second (1 ms samples).
    std::vector<double> first(100, 0.0);
    std::vector<double> second(70, 0.0);
    first[73] = -5.0;
    second[43] = -6.0;
    r.AddTrace(0, first, 0.0, 1.0, {});
    r.AddTrace(1, second, 30.0, 1.0, {});
    EXPECT_EQ(Cell(r, 0, 7), -5.0f);
    EXPECT_EQ(Cell(r, 1, 7), -6.0f);
    EXPECT_EQ(Cell(r, 1, 4), 0.0f);
    EXPECT_TRUE(std::isnan(Cell(r, 1, 2))) << "before its delay the second trace has no sample";
}

TEST(SectionReducer, LargestMagnitudeSurvivesWithItsSign)
{
    // Four traces into two columns, 100 ms into two rows.
    CSectionReducer r(SectionFrame{4, 2, 2, 0.0, 100.0});
    std::vector<double> a(100, 1.0);
    std::vector<double> b(100, -2.0);
    a[10] = 4.0;
    b[20] = -9.0; // same column and row as a[10]: the larger magnitude wins
    b[60] = 3.0;
    a[70] = -3.0; // a tie keeps the first one added
    r.AddTrace(0, b, 0.0, 1.0, {1, 0.0});
    r.AddTrace(1, a, 0.0, 1.0, {2, 1.0});
    EXPECT_EQ(Cell(r, 0, 0), -9.0f);
    EXPECT_EQ(Cell(r, 0, 1), 3.0f);
    EXPECT_EQ(r.Columns()[0].traceNumber, 1) << "a column names its first trace";
    std::vector<double> small(100, 0.5);
    r.AddTrace(3, small, 0.0, 1.0, {4, 3.0});
    EXPECT_EQ(Cell(r, 1, 0), 0.5f);
    EXPECT_EQ(r.Magnitudes().Count(), 300);
    EXPECT_TRUE(r.bAnyNegative());
}

TEST(SectionReducer, FewTracesAndSamplesAreStretched)
{
    // Two traces over six columns; 20 ms samples over rows of 5 ms.
    CSectionReducer r(SectionFrame{2, 6, 8, 0.0, 40.0});
    r.AddTrace(0, std::vector<double>{1.0, 2.0}, 0.0, 20.0, {});
    r.AddTrace(1, std::vector<double>{-1.0, -2.0}, 0.0, 20.0, {});
    for (int c = 0; c < 6; ++c)
        for (int row = 0; row < 8; ++row)
            EXPECT_EQ(Cell(r, c, row), (c < 3 ? 1.0f : -1.0f) * (row < 4 ? 1.0f : 2.0f))
                << "column " << c << " row " << row;
}

TEST(SectionReducer, SamplesOutsideTheWindowAreNeitherPlacedNorCounted)
{
    CSectionReducer r(SectionFrame{1, 1, 2, 10.0, 20.0});
    r.AddTrace(0, std::vector<double>{100.0, 1.0, -2.0, 100.0, NAN}, 5.0, 5.0, {});
    EXPECT_EQ(Cell(r, 0, 0), 1.0f);  // 10 ms
    EXPECT_EQ(Cell(r, 0, 1), -2.0f); // 15 ms
    EXPECT_EQ(r.Magnitudes().Count(), 2);
    r.AddTrace(1, std::vector<double>{7.0}, 10.0, 1.0, {}); // past traceCount
    EXPECT_EQ(Cell(r, 0, 0), 1.0f);
}

// Two traces in one cell: the second's 3 comes at an earlier sample than
// the first's -3, but a tie keeps the earlier trace.
TEST(SectionReducer, TiesAcrossTracesOfAColumnKeepTheEarlierTrace)
{
    for (bool floats : {false, true}) {
        CSectionReducer r(SectionFrame{3, 1, 1, 0.0, 2.0});
        const std::vector<double> a{1.0, -3.0};
        const std::vector<double> b{3.0, 0.0};
        const std::vector<float> af{1.0f, -3.0f};
        const std::vector<float> bf{3.0f, 0.0f};
        if (floats) {
            r.AddTrace(0, af, 0.0, 1.0, {});
            r.AddTrace(1, bf, 0.0, 1.0, {});
        } else {
            r.AddTrace(0, a, 0.0, 1.0, {});
            r.AddTrace(1, b, 0.0, 1.0, {});
        }
        EXPECT_EQ(Cell(r, 0, 0), -3.0f) << (floats ? "floats" : "doubles");
        // A third trace of another length is reduced on its own; 4 beats -3.
        r.AddTrace(2, std::vector<double>{0.0, 0.0, 4.0}, 0.0, 1.0, {});
        EXPECT_EQ(Cell(r, 0, 0), -3.0f) << "4 lies at 2 ms, past the frame";
    }
}

// Gained samples are doubles; a cell holds a float. 1 + 2^-30 is stored as
// 1.0f, and the next trace's -(1 + 2^-40), smaller in double precision but
// larger than the 1.0f in the cell, takes the cell, as it always has.
TEST(SectionReducer, DoublesAreMeasuredAgainstTheFloatTheirCellHolds)
{
    CSectionReducer r(SectionFrame{2, 1, 1, 0.0, 1.0});
    r.AddTrace(0, std::vector<double>{1.0 + std::ldexp(1.0, -30)}, 0.0, 1.0, {});
    r.AddTrace(1, std::vector<double>{-(1.0 + std::ldexp(1.0, -40))}, 0.0, 1.0, {});
    EXPECT_EQ(Cell(r, 0, 0), -1.0f);
}

/// Random traces of uneven lengths (not whole vector widths), delays that
/// change within a column, small integers (many ties of opposite sign) and
/// the odd NaN and infinity.
struct RandomTrace {
    std::vector<double> samples;
    double delayMs = 0.0;
    double intervalMs = 1.0;
};

std::vector<RandomTrace> RandomTraces(int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-4, 4);
    std::uniform_int_distribution<int> length(1, 45);
    std::uniform_int_distribution<int> delay(0, 3);
    std::vector<RandomTrace> traces(static_cast<std::size_t>(count));
    for (std::size_t k = 0; k < traces.size(); ++k) {
        RandomTrace& t = traces[k];
        // Mostly runs of equal delay and length, which are stacked together.
        t.delayMs = k % 9 == 8 ? delay(random) : 2.0 * static_cast<double>((k / 4) % 3);
        t.intervalMs = k % 10 == 9 ? 2.0 : 1.0;
        t.samples.resize(static_cast<std::size_t>(k % 6 == 5 ? length(random) : 37));
        for (double& v : t.samples)
            v = value(random);
        if (k % 11 == 3)
            t.samples[t.samples.size() / 2] = NAN;
        if (k % 13 == 5)
            t.samples.back() = -INFINITY;
    }
    return traces;
}

// 6 columns of 4 ms rows from 0 to 48 ms: at 1 or 2 ms per sample, several
// samples per cell; integer delays keep every time exact.
constexpr SectionFrame kRandomFrame{60, 6, 12, 0.0, 48.0};

/// The grid worked out directly: each cell the first value of largest
/// magnitude over its traces in order, each trace's samples in order.
std::vector<float> DirectGrid(const std::vector<RandomTrace>& traces, const SectionFrame& f)
{
    std::vector<float> cells(static_cast<std::size_t>(f.columns * f.rows), NAN);
    const double rowMs = (f.endMs - f.startMs) / f.rows;
    for (std::size_t k = 0; k < traces.size(); ++k) {
        const auto column = static_cast<int>(static_cast<std::int64_t>(k) * f.columns /
                                             static_cast<std::int64_t>(traces.size()));
        for (std::size_t i = 0; i < traces[k].samples.size(); ++i) {
            const double v = traces[k].samples[i];
            const double t = traces[k].delayMs + static_cast<double>(i) * traces[k].intervalMs;
            const auto row = static_cast<int>(std::floor((t - f.startMs) / rowMs));
            if (!std::isfinite(v) || row < 0 || row >= f.rows)
                continue;
            float& cell = cells[static_cast<std::size_t>(row * f.columns + column)];
            if (std::isnan(cell) || std::fabs(v) > std::fabs(cell))
                cell = static_cast<float>(v);
        }
    }
    return cells;
}

/// Bit for bit, NaN equal to NaN.
void ExpectSameCells(const std::vector<float>& got, const std::vector<float>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        if (std::isnan(want[k]))
            EXPECT_TRUE(std::isnan(got[k])) << "cell " << k << " " << got[k];
        else
            EXPECT_EQ(got[k], want[k]) << "cell " << k;
    }
}

void AddAll(CSectionReducer& r,
            const std::vector<RandomTrace>& traces,
            std::size_t from,
            std::size_t to,
            bool floats)
{
    for (std::size_t k = from; k < to; ++k) {
        const RandomTrace& t = traces[k];
        if (floats) {
            const std::vector<float> f(t.samples.begin(), t.samples.end());
            r.AddTrace(static_cast<std::int64_t>(k), f, t.delayMs, t.intervalMs, {});
        } else {
            r.AddTrace(static_cast<std::int64_t>(k), t.samples, t.delayMs, t.intervalMs, {});
        }
    }
}

TEST(SectionReducer, FloatsAndDoublesGiveTheGridWorkedOutDirectly)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::vector<RandomTrace> traces = RandomTraces(60, seed);
        const std::vector<float> want = DirectGrid(traces, kRandomFrame);
        for (bool floats : {false, true}) {
            CSectionReducer r(kRandomFrame);
            AddAll(r, traces, 0, traces.size(), floats);
            SCOPED_TRACE(floats ? "floats" : "doubles");
            ExpectSameCells(r.Cells(), want);
            EXPECT_TRUE(r.bAnyNegative());
        }
    }
}

// The traces split between two reducers at any trace, inside a column or at
// its edge, give the grid, the counted magnitudes and the flags of one.
TEST(SectionReducer, TakingInALaterReducerGivesTheGridOfOne)
{
    const std::vector<RandomTrace> traces = RandomTraces(60, 5);
    CSectionReducer whole(kRandomFrame);
    AddAll(whole, traces, 0, traces.size(), true);
    for (std::size_t split : {1u, 10u, 23u, 59u}) {
        CSectionReducer first(kRandomFrame);
        CSectionReducer later(kRandomFrame);
        AddAll(first, traces, 0, split, true);
        AddAll(later, traces, split, traces.size(), true);
        first.TakeLater(later);
        SCOPED_TRACE(split);
        ExpectSameCells(first.Cells(), whole.Cells());
        EXPECT_EQ(first.Magnitudes().Count(), whole.Magnitudes().Count());
        EXPECT_EQ(first.Magnitudes().Percentile(90.0), whole.Magnitudes().Percentile(90.0));
        EXPECT_EQ(first.bAnyNegative(), whole.bAnyNegative());
    }
    // Only the later part negative: the flag comes across.
    CSectionReducer positive(kRandomFrame);
    CSectionReducer negative(kRandomFrame);
    AddAll(positive, {RandomTrace{{1.0, 2.0}, 0.0, 1.0}}, 0, 1, false);
    AddAll(negative, {RandomTrace{{1.0, 2.0}}, RandomTrace{{-1.0}}}, 1, 2, false);
    positive.TakeLater(negative);
    EXPECT_TRUE(positive.bAnyNegative());
}

TEST(Agc, ConstantTraceIsFlat)
{
    std::vector<double> samples(50, -3.0);
    std::vector<double> scratch;
    ApplyAgc(samples, 11, scratch);
    for (double v : samples)
        EXPECT_DOUBLE_EQ(v, -1.0);
}

TEST(Agc, StepLevelsOutAwayFromItAndZerosStayZero)
{
    std::vector<double> samples(40, 0.0);
    std::fill(samples.begin() + 10, samples.begin() + 20, 2.0);
    std::fill(samples.begin() + 20, samples.end(), 200.0);
    std::vector<double> scratch;
    ApplyAgc(samples, 5, scratch);
    EXPECT_EQ(samples[3], 0.0);
    EXPECT_DOUBLE_EQ(samples[14], 1.0);
    EXPECT_DOUBLE_EQ(samples[30], 1.0);
    // Window 18..22 at sample 20: (2 + 2 + 200 * 3) / 5.
    EXPECT_DOUBLE_EQ(samples[20], 200.0 / (604.0 / 5.0));
}

TEST(MagnitudeHistogram, PercentilesMatchSortingWithinTwoPerMille)
{
    std::mt19937 random(7);
    std::lognormal_distribution<double> spread(0.0, 3.0);
    std::vector<double> magnitudes;
    CMagnitudeHistogram h;
    for (int i = 0; i < 20000; ++i) {
        const double v = (i % 9 == 0) ? 0.0 : (i % 2 ? -1.0 : 1.0) * spread(random);
        h.Add(v);
        magnitudes.push_back(std::fabs(v));
    }
    h.Add(NAN);
    h.Add(INFINITY);
    EXPECT_EQ(h.Count(), 20000);
    for (double p : {1.0, 10.0, 50.0, 90.0, 99.0, 99.9, 100.0}) {
        const double exact = test::ExactPercentile(magnitudes, p);
        EXPECT_NEAR(h.Percentile(p), exact, exact * 0.002) << p;
    }
    EXPECT_EQ(h.Percentile(5.0), 0.0) << "a ninth of the samples are zero";
}

// Counting every third sample, with the offset moving from trace to trace:
// the percentiles still match those of all samples, and a pattern of period
// three is not missed.
TEST(SectionReducer, EveryNthSampleTellsThePercentile)
{
    SectionFrame frame{300, 10, 10, 0.0, 999.0};
    frame.magnitudeEvery = 3;
    CSectionReducer r(frame);
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 100.0);
    std::vector<double> all;
    for (int k = 0; k < 300; ++k) {
        std::vector<double> samples(999);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = i % 3 == 2 ? 5000.0 + noise(random) : noise(random);
        all.insert(all.end(), samples.begin(), samples.end());
        r.AddTrace(k, samples, 0.0, 1.0, {});
    }
    for (double& v : all)
        v = std::fabs(v);
    EXPECT_EQ(r.Magnitudes().Count(), 300 * 999 / 3);
    for (double p : {50.0, 66.0, 70.0, 99.0}) {
        const double exact = test::ExactPercentile(all, p);
        EXPECT_NEAR(r.Magnitudes().Percentile(p), exact, exact * 0.02) << p;
    }
}

TEST(MagnitudeHistogram, EmptyAndTinyCounts)
{
    CMagnitudeHistogram h;
    EXPECT_EQ(h.Percentile(99.0), 0.0);
    h.Add(-3.0);
    EXPECT_NEAR(h.Percentile(0.1), 3.0, 0.006);
    h.Add(1e-300); // below the bins: counted at their lowest
    h.Add(1e300);
    EXPECT_GT(h.Percentile(100.0), 1e47);
    EXPECT_LT(h.Percentile(1.0), 1e-47);
}

} // namespace
} // namespace tessara
