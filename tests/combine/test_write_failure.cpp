// A write failure stops the job and loses no file. The failure is made real
// with a file-size limit (RLIMIT_FSIZE) in a child process, so that the
// writes of the job itself run into it.
#include "combine/api/combine_job.h"
#include "combine/api/output_directory.h"
#include "combine/job_state.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

// Child exit codes: what went wrong, for the parent's message.
enum ChildResult {
    kChildAsExpected = 0,
    kChildNotFailed = 10,
    kChildWrongMessage = 11,
    kChildWrongLog = 12,
    kChildReportedUnfinishedOutput = 13,
    kChildLostTraces = 14,
};

int RunJob(const CombineSettings& settings, const std::string& outDir)
{
    const std::string message = "Cannot write " + JoinPath(outDir, "SegyOut.sgy");
    CRecordingHost host;
    host.expectedMessages = {message};
    CCombineJob job(settings, host);
    const CombineOutcome outcome = job.Run(outDir);
    if (outcome != CombineOutcome::WriteFailed)
        return kChildNotFailed;
    if (host.messages != std::vector<std::string>{message})
        return kChildWrongMessage;
    if (host.log.size() < message.size() + 2 ||
        host.log.compare(
            host.log.size() - message.size() - 2, std::string::npos, message + "\r\n") != 0)
        return kChildWrongLog;
    if (job.Result().outputs.size() != 1)
        return kChildReportedUnfinishedOutput;
    const CombineSummary& s = job.Result().summary;
    if (s.traces_read != s.traces_written + s.traces_unfinished + s.dropped_reference)
        return kChildLostTraces;
    return kChildAsExpected;
}

TEST_F(CombineJobTest, WriteFailureStopsTheJobAndLosesNoFile)
{
    // a: 20 traces of 2000 IEEE samples (8240 bytes each); b starts two hours
    // later, so a's output (3600 + 19 * 8240 = 160160 bytes) is closed and
    // named before b's output runs into the 400000-byte limit.
    InputSpec a = Input(1, {100, 10, 0, 0}, 20);
    InputSpec b = Input(2, {100, 12, 0, 0}, 100);
    a.samples = 2000;
    b.samples = 2000;
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);
    const std::string firstName = "Choose Expedition_100_1000_to_100_1000.sgy";
    const std::string secondName = "Choose Expedition_100_1200_to_100_1201.sgy";
    // A file of the name b's output would get: it must survive the failure.
    std::ofstream(Out(secondName)) << "older file";

    const ChildEnd end = RunInChild([&] { return RunJob(m_settings, m_out); }, {400000});
    ASSERT_TRUE(end.exited) << "the job must not be killed by the size limit";
    EXPECT_EQ(end.code, kChildAsExpected);

    EXPECT_EQ(FilesIn(m_out), (Names{firstName, secondName, "SegyOut.sgy"}));
    const ReadOutput first = ReadBack(Out(firstName));
    ASSERT_EQ(first.traces.size(), 19u);
    ExpectTraces(first, 0, a, 1, 19);
    std::ifstream older(Out(secondName));
    std::string text;
    std::getline(older, text);
    EXPECT_EQ(text, "older file");
    EXPECT_EQ(fs::file_size(Out("SegyOut.sgy")), 400000u) << "the working file keeps what it has";
    EXPECT_EQ(fs::file_size(m_settings.input_files[1]), 3600u + 100u * 8240u);
}

} // namespace
} // namespace tessara::test
