// Inputs that change while the job runs, and inputs it skips for want of
// navigation: each is named in the result, in processing order.
#include "tests/combine/combine_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

using InputChanges = CombineJobTest;

enum class Change {
    Replaced,        ///< another file renamed over it
    Grown,           ///< a trace appended in place
    RewrittenInTime, ///< same size, same inode, a later modification time
};

class ChangedInput : public InputChanges, public ::testing::WithParamInterface<Change>
{
};

// b changes after the scan has taken its start time, before it is read: it
// is skipped like an unreadable input, and a alone is written.
TEST_P(ChangedInput, IsSkippedAndCountedAsUnreadable)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    AddInput("a.sgy", a);
    const std::string b = AddInput("b.sgy", Input(2, {100, 10, 0, 6}, 5));
    bool changed = false;
    m_host.onPump = [&] {
        // The scan pumps once per input: after the second, both are scanned.
        if (changed || m_host.pumps != 2)
            return;
        changed = true;
        switch (GetParam()) {
        case Change::Replaced: {
            const std::string other = m_tmp.File("other.sgy");
            WriteInput(other, Input(3, {100, 9, 0, 0}, 5));
            fs::rename(other, b);
            break;
        }
        case Change::Grown:
            std::ofstream(b, std::ios::binary | std::ios::app) << std::string(256, '\0');
            break;
        case Change::RewrittenInTime:
            fs::last_write_time(b, fs::last_write_time(b) + std::chrono::seconds(1));
            break;
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_TRUE(changed);

    EXPECT_NE(m_host.log.find("\r\n\r\n\r\nProcessing file " + b +
                              "\r\n\tChanged since the job started: skipped\r\n"),
              std::string::npos)
        << m_host.log;
    EXPECT_EQ(Result().summary.inputs_unreadable, 1);
    ASSERT_EQ(Result().unreadable_inputs.size(), 1u);
    EXPECT_EQ(Result().unreadable_inputs[0].path, b);
    EXPECT_EQ(Result().unreadable_inputs[0].reason, "changed since the job started");
    EXPECT_EQ(Result().summary.traces_read, 5) << "nothing of b is read";
    ASSERT_EQ(Result().outputs.size(), 1u);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 4u);
    ExpectTraces(out, 0, a, 1, 4);
}

INSTANTIATE_TEST_SUITE_P(Ways,
                         ChangedInput,
                         ::testing::Values(Change::Replaced,
                                           Change::Grown,
                                           Change::RewrittenInTime),
                         [](const ::testing::TestParamInfo<Change>& p) {
                             switch (p.param) {
                             case Change::Replaced:
                                 return std::string("Replaced");
                             case Change::Grown:
                                 return std::string("Grown");
                             case Change::RewrittenInTime:
                                 break;
                             }
                             return std::string("RewrittenInTime");
                         });

// With speed correction on, inputs whose traces carry no position are
// skipped; the result names them in processing (time) order, not list order.
TEST_F(InputChanges, InputsWithoutNavigationAreNamedInProcessingOrder)
{
    const std::string late = AddInput("late.sgy", Input(1, {100, 11, 0, 0}, 5));
    const std::string early = AddInput("early.sgy", Input(2, {100, 10, 0, 0}, 5));
    m_settings.speed_correction = true;

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Result().summary.inputs_without_navigation, 2);
    EXPECT_EQ(Result().inputs_without_navigation, (Names{early, late}));
    EXPECT_EQ(Result().summary.traces_read, 0);
    EXPECT_TRUE(Result().outputs.empty());
}

} // namespace
} // namespace tessara::test
