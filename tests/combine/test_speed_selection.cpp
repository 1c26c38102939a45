// The speed-corrected selection of an output: which recorded trace stands at
// each multiple of the spacing and with which header, when the correction
// gives up and what it tells, first from the headers of fixture files alone,
// then through the job, whose written file is read back.
#include "combine/speed_selection.h"
#include "nav/navigation.h"
#include "nav/speed_correction.h"
#include "segy/io/segy_file_in.h"
#include "tests/combine/combine_test_support.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;
using Status = SpeedCorrectionPlan::Status;

/// The headers of a fixture file as the reader gives them, and the fixes and
/// delays of its records, numbered from 0 as the job numbers an output's.
struct Recorded {
    std::vector<SegyHeaderType> headers;
    std::vector<llt> fixes;
    std::vector<std::int16_t> delays;
};

Recorded ReadRecorded(const std::string& path)
{
    Recorded r;
    CSegyFileIn in;
    if (!in.Open(path))
        return r;
    for (;;) {
        SegyHeaderType h{};
        in.ReadHeader(h);
        if (in.atEnd)
            break;
        const auto k = static_cast<std::int64_t>(r.headers.size());
        (void)AddFixOfHeader(r.fixes, h, k, static_cast<std::int32_t>(k + 1));
        r.headers.push_back(h);
        r.delays.push_back(h.delayRecordingTime);
    }
    return r;
}

/// One trace the selection writes: the record it repeats and its header.
struct Selected {
    std::int64_t record = 0;
    bool between = false;
    SegyHeaderType header{};
};

/// Walks the selection of a corrected plan as the writer does.
std::vector<Selected> Walk(const SpeedCorrectionPlan& plan,
                           const std::vector<SegyHeaderType>& headers)
{
    std::vector<Selected> out;
    CCorrectedSelection selection(plan.fixes, plan.spacingMetres);
    for (CCorrectedSelection::Entry e; selection.Peek(e); selection.Advance()) {
        if (e.record < 0 || static_cast<std::size_t>(e.record) >= headers.size()) {
            ADD_FAILURE() << "record " << e.record << " outside the output";
            break;
        }
        if (out.size() > 100 * headers.size()) {
            ADD_FAILURE() << "the selection does not end";
            break;
        }
        Selected s{e.record, e.between, headers[static_cast<std::size_t>(e.record)]};
        if (e.between)
            InterpolateHeader(s.header, *e.a, *e.b, e.f);
        out.push_back(s);
    }
    return out;
}

