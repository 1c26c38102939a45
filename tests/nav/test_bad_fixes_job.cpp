// The combine job with speed correction on files with bad positions, alone,
// in runs or off the globe: the corrected file holds as many traces as
// without them, and a spacing that would multiply the traces leaves the
// composite uncorrected.
#include "combine/api/combine_job.h"
#include "combine/speed_selection.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

class BadFixJob : public ::testing::Test
{
protected:
    /// Runs the job on one input into a new folder `name`.
    CombineOutcome Run(const std::string& input, const std::string& name)
    {
        settings.input_files = {input};
        host = CRecordingHost{};
        fs::create_directories(dir.File(name));
        CCombineJob job(settings, host);
        const CombineOutcome outcome = job.Run(dir.File(name));
        result = job.Result();
        return outcome;
    }

    std::string OnlyFileName() const
    {
        return result.outputs.size() == 1
                   ? fs::path(result.outputs[0].path).filename().string()
                   : std::string("(" + std::to_string(result.outputs.size()) + " outputs)");
    }

    void SetUp() override
    {
        settings.Expedition = "BF";
        settings.delayscan = false;
        settings.speed_correction = true;
        settings.nav_average_fixes = 2;
    }

    TempDir dir;
    CombineSettings settings;
    CRecordingHost host;
    CombineResult result;
};

/// A line north from 54.5 N 10.25 E in decimal degrees at scalar -10000:
/// 0.0001 degrees (about 11 m) a second.
std::vector<FixSpec> GeographicLine(int count)
{
    std::vector<FixSpec> specs = LineFixes(count, 0);
    for (int i = 0; i < count; ++i) {
        specs[static_cast<std::size_t>(i)].units = 3;
        specs[static_cast<std::size_t>(i)].scalar = -10000;
        specs[static_cast<std::size_t>(i)].x = 102500;
        specs[static_cast<std::size_t>(i)].y = 545000 + i;
    }
    return specs;
}

struct BadFixCase {
    const char* name;
    bool geographic;
    std::size_t trace; // 0-based in the file; trace 0 is the job's reference
    std::size_t count; // traces spoilt from there on
    std::function<void(FixSpec&)> spoil;
    int dropped; // without navigation
    int spikes;  // repaired by the spike rule
};

class OneBadPosition : public BadFixJob, public ::testing::WithParamInterface<BadFixCase>
{
};

// One wrong position made the correction repeat the traces around it until
// the spacing had covered a track of thousands of kilometres.
TEST_P(OneBadPosition, DoesNotMultiplyTraces)
{
    const BadFixCase& c = GetParam();
    std::vector<FixSpec> specs = c.geographic ? GeographicLine(40) : LineFixes(40, 10);
    ASSERT_TRUE(WriteFixFile(dir.File("clean.sgy"), specs));
    for (std::size_t k = c.trace; k < c.trace + c.count; ++k)
        c.spoil(specs[k]);
    ASSERT_TRUE(WriteFixFile(dir.File("bad.sgy"), specs));

    ASSERT_EQ(Run(dir.File("clean.sgy"), "clean"), CombineOutcome::Done);
    ASSERT_EQ(result.outputs.size(), 1u);
    const std::int64_t clean = result.outputs[0].traces;
    ASSERT_GT(clean, 30);

    ASSERT_EQ(Run(dir.File("bad.sgy"), "bad"), CombineOutcome::Done);
    ASSERT_EQ(result.outputs.size(), 1u) << host.log;
    EXPECT_TRUE(result.outputs[0].speed_corrected) << host.log;
    EXPECT_EQ(result.outputs[0].traces_before_correction, 39 - c.dropped);
    EXPECT_EQ(result.summary.dropped_navigation, c.dropped);
    // The last fix cannot be repaired, only left out of the distance: the
    // track is one step shorter. A track without some fixes may end just
    // short of a multiple of the spacing.
    EXPECT_LE(result.outputs[0].traces, clean);
    EXPECT_GE(result.outputs[0].traces, clean - (c.spikes == 0 ? 2 : 0));
    const std::string repaired = "\tNavigation spikes repaired: " + std::to_string(c.spikes);
    EXPECT_EQ(host.log.find(repaired + "\r\n") != std::string::npos, c.spikes > 0) << host.log;
}

INSTANTIATE_TEST_SUITE_P(
    Positions,
    OneBadPosition,
    ::testing::Values(
        // +10 instead of -10000: a latitude of 5.45 million degrees.
        BadFixCase{"ScalarSlip", true, 20, 1, [](FixSpec& f) { f.scalar = 10; }, 1, 0},
        BadFixCase{"CoordinatesOneOne",
                   true,
                   20,
                   1,
                   [](FixSpec& f) {
                       f.x = 1;
                       f.y = 1;
                   },
                   0,
                   1},
        BadFixCase{"ProjectedEasting2e9", false, 20, 1, [](FixSpec& f) { f.x = 2000000000; }, 0, 1},
        BadFixCase{"LastFixEasting2e9", false, 39, 1, [](FixSpec& f) { f.x = 2000000000; }, 0, 0},
        // Latitude 99.9999, a recorder's fill value.
        BadFixCase{"FillValueTwice", true, 20, 2, [](FixSpec& f) { f.y = 999999; }, 2, 0},
        BadFixCase{"RunOfTen", false, 15, 10, [](FixSpec& f) { f.x += 8000; }, 0, 10}),
    [](const auto& p) { return std::string(p.param.name); });

