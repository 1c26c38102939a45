// Display processing against values worked by hand: the band-pass's gain on
// sines at its corners, inside and outside the band; a 50 Hz hum taken out
// of a chirp section; the mean off a trace and off a real recorder's file;
// single precision against double at lengths that end vectors unevenly.
#include "section/section_file.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tessara
{
namespace
{

constexpr double kPi = std::numbers::pi;

struct GainRow {
    const char* name;
    double hz;
    double lowHz;
    double highHz;
    double gain; // worked by hand from the raised-cosine flanks
};

class BandPassResponse : public ::testing::TestWithParam<GainRow>
{
};

// A sine of 2000 samples at 1 ms through the filter: away from the ends its
// amplitude is the gain at its frequency.
TEST_P(BandPassResponse, SineComesOutScaledByTheGain)
{
    const GainRow& row = GetParam();
    std::vector<double> samples(2000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 3.0 * std::sin(2 * kPi * row.hz * static_cast<double>(i) / 1000.0 + 0.3);
    CTraceProcessor processor({.bandLowHz = row.lowHz, .bandHighHz = row.highHz});
    ASSERT_TRUE(processor.Process(samples, 1.0));
    double peak = 0.0;
    for (std::size_t i = 500; i < 1500; ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    EXPECT_NEAR(peak / 3.0, row.gain, 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Corners,
    BandPassResponse,
    ::testing::Values(GainRow{"LowCornerHalf", 20, 20, 100, 0.5},
                      GainRow{"HighCornerHalf", 100, 20, 100, 0.5},
                      GainRow{"PassBand", 50, 20, 100, 1.0},
                      GainRow{"FlankQuarterUp", 15, 20, 100, 0.5 - 0.5 * std::cos(kPi / 4)},
                      GainRow{"PastHighFlank", 130, 20, 100, 0.0},
                      GainRow{"LowPassKeepsTheLow", 5, 0, 100, 1.0},
                      GainRow{"TopPastNyquistIsHighPass", 400, 20, 1e6, 1.0}),
    [](const ::testing::TestParamInfo<GainRow>& p) { return std::string(p.param.name); });

TEST(TraceProcessing, MeanOfTheFiniteSamplesComesOffAndNanStays)
{
    std::vector<double> samples{1.0, 2.0, NAN, 3.0};
    CTraceProcessor processor({.removeDc = true});
    ASSERT_TRUE(processor.Process(samples, 1.0));
    EXPECT_EQ(samples[0], -1.0);
    EXPECT_EQ(samples[1], 0.0);
    EXPECT_TRUE(std::isnan(samples[2]));
    EXPECT_EQ(samples[3], 1.0);
}

// Ten traces of 1000 samples at 1 ms: a 200..350 Hz chirp from 400 to 600
// ms over a 50 Hz hum of the same amplitude throughout. Band-passed at 120
// and 400 Hz, the rows of hum alone fall by more than 40 dB and the
// chirp's stay.
TEST(TraceProcessing, BandPassTakesAHumOutOfAChirpSection)
{
    test::TempDir tmp;
    test::SegyBytes b;
    b.FileHeader(5, 1000, 1000);
    for (int k = 0; k < 10; ++k) {
        std::vector<double> samples(1000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / 1000.0;
            samples[i] = std::sin(2 * kPi * 50 * t + k);
            if (t >= 0.4 && t < 0.6)
                samples[i] += std::sin(2 * kPi * (200 * (t - 0.4) + 375 * (t - 0.4) * (t - 0.4)));
        }
        b.TraceHeader(1000, 1000).Samples(5, samples);
    }
    ASSERT_TRUE(b.WriteTo(tmp.File("hum.sgy")));
    SectionOptions o;
    o.columns = 10;
    o.rows = 100; // 10 ms rows
    const auto largest = [](const Section& s, int fromRow, int toRow) {
        double m = 0.0;
        for (int c = 0; c < s.frame.columns; ++c)
            for (int r = fromRow; r < toRow; ++r)
                m = std::max(m, std::fabs(static_cast<double>(s.Cell(c, r))));
        return m;
    };
    const Section raw = BuildSection(tmp.File("hum.sgy"), o);
    o.processing.bandLowHz = 120;
    o.processing.bandHighHz = 400;
    const Section filtered = BuildSection(tmp.File("hum.sgy"), o);
    ASSERT_EQ(filtered.status, SectionStatus::Ok);
    for (const auto& [from, to] : {std::pair{10, 35}, std::pair{65, 90}}) {
        EXPECT_GT(largest(raw, from, to), 0.9);
        EXPECT_LT(largest(filtered, from, to), 0.01 * largest(raw, from, to)) << from;
    }
    EXPECT_GT(largest(filtered, 42, 58), 0.8);
}

// 32-bit integers decode to doubles, IEEE singles to floats: processed,
// both show the same picture.
TEST(TraceProcessing, IntegersAndSinglesGiveTheSameProcessedGrid)
{
    test::TempDir tmp;
    for (const int format : {2, 5}) {
        test::SegyBytes b;
        b.FileHeader(format, 400, 1000);
        for (int k = 0; k < 4; ++k) {
            std::vector<double> samples(400);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = 700 + std::round(300 * std::sin(0.3 * static_cast<double>(i) + k));
            b.TraceHeader(400, 1000).Samples(format, samples);
        }
        ASSERT_TRUE(b.WriteTo(tmp.File(std::to_string(format) + ".sgy")));
    }
    SectionOptions o;
    o.columns = 4;
    o.rows = 50;
    o.processing = {.removeDc = true, .bandLowHz = 10, .bandHighHz = 100};
    const Section integers = BuildSection(tmp.File("2.sgy"), o);
    const Section singles = BuildSection(tmp.File("5.sgy"), o);
    ASSERT_EQ(integers.cells.size(), singles.cells.size());
    for (std::size_t k = 0; k < singles.cells.size(); ++k)
        EXPECT_NEAR(integers.cells[k], singles.cells[k], 1e-3 * singles.clip) << k;
    EXPECT_NEAR(integers.clip, singles.clip, 1e-3 * singles.clip);
}

struct PrecisionRow {
    const char* name;
    std::size_t length;
    TraceProcessing processing;
};

class SinglesAndDoubles : public ::testing::TestWithParam<PrecisionRow>
{
};

// Singles are processed in double precision: each comes out as the double
// path's value rounded, at every length (whole vectors and ends alike), and a
// sample that is not finite, wherever it lies, comes out as it went in.
TEST_P(SinglesAndDoubles, SinglesAreTheDoublesRounded)
{
    const PrecisionRow& row = GetParam();
    std::vector<double> doubles(row.length);
    for (std::size_t i = 0; i < doubles.size(); ++i)
        doubles[i] = 40.0 + 25.0 * std::sin(0.7 * static_cast<double>(i)) +
                     0.125 * static_cast<double>(i % 3);
    doubles[0] = NAN;
    if (row.length > 2) {
        doubles[row.length / 2] = HUGE_VAL;
        doubles[row.length - 1] = -HUGE_VAL;
    }
    std::vector<float> singles(doubles.begin(), doubles.end());
    for (double& v : doubles)
        v = static_cast<float>(v); // both start from the same values
    ASSERT_TRUE(CTraceProcessor(row.processing).Process(doubles, 1.0));
    ASSERT_TRUE(CTraceProcessor(row.processing).Process(std::span<float>(singles), 1.0));
    EXPECT_TRUE(std::isnan(singles[0]));
    for (std::size_t i = 1; i < singles.size(); ++i)
        EXPECT_EQ(singles[i], static_cast<float>(doubles[i])) << i;
    if (row.length > 2) {
        EXPECT_EQ(singles[row.length / 2], HUGE_VALF);
        EXPECT_EQ(singles[row.length - 1], -HUGE_VALF);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths,
    SinglesAndDoubles,
    ::testing::Values(PrecisionRow{"OneSampleDc", 1, {.removeDc = true}},
                      PrecisionRow{"ThreeSamplesDc", 3, {.removeDc = true}},
                      PrecisionRow{"OddLengthDc", 67, {.removeDc = true}},
                      PrecisionRow{"OddLengthBandPass", 67, {.bandLowHz = 50, .bandHighHz = 200}},
                      PrecisionRow{"EvenLengthBoth", 64, {true, 50, 200}},
                      PrecisionRow{"FiveSamplesBoth", 5, {true, 0, 300}}),
    [](const ::testing::TestParamInfo<PrecisionRow>& p) { return std::string(p.param.name); });

// A recorder's offset (a median sample of 562 against a clip of 1432) put
// every cell on one side of zero; without it about half lie on each.
TEST(TraceProcessing, DcRemovalCentresARealRecording)
{
    const std::string dir = test::SharedSegyDir();
    if (dir.empty())
        GTEST_SKIP() << "shared sample files absent";
    SectionOptions o;
    o.columns = 237; // one trace per column
    o.rows = 400;
    const auto positiveShare = [](const Section& s) {
        const auto positive =
            std::count_if(s.cells.begin(), s.cells.end(), [](float v) { return v > 0; });
        return static_cast<double>(positive) / static_cast<double>(s.cells.size());
    };
    const Section raw = BuildSection(dir + "/obs01.seg", o);
    ASSERT_EQ(raw.status, SectionStatus::Ok);
    EXPECT_GT(positiveShare(raw), 0.95);
    o.processing.removeDc = true;
    const Section centred = BuildSection(dir + "/obs01.seg", o);
    EXPECT_NEAR(positiveShare(centred), 0.5, 0.1);
    EXPECT_LT(centred.clip, raw.clip);
}

} // namespace
} // namespace tessara