bool SameHeader(const SegyHeaderType& a, const SegyHeaderType& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SpeedSelection : public ::testing::Test
{
protected:
    SpeedCorrectionPlan Plan(const std::vector<FixSpec>& specs, bool bigEndian = true)
    {
        EXPECT_TRUE(WriteFixFile(path, specs, bigEndian));
        recorded = ReadRecorded(path);
        EXPECT_EQ(recorded.headers.size(), specs.size());
        return PlanSpeedCorrection(settings,
                                   host,
                                   recorded.fixes,
                                   static_cast<std::int64_t>(recorded.headers.size()),
                                   recorded.delays,
                                   "in.sgy");
    }
    void UseFixedSpacing(double metres)
    {
        settings.spacing_mode = SpacingMode::Fixed;
        settings.trace_spacing = metres;
    }

    TempDir dir;
    std::string path = dir.File("fixes.sgy");
    CombineSettings settings;
    CRecordingHost host;
    Recorded recorded;
};

struct Expected {
    int record;        // 0-based recorded trace
    int millisecondOf; // ms after 12:00:00 of the time written, -1 for the recorded time
};

// The first trace once as recorded; every later one first halfway back
// (f = 0.5 takes the later trace), then as recorded; the last only halfway.
const std::vector<Expected> kFiveOnTen{{0, -1},
                                       {1, 500},
                                       {1, -1},
                                       {2, 1500},
                                       {2, -1},
                                       {3, 2500},
                                       {3, -1},
                                       {4, 3500},
                                       {4, -1},
                                       {5, 4500}};

std::string ByteOrderName(const ::testing::TestParamInfo<bool>& p)
{
    return p.param ? "BigEndian" : "LittleEndian";
}

/// Trace `j` stands on the line of LineFixes(n, 10) at fix `fix`, `ms` after
/// 12:00:00 on day 100 of 2003.
void ExpectOnTheLine(const SegyHeaderType& h, int fix, int ms, std::size_t j)
{
    EXPECT_EQ(h.sourceX, 500000 + fix * 10) << j;
    EXPECT_EQ(h.coordinateUnits, 1) << j;
    EXPECT_EQ(h.second, ms / 1000) << j;
    EXPECT_EQ(h.millisecond, ms % 1000) << j;
    EXPECT_EQ(h.dayOfYear, 100) << j;
    EXPECT_EQ(h.year, 2003) << j;
}

class SpeedSelectionByteOrder : public SpeedSelection, public ::testing::WithParamInterface<bool>
{
};

TEST_P(SpeedSelectionByteOrder, FiveMetresOnATenMetreLineRepeatsEveryLaterTrace)
{
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    const SpeedCorrectionPlan plan = Plan(LineFixes(6, 10), GetParam());
    ASSERT_EQ(plan.status, Status::Corrected);
    EXPECT_EQ(plan.spacingMetres, 5.0);
    EXPECT_EQ(plan.tracesBefore, 6);
    EXPECT_EQ(plan.tracesAfter, 10);
    EXPECT_EQ(host.log, "");
    EXPECT_TRUE(host.messages.empty());

    const std::vector<Selected> out = Walk(plan, recorded.headers);
    ASSERT_EQ(out.size(), kFiveOnTen.size());
    for (std::size_t j = 0; j < out.size(); ++j) {
        const Expected& e = kFiveOnTen[j];
        const SegyHeaderType& h = out[j].header;
        EXPECT_EQ(out[j].record, e.record) << j;
        EXPECT_EQ(out[j].between, e.millisecondOf >= 0) << j;
        if (e.millisecondOf < 0) {
            EXPECT_TRUE(SameHeader(h, recorded.headers[static_cast<std::size_t>(e.record)])) << j;
            continue;
        }
        // Projected coordinates stay as recorded; only the time moves.
        ExpectOnTheLine(h, e.record, e.millisecondOf, j);
    }
}

INSTANTIATE_TEST_SUITE_P(BigAndLittleEndian,
                         SpeedSelectionByteOrder,
                         ::testing::Bool(),
                         ByteOrderName);

TEST_F(SpeedSelection, TwentyMetresTakesEverySecondTraceUnchanged)
{
    UseFixedSpacing(20);
    const SpeedCorrectionPlan plan = Plan(LineFixes(6, 10));
    ASSERT_EQ(plan.status, Status::Corrected);
    const std::vector<Selected> out = Walk(plan, recorded.headers);
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t j = 0; j < out.size(); ++j) {
        EXPECT_EQ(out[j].record, static_cast<std::int64_t>(2 * j));
        EXPECT_FALSE(out[j].between);
        EXPECT_TRUE(SameHeader(out[j].header, recorded.headers[2 * j])) << j;
    }
}

TEST_F(SpeedSelection, MedianOrFixedSpacingAsTheSettingsSay)
{
    // Steps of 10 m but for one of 40 m: the median stays at 10.
    std::vector<FixSpec> specs = LineFixes(9, 10);
    for (std::size_t i = 5; i < specs.size(); ++i)
        specs[i].x += 30;
    const SpeedCorrectionPlan median = Plan(specs);
    ASSERT_EQ(median.status, Status::Corrected);
    EXPECT_EQ(median.spacingMetres, 10.0);

    UseFixedSpacing(7.25);
    const SpeedCorrectionPlan fixed = Plan(specs);
    ASSERT_EQ(fixed.status, Status::Corrected);
    EXPECT_EQ(fixed.spacingMetres, 7.25);
    EXPECT_EQ(host.spacingLine.spacingM, 7.25);
    EXPECT_EQ(fixed.tracesAfter, CorrectedTraceCount(fixed.fixes, 7.25));
}

