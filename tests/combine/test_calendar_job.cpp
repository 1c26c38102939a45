// The job across New Year and over clock glitches: surveys that run from
// 31 December into 1 January, and traces whose time is far from both their
// neighbours'. Every time, count and name below is worked out by hand.
#include "combine/read_ahead.h"
#include "tests/combine/combine_test_support.h"
#include "tests/combine/time_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

const std::string kOpening = "\tOpening output file";

std::string StartTime(int day, int hour, int minute, int second)
{
    return "\tStart Time = " + std::to_string(day) + ":" + std::to_string(hour) + ":" +
           std::to_string(minute) + ":" + std::to_string(second);
}

/// Stamps `stepS` seconds apart from 2003 day 365 `hour`:`minute`:`second`,
/// the ones after midnight on 1 January 2004.
std::vector<Stamp> AcrossNewYear(int hour, int minute, int second, int count, int stepS)
{
    std::vector<Stamp> stamps;
    for (int k = 0; k < count; ++k) {
        const int t = (hour * 60 + minute) * 60 + second + k * stepS;
        Stamp s{365, t / 3600 % 24, t / 60 % 60, t % 60, 0, 2003};
        if (t >= 86400)
            s = {1, (t - 86400) / 3600, (t - 86400) / 60 % 60, t % 60, 0, 2004};
        stamps.push_back(s);
    }
    return stamps;
}

class CalendarJobTest : public CombineJobTest
{
protected:
    ~CalendarJobTest() override { SetResamplingThreads(0); }

    /// The traces of the only output, which must be named `name`.
    std::vector<FullTrace> OnlyOutput(const std::string& name)
    {
        EXPECT_EQ(FilesIn(m_out), (Names{name}));
        return ReadAllTraces(Out(name));
    }
};

TEST_F(CalendarJobTest, AnInputThatCrossesNewYearIsWrittenWhole)
{
    InputSpec a = Input(1, {}, 0);
    a.times = AcrossNewYear(23, 57, 0, 6, 60); // 23:57 .. 00:02
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const std::vector<FullTrace> out = OnlyOutput("Choose Expedition_365_2358_to_001_0002.sgy");
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[1].header.year, 2003);
    EXPECT_EQ(out[2].header.year, 2004);
    EXPECT_EQ(out[2].header.dayOfYear, 1);
    EXPECT_EQ(Result().summary.dropped_before_start, 0);
    ASSERT_EQ(Result().outputs.size(), 1u);
    // 23:58 of day 365 and 00:02 of day 1, each in its own year.
    EXPECT_EQ(Result().outputs[0].first_trace_time, (365 * 24 + 23) * 3600.0 + 58 * 60);
    EXPECT_EQ(Result().outputs[0].last_trace_time, 86400.0 + 2 * 60);
    EXPECT_FALSE(Result().inputs_span_years);
}

// A: 23:59:50 .. :54 of 31 December 2003; written :51 .. :54, mean interval
// (54 - 50) / 2 = 2 s. B starts 00:00:10 on 1 January 2004, 20 s after A's
// start: gap 16 s, 16 / 2 - 1 = 7 fill traces at :56, :58, then 00:00:00 ..
// 00:00:08 of the new year.
TEST_F(CalendarJobTest, GapsAcrossNewYearAreFilledAndTheFillTakesTheNewYear)
{
    const InputSpec a = Input(1, {365, 23, 59, 50}, 5, 1000);
    InputSpec b = Input(2, {1, 0, 0, 10}, 5, 1000);
    b.year = 2004;
    AddInput("b.sgy", b); // listed first: the order comes from the times
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const std::vector<FullTrace> out = OnlyOutput("Choose Expedition_365_2359_to_001_0000.sgy");
    ASSERT_EQ(out.size(), 4u + 7u + 4u);
    const std::vector<std::pair<int, Stamp>> fills = {
        {2003, {365, 23, 59, 56}},
        {2003, {365, 23, 59, 58}},
        {2004, {1, 0, 0, 0}},
        {2004, {1, 0, 0, 2}},
        {2004, {1, 0, 0, 8}},
    };
    const std::size_t at[] = {4, 5, 6, 7, 10};
    for (std::size_t k = 0; k < fills.size(); ++k) {
        const SegyHeaderType& h = out[at[k]].header;
        EXPECT_EQ(h.year, fills[k].first) << "fill " << at[k];
        ExpectStamp(h, fills[k].second, "fill " + std::to_string(at[k]));
    }
    EXPECT_EQ(out[11].header.year, 2004);
    EXPECT_EQ(out[11].header.second, 11);
    EXPECT_EQ(Result().summary.traces_filled, 7);
    EXPECT_EQ(Result().summary.dropped_before_start, 0);
}

