// Helpers of the combine tests: survey inputs written by the independent byte
// writer, outputs read back with the reader, and a job run with the recording host.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/combine_settings.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tessara::test
{

/// A trace time stamp.
struct Stamp {
    int day = 100;
    int hour = 10;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int year = 0; ///< 0: the input's year

    [[nodiscard]] double Seconds() const
    {
        return ((day * 24.0 + hour) * 60 + minute) * 60 + second + millisecond / 1000.0;
    }
};

/// `count` stamps from `first`, `stepMs` milliseconds apart.
std::vector<Stamp> Series(Stamp first, int count, int stepMs = 1000);

/// One input file: trace k carries times[k] and the samples SampleValue(id, k, j).
struct InputSpec {
    int id = 1;
    std::vector<Stamp> times;
    int format = 5;
    bool bigEndian = true;
    int samples = 4;
    int intervalUs = 1000;
    int delayMs = 0;
    int year = 2003;
    std::string text = "C 1 TEST SURVEY";
};

/// Sample j of trace k of input `id`: whole numbers, exact in every float format.
[[nodiscard]] inline double SampleValue(int id, int k, int j)
{
    return id * 1000 + k * 10 + j;
}

/// Input `id` with `count` traces from `first`, `stepMs` apart, other fields default.
InputSpec Input(int id, Stamp first, int count, int stepMs = 1000);

using Names = std::vector<std::string>;

/// Writes the input; returns its path.
std::string WriteInput(const std::string& path, const InputSpec& spec);

/// A trace read back from an output.
struct ReadTrace {
    Stamp time;
    int sampleCount = 0;
    int intervalUs = 0;
    int delayMs = 0;
    std::vector<double> samples;
};

/// An output read back with the reader.
struct ReadOutput {
    bool opened = false;
    int format = 0;
    int samplesPerTrace = 0;
    int sampleIntervalUs = 0;
    std::string textStart; ///< first 40 characters of the text header
    std::vector<ReadTrace> traces;
};

ReadOutput ReadBack(const std::string& path);

/// Names of the files in `dir`, sorted.
std::vector<std::string> FilesIn(const std::string& dir);

/// Lines joined with the log's CR LF, each line ended by it.
std::string LogLines(const std::vector<std::string>& lines);
/// The log block that starts every readable input.
std::string ProcessingBlock(const std::string& path, int samples);

/// Every trace read is accounted for.
void ExpectAccounted(const CombineSummary& s);

/// Output directory, input directory, settings and host of one job test.
class CombineJobTest : public ::testing::Test
{
protected:
    CombineJobTest();

    /// Writes input `spec` as in/<name> and appends it to the settings' list.
    std::string AddInput(const std::string& name, const InputSpec& spec);
    /// Runs the job; after a job that ends Done, no working file remains.
    CombineOutcome Run();
    [[nodiscard]] const CombineResult& Result() const { return m_job->Result(); }
    [[nodiscard]] std::string Out(const std::string& name) const;
    /// Expects input `spec`'s traces `first`..`last` (inclusive) as `traces`
    /// from position `at` on, headers and samples.
    static void
    ExpectTraces(const ReadOutput& out, std::size_t at, const InputSpec& spec, int first, int last);

    TempDir m_tmp;
    std::string m_in;
    std::string m_out;
    CombineSettings m_settings;
    CRecordingHost m_host;
    std::unique_ptr<CCombineJob> m_job;
};

} // namespace tessara::test
