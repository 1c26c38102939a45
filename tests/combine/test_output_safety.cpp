// What the job must never do to the user's files, and how it stops: inputs
// in the output directory, two jobs in one directory, files given twice,
// older files it replaces, fill traces against the size limit, a stop
// request. Expected numbers are worked out by hand.
#include "combine/output_directory.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

const std::string kDefaultName = "Choose Expedition_100_1000_to_100_1000.sgy";

std::vector<unsigned char> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using OutputSafety = CombineJobTest;

TEST_F(OutputSafety, InputAtTheWorkingPathStopsTheJobBeforeItStarts)
{
    const std::string input = WriteInput(Out("SegyOut.sgy"), Input(1, {100, 10, 0, 0}, 5));
    m_settings.input_files = {input};
    const std::vector<unsigned char> before = Bytes(input);
    const std::string message = "Input " + input + " is the job's working file " + input +
                                ": move or rename it, or choose another output directory";
    m_host.expectedMessages = {message};

    EXPECT_EQ(Run(), CombineOutcome::DirectoryRefused);

    EXPECT_EQ(m_host.messages, std::vector<std::string>{message});
    EXPECT_EQ(Bytes(input), before) << "the input is untouched";
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
    EXPECT_EQ(m_host.clears, 0) << "nothing started, not even the log";
}

TEST_F(OutputSafety, SecondJobIntoALockedDirectoryIsRefusedAtOnce)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    COutputDirectoryLock otherJob;
    bool inUse = false;
    ASSERT_TRUE(otherJob.Acquire(m_out, inUse));
    std::ofstream(Out("SegyOut.sgy")) << "the other job's working file";
    const std::string message = "Output directory " + m_out + " is in use by another job";
    m_host.expectedMessages = {message};

    EXPECT_EQ(Run(), CombineOutcome::DirectoryRefused);

    EXPECT_EQ(m_host.messages, std::vector<std::string>{message});
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"}) << "the other job's file stays";
    EXPECT_FALSE(Result().removed_leftover_working_file);
}

TEST_F(OutputSafety, LeftoverWorkingFileIsRemovedAndReported)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    std::ofstream(Out("SegyOut.sgy")) << "left by a killed job";

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_TRUE(Result().removed_leftover_working_file);
    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
}

TEST_F(OutputSafety, RerunOverItsOwnOutputKeepsItAndNamesTheNewOneNext)
{
    // The user reruns with every file of the directory: the first run's
    // composite is now an input, and its name is the one the rerun makes.
    m_in = m_out;
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    AddInput("a.sgy", a);
    ASSERT_EQ(Run(), CombineOutcome::Done);
    const std::vector<unsigned char> first = Bytes(Out(kDefaultName));
    m_settings.input_files.push_back(Out(kDefaultName));

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Bytes(Out(kDefaultName)), first) << "an input is never replaced";
    const std::string second = "Choose Expedition_100_1000_to_100_1000_2.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{kDefaultName, second, "a.sgy"}));
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_FALSE(Result().outputs[0].replaced_existing);
}

// The front end's log, here under the name the output would take: the
// output takes the next name and the log stays as it was.
TEST_F(OutputSafety, KeptFileIsNeverReplaced)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    std::ofstream(Out(kDefaultName)) << "the log";
    m_job = std::make_unique<CCombineJob>(m_settings, m_host);
    m_job->KeepFile(m_out + "/./" + kDefaultName);

    ASSERT_EQ(m_job->Run(m_out), CombineOutcome::Done);

    EXPECT_EQ(ReadFileBytes(Out(kDefaultName)).size(), 7u);
    const std::string second = "Choose Expedition_100_1000_to_100_1000_2.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{kDefaultName, second}));
}

