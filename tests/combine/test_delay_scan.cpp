// The delay scan: which delays an output loses, decided from the histogram of
// every trace it would hold, and the job that leaves those traces out while
// it writes each output.
#include "combine/delay_scan.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <random>
#include <utility>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The decision.

struct DecideCase {
    const char* name;
    DelayHistogram delays;
    std::vector<int> dropped; // worked out by hand
    std::int64_t removed = 0;
};

DelayHistogram Distinct(int from, int count)
{
    DelayHistogram h;
    for (int k = 0; k < count; ++k)
        h[static_cast<std::int16_t>(from + k)] = 1;
    return h;
}

class DecideDelayScanTable : public ::testing::TestWithParam<DecideCase>
{
};

TEST_P(DecideDelayScanTable, RemovesTheRareValuesAtTheEndsOnly)
{
    const DecideCase& c = GetParam();
    const DelayScanDecision d = DecideDelayScan(c.delays);
    EXPECT_EQ(d.removes, !c.dropped.empty());
    EXPECT_EQ(d.removed, c.removed);
    for (const auto& [delay, count] : c.delays) {
        const bool dropped =
            std::find(c.dropped.begin(), c.dropped.end(), delay) != c.dropped.end();
        EXPECT_EQ(d.Drops(delay), dropped) << "delay " << delay;
    }
    if (!d.removes)
        return;
    // What stays is one range: a value the output does not hold, between
    // the kept ends, would stay too, and everything beyond them goes.
    ASSERT_LE(d.min, d.max);
    EXPECT_FALSE(d.Drops(d.min));
    EXPECT_FALSE(d.Drops(d.max));
    if (d.min > -32768) {
        EXPECT_TRUE(d.Drops(static_cast<std::int16_t>(d.min - 1)));
    }
    if (d.max < 32767) {
        EXPECT_TRUE(d.Drops(static_cast<std::int16_t>(d.max + 1)));
    }
}