TEST_F(SpeedSelection, ChartGetsTitleFixesAndSpacingLine)
{
    UseFixedSpacing(5);
    ASSERT_EQ(Plan(LineFixes(6, 10)).status, Status::Corrected);
    // Day 100 of 2003 is 10 April.
    EXPECT_EQ(host.chartTitle,
              "Speed Correction from 100 2003-04-10 12:00:00 to 2003-04-10 12:00:05"
              " shot spacing = 5.0 m");
    EXPECT_EQ(host.chartBegins, 1);
    EXPECT_EQ(host.chartEnds, 1);
    ASSERT_EQ(host.chartFixes.size(), 6u);
    EXPECT_EQ(host.chartFixes[1].ticks - host.chartFixes[0].ticks, 10000000);
    EXPECT_DOUBLE_EQ(host.chartFixes[3].speedMps, 10.0);
    EXPECT_DOUBLE_EQ(host.chartFixes[3].spacingM, 10.0);
    EXPECT_EQ(host.spacingLine.fromTicks, host.chartFixes.front().ticks);
    EXPECT_EQ(host.spacingLine.toTicks, host.chartFixes.back().ticks);
    EXPECT_EQ(host.spacingLine.spacingM, 5.0);
}

/// Fixes along the parallel at 0.5 degrees north, `step` degrees of longitude
/// apart, stored in decimal degrees with scalar -10000. Equal steps along a
/// parallel are equal geodesic distances.
std::vector<FixSpec> ParallelFixes(int count, double startLon, double step)
{
    std::vector<FixSpec> fixes = LineFixes(count, 0);
    for (int i = 0; i < count; ++i) {
        FixSpec& f = fixes[static_cast<std::size_t>(i)];
        f.units = 3;
        f.scalar = -10000;
        f.x = std::llround((startLon + step * i) * 10000);
        f.y = 5000;
    }
    return fixes;
}

TEST_F(SpeedSelection, DegreesAreRewrittenAsArcSecondsWithTheTraceScalar)
{
    const double step = 0.0001; // about 11.1 m
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    const SpeedCorrectionPlan plan = Plan(ParallelFixes(12, 3.0, step));
    ASSERT_EQ(plan.status, Status::Corrected);
    const double d = plan.fixes[1].deltap; // one step, measured
    ASSERT_NEAR(d, 11.13, 0.01);

    const std::vector<Selected> out = Walk(plan, recorded.headers);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(std::ceil(11 * d / 5)));
    for (std::size_t j = 1; j < out.size(); ++j) {
        // The point at 5 j metres lies 5 j / d steps along the parallel.
        const double steps = 5.0 * static_cast<double>(j) / d;
        const double fraction = steps - std::floor(steps);
        const SegyHeaderType& h = out[j].header;
        EXPECT_EQ(out[j].record,
                  static_cast<std::int64_t>(std::floor(steps)) + (fraction < 0.5 ? 0 : 1))
            << j;
        EXPECT_EQ(h.coordinateUnits, 2) << j;
        EXPECT_EQ(h.coordinateScalar, -10000) << j;
        EXPECT_NEAR(h.sourceX, (3.0 + step * steps) * 3600 * 10000, 2.0) << j;
        EXPECT_NEAR(h.sourceY, 0.5 * 3600 * 10000, 2.0) << j;
        EXPECT_NEAR(h.second * 1000 + h.millisecond, std::round(steps * 1000.0), 1.0) << j;
    }
    EXPECT_EQ(out[0].header.coordinateUnits, 3); // f = 0: as recorded
    EXPECT_EQ(out[0].header.sourceX, 30000);
}