TEST_F(OutputSafety, OlderFileOfTheSameNameIsReplacedAndNamed)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    std::ofstream(Out(kDefaultName)) << "from an earlier job";

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_TRUE(Result().outputs[0].replaced_existing);
    EXPECT_NE(m_host.log.find("\tReplaced an existing file " + Out(kDefaultName) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(ReadBack(Out(kDefaultName)).traces.size(), 4u);
}

TEST_F(OutputSafety, SameFileGivenTwiceIsReadOnce)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);
    // The same file by another path: a link in another folder.
    fs::create_directories(fs::path(m_in) / "again");
    const std::string link = (fs::path(m_in) / "again" / "a.sgy").string();
    fs::create_symlink(pathA, link);
    m_settings.input_files.push_back(link);
    const InputSpec b = Input(2, {100, 10, 0, 6}, 5);
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_NE(m_host.log.find("\r\n\r\n\r\nProcessing file " + link +
                              "\r\n\tSame file as an earlier input: skipped\r\n"),
              std::string::npos);
    EXPECT_EQ(Result().summary.inputs_same_file, 1);
    EXPECT_EQ(Result().summary.traces_read, 10) << "a and b once each";
    ASSERT_EQ(Result().outputs.size(), 1u);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    // 4 of a and 4 of b; a's mean interval (4 - 0) / 2 = 2 s leaves no fill
    // trace in the 2 s gap.
    ASSERT_EQ(out.traces.size(), 8u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 4);
}

TEST_F(OutputSafety, FillThatWouldPassTheSizeLimitIsLeftOutAndTheOutputClosesBySize)
{
    // Pings 1 ms apart, then a 10-minute gap: thousands of fill traces would
    // take a 1 MB output far past its limit.
    m_settings.max_file_size = 1;
    const InputSpec a = Input(1, {100, 10, 0, 0}, 10, 1);
    const InputSpec b = Input(2, {100, 10, 10, 0}, 10, 1);
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log.find("Fill :"), std::string::npos) << m_host.log;
    std::smatch size;
    ASSERT_TRUE(std::regex_search(
        m_host.log, size, std::regex("\tFile close by file size limit ([0-9]+) > 1000000\r\n")))
        << m_host.log;
    EXPECT_GT(std::stoll(size[1]), 1000000);
    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_EQ(Result().summary.traces_filled, 0);
    EXPECT_EQ(Result().outputs[0].bytes, 3600 + 9 * 256) << "a's 9 traces of 4 samples only";
}

struct SizeCase {
    const char* name;
    int tracesOfA; // written, after a's reference trace
    std::size_t outputs;
};

class SizeLimitBoundary : public CombineJobTest, public ::testing::WithParamInterface<SizeCase>
{
};

TEST_P(SizeLimitBoundary, OnlyASizePastTheLimitClosesTheOutput)
{
    // 40 IEEE samples: records of 240 + 160 = 400 bytes. The size measure of
    // an output's first input is the bytes of its traces: 2500 x 400 is
    // 1000000 bytes exactly, the limit of max_file_size 1.
    m_settings.max_file_size = 1;
    InputSpec a = Input(1, {100, 10, 0, 0}, GetParam().tracesOfA + 1);
    a.samples = 40;
    const int endOfA = GetParam().tracesOfA + 1;
    InputSpec b = Input(2, {100, 10, endOfA / 60, endOfA % 60}, 3);
    b.samples = 40;
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Result().outputs.size(), GetParam().outputs) << m_host.log;
    EXPECT_EQ(Result().summary.traces_filled, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes,
                         SizeLimitBoundary,
                         ::testing::Values(SizeCase{"ExactlyAtTheLimit", 2500, 1},
                                           SizeCase{"OneRecordPastIt", 2501, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(OutputSafety, StopFinishesTheOpenOutputAndReadsNoFurtherInput)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const InputSpec b = Input(2, {100, 10, 0, 5}, 25);
    const InputSpec c = Input(3, {100, 10, 1, 0}, 5);
    AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);
    const std::string pathC = AddInput("c.sgy", c);
    // The user presses Stop while b is being read, at its 10th trace.
    m_host.onPump = [this] {
        if (m_host.Status() == "Input file = b.sgy : reading trace 10")
            m_host.stop = true;
    };

    ASSERT_EQ(Run(), CombineOutcome::Stopped);

    EXPECT_EQ(m_host.Status(), "Stopped....");
    EXPECT_NE(m_host.log.find("\tJob stopped by the user\r\n"), std::string::npos);
    EXPECT_EQ(m_host.log.find("Processing file " + pathC), std::string::npos);
    EXPECT_FALSE(fs::exists(Out("SegyOut.sgy")));
    ASSERT_EQ(Result().outputs.size(), 1u);
    // a's 4 traces and b's first 11: the stop comes at the progress point of
    // b's 11th trace, which is written before the job stops (b's trace 0 is
    // its reference).
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 15u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 11);
    EXPECT_EQ(FilesIn(m_out), Names{"Choose Expedition_100_1000_to_100_1000.sgy"});
    (void)pathB;
}

