// The delay scan of a closed output: which traces go, the status line, and a
// rewrite that fails and must leave the output as it was. Every case runs
// twice: on a file counted by reading it, and through the job, which counts
// the delays while it writes the output.
#include "combine/api/output_directory.h"
#include "combine/delay_scan.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <random>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <utility>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

constexpr int kSamples = 2;                                   // per trace: 10 000 traces stay small
constexpr int kRecordBytes = 240 + 4 * kSamples;              // IEEE samples
const std::string kScanning = " Scanning output for delays "; // 28 characters
const std::string kFix = " Transcribing Delay Fix ";          // 24 characters
const std::string kNoDrop = "No delays dropped";

std::string Dots(int n)
{
    return std::string(static_cast<std::size_t>(n), '.');
}

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
// 100 ms after trace k - 1 and the samples 10 n and 10 n + 1 with n =
// `firstNumber` + k, which tell the trace when it is read back.
void WriteDelayFile(const std::string& path, const std::vector<int>& delays, int firstNumber = 0)
{
    SegyBytes b(true);
    b.FileHeader(5, kSamples, 1000, "C 1 DELAY SCAN");
    const std::vector<Stamp> times = Series({100, 10, 0, 0}, static_cast<int>(delays.size()), 100);
    for (std::size_t k = 0; k < delays.size(); ++k) {
        const Stamp& t = times[k];
        b.TraceHeader(kSamples, 1000);
        b.Trace32(4, static_cast<std::int64_t>(k) + 1);
        b.Trace16(108, delays[k]);
        b.TraceTime(2003, t.day, t.hour, t.minute, t.second, t.millisecond);
        const double first = 10.0 * (firstNumber + static_cast<double>(k));
        b.Samples(5, {first, first + 1});
    }
    ASSERT_TRUE(b.WriteTo(path)) << path;
}

// An input whose traces after its reference trace (which the job does not
// write) carry `delays`, numbered from 0; the reference is number -1.
std::string WriteInputWithReference(const std::string& path, const std::vector<int>& delays)
{
    std::vector<int> all{delays.empty() ? 0 : delays.front()};
    all.insert(all.end(), delays.begin(), delays.end());
    WriteDelayFile(path, all, -1);
    return path;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

enum class Counting { ByReading, WhileWriting };

struct Scanned {
    std::string path;                  // the scanned file, under its final name for a job
    std::int64_t removed = 0;          // as the scan (or the job summary) reports it
    std::vector<unsigned char> before; // ByReading: the file before the scan
};

class DelayScanTest : public CombineJobTest
{
protected:
    DelayScanTest() { m_settings.delayscan = true; }

    // Scans a closed output whose traces carry `delays`, in file order.
    // ByReading: the scan alone, on a file named as the working output.
    // WhileWriting: a job on one input that starts with a reference trace
    // (not written), so that the output holds exactly the traces of `delays`.
    Scanned Scan(const std::vector<int>& delays, Counting counting)
    {
        Scanned result;
        if (counting == Counting::ByReading) {
            result.path = Out("SegyOut.sgy");
            WriteDelayFile(result.path, delays);
            result.before = ReadFileBytes(result.path);
            const DelayScanResult scan =
                ScanFileAndMeasureTraceDelayFrequencys(m_host, result.path, std::nullopt);
            result.removed = scan.removed;
            EXPECT_FALSE(scan.failed);
            return result;
        }
        m_settings.input_files = {
            WriteInputWithReference((fs::path(m_in) / "survey.sgy").string(), delays)};
        EXPECT_EQ(Run(), CombineOutcome::Done);
        const std::vector<std::string> names = FilesIn(m_out);
        EXPECT_EQ(names.size(), 1u);
        if (names.size() == 1)
            result.path = Out(names[0]);
        result.removed = Result().summary.removed_by_delay_scan;
        return result;
    }

    // The statuses from the scan's first on, without the job's closing
    // "Done....".
    [[nodiscard]] std::vector<std::string> ScanStatuses() const
    {
        const std::vector<std::string>& all = m_host.statuses;
        std::size_t first = all.size();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == kScanning)
                first = i;
        }
        std::size_t last = all.size();
        if (last > first && all.back() == "Done....")
            --last;
        if (first >= last)
            return {};
        return {all.begin() + static_cast<std::ptrdiff_t>(first),
                all.begin() + static_cast<std::ptrdiff_t>(last)};
    }
};

