// Each output is decided over the trace headers, then written: what the
// front end does between or during the passes, and what the dry run tells.
#include "combine/api/combine_job.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

// Pumps of a job over two inputs whose first output takes 12 traces of the
// first: one per input in the input scan (1, 2), then the status points at
// traces 0 and 10 while it is decided (3, 4) and while it is written (5, 6).
constexpr int kDecidingFirstTrace = 3;
constexpr int kWritingFirstTrace = 5;
constexpr int kWritingTenthTrace = 6;

struct StopCase {
    const char* name;
    int stopAtPump;       // the request is made at this pump
    std::int64_t written; // traces in the output
};

class StopInEitherPass : public CombineJobTest, public ::testing::WithParamInterface<StopCase>
{
};

TEST_P(StopInEitherPass, EndsTheOutputAtTheTraceInHandAndOpensNoOther)
{
    const StopCase& c = GetParam();
    const InputSpec a = Input(1, {100, 10, 0, 0}, 13);
    AddInput("a.sgy", a);
    // A second input an hour later would be an output of its own.
    AddInput("b.sgy", Input(2, {100, 12, 0, 0}, 13));
    int pumps = 0;
    m_host.onPump = [&] {
        ++pumps;
        if (pumps == c.stopAtPump)
            m_host.stop = true;
    };

    ASSERT_EQ(Run(), CombineOutcome::Stopped);

    EXPECT_NE(m_host.log.find("\tJob stopped by the user"), std::string::npos);
    ExpectAccounted(Result().summary);
    if (c.written == 0) {
        EXPECT_TRUE(Result().outputs.empty());
        EXPECT_TRUE(FilesIn(m_out).empty()) << "nothing of an output not yet decided is written";
        return;
    }
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].traces, c.written);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), static_cast<std::size_t>(c.written));
    ExpectTraces(out, 0, a, 1, static_cast<int>(c.written));
    EXPECT_EQ(FilesIn(m_out).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Passes,
                         StopInEitherPass,
                         ::testing::Values(
                             // Asked while the inputs are scanned, or while an output is
                             // decided: the job ends before the output is written.
                             StopCase{"Scanning", 1, 0},
                             StopCase{"Deciding", kDecidingFirstTrace, 0},
                             StopCase{"Writing", kWritingTenthTrace, 11}),
                         [](const ::testing::TestParamInfo<StopCase>& p) {
                             return std::string(p.param.name);
                         });

TEST_F(CombineJobTest, InputChangedBetweenThePassesStopsTheJobWithNothingUnderAFinalName)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    const std::string b = AddInput("b.sgy", Input(2, {100, 10, 0, 20}, 13));
    const std::string message = "Input " + b + " changed while the job was writing: job stopped";
    m_host.expectedMessages = {message};
    int pumps = 0;
    // While a.sgy is written, b.sgy, which the same output was decided to
    // take, grows by a trace's worth of bytes.
    m_host.onPump = [&] {
        if (++pumps == kWritingFirstTrace) {
            std::ofstream grow(b, std::ios::binary | std::ios::app);
            grow << std::string(240 + 4 * 100, '\0');
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::WriteFailed);

    EXPECT_EQ(Result().failed_path, b);
    EXPECT_TRUE(Result().input_changed);
    EXPECT_TRUE(Result().outputs.empty());
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"})
        << "the unfinished output keeps its working name";
    EXPECT_EQ(m_host.messages, Names{message});
    EXPECT_NE(m_host.log.find(message), std::string::npos);
}