// Whenever the user stops, every output is whole under its final name and
// holds exactly the traces the summary counts as written.
TEST_F(OutputSafety, StopAtAnyProgressPointLeavesOnlyWholeOutputs)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 12));
    AddInput("b.sgy", Input(2, {100, 12, 0, 0}, 25)); // two hours later: a second output
    ASSERT_EQ(Run(), CombineOutcome::Done);
    const int checks = m_host.stopChecks;
    ASSERT_GE(checks, 4);
    const std::string base = m_out;
    for (int n = 0; n < checks; ++n) {
        SCOPED_TRACE("stop after " + std::to_string(n) + " checks");
        m_out = base + "-" + std::to_string(n);
        fs::create_directory(m_out);
        m_host = CRecordingHost{};
        m_host.stopAfterChecks = n;
        ASSERT_EQ(Run(), CombineOutcome::Stopped);
        EXPECT_EQ(m_host.stopChecks, n + 1) << "asked again after the stop";
        std::size_t written = 0;
        for (const auto& output : Result().outputs)
            written += ReadBack(output.path).traces.size();
        EXPECT_EQ(written, static_cast<std::size_t>(Result().summary.traces_written));
        EXPECT_EQ(FilesIn(m_out).size(), Result().outputs.size()) << "no working file";
    }
}

TEST_F(OutputSafety, UnreadableInputsAreListedWithTheirReason)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    const std::string missing = (fs::path(m_in) / "missing.sgy").string();
    const std::string shortFile = (fs::path(m_in) / "short.sgy").string();
    std::ofstream(shortFile) << "not SEG-Y";
    m_settings.input_files.push_back(missing);
    m_settings.input_files.push_back(shortFile);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().unreadable_inputs.size(), 2u);
    EXPECT_EQ(Result().unreadable_inputs[0].path, missing);
    EXPECT_EQ(Result().unreadable_inputs[0].reason, "no such file");
    EXPECT_EQ(Result().unreadable_inputs[1].path, shortFile);
    EXPECT_NE(Result().unreadable_inputs[1].reason.find("9 bytes"), std::string::npos)
        << Result().unreadable_inputs[1].reason;
}

// A link at the working path is the user's: the job neither removes it nor
// writes through it, whether it points at a file or at nothing.
class WorkingPathLink : public OutputSafety, public ::testing::WithParamInterface<bool>
{
};

TEST_P(WorkingPathLink, StopsTheJobAndLeavesLinkAndTargetAsTheyWere)
{
    const bool dangling = GetParam();
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    const std::string target = m_tmp.File("target.sgy");
    if (!dangling)
        std::ofstream(target) << "the user's file";
    fs::create_symlink(target, Out("SegyOut.sgy"));
    const std::string message = "SegyOut.sgy in " + m_out + " is a link: remove it";
    m_host.expectedMessages = {message};

    EXPECT_EQ(Run(), CombineOutcome::DirectoryRefused);

    EXPECT_EQ(m_host.messages, std::vector<std::string>{message});
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Out("SegyOut.sgy"))));
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
    EXPECT_EQ(m_host.clears, 0) << "nothing started, not even the log";
    if (dangling)
        EXPECT_FALSE(fs::exists(target));
    else
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(target).rdbuf()), {}),
                  "the user's file");
}

INSTANTIATE_TEST_SUITE_P(Targets,
                         WorkingPathLink,
                         ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "Dangling" : "ToAFile");
                         });

// A link planted after the probe, before the output is opened: the writer
// refuses to follow it, so nothing appears where it points.
TEST_F(OutputSafety, LinkPlantedAtTheWorkingPathLeavesNothingAtItsTarget)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    const std::string target = m_tmp.File("target.sgy");
    m_host.onPump = [&] {
        std::error_code ec;
        fs::create_symlink(target, Out("SegyOut.sgy"), ec); // once: later calls fail
    };
    const std::string message = "Cannot write " + Out("SegyOut.sgy");
    m_host.expectedMessages = {message};

    EXPECT_EQ(Run(), CombineOutcome::WriteFailed);

    EXPECT_EQ(m_host.messages, std::vector<std::string>{message});
    EXPECT_FALSE(fs::exists(target)) << "written through the link";
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Out("SegyOut.sgy"))));
}

} // namespace
} // namespace tessara::test