struct DelayCase {
    const char* name;
    Groups groups;
    std::vector<int> dropped; // delay values that must go, worked out by hand
};

class DelayScanCases : public DelayScanTest,
                       public ::testing::WithParamInterface<std::tuple<DelayCase, Counting>>
{
};

TEST_P(DelayScanCases, KeepsEveryTraceButThoseOfTheRareValuesAtTheEnds)
{
    const auto& [c, counting] = GetParam();
    const std::vector<int> delays = Scattered(c.groups);
    std::vector<std::size_t> kept; // positions of the traces that stay
    for (std::size_t k = 0; k < delays.size(); ++k) {
        if (std::find(c.dropped.begin(), c.dropped.end(), delays[k]) == c.dropped.end())
            kept.push_back(k);
    }

    const Scanned s = Scan(delays, counting);

    const ReadOutput out = ReadBack(s.path);
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
    EXPECT_EQ(s.removed, static_cast<std::int64_t>(delays.size() - kept.size()));
    EXPECT_EQ(Contains(m_host.statuses, kNoDrop), c.dropped.empty());
    EXPECT_FALSE(fs::exists(Out("SegyOut.sgyNEW")));
    if (counting == Counting::ByReading && c.dropped.empty()) {
        EXPECT_EQ(ReadFileBytes(s.path), s.before) << "a file without drops is not rewritten";
    }
    if (counting == Counting::WhileWriting) {
        ASSERT_EQ(Result().outputs.size(), 1u);
        EXPECT_EQ(Result().outputs[0].traces, static_cast<std::int64_t>(kept.size()));
        EXPECT_EQ(Result().outputs[0].bytes,
                  3600 + static_cast<std::int64_t>(kept.size()) * kRecordBytes);
    }
}

std::vector<int> Range(int from, int count)
{
    std::vector<int> values;
    for (int k = 0; k < count; ++k)
        values.push_back(from + k);
    return values;
}

const DelayCase kCases[] = {
    // 1999 traces: threshold max(1, 1) = 1, which no count is below.
    {"FewerThan2000NeverChange", {{-300, 1}, {100, 1997}, {5000, 1}}, {}},
    // 2000 traces: threshold 2, so single traces at both ends go.
    {"At2000SingleExtremesGo", {{0, 1}, {100, 1998}, {5000, 1}}, {0, 5000}},
    {"FiveAndFiveExtremesOf10000Go", {{0, 5}, {100, 9990}, {5000, 5}}, {0, 5000}},
    {"RareValueBetweenTheEndsStays", {{100, 9000}, {200, 5}, {300, 995}}, {}},
    {"HighEndOnlyStillRewrites", {{100, 9995}, {5000, 5}}, {5000}},
    // Threshold 10: -5 and 0 go in turn; 5000 with exactly 10 traces stays.
    {"EndsTrimmedValueByValueUpToTheThreshold",
     {{-5, 3}, {0, 4}, {100, 9983}, {5000, 10}},
     {-5, 0}},
};

std::string CaseName(const ::testing::TestParamInfo<std::tuple<DelayCase, Counting>>& info)
{
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) == Counting::ByReading ? "_ByReading" : "_WhileWriting");
}

INSTANTIATE_TEST_SUITE_P(DelayScan,
                         DelayScanCases,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(Counting::ByReading,
                                                              Counting::WhileWriting)),
                         CaseName);

