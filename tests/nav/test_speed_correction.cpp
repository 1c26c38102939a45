// The speed-corrected rewrite: which recorded trace stands at each multiple
// of the spacing, how its header is interpolated, when the correction gives
// up, and that the composite is never lost or half-replaced.
#include "nav/navigation.h"
#include "nav/speed_correction.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;
using Status = SpeedCorrectionResult::Status;

// ---------------------------------------------------------------------------
// Spacing choice and its text.

struct MedianCase {
    std::vector<double> deltap;
    double median;
};

class MedianSpacing : public ::testing::TestWithParam<MedianCase>
{
};

TEST_P(MedianSpacing, IsTheUpperMedian)
{
    std::vector<llt> fixes;
    for (double d : GetParam().deltap) {
        fixes.emplace_back();
        fixes.back().deltap = d;
    }
    EXPECT_EQ(ChooseSpacing(fixes, CombineSettings{}), GetParam().median);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Lists,
                         MedianSpacing,
                         ::testing::Values(MedianCase{{9, 1, 3, 2, 4, 1, 3}, 3.0},
                                           MedianCase{{6, 5, 4, 3, 2, 1}, 4.0},
                                           MedianCase{{kNaN, 2, 1}, 2.0},
                                           MedianCase{{0, 0, 7}, 0.0}));

TEST(ChooseSpacing, FixedModeTakesTheTraceSpacing)
{
    CombineSettings s;
    s.spacing_mode = SpacingMode::Fixed;
    s.trace_spacing = 7.25;
    EXPECT_EQ(ChooseSpacing(std::vector<llt>(3), s), 7.25);
}

struct TextCase {
    double metres;
    const char* text;
};

class SpacingTextTable : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(SpacingTextTable, OneDecimalHalvesAwayFromZero)
{
    EXPECT_EQ(SpacingText(GetParam().metres), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values,
                         SpacingTextTable,
                         ::testing::Values(TextCase{2.25, "2.3"},
                                           TextCase{1.25, "1.3"},
                                           TextCase{0.15, "0.2"},
                                           TextCase{5.0, "5.0"},
                                           TextCase{2.5, "2.5"},
                                           TextCase{4.87, "4.9"},
                                           TextCase{4.84999, "4.8"},
                                           TextCase{0.04, "0.0"},
                                           TextCase{123456.75, "123456.8"}));

// ---------------------------------------------------------------------------
// The rewrite.

class SpeedCorrection : public ::testing::Test
{
protected:
    SpeedCorrectionResult Correct()
    {
        return CreatSpeedCorrectedSegy(settings, host, path, "in.sgy");
    }
    void UseFixedSpacing(double metres)
    {
        settings.spacing_mode = SpacingMode::Fixed;
        settings.trace_spacing = metres;
    }

    TempDir dir;
    std::string path = dir.File("SegyOut.sgy");
    std::string temporary = path + ".tmp";
    CombineSettings settings;
    CRecordingHost host;
};

struct Written {
    int source;        // 1-based recorded trace
    int millisecondOf; // ms after 12:00:00 of the time written, -1 for the recorded time
};

class SpeedCorrectionByteOrder : public SpeedCorrection, public ::testing::WithParamInterface<bool>
{
};

TEST_P(SpeedCorrectionByteOrder, FiveMetresOnATenMetreLineRepeatsEveryLaterTrace)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(6, 10), GetParam()));
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    const SpeedCorrectionResult r = Correct();
    ASSERT_EQ(r.status, Status::Corrected);
    EXPECT_EQ(r.spacingMetres, 5.0);
    EXPECT_EQ(r.tracesBefore, 6);
    EXPECT_EQ(r.tracesAfter, 10);
    EXPECT_EQ(host.log, "");
    EXPECT_FALSE(fs::exists(temporary));

    // The first trace once as recorded; every later one first halfway back
    // (f = 0.5 takes the later trace), then as recorded; the last only halfway.
    const std::vector<Written> expected{{1, -1},
                                        {2, 500},
                                        {2, -1},
                                        {3, 1500},
                                        {3, -1},
                                        {4, 2500},
                                        {4, -1},
                                        {5, 3500},
                                        {5, -1},
                                        {6, 4500}};
    const std::vector<TraceFields> out = ReadBackTraces(path);
    ASSERT_EQ(out.size(), expected.size());
    for (std::size_t j = 0; j < out.size(); ++j) {
        const int source = expected[j].source;
        EXPECT_EQ(out[j].source, source) << j;
        EXPECT_EQ(out[j].firstSample, static_cast<float>(source)) << j;
        // Projected coordinates stay as recorded.
        EXPECT_EQ(out[j].x, 500000 + (source - 1) * 10) << j;
        EXPECT_EQ(out[j].units, 1) << j;
        const int ms =
            expected[j].millisecondOf >= 0 ? expected[j].millisecondOf : (source - 1) * 1000;
        EXPECT_EQ(out[j].second, ms / 1000) << j;
        EXPECT_EQ(out[j].ms, ms % 1000) << j;
        EXPECT_EQ(out[j].day, 100) << j;
        EXPECT_EQ(out[j].year, 2003) << j;
    }
}