TEST_F(SpeedSelection, PositionTooLargeForTheFieldsKeepsTheRecordedOne)
{
    // 60 degrees in seconds of arc with scalar -10000 is 2.16e9: no 32-bit field.
    const std::vector<FixSpec> specs = ParallelFixes(8, 60.0, 0.0001);
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    const SpeedCorrectionPlan plan = Plan(specs);
    ASSERT_EQ(plan.status, Status::Corrected);
    const std::vector<Selected> out = Walk(plan, recorded.headers);
    ASSERT_GT(out.size(), 2u);
    const Selected& t = out[1]; // 5 m along: about 0.45 of a step, record 0
    EXPECT_EQ(t.record, 0);
    EXPECT_TRUE(t.between);
    EXPECT_EQ(t.header.coordinateUnits, 3);
    EXPECT_EQ(t.header.sourceX, specs[0].x);
    EXPECT_EQ(t.header.sourceY, specs[0].y);
    EXPECT_NEAR(t.header.millisecond, 449, 1); // the time is still interpolated
}

TEST_F(SpeedSelection, InterpolatedTimeBeforeYearOneKeepsTheRecordedTime)
{
    std::vector<FixSpec> specs = LineFixes(6, 10);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        specs[i].year = 0; // unusable: placeholders -60, -50, ... ticks
        specs[i].sequence = -60 + 10 * static_cast<int>(i);
    }
    UseFixedSpacing(5);
    const SpeedCorrectionPlan plan = Plan(specs);
    ASSERT_EQ(plan.status, Status::Corrected);
    const std::vector<Selected> out = Walk(plan, recorded.headers);
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out[1].record, 1);
    EXPECT_TRUE(out[1].between);
    EXPECT_EQ(out[1].header.second, 1); // record 1's own time
    EXPECT_EQ(out[1].header.millisecond, 0);
    EXPECT_EQ(out[1].header.year, 0);
}

TEST_F(SpeedSelection, DelaysCountEveryTraceAsOftenAsItIsWritten)
{
    UseFixedSpacing(5);
    ASSERT_TRUE(WriteFixFile(path, LineFixes(6, 10)));
    recorded = ReadRecorded(path);
    const std::vector<std::int16_t> delays{0, 10, 20, 30, 40, 50};
    const SpeedCorrectionPlan plan =
        PlanSpeedCorrection(settings, host, recorded.fixes, 6, delays, "in.sgy");
    ASSERT_EQ(plan.status, Status::Corrected);
    // Records 0, 1, 1, 2, 2, 3, 3, 4, 4, 5.
    EXPECT_EQ(plan.delays, (DelayHistogram{{0, 1}, {10, 2}, {20, 2}, {30, 2}, {40, 2}, {50, 1}}));
}

// On an uneven track at spacings that fall anywhere between fixes: the
// selection ends after as many traces as counted, never goes back, stays
// within the output, and each trace is the recorded one nearest its point.
TEST_F(SpeedSelection, WalksForwardToTheCountedEndAtAnySpacing)
{
    const int steps[] = {3, 17, 8, 25, 1, 12, 0, 9, 31, 4, 6, 14, 2, 20, 11, 7};
    std::vector<FixSpec> specs = LineFixes(static_cast<int>(std::size(steps)) + 1, 0);
    for (std::size_t i = 1; i < specs.size(); ++i)
        specs[i].x = specs[i - 1].x + steps[i - 1];
    for (const double spacing : {2.0, 3.3, 7.0, 10.0, 19.99, 55.5, 500.0}) {
        SCOPED_TRACE(spacing);
        UseFixedSpacing(spacing);
        const SpeedCorrectionPlan plan = Plan(specs);
        ASSERT_EQ(plan.status, Status::Corrected);
        EXPECT_EQ(plan.tracesAfter, CorrectedTraceCount(plan.fixes, spacing));
        const std::vector<Selected> out = Walk(plan, recorded.headers);
        EXPECT_EQ(static_cast<std::int64_t>(out.size()), plan.tracesAfter);
        for (std::size_t j = 1; j < out.size(); ++j)
            EXPECT_GE(out[j].record, out[j - 1].record) << j;
        CCorrectedSelection selection(plan.fixes, spacing);
        for (CCorrectedSelection::Entry e; selection.Peek(e); selection.Advance()) {
            ASSERT_TRUE(e.a != nullptr && e.b == e.a + 1);
            EXPECT_EQ(e.record, (e.f < 0.5 ? e.a : e.b)->position);
            EXPECT_EQ(e.between, e.f >= 0.001 && e.f <= 0.999);
        }
    }
}

