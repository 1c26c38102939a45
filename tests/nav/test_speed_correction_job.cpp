// The combine job with speed correction on a generated survey: every output
// trace checked against the same survey combined without the correction, and
// the job's handling of inputs and outputs the correction cannot use.
#include "combine/api/combine_job.h"
#include "segy/io/segy_file_in.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

struct JobTrace {
    std::int32_t line = 0; // traceSequenceLine: unique per generated trace
    double seconds = 0;    // seconds of year with milliseconds
    int units = 0;
    int scalar = 0;
    double x = 0; // sourceX as stored
    double y = 0;
    std::vector<double> samples;
};

std::vector<JobTrace> ReadJobTraces(const std::string& path)
{
    std::vector<JobTrace> traces;
    CSegyFileIn in;
    if (!in.Open(path))
        return traces;
    CSegyTrace trace;
    for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1)) {
        const SegyHeaderType& h = *trace.header;
        JobTrace t;
        t.line = h.traceSequenceLine;
        t.seconds = SecondsOfYear(h);
        t.units = h.coordinateUnits;
        t.scalar = h.coordinateScalar;
        t.x = h.sourceX;
        t.y = h.sourceY;
        t.samples.assign(trace.samples.begin(),
                         trace.samples.begin() + static_cast<std::ptrdiff_t>(h.sampleCount));
        traces.push_back(std::move(t));
    }
    return traces;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SpeedCorrectedJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(in);
        fs::create_directories(plain);
        fs::create_directories(corrected);
        survey.outDir = in;
        survey.fileCount = 2;
        survey.tracesPerFile = 150;
        survey.samplesPerTrace = 8;
        survey.formatCode = 5;
        survey.pingIntervalS = 1.0;
        survey.speedMps = 2.0;
        survey.speedChanges = {{90.0, 6.0}, {200.0, 3.0}};
        survey.coordinateUnits = synth::CoordinateUnits::ArcSeconds;
        settings.Expedition = "SC";
        settings.delayscan = false;
    }

    void Generate()
    {
        const synth::SurveyResult r = synth::WriteSurvey(survey);
        ASSERT_TRUE(r.ok) << r.error;
        for (const synth::SynthFile& f : r.files)
            settings.input_files.push_back(f.path.string());
    }

    CombineOutcome Run(const std::string& outDir)
    {
        CCombineJob job(settings, host);
        const CombineOutcome outcome = job.Run(outDir);
        result = job.Result();
        return outcome;
    }

    TempDir dir;
    std::string in = dir.File("in");
    std::string plain = dir.File("plain");
    std::string corrected = dir.File("corrected");
    synth::SurveyOptions survey;
    CombineSettings settings;
    CRecordingHost host;
    CombineResult result;
};

TEST_F(SpeedCorrectedJob, EveryTraceStandsAtTheNextFiveMetresWithItsTimeAndPosition)
{
    Generate();
    ASSERT_EQ(Run(plain), CombineOutcome::Done);
    ASSERT_EQ(result.outputs.size(), 1u);
    const std::string plainName = fs::path(result.outputs[0].path).filename().string();
    const std::vector<JobTrace> raw = ReadJobTraces(result.outputs[0].path);
    ASSERT_EQ(raw.size(), 298u); // two reference traces are not written

    settings.speed_correction = true;
    settings.spacing_mode = SpacingMode::Fixed;
    settings.trace_spacing = 5.0;
    // The narrowest smoothing: a centred mean over a change of speed moves
    // the track along itself by up to 2.4 m here (4 m/s more over 5 fixes).
    settings.nav_average_fixes = 2;
    ASSERT_EQ(Run(corrected), CombineOutcome::Done);
    ASSERT_EQ(result.outputs.size(), 1u);
    const OutputRecord& record = result.outputs[0];
    const std::string stem = plainName.substr(0, plainName.size() - 4);
    EXPECT_EQ(FilesIn(corrected), std::vector<std::string>{stem + "_SC5.0m.sgy"});
    EXPECT_TRUE(record.speed_corrected);
    EXPECT_EQ(record.spacing_metres, 5.0);
    EXPECT_EQ(record.traces_before_correction, 298);
    const std::vector<JobTrace> out = ReadJobTraces(record.path);
    EXPECT_EQ(record.traces, static_cast<std::int64_t>(out.size()));
    EXPECT_EQ(host.chartBegins, 1);
    EXPECT_EQ(host.chartFixes.size(), 298u);
    EXPECT_EQ(host.log.find("Not speed corrected"), std::string::npos);

    std::map<std::int32_t, const JobTrace*> byLine;
    for (const JobTrace& t : raw)
        byLine[t.line] = &t;
    // Arc seconds * 100 to metres, near 54.5 degrees north.
    const double northMetres = 30.87 / 100.0;
    const double eastMetres = northMetres * std::cos(54.5 * M_PI / 180.0);
    // From 1 s on, 2 m/s to 90 s, 6 m/s to 200 s, then 3 m/s to 299 s: some
    // 1135 m, so some 227 traces at 5 m.
    ASSERT_GT(out.size(), 215u);
    ASSERT_LT(out.size(), 240u);
    const double start = raw.front().seconds;
    int interpolated = 0;
    int offStep = 0;
    for (std::size_t j = 0; j < out.size(); ++j) {
        const JobTrace& t = out[j];
        ASSERT_EQ(byLine.count(t.line), 1u) << j;
        const JobTrace& source = *byLine[t.line];
        EXPECT_EQ(t.samples, source.samples) << j;
        EXPECT_EQ(t.scalar, -100) << j;
        EXPECT_EQ(t.units, 2) << j;
        // The nearest recorded trace lies within about half a ping.
        EXPECT_LE(std::fabs(t.seconds - source.seconds), 0.6) << j;
        // The position at the trace's time on the recorded track, within
        // what the smoothing moves it.
        // The recorded traces around the trace's time (the second input's
        // reference trace is not among them).
        auto after =
            std::lower_bound(raw.begin(), raw.end(), t.seconds, [](const JobTrace& r, double s) {
                return r.seconds < s;
            });
        ASSERT_NE(after, raw.end()) << j;
        const JobTrace& b = *after;
        const JobTrace& a = after == raw.begin() ? b : *(after - 1);
        const double w =
            b.seconds > a.seconds ? (t.seconds - a.seconds) / (b.seconds - a.seconds) : 0.0;
        const double x = a.x + w * (b.x - a.x);
        const double y = a.y + w * (b.y - a.y);
        EXPECT_LT(std::hypot((t.x - x) * eastMetres, (t.y - y) * northMetres), 3.0) << j;
        if (t.seconds != source.seconds)
            ++interpolated;
        // Successive traces 5 m apart along the generated track. Where the
        // speed changes, and across the second input's missing reference
        // trace, the smoothing of the positions by fix index shifts the
        // track against its times by a few metres.
        if (j > 0) {
            const double step = synth::AlongTrackMetres(survey, t.seconds - start) -
                                synth::AlongTrackMetres(survey, out[j - 1].seconds - start);
            EXPECT_NEAR(step, 5.0, 3.5) << j;
            if (std::fabs(step - 5.0) > 1.0)
                ++offStep;
        }
    }
    EXPECT_LE(offStep, 12);
    EXPECT_GT(interpolated, static_cast<int>(out.size()) / 2);
}

