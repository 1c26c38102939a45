// Null traces in the time gap after an input: how many, when, what they
// carry, and the gaps that get none. The output is a real working file with
// one real trace at day 100 10:00:04.500 (8676004.5 s of year); its fill
// traces are read back with the reader. Expected counts and times are worked
// out by hand: n = trunc(gap / interval - 1), fill k at last + k * interval.
#include "combine/job_state.h"
#include "combine/output_file.h"
#include "combine/time_correction.h"
#include "segy/io/segy_file_in.h"
#include "tests/combine/combine_test_support.h"
#include "tests/combine/time_test_support.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <ostream>

namespace tessara::test
{
namespace
{

const Stamp kLast{100, 10, 0, 4, 500};
constexpr double kLastSeconds = 8676004.5;

class GapFillTest : public ::testing::Test
{
protected:
    // The fill as writing makes it: the file is created and read back.
    GapFillTest() { m_file.emplace(m_tmp.File("SegyOut.sgy")); }

    JobContext Ctx() { return {m_settings, m_host}; }
    COutputFile& Output() { return *m_file; }

    /// An input of one trace at `at` with `samples` samples 1, 2, 3, ... and
    /// distinct header fields that fill traces must carry.
    std::string WriteOneTraceInput(const Stamp& at, int samples)
    {
        SegyBytes b(true);
        b.FileHeader(5, samples, 1000);
        b.TraceHeader(samples, 1000)
            .TraceTime(2003, at.day, at.hour, at.minute, at.second, at.millisecond);
        b.Trace32(0, 42).Trace32(4, 43).Trace16(108, 7).Trace32(72, 123456).Trace16(88, 2);
        std::vector<double> values;
        for (int j = 0; j < samples; ++j)
            values.push_back(j + 1);
        b.Samples(5, values);
        const std::string path = m_tmp.File("in.sgy");
        EXPECT_TRUE(b.WriteTo(path));
        return path;
    }

    /// Opens the working output from a one-trace input without writing.
    void OpenFromOneTraceInput(CSegyFileIn& in, const Stamp& at, int samples)
    {
        ASSERT_TRUE(in.Open(WriteOneTraceInput(at, samples)));
        ASSERT_TRUE(Output().Open(in, static_cast<std::uint16_t>(samples), std::nullopt));
        Output().BeginInput(in.GetSamples(), in.GetFormat());
    }

    /// Opens the working output from a one-trace input and writes that
    /// trace through the plain path, as the job does; the output then holds
    /// one real trace and the last trace time is its time.
    void OpenWithOneRealTrace(const Stamp& at = kLast, int samples = 4)
    {
        CSegyFileIn in;
        OpenFromOneTraceInput(in, at, samples);
        CSegyTrace trace(in.GetSamples());
        in.Read(trace, -1);
        ASSERT_FALSE(in.atEnd);
        m_counters.Count(at.Seconds(), at.Seconds());
        ASSERT_TRUE(Output().WriteReal(trace, at.Seconds(), true));
    }

    /// Gives the input's bookkeeping a mean trace interval of `seconds`, as
    /// a third trace `seconds` after the input's start does.
    void SetAverageInterval(double seconds)
    {
        while (m_counters.traces < 2)
            m_counters.Count(0, 0);
        m_counters.Count(seconds, 0);
    }

    GapFillResult Fill(double nextStart,
                       double limit,
                       std::int64_t roomBytes = std::numeric_limits<std::int64_t>::max())
    {
        return Fill_Null_Traces_in_Gap(
            Ctx(), Output(), m_counters, Output().FillTemplate(), nextStart, limit, roomBytes);
    }

    std::vector<FullTrace> CloseAndRead()
    {
        (void)Output().Close();
        return ReadAllTraces(Output().Path());
    }