// ---------------------------------------------------------------------------
// Outputs that are written as they are.

struct GiveUpCase {
    const char* name;
    std::vector<FixSpec> fixes;
    std::optional<double> fixedSpacing;
    Status status;
    const char* log;
    int charts;       // chart begun and ended
    bool spacingLine; // the spacing drawn into it
};

class SpeedSelectionGivesUp : public SpeedSelection,
                              public ::testing::WithParamInterface<GiveUpCase>
{
};

TEST_P(SpeedSelectionGivesUp, LogsWhyAndSelectsNothing)
{
    const GiveUpCase& c = GetParam();
    if (c.fixedSpacing)
        UseFixedSpacing(*c.fixedSpacing);
    const SpeedCorrectionPlan plan = Plan(c.fixes);
    EXPECT_EQ(plan.status, c.status);
    EXPECT_EQ(plan.tracesBefore, static_cast<std::int64_t>(c.fixes.size()));
    EXPECT_EQ(plan.tracesAfter, 0);
    EXPECT_TRUE(plan.delays.empty());
    EXPECT_EQ(host.log, c.log);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.chartBegins, c.charts);
    EXPECT_EQ(host.chartEnds, c.charts);
    EXPECT_EQ(host.spacingLine.spacingM != 0.0, c.spacingLine);
}

std::vector<FixSpec> SamePlace(int count)
{
    std::vector<FixSpec> fixes = LineFixes(count, 10);
    for (FixSpec& f : fixes)
        f.x = 500000;
    return fixes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SpeedSelectionGivesUp,
    ::testing::Values(
        GiveUpCase{"OneFix",
                   LineFixes(1, 10),
                   std::nullopt,
                   Status::TooFewFixes,
                   "\tNot speed corrected: fewer than two navigation fixes\r\n",
                   0,
                   false},
        GiveUpCase{"CoincidingFixes",
                   SamePlace(7),
                   std::nullopt,
                   Status::SpacingNotPositive,
                   "\tNot speed corrected: median trace spacing is not above 0\r\n",
                   1,
                   false},
        GiveUpCase{"TwoFixesHaveNoLength",
                   LineFixes(2, 10),
                   5.0,
                   Status::NoTrackLength,
                   "\tNot speed corrected: the track has no length\r\n",
                   1,
                   true},
        // 62 m at 2 m: 31 traces from 3 fixes, one above ten a fix.
        GiveUpCase{"MoreThanTenTracesAFix",
                   LineFixes(3, 31),
                   2.0,
                   Status::TooManyTraces,
                   "\tNot speed corrected: the corrected file would hold 31 traces from 3, more "
                   "than ten times as many\r\n",
                   1,
                   true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SpeedSelection, TenTracesAFixAreStillWritten)
{
    UseFixedSpacing(2);
    const SpeedCorrectionPlan plan = Plan(LineFixes(3, 30)); // 60 m: 30 traces
    ASSERT_EQ(plan.status, Status::Corrected);
    EXPECT_EQ(plan.tracesAfter, 30);
    EXPECT_EQ(host.log, "");
}

TEST_F(SpeedSelection, NoNavigationShowsTheMessageAndNothingElse)
{
    std::vector<FixSpec> specs = LineFixes(4, 10);
    for (FixSpec& f : specs)
        f.y = 0;
    host.expectedMessages = {
        "Input file in.sgy does not contain navigation : cannot output equally spaced shots"};
    const SpeedCorrectionPlan plan = Plan(specs);
    EXPECT_TRUE(recorded.fixes.empty());
    EXPECT_EQ(plan.status, Status::NoNavigation);
    EXPECT_EQ(plan.tracesBefore, 4);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{
                  "Input file in.sgy does not contain navigation : cannot output equally "
                  "spaced shots"});
    EXPECT_EQ(host.log, "");
    EXPECT_EQ(host.chartBegins, 0);
}

// ---------------------------------------------------------------------------
// The job: the written file.

/// A trace of a job's output as the reader gives it.
struct WrittenTrace {
    SegyHeaderType header{};
    float firstSample = 0;
};

std::vector<WrittenTrace> ReadWritten(const std::string& path)
{
    std::vector<WrittenTrace> traces;
    CSegyFileIn in;
    if (!in.Open(path))
        return traces;
    CSegyTrace trace;
    for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1))
        traces.push_back({*trace.header, static_cast<float>(trace.samples.at(0))});
    return traces;
}

