// The job at boundaries of its bookkeeping: a file given twice before a gap,
// an input just long enough to have its interval measured, the fixed-length
// flag of a composite, and records of another length counted over several
// outputs. Times are day 100; expected counts are worked out by hand.
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

const std::string kFirst = "Choose Expedition_100_1000_to_100_1000.sgy";
const std::string kSecond = "Choose Expedition_100_1200_to_100_1200.sgy";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Where the second occurrence stands in the list: the scan sorts it next to
// the first either way.
class FileGivenTwice : public CombineJobTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(FileGivenTwice, BeforeAGapStillClosesTheOutputByTheGap)
{
    const bool repeatedLast = GetParam();
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const InputSpec b = Input(2, {100, 12, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);
    if (!repeatedLast)
        m_settings.input_files.push_back(pathA);
    AddInput("b.sgy", b);
    if (repeatedLast)
        m_settings.input_files.push_back(pathA);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    // a's last trace at 10:00:04, b's start at 12:00:00: 7196 s > 3600 s.
    EXPECT_TRUE(Contains(m_host.log, "\tFile close by file  gap limit 7196 > 3600\r\n"))
        << m_host.log;
    EXPECT_EQ(FilesIn(m_out), (Names{kFirst, kSecond}));
    const ReadOutput first = ReadBack(Out(kFirst));
    ASSERT_EQ(first.traces.size(), 4u) << "a once, without fill traces";
    ExpectTraces(first, 0, a, 1, 4);
    const ReadOutput second = ReadBack(Out(kSecond));
    ASSERT_EQ(second.traces.size(), 4u);
    ExpectTraces(second, 0, b, 1, 4);
    EXPECT_EQ(Result().summary.inputs_same_file, 1);
    EXPECT_EQ(Result().summary.traces_filled, 0);
}

INSTANTIATE_TEST_SUITE_P(Job,
                         FileGivenTwice,
                         ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? std::string("RepeatedLast") : "RepeatedNext";
                         });

// Three traces: the reference and two written, half a second apart. Two
// written traces measure no interval, so the gap of 10 s to the next input
// is filled at one trace a second: 10 / 1 - 1 = 9 fill traces.
TEST_F(CombineJobTest, InputOfThreeTracesBeforeAGapIsFilledAtOneTraceASecond)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 3, 500);
    const InputSpec b = Input(2, {100, 10, 0, 11}, 3, 500);
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_TRUE(Contains(m_host.log, "Fill : Time Gap 10 number of fill traces 9\r\n"))
        << m_host.log;
    EXPECT_EQ(Result().summary.traces_filled, 9);
    EXPECT_EQ(FilesIn(m_out), Names{kFirst});
    const ReadOutput out = ReadBack(Out(kFirst));
    ASSERT_EQ(out.traces.size(), 2u + 9u + 2u);
    ExpectTraces(out, 0, a, 1, 2);
    for (int k = 1; k <= 9; ++k) {
        const ReadTrace& fill = out.traces[1 + static_cast<std::size_t>(k)];
        EXPECT_EQ(fill.time.minute, 0) << "fill " << k;
        EXPECT_EQ(fill.time.second, 1 + k) << "fill " << k;
        EXPECT_EQ(fill.time.millisecond, 0) << "fill " << k;
        EXPECT_EQ(fill.samples, std::vector<double>(4, 0.0)) << "fill " << k;
    }
    ExpectTraces(out, 11, b, 1, 2);
}

// Writes input `spec` with the binary header's fixed-length flag set.
std::string WriteFixedLengthInput(const std::string& path, const InputSpec& spec)
{
    WriteInput(path, spec);
    SegyBytes image(spec.bigEndian);
    image.MutableBytes() = ReadFileBytes(path);
    EXPECT_TRUE(image.Put16(3502, 1).WriteTo(path));
    return path;
}

class FixedLengthFlag : public CombineJobTest
{
protected:
    // An input of 4 samples a trace and one of `samplesB`, with fill traces
    // between them; the flag of the one output.
    int FlagOfTheComposite(int samplesB)
    {
        InputSpec a = Input(1, {100, 10, 0, 0}, 5);
        InputSpec b = Input(2, {100, 10, 0, 12}, 5);
        b.samples = samplesB;
        m_settings.input_files = {WriteFixedLengthInput(m_in + "/a.sgy", a),
                                  WriteFixedLengthInput(m_in + "/b.sgy", b)};
        EXPECT_EQ(Run(), CombineOutcome::Done);
        // a's interval, as its fourth written trace leaves it: (4 s - 0 s) /
        // (3 - 1) = 2 s; the gap 12 s - 4 s = 8 s: 8 / 2 - 1 = 3 fill traces.
        EXPECT_EQ(Result().summary.traces_filled, 3);
        const std::vector<std::string> names = FilesIn(m_out);
        if (names.size() != 1) {
            ADD_FAILURE() << "one output expected";
            return -1;
        }
        return Get16BE(ReadFileBytes(Out(names[0])), 3502);
    }
};

TEST_F(FixedLengthFlag, CompositeOfOneLengthKeepsIt)
{
    EXPECT_EQ(FlagOfTheComposite(4), 1);
    EXPECT_EQ(Result().summary.traces_other_length, 0);
}

TEST_F(FixedLengthFlag, CompositeOfTwoLengthsLosesIt)
{
    EXPECT_EQ(FlagOfTheComposite(6), 0);
    EXPECT_EQ(Result().summary.traces_other_length, 4);
}

// Three outputs split by two-hour gaps; only the first holds records of
// another length (b's 8-sample traces after a's 4-sample file header).
TEST_F(CombineJobTest, TracesOfAnotherLengthInTheFirstOfThreeOutputsAreCounted)
{
    InputSpec b = Input(2, {100, 10, 0, 5}, 5);
    b.samples = 8;
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    AddInput("b.sgy", b);
    AddInput("c.sgy", Input(3, {100, 12, 0, 0}, 5));
    AddInput("d.sgy", Input(4, {100, 14, 0, 0}, 5));

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().outputs.size(), 3u);
    EXPECT_EQ(Result().outputs[0].traces, 8);
    EXPECT_EQ(Result().summary.traces_other_length, 4);
}

} // namespace
} // namespace tessara::test