const DecideCase kDecideCases[] = {
    {"EmptyKeepsAll", {}, {}, 0},
    {"SingleTraceKeepsIt", {{100, 1}}, {}, 0},
    // Up to 1999 traces the threshold is 1, which no count is below.
    {"At999NothingGoes", {{0, 1}, {100, 997}, {5000, 1}}, {}, 0},
    {"At1000NothingGoes", {{0, 1}, {100, 998}, {5000, 1}}, {}, 0},
    {"At1999NothingGoes", {{-300, 1}, {100, 1997}, {5000, 1}}, {}, 0},
    {"At2000SingleExtremesGo", {{0, 1}, {100, 1998}, {5000, 1}}, {0, 5000}, 2},
    // 2999 traces: threshold 2, which the two traces at 0 reach; at 3000 it
    // is 3 and they go as well.
    {"At2999TwoTracesStay", {{0, 2}, {100, 2996}, {5000, 1}}, {5000}, 1},
    {"At3000TwoTracesGo", {{0, 2}, {100, 2997}, {5000, 1}}, {0, 5000}, 3},
    {"FiveAndFiveExtremesOf10000Go", {{0, 5}, {100, 9990}, {5000, 5}}, {0, 5000}, 10},
    {"RareValueBetweenTheEndsStays", {{100, 9000}, {200, 5}, {300, 995}}, {}, 0},
    {"RareValueBetweenStaysWhileTheEndsGo",
     {{0, 1}, {100, 9000}, {200, 5}, {300, 993}, {400, 1}},
     {0, 400},
     2},
    {"HighEndOnly", {{100, 9995}, {5000, 5}}, {5000}, 5},
    {"LowEndOnly", {{-20, 5}, {100, 9995}}, {-20}, 5},
    {"ExtremesOfTheField", {{-32768, 5}, {100, 9990}, {32767, 5}}, {-32768, 32767}, 10},
    // Threshold 10: -5 and 0 go in turn; 5000 with exactly 10 traces stays.
    {"EndsTrimmedValueByValueUpToTheThreshold",
     {{-5, 3}, {0, 4}, {100, 9983}, {5000, 10}},
     {-5, 0},
     7},
    // 2000 traces, threshold 2, every delay different: trimming both ends
    // would remove every trace.
    {"EveryValueRareKeepsAll", Distinct(-1000, 2000), {}, 0},
    // Counts far beyond 32 bits: threshold 10 010 000.
    {"CountsBeyond32Bits",
     {{0, 4'999'999}, {100, 5'000'000'000}, {200, 5'000'001}},
     {0, 200},
     10'000'000},
};

INSTANTIATE_TEST_SUITE_P(Histograms,
                         DecideDelayScanTable,
                         ::testing::ValuesIn(kDecideCases),
                         [](const ::testing::TestParamInfo<DecideCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(DelayScanDecision, ThatRemovesNothingDropsNoDelay)
{
    const DelayScanDecision keep = DecideDelayScan({{0, 1}, {100, 1997}, {5000, 1}});
    ASSERT_FALSE(keep.removes);
    for (const int delay : {-32768, -1, 0, 100, 5000, 32767})
        EXPECT_FALSE(keep.Drops(static_cast<std::int16_t>(delay))) << delay;
}

// ---------------------------------------------------------------------------
// The job.

constexpr int kSamples = 2;                      // per trace: 10 000 traces stay small
constexpr int kRecordBytes = 240 + 4 * kSamples; // IEEE samples
const std::string kFix = " Transcribing Delay Fix ";
const std::string kNoDrop = "No delays dropped";

using Groups = std::vector<std::pair<int, int>>; // (delay ms, traces)

// The delays of a file, in file order: each group's traces scattered through
// the file by a fixed shuffle, so that no rare trace sits only at an end.
std::vector<int> Scattered(const Groups& groups)
{
    std::vector<int> delays;
    for (const auto& [delay, count] : groups)
        delays.insert(delays.end(), static_cast<std::size_t>(count), delay);
    std::mt19937 random(12345);
    std::shuffle(delays.begin(), delays.end(), random);
    return delays;
}

// Trace k of a delay file carries delays[k], traceSequenceFile k + 1, a time
// 100 ms after trace k - 1 from `first` and the samples 10 n and 10 n + 1
// with n = `firstNumber` + k, which tell the trace when it is read back.
void WriteDelayFile(const std::string& path,
                    const std::vector<int>& delays,
                    int firstNumber = 0,
                    Stamp first = {100, 10, 0, 0})
{
    SegyBytes b(true);
    b.FileHeader(5, kSamples, 1000, "C 1 DELAY SCAN");
    const std::vector<Stamp> times = Series(first, static_cast<int>(delays.size()), 100);
    for (std::size_t k = 0; k < delays.size(); ++k) {
        const Stamp& t = times[k];
        b.TraceHeader(kSamples, 1000);
        b.Trace32(4, static_cast<std::int64_t>(k) + 1);
        b.Trace16(108, delays[k]);
        b.TraceTime(2003, t.day, t.hour, t.minute, t.second, t.millisecond);
        const double n = 10.0 * (firstNumber + static_cast<double>(k));
        b.Samples(5, {n, n + 1});
    }
    ASSERT_TRUE(b.WriteTo(path)) << path;
}

// An input whose traces after its reference trace (which the job does not
// write) carry `delays`, numbered from 0; the reference is number -1.
std::string WriteInputWithReference(const std::string& path,
                                    const std::vector<int>& delays,
                                    Stamp first = {100, 10, 0, 0})
{
    std::vector<int> all{delays.empty() ? 0 : delays.front()};
    all.insert(all.end(), delays.begin(), delays.end());
    WriteDelayFile(path, all, -1, first);
    return path;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class DelayScanJob : public CombineJobTest
{
protected:
    DelayScanJob() { m_settings.delayscan = true; }
};

struct JobCase {
    const char* name;
    Groups groups;
    std::vector<int> dropped; // delay values that must go, worked out by hand
};

class DelayScanJobCases : public DelayScanJob, public ::testing::WithParamInterface<JobCase>
{
};

TEST_P(DelayScanJobCases, WritesEveryTraceButThoseOfTheRareValuesAtTheEnds)
{
    const JobCase& c = GetParam();
    const std::vector<int> delays = Scattered(c.groups);
    std::vector<std::size_t> kept; // positions of the traces that stay
    for (std::size_t k = 0; k < delays.size(); ++k) {
        if (std::find(c.dropped.begin(), c.dropped.end(), delays[k]) == c.dropped.end())
            kept.push_back(k);
    }
    m_settings.input_files = {
        WriteInputWithReference((fs::path(m_in) / "survey.sgy").string(), delays)};

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(FilesIn(m_out).size(), 1u);
    const ReadOutput out = ReadBack(Out(FilesIn(m_out)[0]));
    ASSERT_TRUE(out.opened);
    ASSERT_EQ(out.traces.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const ReadTrace& t = out.traces[i];
        ASSERT_EQ(t.samples.size(), static_cast<std::size_t>(kSamples));
        EXPECT_EQ(t.samples[0], 10.0 * static_cast<double>(kept[i]))
            << "trace " << i << " out of order";
        EXPECT_EQ(t.samples[1], 10.0 * static_cast<double>(kept[i]) + 1);
        EXPECT_EQ(t.delayMs, delays[kept[i]]);
    }
    const auto removed = static_cast<std::int64_t>(delays.size() - kept.size());
    EXPECT_EQ(Result().summary.removed_by_delay_scan, removed);
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].traces, static_cast<std::int64_t>(kept.size()));
    EXPECT_EQ(Result().outputs[0].bytes,
              3600 + static_cast<std::int64_t>(kept.size()) * kRecordBytes);
    EXPECT_EQ(Contains(m_host.statuses, kNoDrop), c.dropped.empty());
    EXPECT_EQ(Contains(m_host.statuses, kFix), !c.dropped.empty());
}

Groups EveryValueOnce(int from, int count)
{
    Groups groups;
    for (int k = 0; k < count; ++k)
        groups.emplace_back(from + k, 1);
    return groups;
}

const JobCase kJobCases[] = {
    {"FewerThan2000NeverChange", {{-300, 1}, {100, 1997}, {5000, 1}}, {}},
    {"At2000SingleExtremesGo", {{0, 1}, {100, 1998}, {5000, 1}}, {0, 5000}},
    {"FiveAndFiveExtremesOf10000Go", {{0, 5}, {100, 9990}, {5000, 5}}, {0, 5000}},
    {"RareValueBetweenTheEndsStays", {{100, 9000}, {200, 5}, {300, 995}}, {}},
    {"HighEndOnly", {{100, 9995}, {5000, 5}}, {5000}},
    {"EndsTrimmedValueByValueUpToTheThreshold",
     {{-5, 3}, {0, 4}, {100, 9983}, {5000, 10}},
     {-5, 0}},
    {"EveryValueRareKeepsAll", EveryValueOnce(-1000, 2000), {}},
};

INSTANTIATE_TEST_SUITE_P(DelayScan,
                         DelayScanJobCases,
                         ::testing::ValuesIn(kJobCases),
                         [](const ::testing::TestParamInfo<JobCase>& p) {
                             return std::string(p.param.name);
                         });

TEST_F(DelayScanJob, EachOutputIsDecidedOnItsOwnDelays)
{
    // Two inputs two hours apart: the gap closes the first output. Delay 7
    // is common in the first output and rare at the low end of the second;
    // over both outputs together it would stay.
    std::vector<int> a(2000, 7);
    a[300] = 0;
    a[1700] = 9;
    std::vector<int> b(2000, 9);
    b[1000] = 7;
    m_settings.input_files = {WriteInputWithReference(m_tmp.File("a.sgy"), a),
                              WriteInputWithReference(m_tmp.File("b.sgy"), b, {100, 12, 0, 0})};
    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_EQ(Result().summary.removed_by_delay_scan, 3);
    const auto delaysOf = [](const std::string& path) {
        std::vector<int> delays;
        for (const ReadTrace& t : ReadBack(path).traces)
            delays.push_back(t.delayMs);
        return delays;
    };
    EXPECT_EQ(delaysOf(Result().outputs[0].path), std::vector<int>(1998, 7));
    EXPECT_EQ(delaysOf(Result().outputs[1].path), std::vector<int>(1999, 9));
    EXPECT_EQ(Result().outputs[0].traces, 1998);
    EXPECT_EQ(Result().outputs[1].traces, 1999);
}

// The records of the SEG-Y file `bytes` (fixed-length, big-endian) whose
// delay is not in `dropped`, after its file header.
std::vector<unsigned char> WithoutDelays(const std::vector<unsigned char>& bytes,
                                         const std::vector<int>& dropped)
{
    std::vector<unsigned char> kept(bytes.begin(), bytes.begin() + 3600);
    for (std::size_t at = 3600; at + kRecordBytes <= bytes.size(); at += kRecordBytes) {
        const int delay = Get16BE(bytes, at + 108);
        if (std::find(dropped.begin(), dropped.end(), delay) == dropped.end())
            kept.insert(kept.end(),
                        bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        bytes.begin() + static_cast<std::ptrdiff_t>(at + kRecordBytes));
    }
    return kept;
}

// Two inputs with a short gap between them, filled with null traces that
// carry the header (and delay) of the last trace before the gap; rare delays
// at both ends. The fill traces count like any other: the delay before the
// gap, rare among the recorded traces, is common in the output.
TEST_F(DelayScanJob, FillTracesCountAndTheOutputIsThePlainOneWithoutTheRareEnds)
{
    std::vector<int> a(1500, 100);
    a[700] = 0;
    a[1499] = 4000;
    std::vector<int> b(1500, 100);
    b[300] = 6000;
    // b starts 5 s after a's last trace.
    m_settings.input_files = {WriteInputWithReference(m_tmp.File("a.sgy"), a),
                              WriteInputWithReference(m_tmp.File("b.sgy"), b, {100, 10, 2, 35, 0})};
    m_settings.make_null_traces = true;

    m_settings.delayscan = false;
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(FilesIn(m_out).size(), 1u);
    const std::string plain = m_tmp.File("plain.sgy");
    fs::rename(Out(FilesIn(m_out)[0]), plain);
    const std::vector<unsigned char> plainBytes = ReadFileBytes(plain);
    const ReadOutput plainOut = ReadBack(plain);
    ASSERT_GT(plainOut.traces.size(), 3010u) << "null traces fill the gap";
    const auto fourThousands = std::count_if(plainOut.traces.begin(),
                                             plainOut.traces.end(),
                                             [](const ReadTrace& t) { return t.delayMs == 4000; });
    ASSERT_GT(fourThousands, 10) << "the fill traces carry the delay before the gap";

    m_settings.delayscan = true;
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(FilesIn(m_out).size(), 1u);
    EXPECT_EQ(Result().summary.removed_by_delay_scan, 2);
    EXPECT_TRUE(ReadFileBytes(Out(FilesIn(m_out)[0])) == WithoutDelays(plainBytes, {0, 6000}))
        << "the output differs from the plain one without the traces at 0 and 6000 ms";
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].traces, static_cast<std::int64_t>(plainOut.traces.size()) - 2);
}

} // namespace
} // namespace tessara::test