class SpeedCorrectedOutput : public CombineJobTest
{
protected:
    SpeedCorrectedOutput()
    {
        m_settings.speed_correction = true;
        m_settings.spacing_mode = SpacingMode::Fixed;
        m_settings.nav_average_fixes = 2;
    }
    /// Runs the job on one fixture input whose first trace is its reference
    /// (not written); returns the output's traces.
    std::vector<WrittenTrace> Correct(const std::vector<FixSpec>& specs, bool bigEndian = true)
    {
        const std::string input = (fs::path(m_in) / "fixes.sgy").string();
        EXPECT_TRUE(WriteFixFile(input, specs, bigEndian));
        m_settings.input_files = {input};
        EXPECT_EQ(Run(), CombineOutcome::Done);
        if (Result().outputs.size() != 1) {
            ADD_FAILURE() << Result().outputs.size() << " outputs";
            return {};
        }
        return ReadWritten(Result().outputs[0].path);
    }
};

class SpeedCorrectedOutputByteOrder : public SpeedCorrectedOutput,
                                      public ::testing::WithParamInterface<bool>
{
};

TEST_P(SpeedCorrectedOutputByteOrder, FiveMetresOnATenMetreLineRepeatsEveryLaterTrace)
{
    m_settings.trace_spacing = 5;
    // Trace 1 is the reference: the output holds traces 2..7, 1 s to 6 s.
    const std::vector<WrittenTrace> out = Correct(LineFixes(7, 10), GetParam());
    ASSERT_EQ(out.size(), kFiveOnTen.size());
    const OutputRecord& record = Result().outputs[0];
    EXPECT_EQ(record.traces, 10);
    EXPECT_EQ(record.traces_before_correction, 6);
    EXPECT_TRUE(record.speed_corrected);
    EXPECT_EQ(record.bytes, 3600 + 10 * (240 + 4 * 4));
    EXPECT_EQ(FilesIn(m_out).size(), 1u);
    const std::string name = fs::path(record.path).filename().string();
    EXPECT_TRUE(name.ends_with("_SC5.0m.sgy")) << name;
    for (std::size_t j = 0; j < out.size(); ++j) {
        const Expected& e = kFiveOnTen[j];
        const SegyHeaderType& h = out[j].header;
        const int source = e.record + 2; // 1-based in the input
        EXPECT_EQ(h.traceSequenceLine, source) << j;
        EXPECT_EQ(out[j].firstSample, static_cast<float>(source)) << j;
        ExpectOnTheLine(
            h, source - 1, e.millisecondOf >= 0 ? 1000 + e.millisecondOf : (source - 1) * 1000, j);
    }
}