TEST_F(DelayScanTest, EveryValueRarerThanTheThresholdLeavesTheFileAsItWas)
{
    // 2000 traces, threshold 2, every delay different: trimming both ends
    // would remove every trace.
    std::vector<int> delays = Range(-1000, 2000);
    WriteDelayFile(Out("SegyOut.sgy"), delays);
    const std::vector<unsigned char> before = ReadFileBytes(Out("SegyOut.sgy"));
    EXPECT_EQ(
        ScanFileAndMeasureTraceDelayFrequencys(m_host, Out("SegyOut.sgy"), std::nullopt).removed,
        0);
    EXPECT_EQ(ReadFileBytes(Out("SegyOut.sgy")), before);
    EXPECT_EQ(m_host.Status(), kNoDrop);

    const Scanned s = Scan(delays, Counting::WhileWriting);
    EXPECT_EQ(s.removed, 0);
    EXPECT_EQ(ReadBack(s.path).traces.size(), 2000u);
}

TEST_F(DelayScanTest, FileWithoutTracesIsLeftAsItWas)
{
    SegyBytes b(true);
    b.FileHeader(5, kSamples, 1000, "C 1 NO TRACES");
    ASSERT_TRUE(b.WriteTo(Out("SegyOut.sgy")));
    const DelayScanResult scan =
        ScanFileAndMeasureTraceDelayFrequencys(m_host, Out("SegyOut.sgy"), std::nullopt);
    EXPECT_EQ(scan.removed, 0);
    EXPECT_FALSE(scan.failed);
    EXPECT_EQ(ReadFileBytes(Out("SegyOut.sgy")), b.Bytes());
    EXPECT_EQ(m_host.statuses, (std::vector<std::string>{kScanning, kNoDrop}));
    EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
}

TEST_F(DelayScanTest, StatusLineGetsADotPer100TracesAndStartsAnewPast80Characters)
{
    // 10 000 traces, 10 of them dropped: 100 dots while counting, 100 more
    // while rewriting (the counter goes on from 10 000 to 20 000).
    const std::vector<int> delays = Scattered({{0, 5}, {100, 9990}, {5000, 5}});
    (void)Scan(delays, Counting::ByReading);
    const std::vector<std::string> s = m_host.statuses;
    ASSERT_EQ(s.size(), 201u);
    EXPECT_EQ(s[0], kScanning);
    EXPECT_EQ(s[1], kScanning + ".");
    EXPECT_EQ(s[52], kScanning + Dots(52)) << "80 characters still fit";
    EXPECT_EQ(s[53], kScanning) << "a 53rd dot would make 81";
    EXPECT_EQ(s[100], kScanning + Dots(47)) << "end of the counting pass";
    EXPECT_EQ(s[101], kScanning + Dots(48)) << "the rewrite goes on on the same line";
    EXPECT_EQ(s[105], kScanning + Dots(52));
    EXPECT_EQ(s[106], kFix);
    EXPECT_EQ(s[162], kFix + Dots(56));
    EXPECT_EQ(s[163], kFix) << "a 57th dot would make 81";
    EXPECT_EQ(s[200], kFix + Dots(37));
    EXPECT_EQ(m_host.pumps, 200);
    for (const std::string& text : s)
        EXPECT_LE(text.size(), 80u) << text;
}

TEST_F(DelayScanTest, CountedWhileWritingTheStatusLineEndsAsAfterACountingPass)
{
    const std::vector<int> delays = Scattered({{0, 5}, {100, 9990}, {5000, 5}});
    (void)Scan(delays, Counting::WhileWriting);
    const std::vector<std::string> s = ScanStatuses();
    // No pass over the file: the line jumps to where the 100 dots of the
    // count leave it, and the rewrite continues as above.
    ASSERT_EQ(s.size(), 102u);
    EXPECT_EQ(s[0], kScanning);
    EXPECT_EQ(s[1], kScanning + Dots(47));
    EXPECT_EQ(s[7], kFix);
    EXPECT_EQ(s[101], kFix + Dots(37));
}