    TempDir m_tmp;
    CombineSettings m_settings;
    CRecordingHost m_host;
    std::optional<COutputFile> m_file;
    InputCounters m_counters;
};

struct FillCase {
    const char* name;
    double gap;       // s, next start - last trace
    double intervalS; // average_interval
    double limitS;    // gap limit
    bool makeNull;    // make_null_traces
    int fills;        // expected n
    const char* log;  // expected log
};

void PrintTo(const FillCase& c, std::ostream* os)
{
    *os << c.name;
}

class GapFill : public GapFillTest, public ::testing::WithParamInterface<FillCase>
{
};

TEST_P(GapFill, WritesTheCountedNullTracesEvenlyIntoTheGap)
{
    const FillCase& c = GetParam();
    m_settings.make_null_traces = c.makeNull;
    OpenWithOneRealTrace();
    SetAverageInterval(c.intervalS);
    const std::int32_t counted = m_counters.traces;

    const GapFillResult filled = Fill(kLastSeconds + c.gap, c.limitS);

    EXPECT_NEAR(filled.gap, c.gap, 1e-6);
    EXPECT_EQ(m_host.log, c.log);
    EXPECT_EQ(m_counters.traces, counted + c.fills);
    EXPECT_EQ(Output().LastTraceTime(), kLastSeconds) << "fill traces are no real traces";
    EXPECT_EQ(Output().FillTraces(), c.fills);
    EXPECT_FALSE(filled.failed);

    const std::vector<FullTrace> traces = CloseAndRead();
    ASSERT_EQ(traces.size(), 1u + static_cast<std::size_t>(c.fills));
    const FullTrace& real = traces[0];
    ExpectStamp(real.header, kLast, "the real trace");
    ASSERT_EQ(real.samples, (std::vector<double>{1, 2, 3, 4}));
    const long long stepMs = std::llround(c.intervalS * 1000);
    for (int k = 1; k <= c.fills; ++k) {
        const FullTrace& fill = traces[static_cast<std::size_t>(k)];
        const std::string what = "fill trace " + std::to_string(k);
        ExpectStamp(fill.header, StampAfter(kLast, k * stepMs), what);
        ExpectSameHeaderButTime(fill.header, real.header, what);
        EXPECT_EQ(fill.samples, std::vector<double>(4, 0.0)) << what;
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    TimeCorrection,
    GapFill,
    ::testing::Values(
        // 100 / 0.25 - 1 = 399; the last at 99.75 s, 0.25 s before the next input.
        FillCase{"HundredSecondsAtQuarterSeconds",
                 100,
                 0.25,
                 3600,
                 true,
                 399,
                 "Fill : Time Gap 100 number of fill traces 399\r\n"},
        // 0.4 / 0.25 - 1 = 0.6, truncated to 0.
        FillCase{"LessThanTwoIntervals", 0.4, 0.25, 3600, true, 0, ""},
        FillCase{"TwoIntervalsGiveOne",
                 0.5,
                 0.25,
                 3600,
                 true,
                 1,
                 "Fill : Time Gap 0.5 number of fill traces 1\r\n"},
        // The interval of an input with fewer than three traces written.
        FillCase{"DefaultIntervalOneSecond",
                 3,
                 1.0,
                 3600,
                 true,
                 2,
                 "Fill : Time Gap 3 number of fill traces 2\r\n"},
        FillCase{"NegativeGap", -5, 0.25, 3600, true, 0, ""},
        FillCase{"GapEqualToTheLimit", 60, 0.25, 60, true, 0, ""},
        // 59.75 / 0.25 - 1 = 238.
        FillCase{"GapJustBelowTheLimit",
                 59.75,
                 0.25,
                 60,
                 true,
                 238,
                 "Fill : Time Gap 59.75 number of fill traces 238\r\n"},
        FillCase{"NullTracesOff", 100, 0.25, 3600, false, 0, ""},
        FillCase{"ZeroInterval", 100, 0.0, 3600, true, 0, ""},
        FillCase{"FallingTimesInterval", 100, -0.25, 3600, true, 0, ""},
        FillCase{"NaNInterval", 100, kNaN, 3600, true, 0, ""},
        FillCase{"InfiniteInterval", 100, kInf, 3600, true, 0, ""},
        // 3000 / 1e-6 - 1 is about 3e9: no 32-bit count.
        FillCase{"CountBeyond32Bits", 3000, 1e-6, 3600, true, 0, ""}),
    [](const ::testing::TestParamInfo<FillCase>& p) { return p.param.name; });

TEST_F(GapFillTest, FillTimesCarryOverMidnightOnTheJobsDayScale)
{
    // 2 / 0.25 - 1 = 7 fill traces from 23:59:59.500 on.
    const Stamp last{100, 23, 59, 59, 500};
    OpenWithOneRealTrace(last);
    SetAverageInterval(0.25);
    (void)Fill(last.Seconds() + 2, 3600);

    const std::vector<FullTrace> traces = CloseAndRead();
    const std::vector<Stamp> expected{{100, 23, 59, 59, 750},
                                      {101, 0, 0, 0, 0},
                                      {101, 0, 0, 0, 250},
                                      {101, 0, 0, 0, 500},
                                      {101, 0, 0, 0, 750},
                                      {101, 0, 0, 1, 0},
                                      {101, 0, 0, 1, 250}};
    ASSERT_EQ(traces.size(), 1 + expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ExpectStamp(traces[k + 1].header, expected[k], "fill trace " + std::to_string(k + 1));
        EXPECT_EQ(traces[k + 1].header.year, 2003) << "the year is the template's";
    }
}

TEST_F(GapFillTest, TraceCountThatWouldPass32BitsFillsNothing)
{
    // 100 / 0.25 - 1 = 399 fill traces.
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(CountNullTracesForGap(m_settings, 100, 3600, 0.25, max - 10), 0);
    EXPECT_EQ(CountNullTracesForGap(m_settings, 100, 3600, 0.25, max - 399), 399);
}

TEST_F(GapFillTest, FillThatWouldPassTheSizeLimitWritesNothing)
{
    // 2 / 0.25 - 1 = 7 fill traces of 240 + 4 x 4 bytes: 1792 bytes.
    OpenWithOneRealTrace();
    SetAverageInterval(0.25);
    const GapFillResult refused = Fill(kLastSeconds + 2, 3600, 1791);
    EXPECT_EQ(refused.refusedBytes, 1792);
    EXPECT_FALSE(refused.failed);
    EXPECT_EQ(m_host.log, "") << "no Fill line for traces not written";
    EXPECT_EQ(Output().FillTraces(), 0);

    const GapFillResult exact = Fill(kLastSeconds + 2, 3600, 1792);
    EXPECT_EQ(exact.refusedBytes, 0) << "reaching the limit exactly is within it";
    EXPECT_EQ(Output().FillTraces(), 7);
}

TEST_F(GapFillTest, OutputWithoutARealTraceGetsNoFillFromAnEarlierOutput)
{
    // The output was opened for an input that wrote nothing: the last trace
    // time belongs to an earlier output, and fill traces from there would
    // lie before this output's first trace.
    CSegyFileIn in;
    OpenFromOneTraceInput(in, kLast, 4);
    Output().SetLastTraceTime(kLastSeconds);
    SetAverageInterval(0.25);
    EXPECT_EQ(Fill(kLastSeconds + 100, 3600).gap, 100.0);
    EXPECT_EQ(m_host.log, "");
    EXPECT_TRUE(CloseAndRead().empty());
}

TEST_F(GapFillTest, SidescanFillTracesArePairsWithZeroSamples)
{
    m_settings.demultiplex_sidescan = true;
    CSegyFileIn in;
    OpenFromOneTraceInput(in, kLast, 4);
    // A pair as the sidescan path leaves it: port header, 2 x 4 samples.
    CSegyTrace pair;
    pair.SetN(8);
    SegyHeaderType& h = *pair.header;
    h.year = 2003;
    h.dayOfYear = 100;
    h.hour = 10;
    h.minute = 0;
    h.second = 4;
    h.millisecond = 500;
    h.sampleInterval = 1000;
    h.delayRecordingTime = 9;
    h.traceSequenceFile = 77;
    for (std::size_t j = 0; j < 8; ++j)
        pair.samples[j] = static_cast<double>(j) + 1;
    m_counters.Count(kLastSeconds, kLastSeconds);
    ASSERT_TRUE(Output().WriteReal(pair, kLastSeconds, false));
    SetAverageInterval(0.25);

    const GapFillResult filled =
        Fill_Null_Traces_in_Gap(Ctx(), Output(), m_counters, pair, kLastSeconds + 1, 3600, 1 << 20);
    EXPECT_EQ(filled.gap, 1.0);
    EXPECT_EQ(m_host.log, "Fill : Time Gap 1 number of fill traces 3\r\n");

    const std::vector<FullTrace> traces = CloseAndRead();
    ASSERT_EQ(traces.size(), 4u);
    for (std::size_t k = 1; k < 4; ++k) {
        const std::string what = "fill pair " + std::to_string(k);
        ExpectStamp(traces[k].header, StampAfter(kLast, static_cast<long long>(k) * 250), what);
        ExpectSameHeaderButTime(traces[k].header, traces[0].header, what);
        EXPECT_EQ(traces[k].samples, std::vector<double>(8, 0.0)) << what;
    }
}

TEST_F(GapFillTest, WriteFailureStopsTheFill)
{
    // /dev/full takes the bytes into the writer's buffer and fails when it
    // is flushed: 399 traces of 2000 IEEE samples (3.3 MB) pass that point.
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    m_file.emplace("/dev/full");
    OpenWithOneRealTrace(kLast, 2000);
    SetAverageInterval(0.25);

    const GapFillResult filled = Fill(kLastSeconds + 100, 3600);

    EXPECT_EQ(filled.gap, 100.0);
    EXPECT_TRUE(filled.failed);
    EXPECT_EQ(m_host.log, "Fill : Time Gap 100 number of fill traces 399\r\n");
    EXPECT_LT(Output().FillTraces(), 399) << "the filling stops at the failure";
    (void)Output().Close();
}

} // namespace
} // namespace tessara::test