INSTANTIATE_TEST_SUITE_P(BigAndLittleEndianComposite,
                         SpeedCorrectionByteOrder,
                         ::testing::Bool(),
                         [](const auto& p) {
                             return std::string(p.param ? "BigEndian" : "LittleEndian");
                         });

TEST_F(SpeedCorrection, TwentyMetresTakesEverySecondTraceUnchanged)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(6, 10)));
    UseFixedSpacing(20);
    const SpeedCorrectionResult r = Correct();
    ASSERT_EQ(r.status, Status::Corrected);
    const std::vector<TraceFields> out = ReadBackTraces(path);
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t j = 0; j < out.size(); ++j) {
        EXPECT_EQ(out[j].source, static_cast<int>(2 * j + 1));
        EXPECT_EQ(out[j].second, static_cast<int>(2 * j));
        EXPECT_EQ(out[j].ms, 0);
    }
}

TEST_F(SpeedCorrection, ChartGetsTitleFixesAndSpacingLine)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(6, 10)));
    UseFixedSpacing(5);
    ASSERT_EQ(Correct().status, Status::Corrected);
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

TEST_F(SpeedCorrection, DegreesAreRewrittenAsArcSecondsWithTheTraceScalar)
{
    const double step = 0.0001; // about 11.1 m
    ASSERT_TRUE(WriteFixFile(path, ParallelFixes(12, 3.0, step)));
    std::vector<llt> fixes;
    ASSERT_EQ(ReadAndBufferTraceHeaderData(path, 2, fixes).traces, 12);
    const double d = fixes[1].deltap; // one step, measured
    ASSERT_NEAR(d, 11.13, 0.01);
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    ASSERT_EQ(Correct().status, Status::Corrected);

    const std::vector<TraceFields> out = ReadBackTraces(path);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(std::ceil(11 * d / 5)));
    for (std::size_t j = 1; j < out.size(); ++j) {
        // The point at 5 j metres lies 5 j / d steps along the parallel.
        const double steps = 5.0 * static_cast<double>(j) / d;
        const double fraction = steps - std::floor(steps);
        const int source = static_cast<int>(std::floor(steps)) + (fraction < 0.5 ? 1 : 2);
        EXPECT_EQ(out[j].source, source) << j;
        EXPECT_EQ(out[j].units, 2) << j;
        EXPECT_EQ(out[j].scalar, -10000) << j;
        EXPECT_NEAR(out[j].x, (3.0 + step * steps) * 3600 * 10000, 2.0) << j;
        EXPECT_NEAR(out[j].y, 0.5 * 3600 * 10000, 2.0) << j;
        const double ms = std::round(steps * 1000.0);
        EXPECT_NEAR(out[j].second * 1000 + out[j].ms, ms, 1.0) << j;
    }
    EXPECT_EQ(out[0].units, 3); // f = 0: as recorded
    EXPECT_EQ(out[0].x, 30000);
}

TEST_F(SpeedCorrection, PositionTooLargeForTheFieldsKeepsTheRecordedOne)
{
    // 60 degrees in seconds of arc with scalar -10000 is 2.16e9: no 32-bit field.
    const std::vector<FixSpec> specs = ParallelFixes(8, 60.0, 0.0001);
    ASSERT_TRUE(WriteFixFile(path, specs));
    UseFixedSpacing(5);
    settings.nav_average_fixes = 2;
    ASSERT_EQ(Correct().status, Status::Corrected);
    const std::vector<TraceFields> out = ReadBackTraces(path);
    ASSERT_GT(out.size(), 2u);
    const TraceFields& t = out[1]; // 5 m along: about 0.45 of a step, trace 1
    EXPECT_EQ(t.source, 1);
    EXPECT_EQ(t.units, 3);
    EXPECT_EQ(t.x, specs[0].x);
    EXPECT_EQ(t.y, specs[0].y);
    EXPECT_NEAR(t.ms, 449, 1); // the time is still interpolated
}

