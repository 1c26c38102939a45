// What the job tells its front end beside the log: inputs whose recording
// times overlap, and where it stands while it runs.
#include "tests/combine/combine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

namespace tessara::test
{
namespace
{

bool operator==(const OverlappingInputs& a, const OverlappingInputs& b)
{
    return a.earlier == b.earlier && a.later == b.later;
}

// A: 10:00:00 to 10:00:10 (11 traces 1 s apart). B starts 10:00:05, inside
// A. C starts 10:00:20, after B's last trace (10:00:15). D starts exactly at
// C's last trace (10:00:30): touching is not overlapping.
TEST_F(CombineJobTest, InputsStartingBeforeTheOutputsLastTraceAreNamedAsOverlapping)
{
    const std::string a = AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 11));
    const std::string b = AddInput("b.sgy", Input(2, {100, 10, 0, 5}, 11));
    AddInput("c.sgy", Input(3, {100, 10, 0, 20}, 11));
    AddInput("d.sgy", Input(4, {100, 10, 0, 30}, 3));
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().overlapping_inputs.size(), 1u);
    EXPECT_TRUE(Result().overlapping_inputs[0] == (OverlappingInputs{a, b}));
}

TEST_F(CombineJobTest, OverlapIsNotNamedAcrossOutputsOrWithoutTimeOrdering)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 11));
    AddInput("b.sgy", Input(2, {100, 10, 0, 5}, 11));
    m_settings.demultiplex_only = true; // one output per input, no ordering
    ASSERT_EQ(Run(), CombineOutcome::Done);
    EXPECT_TRUE(Result().overlapping_inputs.empty());
}

struct ProgressCase {
    const char* name;
    Stamp secondStart; // of the last input, b
};

class ProgressOfTheJob : public CombineJobTest, public ::testing::WithParamInterface<ProgressCase>
{
};

TEST_P(ProgressOfTheJob, CountsEveryInputsBytesOnceAndNeverGoesBack)
{
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 40));
    AddInput("broken.sgy", Input(2, {100, 10, 1, 0}, 1));
    AddInput("b.sgy", Input(3, GetParam().secondStart, 25));
    // The second input cut to less than a file header: unreadable, yet its
    // bytes are read past like the others'.
    std::filesystem::resize_file(m_settings.input_files[1], 100);
    m_settings.delayscan = true;
    std::map<std::string, std::int64_t> bytes;
    std::int64_t total = 0;
    for (const std::string& path : m_settings.input_files) {
        bytes[path] = static_cast<std::int64_t>(std::filesystem::file_size(path));
        total += bytes[path];
    }

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(m_host.orders.size(), 1u);
    // Bytes of the inputs up to input n, in the order the job reads them.
    std::vector<std::int64_t> upTo{0};
    for (const std::string& path : m_host.orders[0])
        upTo.push_back(upTo.back() + bytes[path]);
    ASSERT_EQ(upTo.size(), 4u);
    const std::vector<JobProgress>& seen = m_host.progress;
    ASSERT_FALSE(seen.empty());
    int scanned = 0;
    std::int64_t done = 0;
    std::map<JobProgress::Phase, int> input; // the last input of each phase
    for (const JobProgress& p : seen) {
        EXPECT_EQ(p.inputCount, 3);
        if (p.phase == JobProgress::Phase::Scanning) {
            EXPECT_EQ(p.input, ++scanned);
            continue;
        }
        // Each input counts once as decided and once as written.
        EXPECT_EQ(p.bytesTotal, 2 * total);
        EXPECT_GE(p.bytesDone, done);
        ASSERT_GE(p.input, 1);
        ASSERT_LE(p.input, 3);
        // Never more than the inputs decided or written so far and the one
        // in hand: an input is written after every input of its output is
        // decided.
        const std::int64_t upToHand = upTo[static_cast<std::size_t>(p.input)];
        EXPECT_LE(p.bytesDone,
                  p.phase == JobProgress::Phase::Deciding ? 2 * upToHand : total + upToHand)
            << "input " << p.input;
        if (p.phase == JobProgress::Phase::Deciding || p.phase == JobProgress::Phase::Reading) {
            EXPECT_GE(p.input, input[p.phase]);
            input[p.phase] = p.input;
        }
        done = p.bytesDone;
    }
    EXPECT_EQ(scanned, 3);
    EXPECT_EQ(input[JobProgress::Phase::Deciding], 3) << "deciding moves the progress";
    EXPECT_EQ(input[JobProgress::Phase::Reading], 3);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const JobProgress& p) {
        return p.phase == JobProgress::Phase::DelayScan;
    }));
    // The last report says every input was decided and read, though the
    // last one (the broken input, without a start time) gave no trace.
    EXPECT_EQ(seen.back().bytesDone, 2 * total);
}

INSTANTIATE_TEST_SUITE_P(Outputs,
                         ProgressOfTheJob,
                         ::testing::Values(ProgressCase{"OneOutput", {100, 10, 2, 0}},
                                           // Four hours later: an output of its own, decided and
                                           // written after the first.
                                           ProgressCase{"TwoOutputs", {100, 14, 0, 0}}),
                         [](const ::testing::TestParamInfo<ProgressCase>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
} // namespace tessara::test