TEST_F(DelayScanTest, EveryOutputOfAJobIsCountedWhileWritten)
{
    // Two inputs two hours apart: the gap closes the first output. Each
    // output holds 999 traces, so each scan jumps to 9 dots at once.
    const std::string a = WriteInputWithReference(m_tmp.File("a.sgy"), std::vector<int>(999, 7));
    SegyBytes b(true);
    b.FileHeader(5, kSamples, 1000, "C 1 LATER");
    for (const Stamp& t : Series({100, 12, 0, 0}, 1000, 100)) {
        b.TraceHeader(kSamples, 1000);
        b.Trace16(108, 9);
        b.TraceTime(2003, t.day, t.hour, t.minute, t.second, t.millisecond);
        b.Samples(5, {1, 2});
    }
    ASSERT_TRUE(b.WriteTo(m_tmp.File("b.sgy")));
    m_settings.input_files = {a, m_tmp.File("b.sgy")};
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().outputs.size(), 2u);

    const std::vector<std::string>& s = m_host.statuses;
    std::vector<std::string> scans;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == kScanning)
            scans.push_back(s[i + 1]);
    }
    EXPECT_EQ(scans, (std::vector<std::string>{kScanning + Dots(9), kScanning + Dots(9)}));
}

TEST_F(DelayScanTest, NoDelaysDroppedEndsTheStatusLine)
{
    const std::vector<int> delays = Scattered({{0, 1}, {100, 1997}, {5000, 1}});
    (void)Scan(delays, Counting::ByReading);
    std::vector<std::string> expected{kScanning};
    for (int k = 1; k <= 19; ++k)
        expected.push_back(kScanning + Dots(k));
    expected.push_back(kNoDrop);
    EXPECT_EQ(m_host.statuses, expected);
    EXPECT_EQ(m_host.pumps, 20);
}

// Two inputs with a short gap between them, filled with null traces that
// carry the header (and delay) of the last trace before the gap; rare delays
// at both ends. Counting while writing must give the file a counting pass
// gives, byte for byte.
TEST_F(DelayScanTest, CountingWhileWritingGivesTheFileACountingPassGives)
{
    std::vector<int> a(1500, 100);
    a[700] = 0;
    a[1499] = 4000;
    std::vector<int> b(1500, 100);
    b[300] = 6000;
    const std::string pathA = (fs::path(m_in) / "a.sgy").string();
    const std::string pathB = (fs::path(m_in) / "b.sgy").string();
    WriteDelayFile(pathA, a);
    // b starts 5 s after a's last trace.
    SegyBytes later(true);
    later.FileHeader(5, kSamples, 1000, "C 1 DELAY SCAN");
    const std::vector<Stamp> times = Series({100, 10, 2, 35, 0}, 1500, 100);
    for (std::size_t k = 0; k < b.size(); ++k) {
        later.TraceHeader(kSamples, 1000);
        later.Trace16(108, b[k]);
        later.TraceTime(2003,
                        times[k].day,
                        times[k].hour,
                        times[k].minute,
                        times[k].second,
                        times[k].millisecond);
        later.Samples(5, {-1.0 * static_cast<double>(k), 0.5});
    }
    ASSERT_TRUE(later.WriteTo(pathB));
    m_settings.input_files = {pathA, pathB};
    m_settings.make_null_traces = true;

    m_settings.delayscan = false;
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(FilesIn(m_out).size(), 1u);
    const std::string counted = m_tmp.File("SegyOut.sgy");
    fs::rename(Out(FilesIn(m_out)[0]), counted);
    const std::size_t traces = ReadBack(counted).traces.size();
    ASSERT_GT(traces, 3000u) << "null traces fill the gap";
    const std::int64_t removedByReading =
        ScanFileAndMeasureTraceDelayFrequencys(m_host, counted, std::nullopt).removed;

    m_settings.delayscan = true;
    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(FilesIn(m_out).size(), 1u);
    EXPECT_GE(removedByReading, 2) << "0 and 6000 are rare extremes";
    EXPECT_EQ(Result().summary.removed_by_delay_scan, removedByReading);
    EXPECT_EQ(ReadFileBytes(Out(FilesIn(m_out)[0])), ReadFileBytes(counted));
    const std::vector<std::string> statuses = ScanStatuses();
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[1], kScanning + Dots(static_cast<int>(traces / 100)))
        << "the job counted while writing, without a counting pass";
}

