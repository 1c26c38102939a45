// The one table of where traces went, as the explanation of a job that
// wrote nothing reads it.
#include "combine/api/summary_table.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
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
            "no output written: 20 records read, dropped: 1 reference trace, one per input, not "
            "written, 19 of another channel"},
        // Traces of an output a write failure cut short went nowhere else.
        WhyCase{
            "UnfinishedOutput",
            Counts(
                12, &CombineSummary::dropped_reference, 2, &CombineSummary::traces_unfinished, 10),
            "no output written: 12 records read, dropped: 2 reference traces, one per input, not "
            "written, 10 in the unfinished output"}),
    [](const ::testing::TestParamInfo<WhyCase>& p) { return std::string(p.param.name); });

const SummaryRow& RowOf(std::int64_t CombineSummary::*count)
{
    for (const SummaryRow& row : kSummaryRows) {
        if (row.count == count)
            return row;
    }
    throw std::logic_error("a count without its row");
}

struct FormatCase {
    const char* name;
    std::string (*format)();
    const char* text;
};

class NumberFormat : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(NumberFormat, ReadsAsWritten)
{
    EXPECT_EQ(GetParam().format(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Summaries,
    NumberFormat,
    ::testing::Values(
        FormatCase{
            "SpacingToTheMillimetre", [] { return FormatSpacing(0.607922278058659); }, "0.608 m"},
        FormatCase{"SpacingRoundsUp", [] { return FormatSpacing(1.9996); }, "2.000 m"},
        FormatCase{"NoBytes", [] { return FormatMegabytes(0); }, "0.0 MB"},
        FormatCase{"BelowHalfATenth", [] { return FormatMegabytes(49'999); }, "0.0 MB"},
        FormatCase{"MegabytesAreDecimal", [] { return FormatMegabytes(1'048'576); }, "1.0 MB"},
        FormatCase{"LargeFile", [] { return FormatMegabytes(2'147'483'648); }, "2147.5 MB"},
        FormatCase{"OneClockGlitch",
                   [] { return CountWithReason(1, RowOf(&CombineSummary::dropped_clock_glitch)); },
                   "1 clock glitch"},
        FormatCase{"NoClockGlitches",
                   [] { return CountWithReason(0, RowOf(&CombineSummary::dropped_clock_glitch)); },
                   "0 clock glitches"},
        FormatCase{"OneRecordRead",
                   [] { return CountWithReason(1, RowOf(&CombineSummary::traces_read)); },
                   "1 record read"},
        FormatCase{"ReasonWithoutNoun",
                   [] { return CountWithReason(1, RowOf(&CombineSummary::dropped_channel)); },
                   "1 of another channel"},
        FormatCase{
            "OneLossyTrace",
            [] { return CountWithReason(1, RowOf(&CombineSummary::traces_converted_with_loss)); },
            "1 trace converted with loss (floating point to integer, or to a narrower "
            "integer)"}),
    [](const ::testing::TestParamInfo<FormatCase>& p) { return std::string(p.param.name); });

// A re-spaced output holds other traces than were written into it: the
// summaries must not give its count under the plain name.
TEST(SummaryTable, OutputTracesAfterSpeedCorrection)
{
    CombineResult result;
    result.outputs.resize(2);
    result.outputs[0].traces = 86'280;
    result.outputs[1].traces = 46'024;
    result.outputs[1].speed_corrected = true;
    EXPECT_EQ(TracesInOutputs(result), 132'304);
    EXPECT_EQ(OutputTracesLabel(result), "Traces in the outputs after speed correction");
    result.outputs[1].speed_corrected = false;
    EXPECT_EQ(OutputTracesLabel(result), "Traces in the outputs");
}

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