// Bytes rewritten under the same size and modification time show by the
// change time; a read error, or a trace that cannot be resampled for want
// of memory, would make the writing take other records than were
// decided: either way the job stops there, before a speed-corrected
// selection lands on the wrong records.
TEST_F(CombineJobTest, InputReadOtherwiseWhileWritingStopsTheJobWithNothingUnderAFinalName)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    const InputSpec b = Input(2, {100, 10, 0, 20}, 13);
    const std::string pathB = AddInput("b.sgy", b);
    const std::string message =
        "Input " + pathB + " changed while the job was writing: job stopped";
    m_host.expectedMessages = {message};
    // While a.sgy is written, b.sgy gets a clock glitch at its seventh
    // trace; its size and time stay those it had when it was decided.
    InputSpec glitched = b;
    glitched.times[6].hour = 15;
    int pumps = 0;
    m_host.onPump = [&] {
        if (++pumps == kWritingFirstTrace) {
            const auto time = fs::last_write_time(pathB);
            WriteInput(pathB, glitched);
            fs::last_write_time(pathB, time);
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::WriteFailed);

    EXPECT_EQ(Result().failed_path, pathB);
    EXPECT_TRUE(Result().input_changed);
    EXPECT_TRUE(Result().outputs.empty());
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
    EXPECT_EQ(m_host.messages, Names{message});
    EXPECT_NE(m_host.log.find(message), std::string::npos) << m_host.log;
}

// What becomes of an input its output was decided on, once the output is
// being written: whatever it is, the job stops naming that input, and the output
// keeps its working name.
struct WritingPassCase {
    const char* name;
    const char* moment; // the status at which b is touched
    bool lastInput;     // b is the output's last input
    enum class Touch { Delete, RewriteHours, RewriteSamples } touch;
    const char* what; // the words after the path in the message
};

class InputTouchedWhileWriting : public CombineJobTest,
                                 public ::testing::WithParamInterface<WritingPassCase>
{
};

TEST_P(InputTouchedWhileWriting, StopsTheJobNamingThatInput)
{
    const WritingPassCase& c = GetParam();
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    const InputSpec b = Input(2, {100, 10, 0, 20}, 13);
    const std::string pathB = AddInput("b.sgy", b);
    if (!c.lastInput)
        AddInput("c.sgy", Input(3, {100, 10, 0, 40}, 13));
    const std::string message = "Input " + pathB + " " + c.what + ": job stopped";
    m_host.expectedMessages = {message};
    bool touched = false;
    // Statuses reach the front end while the output is written only.
    m_host.onStatus = [&](std::string_view status) {
        if (touched || status != c.moment)
            return;
        touched = true;
        if (c.touch == WritingPassCase::Touch::Delete) {
            fs::remove(pathB);
            return;
        }
        // Same size, same record count, the modification time put back: only
        // the change time tells.
        InputSpec other = b;
        if (c.touch == WritingPassCase::Touch::RewriteHours)
            for (Stamp& t : other.times)
                t.hour = 18;
        else
            other.id = 7; // other samples
        const auto time = fs::last_write_time(pathB);
        std::fstream f(pathB, std::ios::binary | std::ios::in | std::ios::out);
        const std::vector<unsigned char> bytes = ReadFileBytes(WriteInput(m_tmp.File("x"), other));
        f.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
        f.close();
        fs::last_write_time(pathB, time);
    };

    ASSERT_EQ(Run(), CombineOutcome::WriteFailed);

    ASSERT_TRUE(touched);
    EXPECT_EQ(Result().failed_path, pathB);
    EXPECT_TRUE(Result().input_changed);
    EXPECT_EQ(Result().input_failure, c.what);
    EXPECT_TRUE(Result().outputs.empty());
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"}) << "nothing under a final name";
    EXPECT_EQ(m_host.messages, Names{message});
}

INSTANTIATE_TEST_SUITE_P(Touches,
                         InputTouchedWhileWriting,
                         ::testing::Values(WritingPassCase{"DeletedBeforeItIsRead",
                                                           "Input file = a.sgy : reading trace 0",
                                                           false,
                                                           WritingPassCase::Touch::Delete,
                                                           "is gone"},
                                           WritingPassCase{"LastInputDeletedBeforeItIsRead",
                                                           "Input file = a.sgy : reading trace 0",
                                                           true,
                                                           WritingPassCase::Touch::Delete,
                                                           "is gone"},
                                           WritingPassCase{"HoursRewrittenBeforeItIsRead",
                                                           "Input file = a.sgy : reading trace 0",
                                                           false,
                                                           WritingPassCase::Touch::RewriteHours,
                                                           "changed while the job was writing"},
                                           WritingPassCase{"SamplesRewrittenWhileItIsRead",
                                                           "Input file = b.sgy : reading trace 10",
                                                           true,
                                                           WritingPassCase::Touch::RewriteSamples,
                                                           "changed while the job was writing"}),
                         [](const ::testing::TestParamInfo<WritingPassCase>& p) {
                             return std::string(p.param.name);
                         });