INSTANTIATE_TEST_SUITE_P(BigAndLittleEndianInput,
                         SpeedCorrectedOutputByteOrder,
                         ::testing::Bool(),
                         ByteOrderName);

TEST_F(SpeedCorrectedOutput, TwentyMetresTakesEverySecondTraceUnchanged)
{
    m_settings.trace_spacing = 20;
    const std::vector<WrittenTrace> out = Correct(LineFixes(7, 10));
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t j = 0; j < out.size(); ++j) {
        const int source = 2 + 2 * static_cast<int>(j);
        const SegyHeaderType& h = out[j].header;
        EXPECT_EQ(h.traceSequenceLine, source) << j;
        EXPECT_EQ(out[j].firstSample, static_cast<float>(source)) << j;
        EXPECT_EQ(h.sourceX, 500000 + (source - 1) * 10) << j;
        EXPECT_EQ(h.second, source - 1) << j;
        EXPECT_EQ(h.millisecond, 0) << j;
    }
    EXPECT_TRUE(fs::path(Result().outputs[0].path).filename().string().ends_with("_SC20.0m.sgy"));
}

// A stop while writing ends the output before the records its selection was
// decided over: its record tells the records actually taken.
TEST_F(SpeedCorrectedOutput, StopWhileWritingCountsTheRecordsTaken)
{
    m_settings.trace_spacing = 10;
    m_host.onStatus = [this](std::string_view status) {
        if (status == "Input file = fixes.sgy : reading trace 10")
            m_host.stop = true;
    };
    const std::string input = (fs::path(m_in) / "fixes.sgy").string();
    ASSERT_TRUE(WriteFixFile(input, LineFixes(31, 10)));
    m_settings.input_files = {input};

    ASSERT_EQ(Run(), CombineOutcome::Stopped);

    ASSERT_EQ(Result().outputs.size(), 1u);
    const OutputRecord& record = Result().outputs[0];
    EXPECT_EQ(record.traces_before_correction, 11) << "traces 0 to 10, the stop's included";
    EXPECT_EQ(record.traces, static_cast<std::int64_t>(ReadWritten(record.path).size()));
}

TEST_F(SpeedCorrectedOutput, DegreesAreWrittenAsArcSecondsWithTheTraceScalar)
{
    const double step = 0.0001; // about 11.1 m
    m_settings.trace_spacing = 5;
    // The output holds traces 2..13: 12 fixes from 3.0001 degrees east.
    const std::vector<WrittenTrace> out = Correct(ParallelFixes(13, 3.0, step));
    std::vector<llt> fixes;
    ASSERT_EQ(ReadAndBufferTraceHeaderData(m_settings.input_files.at(0), 2, fixes).traces, 13);
    const double d = fixes[2].deltap; // one step, measured
    ASSERT_NEAR(d, 11.13, 0.01);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(std::ceil(11 * d / 5)));
    for (std::size_t j = 1; j < out.size(); ++j) {
        // The point at 5 j metres lies 5 j / d steps along the parallel.
        const double steps = 5.0 * static_cast<double>(j) / d;
        const double fraction = steps - std::floor(steps);
        const SegyHeaderType& h = out[j].header;
        EXPECT_EQ(h.traceSequenceLine,
                  2 + static_cast<int>(std::floor(steps)) + (fraction < 0.5 ? 0 : 1))
            << j;
        EXPECT_EQ(h.coordinateUnits, 2) << j;
        EXPECT_EQ(h.coordinateScalar, -10000) << j;
        EXPECT_NEAR(h.sourceX, (3.0 + step * (1 + steps)) * 3600 * 10000, 2.0) << j;
        EXPECT_NEAR(h.sourceY, 0.5 * 3600 * 10000, 2.0) << j;
        EXPECT_NEAR(h.second * 1000 + h.millisecond, 1000 + std::round(steps * 1000.0), 1.0) << j;
    }
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0].header.coordinateUnits, 3); // f = 0: as recorded
    EXPECT_EQ(out[0].header.sourceX, 30001);
}