TEST_F(DelayScanTest, TemporaryNameTakenByAFolderNamesTheUncleanedOutputAndStops)
{
    fs::create_directory(Out("SegyOut.sgyNEW"));
    std::ofstream(Out("SegyOut.sgyNEW/keep.txt")) << "keep";
    m_host.expectedMessages = {"Cannot write " + Out("SegyOut.sgyNEW")};
    const std::vector<int> delays = Scattered({{0, 1}, {100, 1998}, {5000, 1}});
    m_settings.input_files = {
        WriteInputWithReference((fs::path(m_in) / "survey.sgy").string(), delays)};
    EXPECT_EQ(Run(), CombineOutcome::WriteFailed);

    EXPECT_EQ(m_host.messages, m_host.expectedMessages);
    const std::string expectedTail = "\tDelay scan not applied: cannot write " +
                                     Out("SegyOut.sgyNEW") + "\r\nCannot write " +
                                     Out("SegyOut.sgyNEW") + "\r\n";
    ASSERT_GE(m_host.log.size(), expectedTail.size());
    EXPECT_EQ(m_host.log.substr(m_host.log.size() - expectedTail.size()), expectedTail);
    const std::string name = "Choose Expedition_100_1000_to_100_1003.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{name, "SegyOut.sgyNEW"}));
    EXPECT_TRUE(fs::exists(Out("SegyOut.sgyNEW/keep.txt")));
    EXPECT_EQ(ReadBack(Out(name)).traces.size(), 2000u) << "complete, not cleaned";
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().summary.traces_written, 2000);
    EXPECT_EQ(Result().summary.traces_unfinished, 0);
    EXPECT_EQ(Result().summary.removed_by_delay_scan, 0);
}

enum ChildResult {
    kChildAsExpected = 0,
    kChildNotLimited = 10,
    kChildNotFailed = 11,
    kChildWrongMessage = 12,
    kChildWrongLog = 13,
    kChildReportedOutput = 14,
};

int RunJobWithLimitedRewrite(const CombineSettings& settings, const std::string& outDir)
{
    const std::string message = "Cannot write " + JoinPath(outDir, "SegyOut.sgyNEW");
    CRecordingHost host;
    host.expectedMessages = {message};
    // The output is complete when the scan starts: from then on no file may
    // grow past a few traces, so the rewrite runs into the limit.
    bool limited = false;
    host.onStatus = [&](std::string_view text) {
        if (text == kScanning)
            limited = LimitFileSize(3600 + 4 * kRecordBytes);
    };
    CCombineJob job(settings, host);
    const CombineOutcome outcome = job.Run(outDir);
    if (!limited)
        return kChildNotLimited;
    if (outcome != CombineOutcome::WriteFailed)
        return kChildNotFailed;
    if (host.messages != std::vector<std::string>{message})
        return kChildWrongMessage;
    if (host.log.size() < message.size() + 2 ||
        host.log.compare(
            host.log.size() - message.size() - 2, std::string::npos, message + "\r\n") != 0)
        return kChildWrongLog;
    if (job.Result().outputs.size() != 1 || job.Result().summary.removed_by_delay_scan != 0)
        return kChildReportedOutput;
    return kChildAsExpected;
}