// The unreadable input's all-zero header carries no year: taken into the
// choice of the time scale, it would make the scale plain, put 1 January
// before 31 December and warn of years that are in fact known.
TEST_F(CalendarJobTest, AnUnreadableInputLeavesANewYearSurveyOnItsYears)
{
    AddInput("a.sgy", Input(1, {365, 23, 59, 50}, 5, 1000));
    m_settings.input_files.push_back(m_in + "/missing.sgy");
    InputSpec b = Input(2, {1, 0, 0, 10}, 5, 1000);
    b.year = 2004;
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    // As in the test above: 4 + 7 fill + 4 traces.
    EXPECT_EQ(OnlyOutput("Choose Expedition_365_2359_to_001_0000.sgy").size(), 4u + 7u + 4u);
    EXPECT_FALSE(Result().inputs_span_years);
    EXPECT_EQ(Result().summary.inputs_unreadable, 1);
}

TEST_F(CalendarJobTest, DemultiplexOnlyCountsAnInputFromItsOwnYear)
{
    m_settings.demultiplex_only = true;
    InputSpec a = Input(1, {}, 0);
    a.times = AcrossNewYear(23, 59, 0, 4, 30); // 23:59:00 .. 00:00:30
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(OnlyOutput("Choose Expedition_365_2359_to_001_0000.sgy").size(), 3u);
    EXPECT_EQ(Result().summary.dropped_before_start, 0);
}

TEST_F(CalendarJobTest, AnInputWithoutAPlausibleYearKeepsSecondsOfYearAndWarns)
{
    InputSpec december = Input(1, {365, 23, 0, 0}, 3, 1000);
    InputSpec january = Input(2, {1, 0, 0, 10}, 3, 1000);
    january.year = 2004;
    InputSpec undated = Input(3, {2, 0, 0, 0}, 3, 1000);
    undated.year = 0;
    AddInput("dec.sgy", december);
    AddInput("jan.sgy", january);
    AddInput("undated.sgy", undated);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_TRUE(Result().inputs_span_years);
    // Seconds of each trace's own year: January first, then day 2, then December.
    EXPECT_EQ(FilesIn(m_out),
              (Names{"Choose Expedition_001_0000_to_001_0000.sgy",
                     "Choose Expedition_002_0000_to_002_0000.sgy",
                     "Choose Expedition_365_2300_to_365_2300.sgy"}));
}

// Input A: reference 10:00:00, then traces 1 s apart, the first after the
// reference five hours off: it would have made the output start at 15:00
// and every later trace of A and B fall before it. B starts 10 s after A.
TEST_F(CalendarJobTest, AWrongHourInTheFirstWrittenTraceIsSkippedAndNothingElseIsLost)
{
    InputSpec a = Input(1, {100, 10, 0, 0}, 6, 1000);
    a.times[1].hour = 15;
    const InputSpec b = Input(2, {100, 10, 0, 10}, 4, 1000);
    const std::string pathA = AddInput("a.sgy", a);
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const std::string glitch = "\tClock glitch: trace 2 at 100:15:0:1 skipped\r\n";
    EXPECT_EQ(m_host.log.substr(0, ProcessingBlock(pathA, 4).size() + glitch.size()),
              ProcessingBlock(pathA, 4) + glitch);
    EXPECT_NE(m_host.log.find(glitch + LogLines({StartTime(100, 10, 0, 2), kOpening})),
              std::string::npos)
        << m_host.log;
    const std::vector<FullTrace> out = OnlyOutput("Choose Expedition_100_1000_to_100_1000.sgy");
    // A's 2..5; the mean interval (5 - 0) / 2 = 2.5 s makes 5 / 2.5 - 1 = 1
    // fill trace; then B's 1..3.
    EXPECT_EQ(out.size(), 4u + 1u + 3u);
    EXPECT_EQ(out[0].header.second, 2);
    const CombineSummary& s = Result().summary;
    EXPECT_EQ(s.dropped_clock_glitch, 1);
    EXPECT_EQ(s.dropped_before_start, 0);
    EXPECT_EQ(s.traces_written, 7);
}

