// Resampling on several threads: the job must write the same bytes and the
// same log as resampling trace by trace, also when a write fails midway.
#include "combine/read_ahead.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Everything a job leaves: its outcome and summary line, its log, and the
// bytes of every file in its output directory.
struct JobTrace {
    CombineOutcome outcome = CombineOutcome::Done;
    std::int64_t written = 0;
    std::int64_t droppedResampling = 0;
    std::string log; // the output directory's path replaced by OUT
    std::map<std::string, std::string> files;
};

std::string WithoutDirectory(std::string log, const std::string& dir)
{
    for (std::size_t at = log.find(dir); at != std::string::npos; at = log.find(dir, at))
        log.replace(at, dir.size(), "OUT");
    return log;
}

class ReadAheadTest : public CombineJobTest
{
protected:
    ~ReadAheadTest() override { SetResamplingThreads(0); }

    // Inputs of several intervals, byte orders and formats, all in one
    // output but for a two-hour gap; `e` cannot be resampled (too many
    // samples after it) and is dropped.
    void AddMixedSurvey()
    {
        const auto add = [this](const char* name, InputSpec spec, int interval, int samples) {
            spec.intervalUs = interval;
            spec.samples = samples;
            AddInput(name, spec);
        };
        InputSpec a = Input(1, {100, 10, 0, 0}, 40);
        InputSpec b = Input(2, {100, 10, 0, 40}, 40);
        b.bigEndian = false;
        InputSpec c = Input(3, {100, 10, 1, 20}, 30);
        c.format = 1;
        InputSpec d = Input(4, {100, 12, 0, 0}, 25);
        InputSpec e = Input(5, {100, 12, 0, 25}, 6);
        add("a.sgy", a, 500, 600);
        add("b.sgy", b, 1000, 333);
        add("c.sgy", c, 250, 700);
        add("d.sgy", d, 400, 300);
        add("e.sgy", e, 2000, 20000);
    }

    JobTrace RunWith(unsigned threads, const std::string& dir)
    {
        SetResamplingThreads(threads);
        fs::create_directories(dir);
        CRecordingHost host;
        CCombineJob job(m_settings, host);
        JobTrace t;
        t.outcome = job.Run(dir);
        t.written = job.Result().summary.traces_written;
        t.droppedResampling = job.Result().summary.dropped_resampling;
        t.log = WithoutDirectory(host.log, dir);
        for (const std::string& name : FilesIn(dir))
            t.files[name] = FileBytes(dir + "/" + name);
        return t;
    }

    void ExpectSameJob(const JobTrace& one, const JobTrace& many)
    {
        EXPECT_EQ(one.outcome, many.outcome);
        EXPECT_EQ(one.written, many.written);
        EXPECT_EQ(one.droppedResampling, many.droppedResampling);
        EXPECT_EQ(one.log, many.log);
        ASSERT_EQ(one.files.size(), many.files.size());
        for (const auto& [name, bytes] : one.files) {
            ASSERT_EQ(many.files.count(name), 1u) << name;
            EXPECT_TRUE(many.files.at(name) == bytes) << name << " differs";
        }
    }
};

TEST_F(ReadAheadTest, ThreadedResamplingWritesWhatTraceByTraceWrites)
{
    AddMixedSurvey();
    struct Case {
        const char* name;
        bool assign;
        double frequency;
    };
    // 2500 Hz: every input but d resampled, up and down. Without a set
    // frequency the first trace's 500 us is the target, from b on.
    for (const Case& c :
         {Case{"to 400 us", true, 2500.0}, Case{"to the first input's", false, 0}}) {
        SCOPED_TRACE(c.name);
        m_settings.assign_sampling_frequency = c.assign;
        if (c.assign)
            m_settings.sampling_frequency = c.frequency;
        const std::string base = m_tmp.Path().string() + "/" + (c.assign ? "assign" : "first");
        const JobTrace one = RunWith(1, base + "-1");
        ASSERT_EQ(one.outcome, CombineOutcome::Done);
        EXPECT_EQ(one.droppedResampling, 5) << "e's traces but its first cannot be resampled";
        EXPECT_GT(one.written, 100);
        ExpectSameJob(one, RunWith(2, base + "-2"));
        ExpectSameJob(one, RunWith(5, base + "-5"));
    }
}

TEST_F(ReadAheadTest, WriteFailureMidwayStopsTheThreadedJobAsTheOther)
{
    AddMixedSurvey();
    m_settings.assign_sampling_frequency = true;
    m_settings.sampling_frequency = 2500.0;
    // The limit falls inside b, an input resampled ahead.
    std::map<unsigned, JobTrace> runs;
    for (unsigned threads : {1u, 2u}) {
        const std::string dir = m_tmp.Path().string() + "/fail-" + std::to_string(threads);
        fs::create_directories(dir);
        const std::string logPath = m_tmp.Path().string() + "/log-" + std::to_string(threads);
        const ChildEnd end = RunInChild(
            [&] {
                SetResamplingThreads(threads);
                CRecordingHost host;
                host.expectedMessages.push_back("Cannot write " + dir + "/SegyOut.sgy");
                CCombineJob job(m_settings, host);
                const CombineOutcome outcome = job.Run(dir);
                std::ofstream(logPath, std::ios::binary) << host.log;
                return outcome == CombineOutcome::WriteFailed ? 0 : 1;
            },
            {150000});
        ASSERT_EQ(end.code, 0) << threads << " threads: the job must stop on the write failure";
        JobTrace& t = runs[threads];
        t.log = WithoutDirectory(FileBytes(logPath), dir);
        for (const std::string& name : FilesIn(dir))
            t.files[name] = FileBytes(dir + "/" + name);
    }
    ExpectSameJob(runs[1], runs[2]);
    EXPECT_EQ(runs[2].files.count("SegyOut.sgy"), 1u) << "the working file keeps what it has";
}

} // namespace
} // namespace tessara::test