TEST_F(DelayScanTest, RewriteThatFailsNamesTheWholeOutputAndLeavesNoCopy)
{
    const std::vector<int> delays = Scattered({{0, 1}, {100, 1998}, {5000, 1}});
    m_settings.input_files = {
        WriteInputWithReference((fs::path(m_in) / "survey.sgy").string(), delays)};

    const ChildEnd end = RunInChild([&] { return RunJobWithLimitedRewrite(m_settings, m_out); });
    ASSERT_TRUE(end.exited) << "the job must not be killed by the size limit";
    EXPECT_EQ(end.code, kChildAsExpected);

    const std::string name = "Choose Expedition_100_1000_to_100_1003.sgy";
    EXPECT_EQ(FilesIn(m_out), Names{name}) << "no copy, no working file";
    const ReadOutput out = ReadBack(Out(name));
    ASSERT_EQ(out.traces.size(), delays.size());
    for (std::size_t k = 0; k < delays.size(); ++k) {
        EXPECT_EQ(out.traces[k].delayMs, delays[k]) << k;
        EXPECT_EQ(out.traces[k].samples[0], 10.0 * static_cast<double>(k)) << k;
    }
    EXPECT_EQ(fs::file_size(Out(name)), 3600u + delays.size() * kRecordBytes);
}

// The rewrite copies the records it keeps as they are stored, by the kernel
// or by plain reads and writes, and must give the file the trace-by-trace
// rewrite gives: every trace read, the kept ones written again.
struct RewriteCase {
    const char* name;
    bool bigEndian;
    int format;
    bool variableLength; // trace k has 2 + k % 3 samples, the binary header says 2
    bool extendedHeader; // revision 1 with one extended text header
};

// 2000 traces at delay 100 but for 0 at trace 500 and 5000 at trace 1500,
// both rare at an end (threshold 2). The reader repairs trace 7
// (coordinateUnits 0), 8 (sampleInterval 0) and 9 (sampleInterval 30000,
// above ten times the file's 1000 us) and no other header.
SegyBytes Composite(const RewriteCase& c)
{
    SegyBytes b(c.bigEndian);
    b.FileHeader(c.format, 2, 1000, "C 1 COMPOSITE").Put16(3502, c.variableLength ? 0 : 1);
    if (c.extendedHeader)
        b.Put16(3500, 0x0100).Put16(3504, 1).Raw(std::vector<unsigned char>(3200, ' '));
    for (int k = 0; k < 2000; ++k) {
        const int n = c.variableLength ? 2 + k % 3 : 2;
        b.TraceHeader(n, k == 8 ? 0 : k == 9 ? 30000 : 1000).Trace32(4, k + 1);
        b.Trace16(88, k == 7 ? 0 : 1).Trace16(108, k == 500 ? 0 : k == 1500 ? 5000 : 100);
        b.Trace32(188, 70000 + k); // the reader keeps bytes 188-239 in the file's order
        b.Samples(c.format, std::vector<double>(static_cast<std::size_t>(n), k % 100 - 50));
    }
    return b;
}

// The trace-by-trace rewrite of `from` without delays 0 and 5000.
std::vector<unsigned char> Transcribed(const std::string& from, const std::string& to)
{
    CSegyFileIn in;
    CSegyFileOut out;
    if (!in.Open(from) || !out.Open(to))
        return {};
    out.StartLike(in, static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    CSegyTrace trace(in.GetSamples());
    for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1)) {
        if (trace.header->delayRecordingTime != 0 && trace.header->delayRecordingTime != 5000)
            out.Write(trace);
    }
    out.Close();
    return ReadFileBytes(to);
}

// Scans `path` in a child process in which the kernel refuses
// copy_file_range with ENOSYS, as a kernel without it does. 0 when two traces
// were removed, 2 when the refusal cannot be arranged.
int ScanWhereTheKernelRefusesCopies(IJobHost& host, const std::string& path)
{
    return RunInChild([&] {
               sock_filter filter[] = {
                   BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                   BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_copy_file_range, 0, 1),
                   BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
                   BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
               };
               const sock_fprog program{4, filter};
               if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
                   prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
                   return 2;
               return ScanFileAndMeasureTraceDelayFrequencys(host, path, std::nullopt).removed == 2
                          ? 0
                          : 1;
           })
        .code;
}