// Memory running out while an output is written ends the job (the front
// end says so) with nothing of the output left behind.
TEST_F(CombineJobTest, OutOfMemoryWhileWritingLeavesNoWorkingFile)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    m_host.onStatus = [](std::string_view status) {
        if (status == "Input file = a.sgy : reading trace 10")
            throw std::bad_alloc();
    };
    CCombineJob job(m_settings, m_host);

    EXPECT_THROW((void)job.Run(m_out), std::bad_alloc);

    EXPECT_TRUE(FilesIn(m_out).empty());
    EXPECT_FALSE(job.bIsRunning());
}

TEST_F(CombineJobTest, InputChangedBeforeItsOutputIsDecidedIsSkippedAsBefore)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    const std::string b = AddInput("b.sgy", Input(2, {100, 10, 0, 20}, 13));
    int pumps = 0;
    m_host.onPump = [&] {
        if (++pumps == kDecidingFirstTrace) {
            std::ofstream grow(b, std::ios::binary | std::ios::app);
            grow << std::string(640, '\0');
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].traces - Result().outputs[0].fill_traces, 12);
    ASSERT_EQ(Result().unreadable_inputs.size(), 1u);
    EXPECT_EQ(Result().unreadable_inputs[0].path, b);
}

// A setting changed while an output is decided takes effect from the next
// output: both passes over an output go by the settings it started with, so
// that each output is the one a job with either setting throughout writes.
TEST_F(CombineJobTest, SettingChangedDuringAnOutputTakesEffectFromTheNext)
{
    // Two outputs two hours apart, each of two inputs with a gap of 7 s
    // between them.
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    AddInput("b.sgy", Input(2, {100, 10, 0, 20}, 13));
    AddInput("c.sgy", Input(3, {100, 12, 0, 0}, 13));
    AddInput("d.sgy", Input(4, {100, 12, 0, 20}, 13));
    const auto outputsWith = [&](bool fill) {
        m_settings.make_null_traces = fill;
        EXPECT_EQ(Run(), CombineOutcome::Done);
        std::vector<std::vector<unsigned char>> bytes;
        for (const OutputRecord& r : Result().outputs)
            bytes.push_back(ReadFileBytes(r.path));
        return bytes;
    };
    const auto filled = outputsWith(true);
    const auto unfilled = outputsWith(false);
    ASSERT_EQ(filled.size(), 2u);
    ASSERT_EQ(unfilled.size(), 2u);
    ASSERT_NE(filled[0].size(), unfilled[0].size()) << "the gaps are filled";
    int pumps = 0;
    // After the input scan (a pump per input), at the first status point of
    // the first output's deciding.
    m_host.onPump = [&] {
        if (++pumps == 5)
            m_settings.make_null_traces = false;
    };
    m_settings.make_null_traces = true;

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_GE(pumps, 5);
    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_TRUE(ReadFileBytes(Result().outputs[0].path) == filled[0])
        << "the first output is filled as it started";
    EXPECT_TRUE(ReadFileBytes(Result().outputs[1].path) == unfilled[1])
        << "the next output goes by the change";
    EXPECT_GT(Result().outputs[0].fill_traces, 0);
    EXPECT_EQ(Result().outputs[1].fill_traces, 0);
    EXPECT_EQ(Result().summary.traces_filled, Result().outputs[0].fill_traces);
}