TEST_F(SpeedCorrection, InterpolatedTimeBeforeYearOneKeepsTheRecordedTime)
{
    std::vector<FixSpec> specs = LineFixes(6, 10);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        specs[i].year = 0; // unusable: placeholders -60, -50, ... ticks
        specs[i].sequence = -60 + 10 * static_cast<int>(i);
    }
    ASSERT_TRUE(WriteFixFile(path, specs));
    UseFixedSpacing(5);
    ASSERT_EQ(Correct().status, Status::Corrected);
    const std::vector<TraceFields> out = ReadBackTraces(path);
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out[1].source, 2);
    EXPECT_EQ(out[1].second, 1); // trace 2's own time
    EXPECT_EQ(out[1].ms, 0);
    EXPECT_EQ(out[1].year, 0);
}

TEST_F(SpeedCorrection, LeftoverTemporaryFileIsReplaced)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(6, 10)));
    {
        std::ofstream leftover(temporary);
        leftover << "from an earlier run";
    }
    UseFixedSpacing(5);
    ASSERT_EQ(Correct().status, Status::Corrected);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(ReadBackTraces(path).size(), 10u);
}

// ---------------------------------------------------------------------------
// Composites that are left as they are.

struct GiveUpCase {
    const char* name;
    std::vector<FixSpec> fixes;
    bool fixedSpacing;
    Status status;
    const char* log;
};

class SpeedCorrectionGivesUp : public SpeedCorrection,
                               public ::testing::WithParamInterface<GiveUpCase>
{
};

TEST_P(SpeedCorrectionGivesUp, LeavesTheCompositeAndLogsWhy)
{
    const GiveUpCase& c = GetParam();
    ASSERT_TRUE(WriteFixFile(path, c.fixes));
    const std::vector<unsigned char> before = ReadFileBytes(path);
    if (c.fixedSpacing)
        UseFixedSpacing(5);
    const SpeedCorrectionResult r = Correct();
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(host.log, c.log);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(fs::exists(temporary));
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
    SpeedCorrectionGivesUp,
    ::testing::Values(GiveUpCase{"OneFix",
                                 LineFixes(1, 10),
                                 false,
                                 Status::TooFewFixes,
                                 "\tNot speed corrected: fewer than two navigation fixes\r\n"},
                      GiveUpCase{"CoincidingFixes",
                                 SamePlace(7),
                                 false,
                                 Status::SpacingNotPositive,
                                 "\tNot speed corrected: median trace spacing is not above 0\r\n"},
                      GiveUpCase{"TwoFixesHaveNoLength",
                                 LineFixes(2, 10),
                                 true,
                                 Status::NoTrackLength,
                                 "\tNot speed corrected: the track has no length\r\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SpeedCorrection, NoNavigationShowsTheMessageAndLeavesTheFile)
{
    std::vector<FixSpec> specs = LineFixes(4, 10);
    for (FixSpec& f : specs)
        f.y = 0;
    ASSERT_TRUE(WriteFixFile(path, specs));
    const std::vector<unsigned char> before = ReadFileBytes(path);
    host.expectedMessages = {"Input file in.sgy does not contain navigation : cannot output "
                             "equally spaced shots"};
    const SpeedCorrectionResult r = Correct();
    EXPECT_EQ(r.status, Status::NoNavigation);
    EXPECT_EQ(host.messages, host.expectedMessages);
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(SpeedCorrection, UnreadableCompositeIsReportedNotTouched)
{
    const SpeedCorrectionResult r = Correct();
    EXPECT_EQ(r.status, Status::ReadFailed);
    EXPECT_EQ(r.failedPath, path);
    EXPECT_FALSE(fs::exists(temporary));
}

// Child exit codes of the write failure, for the parent's message.
enum ChildResult {
    kChildAsExpected = 0,
    kChildNotFailed = 10,
    kChildWrongPath = 11,
    kChildCompositeChanged = 12,
    kChildTemporaryLeft = 13,
};

TEST_F(SpeedCorrection, WriteFailureDuringTheRewriteLeavesTheCompositeWhole)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(200, 10)));
    const std::vector<unsigned char> before = ReadFileBytes(path);
    UseFixedSpacing(5); // the corrected file is about twice the composite
    const ChildEnd end = RunInChild(
        [&] {
            const SpeedCorrectionResult r = Correct();
            if (r.status != Status::WriteFailed)
                return kChildNotFailed;
            if (r.failedPath != temporary)
                return kChildWrongPath;
            if (ReadFileBytes(path) != before)
                return kChildCompositeChanged;
            if (fs::exists(temporary))
                return kChildTemporaryLeft;
            return kChildAsExpected;
        },
        {static_cast<long long>(before.size())});
    EXPECT_EQ(end.code, kChildAsExpected);
    EXPECT_EQ(ReadFileBytes(path), before);
}

} // namespace
} // namespace tessara::test