struct GlitchCase {
    const char* name;
    int fileGapMinutes;
    /// Seconds added to trace `at` (of six, 1 s apart from 10:00:00), per trace.
    std::vector<int> shifts;
    int expectedGlitches;
    /// The day repair on, the name giving day 101 to headers that say 100.
    bool dayRepair = false;
};

class ClockGlitchTest : public CalendarJobTest, public ::testing::WithParamInterface<GlitchCase>
{
};

TEST_P(ClockGlitchTest, OnlyATimeFarFromBothNeighboursIsAGlitch)
{
    const GlitchCase& c = GetParam();
    m_settings.file_gap = c.fileGapMinutes;
    m_settings.fixupknudsen = c.dayRepair;
    // Later traces whose time goes back are dropped as before the output's
    // start; only the glitch count matters here.
    InputSpec a = Input(1, {100, 10, 0, 0}, 6, 1000);
    for (std::size_t k = 0; k < c.shifts.size(); ++k)
        a.times[k] = StampAfter(a.times[k], c.shifts[k] * 1000LL);
    AddInput(c.dayRepair ? "0001_2003_101_1000.sgy" : "a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Result().summary.dropped_clock_glitch, c.expectedGlitches);
}

INSTANTIATE_TEST_SUITE_P(Neighbours,
                         ClockGlitchTest,
                         ::testing::Values(
                             // Trace 3 one second past the limit from trace 2 and from trace 4.
                             GlitchCase{"PastTheLimit", 60, {0, 0, 0, 3600 + 2, 0, 0}, 1},
                             // Exactly the limit from trace 2 (at :02, trace 3 at 11:00:02 - 1 s).
                             GlitchCase{"AtTheLimit", 60, {0, 0, 0, 3599, 0, 0}, 0},
                             // Exactly the limit from one neighbour, past it from the
                             // other: trace 4 back at 09:59:54, 3608 s from trace 3 ...
                             GlitchCase{"LimitFromThePrevious", 60, {0, 0, 0, 3599, -10, 0}, 0},
                             // ... or trace 3 at 11:00:04, 3602 s from trace 2.
                             GlitchCase{"LimitFromTheNext", 60, {0, 0, 0, 3601, 0, 0}, 0},
                             // Header days one short of the name's: the trace read next
                             // is compared day-repaired, so trace 4 is no glitch too.
                             GlitchCase{"DayRepaired", 60, {0, 0, 0, 7200, 0, 0}, 1, true},
                             GlitchCase{"ShortLimit", 1, {0, 0, 0, 62, 0, 0}, 1},
                             // Backwards counts as well as forwards.
                             GlitchCase{"Backwards", 60, {0, 0, 0, -7200, 0, 0}, 1},
                             // Two wrong times in a row: each has the other beside it.
                             GlitchCase{"TwoInARow", 60, {0, 0, 0, 7200, 7200, 0}, 0},
                             // Nothing after the last trace confirms a glitch.
                             GlitchCase{"LastTrace", 60, {0, 0, 0, 0, 0, 7200}, 0},
                             // The reference is the neighbour of the first trace after it.
                             GlitchCase{"AfterAWrongReference", 60, {7200, 0, 0, 0, 0, 0}, 0}),
                         [](const ::testing::TestParamInfo<GlitchCase>& p) {
                             return p.param.name;
                         });

// Resampled on worker threads, the input is read ahead in batches of eight:
// the glitch at file trace 9 is the last of the first batch, its neighbour
// after it the first of the next.
TEST_F(CalendarJobTest, AGlitchAtABatchEdgeIsFoundWhenReadAhead)
{
    SetResamplingThreads(2);
    m_settings.assign_sampling_frequency = true;
    m_settings.sampling_frequency = 500; // 2000 us from 1000 us
    InputSpec a = Input(1, {100, 10, 0, 0}, 20, 1000);
    a.samples = 8;
    a.times[8].hour = 13;
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Result().summary.dropped_clock_glitch, 1);
    EXPECT_NE(m_host.log.find("\tClock glitch: trace 9 at 100:13:0:8 skipped"), std::string::npos);
    EXPECT_EQ(Result().summary.traces_written, 18);
}

} // namespace
} // namespace tessara::test