TEST_F(CombineJobTest, DryRunWritesNothingAndTellsWhatTheRunThenWrites)
{
    m_settings.speed_correction = false;
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 13));
    AddInput("b.sgy", Input(2, {100, 12, 0, 0}, 7));
    // An existing file of the first output's name, and files named like the
    // job's old working names, which are the user's.
    const std::string existing = m_out + "/Choose Expedition_100_1000_to_100_1000.sgy";
    for (const std::string& name :
         {existing, m_out + "/SegyOut.sgyNEW", m_out + "/SegyOut.sgy.tmp"})
        std::ofstream(name) << "mine";

    CCombineJob dry(m_settings, m_host);
    ASSERT_EQ(dry.DryRun(m_out), CombineOutcome::Done);
    const CombineResult plan = dry.Result();
    EXPECT_EQ(
        FilesIn(m_out),
        (Names{"Choose Expedition_100_1000_to_100_1000.sgy", "SegyOut.sgy.tmp", "SegyOut.sgyNEW"}));
    EXPECT_TRUE(m_host.log.empty());
    ASSERT_EQ(plan.outputs.size(), 2u);
    EXPECT_TRUE(plan.outputs[0].replaced_existing);
    EXPECT_FALSE(plan.outputs[1].replaced_existing);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().outputs.size(), plan.outputs.size());
    for (std::size_t k = 0; k < plan.outputs.size(); ++k) {
        const OutputRecord& p = plan.outputs[k];
        const OutputRecord& r = Result().outputs[k];
        EXPECT_EQ(p.path, r.path);
        EXPECT_EQ(p.traces, r.traces);
        EXPECT_EQ(p.fill_traces, r.fill_traces);
        EXPECT_EQ(p.bytes, r.bytes);
        EXPECT_EQ(p.bytes, static_cast<std::int64_t>(fs::file_size(r.path)));
        EXPECT_EQ(p.first_trace_time, r.first_trace_time);
        EXPECT_EQ(p.last_trace_time, r.last_trace_time);
        EXPECT_EQ(p.replaced_existing, r.replaced_existing);
    }
    EXPECT_EQ(plan.summary.traces_written, Result().summary.traces_written);
    EXPECT_EQ(plan.summary.traces_read, Result().summary.traces_read);
    // The user's files with the old working names stay.
    EXPECT_TRUE(fs::exists(m_out + "/SegyOut.sgyNEW"));
    EXPECT_TRUE(fs::exists(m_out + "/SegyOut.sgy.tmp"));
}

// Outputs closed by size within one minute take one name: the dry run gives
// the later ones the same "_2", "_3" as the run does.
TEST_F(CombineJobTest, DryRunNamesOutputsOfTheSameNameAsTheRunDoes)
{
    m_settings.max_file_size = 1;
    // Three inputs of over 1 MB each within a minute: an output each.
    for (int k = 0; k < 3; ++k) {
        InputSpec spec = Input(k + 1, {100, 10, 0, 15 * k}, 11);
        spec.samples = 30000;
        AddInput("in" + std::to_string(k) + ".sgy", spec);
    }

    CCombineJob dry(m_settings, m_host);
    ASSERT_EQ(dry.DryRun(m_out), CombineOutcome::Done);
    const CombineResult plan = dry.Result();
    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 3u);
    ASSERT_EQ(plan.outputs.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(plan.outputs[k].path, Result().outputs[k].path);
        EXPECT_EQ(plan.outputs[k].bytes, Result().outputs[k].bytes);
    }
    EXPECT_EQ(FilesIn(m_out),
              (Names{"Choose Expedition_100_1000_to_100_1000.sgy",
                     "Choose Expedition_100_1000_to_100_1000_2.sgy",
                     "Choose Expedition_100_1000_to_100_1000_3.sgy"}));
}

// An output's first and last trace times, in the dry run as in the run, are
// those of the traces it holds to the millisecond, not the whole second the
// output is named by.
TEST_F(CombineJobTest, OutputTimesAreThoseOfItsFirstAndLastTracesToTheMillisecond)
{
    const InputSpec a = Input(1, {100, 10, 0, 0, 250}, 13);
    AddInput("a.sgy", a);
    CCombineJob dry(m_settings, m_host);
    ASSERT_EQ(dry.DryRun(m_out), CombineOutcome::Done);
    const CombineResult plan = dry.Result();

    ASSERT_EQ(Run(), CombineOutcome::Done);

    // The first trace is the reference, which is not written.
    for (const CombineResult* r : {&plan, &Result()}) {
        ASSERT_EQ(r->outputs.size(), 1u);
        EXPECT_DOUBLE_EQ(r->outputs[0].first_trace_time, a.times[1].Seconds());
        EXPECT_DOUBLE_EQ(r->outputs[0].last_trace_time, a.times[12].Seconds());
    }
}

} // namespace
} // namespace tessara::test
