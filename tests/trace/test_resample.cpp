// Resampling results, checked against values worked out independently of the
// FFT code: continuous cosines, hand-worked spectra of tiny traces, and a
// direct DFT with trigonometric interpolation. Every case runs on each
// backend, with cached and with per-call FFT set-ups.
#include "test_resample_support.h"

#include <gsl/gsl_fft_real.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace tessara::test
{
namespace
{

constexpr double kPi = std::numbers::pi;

class ResampleTest : public ::testing::TestWithParam<ResamplerCase>
{
protected:
    void SetUp() override
    {
        if (!IsFftBackendAvailable(GetParam().backend))
            GTEST_SKIP() << "backend not compiled in";
    }

    bool Run(CSegyTrace& trace, double newIntervalUs)
    {
        return m_resampler.Resample(trace, newIntervalUs);
    }

    /// Expects `actual` to match `expected` within 1e-12 of the largest
    /// expected magnitude.
    static void ExpectClose(const std::vector<double>& actual, const std::vector<double>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        const double tolerance = 1e-12 * std::max(MaxMagnitude(expected), 1e-300);
        for (std::size_t i = 0; i < actual.size(); ++i)
            ASSERT_NEAR(actual[i], expected[i], tolerance) << "sample " << i;
    }

private:
    CTraceResampler m_resampler{GetParam().backend, GetParam().cachePlans};
};

// A cosine with a whole number of cycles over the trace is band-limited: after
// resampling it is the same cosine over the new count, times n / m.
TEST_P(ResampleTest, HundredTo83UsGives1204SamplesScaledBy1000Over1204)
{
    std::vector<double> in(1000);
    for (std::size_t j = 0; j < in.size(); ++j) {
        const double t = static_cast<double>(j) / 1000.0;
        in[j] = std::cos(2 * kPi * 3 * t) + 0.5 * std::sin(2 * kPi * 150 * t + 0.3);
    }
    CSegyTrace trace;
    FillTrace(trace, in, 100);

    ASSERT_TRUE(Run(trace, 83.0));

    EXPECT_EQ(trace.numSamples, 1204u);
    EXPECT_EQ(trace.header->sampleCount, 1204);
    EXPECT_EQ(trace.header->sampleInterval, 83);
    EXPECT_EQ(trace.samples.size(), 1206u);
    std::vector<double> expected(1204);
    for (std::size_t j = 0; j < expected.size(); ++j) {
        const double t = static_cast<double>(j) / 1204.0;
        expected[j] =
            1000.0 / 1204.0 * (std::cos(2 * kPi * 3 * t) + 0.5 * std::sin(2 * kPi * 150 * t + 0.3));
    }
    ExpectClose(Values(trace), expected);
}

TEST_P(ResampleTest, FiftyTo100UsHalvesCountDoublesAmplitudeAndDropsAboveNewNyquist)
{
    std::vector<double> in(2048);
    for (std::size_t j = 0; j < in.size(); ++j) {
        const double t = static_cast<double>(j) / 2048.0;
        // 700 cycles lie above the new Nyquist frequency of 512 cycles.
        in[j] = std::cos(2 * kPi * 100 * t) + 0.7 * std::cos(2 * kPi * 700 * t);
    }
    CSegyTrace trace;
    FillTrace(trace, in, 50);

    ASSERT_TRUE(Run(trace, 100.0));

    EXPECT_EQ(trace.numSamples, 1024u);
    EXPECT_EQ(trace.header->sampleInterval, 100);
    std::vector<double> expected(1024);
    for (std::size_t j = 0; j < expected.size(); ++j)
        expected[j] = 2.0 * std::cos(2 * kPi * 100 * static_cast<double>(j) / 1024.0);
    ExpectClose(Values(trace), expected);
}

TEST_P(ResampleTest, SameIntervalReturnsTheInput)
{
    for (std::size_t n : {999u, 1000u}) {
        const std::vector<double> in = Noise(n, static_cast<unsigned>(n));
        CSegyTrace trace;
        FillTrace(trace, in, 83);
        ASSERT_TRUE(Run(trace, 83.0));
        ExpectClose(Values(trace), in);
    }
}

// Tiny traces whose spectra are worked out by hand. GSL's half-complex layout
// is r0, r1, i1, r2, i2, ...; an even length ends with the real Nyquist term.
// Each element keeps its index in the layout of the new length.
struct HandWorked {
    const char* name;
    std::vector<double> in;
    std::int16_t oldUs;
    double newUs;
    std::vector<double> expected;
};

void PrintTo(const HandWorked& c, std::ostream* os)
{
    *os << c.name;
}

class ResampleHandWorkedTest
    : public ::testing::TestWithParam<std::tuple<ResamplerCase, HandWorked>>
{
};

TEST_P(ResampleHandWorkedTest, MatchesHandWorkedSpectrum)
{
    const auto& [resamplerCase, c] = GetParam();
    if (!IsFftBackendAvailable(resamplerCase.backend))
        GTEST_SKIP() << "backend not compiled in";
    CTraceResampler resampler(resamplerCase.backend, resamplerCase.cachePlans);
    CSegyTrace trace;
    FillTrace(trace, c.in, c.oldUs);

    ASSERT_TRUE(resampler.Resample(trace, c.newUs));

    const std::vector<double> actual = Values(trace);
    ASSERT_EQ(actual.size(), c.expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], c.expected[i], 1e-14) << "sample " << i;
}

const double kSqrt3Over2 = std::sqrt(3.0) / 2.0;

const HandWorked kHandWorked[] = {
    // n = 2 -> m = 4. Spectrum [r0 = 0, r1 = 2 (Nyquist)] becomes
    // [r0 = 0, r1 = 2, i1 = 0, r2 = 0]: the old Nyquist term is an ordinary
    // frequency now and counts at +1 and -1, so y = 2 * 2 cos(pi j / 2) / 4.
    {"EvenNUpsampledNyquistBecomesFullCosine", {1, -1}, 100, 50.0, {1, 0, -1, 0}},
    // n = 4 -> m = 2. x = cos + sin of one cycle: [r0 0, r1 2, i1 -2, r2 0].
    // The first two elements remain; index 1 is the Nyquist term of length 2,
    // so the sine (i1) is gone: y = 2 (-1)^j / 2.
    {"EvenMDownsampledKeepsOnlyTheRealPartAtNyquist", {1, 1, -1, -1}, 50, 100.0, {1, -1}},
    // n = 5 -> m = 2 (r = 0.4). x = cos(2 pi j / 5): [0, 2.5, 0, 0, 0]. Index 1
    // (old r1) is read as the Nyquist term of length 2: y = 2.5 (-1)^j / 2.
    {"OddNToEvenMTakesOldR1AsNyquist",
     {1,
      std::cos(2 * kPi / 5),
      std::cos(4 * kPi / 5),
      std::cos(6 * kPi / 5),
      std::cos(8 * kPi / 5)},
     40,
     100.0,
     {1.25, -1.25}},
    // n = 5 at 100 -> 83 us: n r = 6.024, m = 6. x = cos(2 pi j / 5):
    // [0, 2.5, 0, 0, 0] + [0] (Nyquist of 6): y = 2 * 2.5 cos(pi j / 3) / 6.
    {"FractionalNTimesRTruncates",
     {1,
      std::cos(2 * kPi / 5),
      std::cos(4 * kPi / 5),
      std::cos(6 * kPi / 5),
      std::cos(8 * kPi / 5)},
     100,
     83.0,
     {5.0 / 6, 5.0 / 12, -5.0 / 12, -5.0 / 6, -5.0 / 12, 5.0 / 12}},
    // n = 4 -> m = 3 (r = 0.75). x = cos + sin of one cycle: [0, 2, -2, 0]
    // cut to [0, 2, -2]: y = (4/3) (cos(2 pi j / 3) + sin(2 pi j / 3)).
    {"EvenNToOddMKeepsTheFullPair",
     {1, 1, -1, -1},
     75,
     100.0,
     {4.0 / 3, 4.0 / 3 * (-0.5 + kSqrt3Over2), 4.0 / 3 * (-0.5 - kSqrt3Over2)}},
    // n = 3 -> m = 6. x = cos(2 pi j / 3): [0, 1.5, 0] padded with zeros:
    // y = 2 * 1.5 cos(pi j / 3) / 6.
    {"OddNUpsampledToEvenM", {1, -0.5, -0.5}, 100, 50.0, {0.5, 0.25, -0.25, -0.5, -0.25, 0.25}},
    // n = 1 -> m = 2: only r0 = x0; y = x0 / 2 everywhere.
    {"SingleSampleUpsampled", {3}, 100, 50.0, {1.5, 1.5}},
    // n = 3 -> m = 1: only r0 = sum; y0 = sum.
    {"DownsampledToOneSample", {1, 2, 4}, 10, 30.0, {7}},
};

std::string
HandWorkedName(const ::testing::TestParamInfo<std::tuple<ResamplerCase, HandWorked>>& info)
{
    return std::string(std::get<1>(info.param).name) + "_" +
           CaseName({std::get<0>(info.param), info.index});
}

INSTANTIATE_TEST_SUITE_P(Layout,
                         ResampleHandWorkedTest,
                         ::testing::Combine(::testing::ValuesIn(AllResamplerCases()),
                                            ::testing::ValuesIn(kHandWorked)),
                         HandWorkedName);

// Direct DFT and trigonometric interpolation, in long double, for random
// traces. Conventions of the spectrum cut at the Nyquist frequencies:
//  - up-sampling an even n: X(n/2) is real and counts at +n/2 and -n/2;
//  - down-sampling to an even m: only Re X(m/2) enters, once.
std::vector<double> DirectResample(const std::vector<double>& x, std::size_t m)
{
    using Complex = std::complex<long double>;
    const std::size_t n = x.size();
    const long double twoPi = 2 * std::numbers::pi_v<long double>;
    const std::size_t highest = std::min(n, m) / 2; // highest frequency used
    std::vector<Complex> spectrum(highest + 1);
    for (std::size_t k = 0; k <= highest; ++k)
        for (std::size_t j = 0; j < n; ++j)
            spectrum[k] += static_cast<long double>(x[j]) *
                           std::polar(1.0L,
                                      -twoPi * static_cast<long double>((k * j) % n) /
                                          static_cast<long double>(n));
    std::vector<double> y(m);
    for (std::size_t j = 0; j < m; ++j) {
        long double sum = spectrum[0].real();
        for (std::size_t k = 1; k <= highest; ++k) {
            const Complex turn = std::polar(
                1.0L, twoPi * static_cast<long double>((k * j) % m) / static_cast<long double>(m));
            if (m <= n && m % 2 == 0 && k == m / 2)
                sum += spectrum[k].real() * turn.real();
            else
                sum += 2 * (spectrum[k] * turn).real();
        }
        y[j] = static_cast<double>(sum / static_cast<long double>(m));
    }
    return y;
}

struct DirectCase {
    std::size_t n;
    std::int16_t oldUs;
    double newUs;
    std::size_t m; // worked out by hand: trunc(n * old / new)
};

void PrintTo(const DirectCase& c, std::ostream* os)
{
    *os << "n " << c.n << " at " << c.oldUs << " us -> " << c.newUs << " us";
}

class ResampleDirectTest : public ::testing::TestWithParam<std::tuple<ResamplerCase, DirectCase>>
{
};

TEST_P(ResampleDirectTest, MatchesDirectDftInterpolation)
{
    const auto& [resamplerCase, c] = GetParam();
    if (!IsFftBackendAvailable(resamplerCase.backend))
        GTEST_SKIP() << "backend not compiled in";
    CTraceResampler resampler(resamplerCase.backend, resamplerCase.cachePlans);
    const std::vector<double> in = Noise(c.n, static_cast<unsigned>(c.n * 7 + c.m));
    CSegyTrace trace;
    FillTrace(trace, in, c.oldUs);

    ASSERT_TRUE(resampler.Resample(trace, c.newUs));

    ASSERT_EQ(trace.numSamples, c.m);
    const std::vector<double> expected = DirectResample(in, c.m);
    const std::vector<double> actual = Values(trace);
    const double tolerance = 1e-12 * MaxMagnitude(expected);
    for (std::size_t i = 0; i < c.m; ++i)
        ASSERT_NEAR(actual[i], expected[i], tolerance) << "sample " << i;
}

const DirectCase kDirectCases[] = {
    {16, 100, 83.0, 19}, // even n up, odd m (19.277)
    {12, 60, 50.0, 14},  // even n up, even m (14.4)
    {17, 100, 50.0, 34}, // odd n up, even m
    {15, 100, 83.0, 18}, // odd n up, even m (18.07)
    {16, 40, 83.0, 7},   // even n down, odd m (7.71)
    {20, 50, 100.0, 10}, // even n down, even m
    {21, 50, 100.0, 10}, // odd n down, even m (10.5)
    {25, 83, 100.0, 20}, // odd n down, even m (20.75)
    {1000, 100, 83.0, 1204},
    {250, 40, 83.0, 120}, // 120.48
};

std::string DirectName(const ::testing::TestParamInfo<std::tuple<ResamplerCase, DirectCase>>& info)
{
    const DirectCase& c = std::get<1>(info.param);
    std::string name = "n";
    name += std::to_string(c.n);
    name += "_m";
    name += std::to_string(c.m);
    name += "_";
    name += CaseName({std::get<0>(info.param), info.index});
    return name;
}

INSTANTIATE_TEST_SUITE_P(Interpolation,
                         ResampleDirectTest,
                         ::testing::Combine(::testing::ValuesIn(AllResamplerCases()),
                                            ::testing::ValuesIn(kDirectCases)),
                         DirectName);

TEST_P(ResampleTest, OnlyIntervalAndCountChangeInTheHeader)
{
    CSegyTrace trace;
    FillTrace(trace, Noise(1000, 1), 100);
    SegyHeaderType before = *trace.header;

    ASSERT_TRUE(Run(trace, 83.0));

    const auto* oldBytes = reinterpret_cast<const unsigned char*>(&before);
    const auto* newBytes = reinterpret_cast<const unsigned char*>(trace.header.get());
    for (std::size_t i = 0; i < sizeof(SegyHeaderType); ++i) {
        if (i >= 114 && i < 118) // sampleCount, sampleInterval
            continue;
        EXPECT_EQ(newBytes[i], oldBytes[i]) << "header byte " << i;
    }
    EXPECT_EQ(trace.header->delayRecordingTime, before.delayRecordingTime);
    EXPECT_EQ(trace.allocatedCount, 1204);
}

TEST_P(ResampleTest, ReusedTraceTakesEachNewLength)
{
    // As a reader does: the header of the next trace arrives, ReAllocate, fill.
    CSegyTrace trace;
    FillTrace(trace, Noise(128, 2), 50);
    ASSERT_TRUE(Run(trace, 100.0));
    for (std::size_t n : {96u, 40u, 96u}) {
        const std::vector<double> in = Noise(n, static_cast<unsigned>(n));
        trace.header->sampleCount = static_cast<std::uint16_t>(n);
        trace.header->sampleInterval = 50;
        trace.ReAllocate();
        std::copy(in.begin(), in.end(), trace.samples.begin());
        ASSERT_TRUE(Run(trace, 100.0));
        ASSERT_EQ(trace.numSamples, n / 2);
        ExpectClose(Values(trace), DirectResample(in, n / 2));
    }
}

INSTANTIATE_TEST_SUITE_P(Backends,
                         ResampleTest,
                         ::testing::ValuesIn(AllResamplerCases()),
                         CaseName);

// Invalid input must leave header and samples exactly as they were.
struct InvalidCase {
    const char* name;
    std::uint32_t n;              // trace length
    std::uint16_t headerCount;    // header sampleCount
    std::uint16_t oldIntervalRaw; // header sampleInterval bits
    double newUs;
};

void PrintTo(const InvalidCase& c, std::ostream* os)
{
    *os << c.name;
}

class ResampleInvalidTest : public ::testing::TestWithParam<std::tuple<ResamplerCase, InvalidCase>>
{
};

TEST_P(ResampleInvalidTest, ReturnsFalseAndLeavesTheTraceUntouched)
{
    const auto& [resamplerCase, c] = GetParam();
    if (!IsFftBackendAvailable(resamplerCase.backend))
        GTEST_SKIP() << "backend not compiled in";
    CTraceResampler resampler(resamplerCase.backend, resamplerCase.cachePlans);
    CSegyTrace trace;
    FillTrace(trace, Noise(c.n, 3), 0);
    trace.header->sampleCount = c.headerCount;
    std::memcpy(&trace.header->sampleInterval, &c.oldIntervalRaw, sizeof c.oldIntervalRaw);
    const SegyHeaderType header = *trace.header;
    const std::vector<double> samples = trace.samples;
    const std::int32_t allocatedCount = trace.allocatedCount;

    EXPECT_FALSE(resampler.Resample(trace, c.newUs));

    EXPECT_EQ(std::memcmp(trace.header.get(), &header, sizeof header), 0);
    EXPECT_EQ(trace.samples, samples);
    EXPECT_EQ(trace.numSamples, c.n);
    EXPECT_EQ(trace.allocatedCount, allocatedCount);
}

const InvalidCase kInvalidCases[] = {
    {"NoSamples", 0, 0, 100, 83.0},
    {"OldIntervalZero", 100, 100, 0, 83.0},
    {"OldIntervalReadAsNegative", 100, 100, 40000, 83.0}, // -25536 as signed 16-bit
    {"NewIntervalZero", 100, 100, 100, 0.0},
    {"NewIntervalBelowOneUs", 100, 100, 100, 0.5},
    {"NewIntervalNegative", 100, 100, 100, -83.0},
    {"NewIntervalAbove32767", 100, 100, 100, 32768.0},
    {"NewIntervalNaN", 100, 100, 100, std::nan("")},
    {"NewIntervalInfinite", 100, 100, 100, HUGE_VAL},
    {"NewCountZero", 2, 2, 100, 300.0},               // 0.67 samples
    {"NewCountAbove16Bits", 40000, 40000, 100, 50.0}, // 80000 samples
    {"HeaderCountBeyondSamples", 100, 101, 100, 83.0},
};

std::string
InvalidName(const ::testing::TestParamInfo<std::tuple<ResamplerCase, InvalidCase>>& info)
{
    return std::string(std::get<1>(info.param).name) + "_" +
           CaseName({std::get<0>(info.param), info.index});
}

INSTANTIATE_TEST_SUITE_P(Rejects,
                         ResampleInvalidTest,
                         ::testing::Combine(::testing::ValuesIn(AllResamplerCases()),
                                            ::testing::ValuesIn(kInvalidCases)),
                         InvalidName);

TEST(ResampleInvalid, TraceWithoutHeaderIsRejected)
{
    CSegyTrace trace;
    EXPECT_FALSE(trace.ReSample(83.0));
    EXPECT_EQ(trace.header, nullptr);
    EXPECT_EQ(trace.numSamples, 0u);
}

/// Counts worked by hand: n x old / new, the fraction of a sample dropped.
struct CountCase {
    std::uint32_t n;
    double oldUs;
    double newUs;
    std::uint32_t expected;
};

class ResampledCountTest : public ::testing::TestWithParam<CountCase>
{
};

TEST_P(ResampledCountTest, IsTheWholeNumberOfNewSamples)
{
    const CountCase& c = GetParam();
    EXPECT_EQ(ResampledCount(c.n, c.oldUs, c.newUs), c.expected);
}

INSTANTIATE_TEST_SUITE_P(HandWorked,
                         ResampledCountTest,
                         ::testing::Values(CountCase{1000, 100, 83, 1204}, // 1204.819
                                           CountCase{2048, 50, 100, 1024},
                                           CountCase{3, 100, 300, 1},
                                           CountCase{2, 100, 300, 0}, // 0.67 of a sample
                                           CountCase{65535, 32767, 1, 2147385345},
                                           CountCase{1000, 0, 83, 0},
                                           CountCase{1000, 100, -83, 0},
                                           CountCase{1000, 100, std::nan(""), 0}));

// The shared test main switches GSL's aborting handler off, as the programs
// do: a refused length is a null result here, not the end of the process.
TEST(GslErrors, AreReportedAsResultsNotAborts)
{
    EXPECT_EQ(gsl_fft_real_wavetable_alloc(0), nullptr);
}

} // namespace
} // namespace tessara::test