// Each output is corrected along its own track, and the front end hears of
// each correction once, when that output is written.
TEST_F(SpeedCorrectedOutput, EachOutputIsCorrectedAlongItsOwnTrackAndToldOnce)
{
    m_settings.trace_spacing = 5;
    // Two lines two hours apart, the second a kilometre further east: two outputs.
    std::vector<FixSpec> later = LineFixes(7, 10);
    for (FixSpec& f : later) {
        f.hour += 2;
        f.x += 1000;
    }
    const std::string a = (fs::path(m_in) / "a.sgy").string();
    const std::string b = (fs::path(m_in) / "b.sgy").string();
    ASSERT_TRUE(WriteFixFile(a, LineFixes(7, 10)));
    ASSERT_TRUE(WriteFixFile(b, later));
    m_settings.input_files = {a, b};

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_EQ(m_host.chartBegins, 2);
    EXPECT_EQ(m_host.chartEnds, 2);
    for (std::size_t k = 0; k < 2; ++k) {
        const OutputRecord& record = Result().outputs[k];
        const std::vector<WrittenTrace> out = ReadWritten(record.path);
        ASSERT_EQ(out.size(), kFiveOnTen.size()) << "output " << k;
        EXPECT_EQ(record.traces, 10) << "output " << k;
        EXPECT_EQ(record.traces_before_correction, 6) << "output " << k;
        // Each written trace is a trace of this output's own line.
        for (std::size_t j = 0; j < out.size(); ++j) {
            const SegyHeaderType& h = out[j].header;
            const int source = kFiveOnTen[j].record + 2;
            EXPECT_EQ(h.traceSequenceLine, source) << k << " " << j;
            EXPECT_EQ(h.sourceX, 500000 + 1000 * static_cast<int>(k) + 10 * (source - 1))
                << k << " " << j;
            EXPECT_EQ(h.hour, 12 + 2 * static_cast<int>(k)) << k << " " << j;
        }
    }
}

// The delay scan goes by the traces the corrected output holds, each as
// often as it is written: a delay seen once among 1600 recorded traces is
// kept in a plain output, but the same trace written twice among about 3200
// is under that output's threshold of 3 and goes. The dry run tells the
// same output.
TEST_F(SpeedCorrectedOutput, DelayScanGoesByTheTracesAsCorrected)
{
    m_settings.trace_spacing = 5;
    m_settings.delayscan = true;
    std::vector<FixSpec> specs = LineFixes(1601, 10);
    specs[800].delay = 900;
    const std::string input = (fs::path(m_in) / "fixes.sgy").string();
    ASSERT_TRUE(WriteFixFile(input, specs));
    m_settings.input_files = {input};
    CCombineJob dry(m_settings, m_host);
    ASSERT_EQ(dry.DryRun(m_out), CombineOutcome::Done);
    const CombineResult plan = dry.Result();

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    const OutputRecord& record = Result().outputs[0];
    const std::vector<WrittenTrace> out = ReadWritten(record.path);
    // 1600 traces over 15990 m at 5 m, less the two copies of trace 801.
    EXPECT_EQ(out.size(), 3198u - 2u);
    EXPECT_EQ(record.traces, static_cast<std::int64_t>(out.size()));
    for (std::size_t j = 0; j < out.size(); ++j)
        ASSERT_EQ(out[j].header.delayRecordingTime, 0) << j;
    EXPECT_EQ(Result().summary.removed_by_delay_scan, 2);
    ASSERT_EQ(plan.outputs.size(), 1u);
    EXPECT_EQ(plan.outputs[0].traces, record.traces);
    EXPECT_EQ(plan.outputs[0].bytes, record.bytes);
    EXPECT_EQ(plan.outputs[0].bytes, static_cast<std::int64_t>(fs::file_size(record.path)));
    EXPECT_EQ(plan.summary.removed_by_delay_scan, 2);
}

} // namespace
} // namespace tessara::test