TEST_F(SpeedCorrectedJob, InputsWithoutNavigationAreSkippedAndUnreadableOnesReported)
{
    survey.fileCount = 1;
    survey.tracesPerFile = 40;
    Generate();
    synth::SurveyOptions noNav = survey;
    noNav.outDir = dir.File("nonav");
    noNav.missingNavRate = 1.0;
    noNav.firstSequence = 7;
    const synth::SurveyResult r = synth::WriteSurvey(noNav);
    ASSERT_TRUE(r.ok) << r.error;
    settings.input_files.push_back(r.files[0].path.string());
    settings.input_files.push_back(dir.File("missing.sgy"));
    settings.speed_correction = true;
    ASSERT_EQ(Run(corrected), CombineOutcome::Done);
    EXPECT_EQ(result.summary.inputs_without_navigation, 1);
    EXPECT_EQ(result.summary.inputs_unreadable, 1);
    EXPECT_NE(host.log.find("Processing file " + dir.File("missing.sgy") +
                            "\r\n\tNot a readable SEG-Y file: skipped\r\n"),
              std::string::npos);
    EXPECT_EQ(host.log.find(r.files[0].path.string()), std::string::npos);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SpeedCorrectedJob, CompositeThatCannotBeCorrectedKeepsItsPlainName)
{
    // Every ping at one place: the median spacing is 0.
    std::vector<FixSpec> specs = LineFixes(8, 0);
    ASSERT_TRUE(WriteFixFile(dir.File("still.sgy"), specs));
    settings.input_files.push_back(dir.File("still.sgy"));
    ASSERT_EQ(Run(plain), CombineOutcome::Done);
    const std::string plainName = fs::path(result.outputs.at(0).path).filename().string();
    settings.speed_correction = true;
    ASSERT_EQ(Run(corrected), CombineOutcome::Done);
    EXPECT_EQ(FilesIn(corrected), std::vector<std::string>{plainName});
    EXPECT_FALSE(result.outputs.at(0).speed_corrected);
    EXPECT_NE(host.log.find("\tNot speed corrected: median trace spacing is not above 0\r\n"),
              std::string::npos);
}

TEST_F(SpeedCorrectedJob, WriteFailureWhileTheCorrectedOutputStreamsLeavesNoFinalName)
{
    survey.fileCount = 1;
    survey.tracesPerFile = 200;
    survey.speedMps = 10.0; // 10 m a ping at 5 m: twice the traces
    survey.speedChanges.clear();
    Generate();
    ASSERT_EQ(Run(plain), CombineOutcome::Done);
    const std::int64_t plainBytes = result.outputs.at(0).bytes;
    settings.speed_correction = true;
    settings.spacing_mode = SpacingMode::Fixed;
    const std::string working = (fs::path(corrected) / "SegyOut.sgy").string();
    // Room for the plain output, not for the corrected one, twice its size.
    const ChildEnd end = RunInChild(
        [&] {
            CRecordingHost childHost;
            childHost.expectedMessages = {"Cannot write " + working};
            CCombineJob job(settings, childHost);
            if (job.Run(corrected) != CombineOutcome::WriteFailed)
                return 10;
            if (childHost.messages != std::vector<std::string>{"Cannot write " + working})
                return 11;
            if (!job.Result().outputs.empty())
                return 12;
            return 0;
        },
        {plainBytes + 1000});
    EXPECT_EQ(end.code, 0);
    // At most the unfinished working file, under the working name.
    for (const std::string& name : FilesIn(corrected))
        EXPECT_EQ(name, "SegyOut.sgy");
}

} // namespace
} // namespace tessara::test