// A position the repairs cannot mend would be spread by the smoothing and
// cost the traces around it: the output is not corrected at all.
TEST_F(BadFixJob, PositionThatIsNotANumberLeavesTheOutputUncorrected)
{
    std::vector<llt> fixes;
    for (std::int64_t i = 0; i < 20; ++i) {
        llt f;
        f.isUTM = true;
        f.position = i;
        f.t = CTimestamp::FromTicks(631'770'624'000'000'000 + i * 10'000'000);
        f.x = f.lon = i == 0 ? std::nan("") : 500000.0 + 10.0 * static_cast<double>(i);
        fixes.push_back(f);
    }
    const SpeedCorrectionPlan plan =
        PlanSpeedCorrection(settings, host, fixes, 20, std::vector<std::int16_t>(20), "in.sgy");
    EXPECT_EQ(plan.status, SpeedCorrectionPlan::Status::PositionsUnusable);
    // Half-width 2: the mean of fixes 0..4 at fix 2 takes the first fix in.
    EXPECT_EQ(host.log, "\tNot speed corrected: 2 positions could not be used\r\n");
    EXPECT_EQ(host.chartBegins, 0);
}

TEST_F(BadFixJob, SpacingThatWouldMultiplyTheTracesTenfoldLeavesTheComposite)
{
    // 19 traces 40 m apart (the first is the reference), 720 m of track:
    // 2 m would give 360 traces. A spike on the way is repaired first.
    std::vector<FixSpec> specs = LineFixes(20, 40);
    specs[10].x = 2000000000;
    ASSERT_TRUE(WriteFixFile(dir.File("in.sgy"), specs));
    settings.speed_correction = false;
    ASSERT_EQ(Run(dir.File("in.sgy"), "plain"), CombineOutcome::Done);
    const std::string plainName = OnlyFileName();
    const std::vector<unsigned char> plainBytes = ReadFileBytes(result.outputs.at(0).path);

    settings.speed_correction = true;
    settings.spacing_mode = SpacingMode::Fixed;
    settings.trace_spacing = 2.0;
    ASSERT_EQ(Run(dir.File("in.sgy"), "corrected"), CombineOutcome::Done);
    EXPECT_EQ(OnlyFileName(), plainName);
    EXPECT_FALSE(result.outputs.at(0).speed_corrected);
    EXPECT_EQ(result.outputs.at(0).traces, 19);
    EXPECT_EQ(ReadFileBytes(result.outputs.at(0).path), plainBytes);
    EXPECT_NE(host.log.find("\tNavigation spikes repaired: 1\r\n\tNot speed corrected: the "
                            "corrected file would hold 360 traces from 19, more than ten times "
                            "as many\r\n"),
              std::string::npos)
        << host.log;
    EXPECT_FALSE(fs::exists(dir.File("corrected/SegyOut.sgy.tmp")));
}

TEST_F(BadFixJob, TenTimesAsManyTracesIsStillWritten)
{
    // 1800 m at 9.5 m: 190 traces from 19; at 9.4 m: 192.
    ASSERT_TRUE(WriteFixFile(dir.File("in.sgy"), LineFixes(20, 100)));
    settings.spacing_mode = SpacingMode::Fixed;
    settings.trace_spacing = 9.5;
    ASSERT_EQ(Run(dir.File("in.sgy"), "at"), CombineOutcome::Done);
    EXPECT_TRUE(result.outputs.at(0).speed_corrected) << host.log;
    EXPECT_EQ(result.outputs.at(0).traces, 190);
    settings.trace_spacing = 9.4;
    ASSERT_EQ(Run(dir.File("in.sgy"), "above"), CombineOutcome::Done);
    EXPECT_FALSE(result.outputs.at(0).speed_corrected);
    EXPECT_NE(host.log.find("\tNot speed corrected: the corrected file would hold 192 traces "
                            "from 19, more than ten times as many\r\n"),
              std::string::npos)
        << host.log;
}

TEST_F(BadFixJob, GeneratedSpikeIsRepairedAndScalarSlipLeftOut)
{
    synth::SurveyOptions survey;
    survey.outDir = dir.File("clean-in");
    survey.fileCount = 1;
    survey.tracesPerFile = 200;
    survey.samplesPerTrace = 8;
    survey.formatCode = 5;
    survey.pingIntervalS = 1.0;
    survey.speedMps = 3.0;
    const synth::SurveyResult clean = synth::WriteSurvey(survey);
    ASSERT_TRUE(clean.ok) << clean.error;
    survey.outDir = dir.File("bad-in");
    survey.spikeTrace = 60;
    survey.spikeMetres = 8000.0;
    survey.scalarSlipTrace = 140;
    survey.slipScalar = 10; // arc seconds stored at -100
    const synth::SurveyResult bad = synth::WriteSurvey(survey);
    ASSERT_TRUE(bad.ok) << bad.error;

    settings.spacing_mode = SpacingMode::Fixed;
    settings.trace_spacing = 2.0;
    ASSERT_EQ(Run(clean.files.at(0).path.string(), "clean"), CombineOutcome::Done);
    const std::int64_t cleanTraces = result.outputs.at(0).traces;
    ASSERT_GT(cleanTraces, 250); // about 597 m at 2 m
    ASSERT_EQ(Run(bad.files.at(0).path.string(), "bad"), CombineOutcome::Done);
    EXPECT_TRUE(result.outputs.at(0).speed_corrected) << host.log;
    // The slipped scalar puts its trace off the globe: no position at all.
    EXPECT_NE(host.log.find("\tNavigation spikes repaired: 1\r\n"), std::string::npos) << host.log;
    EXPECT_EQ(result.summary.dropped_navigation, 1);
    EXPECT_NEAR(
        static_cast<double>(result.outputs.at(0).traces), static_cast<double>(cleanTraces), 1.0);
}

} // namespace
} // namespace tessara::test
