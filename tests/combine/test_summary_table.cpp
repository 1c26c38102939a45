// The one table of where traces went, as the explanation of a job that
// wrote nothing reads it.
#include "combine/api/summary_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tessara::test
{
namespace
{

struct WhyCase {
    const char* name;
    CombineSummary summary;
    const char* why;
};

class WhyNothingWasWritten : public ::testing::TestWithParam<WhyCase>
{
};

TEST_P(WhyNothingWasWritten, NamesEveryReasonWithItsCount)
{
    EXPECT_EQ(WhyNoOutput(GetParam().summary), GetParam().why);
}

CombineSummary Counts(std::int64_t read,
                      std::int64_t CombineSummary::*a,
                      std::int64_t n,
                      std::int64_t CombineSummary::*b = nullptr,
                      std::int64_t m = 0)
{
    CombineSummary s;
    s.traces_read = read;
    s.*a = n;
    if (b != nullptr)
        s.*b = m;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Summaries,
    WhyNothingWasWritten,
    ::testing::Values(
        WhyCase{"NothingRead", CombineSummary{}, "no output written: no trace was read"},
        WhyCase{
            "ReferenceAndChannel",
            Counts(20, &CombineSummary::dropped_reference, 1, &CombineSummary::dropped_channel, 19),
            "no output written: 20 traces read, dropped: 1 reference traces, 19 of another "
            "channel"},
        // Traces of an output a write failure cut short went nowhere else.
        WhyCase{
            "UnfinishedOutput",
            Counts(
                12, &CombineSummary::dropped_reference, 2, &CombineSummary::traces_unfinished, 10),
            "no output written: 12 traces read, dropped: 2 reference traces, 10 in the "
            "unfinished output"}),
    [](const ::testing::TestParamInfo<WhyCase>& p) { return std::string(p.param.name); });

// A key given twice would make the JSON summary an object with one count
// lost.
TEST(SummaryTable, KeysAreUnique)
{
    std::set<std::string_view> keys;
    for (const SummaryRow& row : kSummaryRows)
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
}

} // namespace
} // namespace tessara::test