class DelayScanRewrite : public DelayScanTest, public ::testing::WithParamInterface<RewriteCase>
{
protected:
    void TearDown() override { SetDelayScanKernelCopy(true); }
};

TEST_P(DelayScanRewrite, EqualsTheTraceByTraceRewriteWithAndWithoutTheKernel)
{
    const SegyBytes composite = Composite(GetParam());
    const std::string path = Out("SegyOut.sgy");
    ASSERT_TRUE(composite.WriteTo(m_tmp.File("composite.sgy")));
    const std::vector<unsigned char> expected =
        Transcribed(m_tmp.File("composite.sgy"), m_tmp.File("expected.sgy"));
    ASSERT_GT(expected.size(), 3600u);
    const DelayHistogram counted{{0, 1}, {100, 1998}, {5000, 1}};
    for (const bool kernel : {true, false}) {
        for (const bool byReading : {true, false}) {
            SCOPED_TRACE(std::string(kernel ? "kernel" : "plain") + (byReading ? ", read" : ""));
            SetDelayScanKernelCopy(kernel);
            ASSERT_TRUE(composite.WriteTo(path));
            const DelayScanResult scan = ScanFileAndMeasureTraceDelayFrequencys(
                m_host, path, byReading ? std::nullopt : std::optional(counted));
            EXPECT_EQ(scan.removed, 2);
            EXPECT_TRUE(ReadFileBytes(path) == expected) << "the copy differs";
            EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
        }
    }
    SetDelayScanKernelCopy(true);
    ASSERT_TRUE(composite.WriteTo(path));
    ASSERT_EQ(ScanWhereTheKernelRefusesCopies(m_host, path), 0);
    EXPECT_TRUE(ReadFileBytes(path) == expected) << "plain reads and writes take over";
}

TEST_P(DelayScanRewrite, CopyThatFailsLeavesTheFileWholeAndNoCopy)
{
    const SegyBytes composite = Composite(GetParam());
    const std::string path = Out("SegyOut.sgy");
    for (const bool kernel : {true, false}) {
        SCOPED_TRACE(kernel ? "kernel" : "plain");
        SetDelayScanKernelCopy(kernel);
        ASSERT_TRUE(composite.WriteTo(path));
        // Room for the copy's file header and four records.
        const ChildEnd end = RunInChild(
            [&] {
                const DelayScanResult s =
                    ScanFileAndMeasureTraceDelayFrequencys(m_host, path, std::nullopt);
                return s.failed && s.copyFailed && s.copyPath == path + "NEW" ? 0 : 1;
            },
            {3600 + 4 * kRecordBytes});
        EXPECT_EQ(end.code, 0);
        // A count two traces above what the file holds: it cannot be read back whole.
        const DelayScanResult s = ScanFileAndMeasureTraceDelayFrequencys(
            m_host, path, DelayHistogram{{0, 1}, {100, 2000}, {5000, 1}});
        EXPECT_TRUE(s.failed && !s.copyFailed);
        EXPECT_TRUE(ReadFileBytes(path) == composite.Bytes()) << "the file changed";
        EXPECT_EQ(FilesIn(m_out), Names{"SegyOut.sgy"});
    }
}

const RewriteCase kRewriteCases[] = {
    {"BigEndianIeee", true, 5, false, false},
    {"BigEndianIbmVariableLength", true, 1, true, false},
    {"BigEndianInt32", true, 2, false, false},
    {"BigEndianInt16VariableLength", true, 3, true, false},
    {"BigEndianInt8ExtendedTextHeader", true, 8, false, true},
    {"LittleEndianIeeeVariableLength", false, 5, true, false},
};

INSTANTIATE_TEST_SUITE_P(DelayScan,
                         DelayScanRewrite,
                         ::testing::ValuesIn(kRewriteCases),
                         [](const ::testing::TestParamInfo<RewriteCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
} // namespace tessara::test
