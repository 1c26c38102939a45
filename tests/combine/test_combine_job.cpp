// The combine job end to end: inputs written by the independent byte writer,
// outputs read back with the reader, the log compared line by line. Times
// are day 100 unless said otherwise; 10:00:00 on day 100 is 8676000 s of
// year. Every expected number below is worked out by hand from the rules.
#include "combine/api/output_directory.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

std::string StartTime(int day, int hour, int minute, int second)
{
    return "\tStart Time = " + std::to_string(day) + ":" + std::to_string(hour) + ":" +
           std::to_string(minute) + ":" + std::to_string(second);
}

const std::string kOpening = "\tOpening output file";
const std::string kDefaultName = "Choose Expedition_100_1000_to_100_1000.sgy";

TEST_F(CombineJobTest, OneInputGivesOneOutputWithoutItsReferenceTrace)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}));
    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_TRUE(out.opened);
    EXPECT_EQ(out.format, 5);
    EXPECT_EQ(out.samplesPerTrace, 4);
    EXPECT_EQ(out.sampleIntervalUs, 1000);
    EXPECT_EQ(out.textStart.substr(0, 15), "C 1 TEST SURVEY");
    ASSERT_EQ(out.traces.size(), 4u);
    ExpectTraces(out, 0, a, 1, 4);

    EXPECT_EQ(m_host.statuses,
              (Names{"Scanning input file = a.sgy : start times = 8676000",
                     "Input file = a.sgy : reading trace 0",
                     "Done...."}));
    ASSERT_EQ(Result().outputs.size(), 1u);
    const OutputRecord& record = Result().outputs[0];
    EXPECT_EQ(record.path, Out(kDefaultName));
    EXPECT_EQ(record.traces, 4);
    EXPECT_EQ(record.bytes, 3600 + 4 * (240 + 16));
    EXPECT_EQ(record.first_trace_time, 8676001.0);
    EXPECT_EQ(record.last_trace_time, 8676004.0);
    EXPECT_EQ(Result().summary.traces_read, 5);
    EXPECT_EQ(Result().summary.dropped_reference, 1);
    EXPECT_EQ(m_host.clears, 1);
}

TEST_F(CombineJobTest, InputsOfOtherFormatsContinueTheOutputInItsFormat)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    InputSpec b = Input(2, {100, 10, 0, 5}, 5);
    b.format = 1;
    b.bigEndian = false;
    InputSpec c = Input(3, {100, 10, 0, 10}, 5);
    c.format = 2;
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);
    const std::string pathC = AddInput("c.sgy", c);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}) +
                  ProcessingBlock(pathB, 4) + LogLines({StartTime(100, 10, 0, 6)}) +
                  ProcessingBlock(pathC, 4) + LogLines({StartTime(100, 10, 0, 11)}));
    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
    const ReadOutput out = ReadBack(Out(kDefaultName));
    EXPECT_EQ(out.format, 5) << "the input that opened the output sets its format";
    ASSERT_EQ(out.traces.size(), 12u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 4);
    ExpectTraces(out, 8, c, 1, 4);
}

// Records the file header does not describe as they are, counted over every
// output: each of two outputs, split by a two-hour gap, is opened by an
// input and continued by one that differs from it, whose 4 written traces
// count.
struct DifferingInputCase {
    const char* name;
    void (*differ)(InputSpec& opener, InputSpec& continued);
    std::int64_t CombineSummary::*counted;
};

class DifferingInputs : public CombineJobTest,
                        public ::testing::WithParamInterface<DifferingInputCase>
{
};

TEST_P(DifferingInputs, AreCountedOverEveryOutput)
{
    const DifferingInputCase& kind = GetParam();
    InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    InputSpec b = Input(2, {100, 10, 0, 5}, 5);
    InputSpec c = Input(3, {100, 12, 0, 0}, 5);
    InputSpec d = Input(4, {100, 12, 0, 5}, 5);
    kind.differ(a, b);
    kind.differ(c, d);
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);
    AddInput("c.sgy", c);
    AddInput("d.sgy", d);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_EQ(Result().summary.*kind.counted, 8);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds,
    DifferingInputs,
    ::testing::Values(DifferingInputCase{"OtherLength",
                                         [](InputSpec&, InputSpec& continued) {
                                             continued.samples = 8;
                                         },
                                         &CombineSummary::traces_other_length},
                      // Floats written as the 16-bit integers of the opener's format.
                      DifferingInputCase{"ConvertedWithLoss",
                                         [](InputSpec& opener, InputSpec&) { opener.format = 3; },
                                         &CombineSummary::traces_converted_with_loss}),
    [](const ::testing::TestParamInfo<DifferingInputCase>& p) {
        return std::string(p.param.name);
    });

TEST_F(CombineJobTest, SizeLimitClosesAfterTheInputThatPassedIt)
{
    // 2000 IEEE samples: 8240 bytes a trace; 69 traces of an input are 568560
    // bytes. After a: 568560 (bytes after the file header) <= 1000000. After b:
    // the whole output, 3600 + 138 * 8240 = 1140720 > 1000000.
    m_settings.max_file_size = 1;
    InputSpec a = Input(1, {100, 10, 0, 0}, 70);
    InputSpec b = Input(2, {100, 10, 1, 10}, 70);
    InputSpec c = Input(3, {100, 10, 2, 20}, 70);
    for (InputSpec* spec : {&a, &b, &c})
        spec->samples = 2000;
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);
    const std::string pathC = AddInput("c.sgy", c);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 2000) + LogLines({StartTime(100, 10, 0, 1), kOpening}) +
                  ProcessingBlock(pathB, 2000) +
                  LogLines({StartTime(100, 10, 1, 11),
                            "\tFile close by file size limit 1140720 > 1000000"}) +
                  ProcessingBlock(pathC, 2000) + LogLines({StartTime(100, 10, 2, 21), kOpening}));
    const std::string first = "Choose Expedition_100_1000_to_100_1002.sgy";
    const std::string second = "Choose Expedition_100_1002_to_100_1003.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{first, second}));
    EXPECT_EQ(fs::file_size(Out(first)), 1140720u);
    const ReadOutput out1 = ReadBack(Out(first));
    ASSERT_EQ(out1.traces.size(), 138u);
    ExpectTraces(out1, 0, a, 1, 69);
    ExpectTraces(out1, 69, b, 1, 69);
    const ReadOutput out2 = ReadBack(Out(second));
    ASSERT_EQ(out2.traces.size(), 69u);
    ExpectTraces(out2, 0, c, 1, 69);
}

// The duration rule looks ahead: it closes when the next input would start
// time_duration_limit hours or more after the output's first trace.
struct DurationCase {
    int nextOffsetMs;      // start of c relative to 11:00:01.000
    const char* closeLine; // nullptr: one output
};

class DurationLimit : public CombineJobTest, public ::testing::WithParamInterface<DurationCase>
{
};

TEST_P(DurationLimit, ClosesWhenTheNextInputStartsTheLimitAfterTheFirstTrace)
{
    m_settings.time_duration_limit = 1;
    m_settings.make_null_traces = false;              // the gaps here are below file_gap
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5); // first trace met 10:00:01
    const InputSpec b = Input(2, {100, 10, 30, 0}, 5);
    const Stamp cStart = Series({100, 11, 0, 1}, 2, GetParam().nextOffsetMs)[1];
    const InputSpec c = Input(3, cStart, 5);
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);
    AddInput("c.sgy", c);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const std::string throughB = ProcessingBlock(pathA, 4) +
                                 LogLines({StartTime(100, 10, 0, 1), kOpening}) +
                                 ProcessingBlock(pathB, 4) + LogLines({StartTime(100, 10, 30, 1)});
    if (GetParam().closeLine != nullptr) {
        EXPECT_EQ(
            m_host.log.substr(0, throughB.size() + std::string(GetParam().closeLine).size() + 2),
            throughB + LogLines({GetParam().closeLine}));
        EXPECT_EQ(FilesIn(m_out),
                  (Names{"Choose Expedition_100_1000_to_100_1030.sgy",
                         "Choose Expedition_100_1100_to_100_1100.sgy"}));
    } else {
        EXPECT_EQ(FilesIn(m_out), Names{"Choose Expedition_100_1000_to_100_1100.sgy"});
        EXPECT_EQ(m_host.log.find("File close"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CombineJob,
    DurationLimit,
    ::testing::Values(DurationCase{0, "\tFile close by time limit 3600 > 3600"},
                      DurationCase{-1, nullptr}, // span 3599.999 s
                      DurationCase{1500, "\tFile close by time limit 3601.5 > 3600"}));

// The gap rule: start of the next input minus the last trace written, against
// file_gap minutes; a gap exactly at the limit neither closes nor fills.
struct GapCase {
    Stamp nextStart;
    const char* closeLine; // nullptr: one output
};

class GapLimit : public CombineJobTest, public ::testing::WithParamInterface<GapCase>
{
};

TEST_P(GapLimit, ClosesOnlyAboveTheLimit)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5); // last trace 10:00:04
    const InputSpec b = Input(2, GetParam().nextStart, 5);
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const Stamp firstB = Series(GetParam().nextStart, 2)[1];
    if (GetParam().closeLine != nullptr) {
        EXPECT_EQ(
            m_host.log,
            ProcessingBlock(pathA, 4) +
                LogLines({StartTime(100, 10, 0, 1), kOpening, GetParam().closeLine}) +
                ProcessingBlock(pathB, 4) +
                LogLines({StartTime(100, firstB.hour, firstB.minute, firstB.second), kOpening}));
        ASSERT_EQ(Result().outputs.size(), 2u);
    } else {
        EXPECT_EQ(m_host.log,
                  ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}) +
                      ProcessingBlock(pathB, 4) +
                      LogLines({StartTime(100, firstB.hour, firstB.minute, firstB.second)}));
        ASSERT_EQ(Result().outputs.size(), 1u);
        const ReadOutput out = ReadBack(Result().outputs[0].path);
        ASSERT_EQ(out.traces.size(), 8u) << "a gap at the limit is not filled";
        ExpectTraces(out, 0, a, 1, 4);
        ExpectTraces(out, 4, b, 1, 4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CombineJob,
    GapLimit,
    ::testing::Values(GapCase{{100, 11, 1, 4}, "\tFile close by file  gap limit 3660 > 3600"},
                      GapCase{{100, 11, 0, 4}, nullptr},
                      // 11:00:04.001 is 8679604.001 s, whose nearest double is
                      // 8679604.00100000016391...: 15 digits show that.
                      GapCase{{100, 11, 0, 4, 1},
                              "\tFile close by file  gap limit 3600.00100000016 > 3600"}));

TEST_F(CombineJobTest, FileGapChangedWhileRunningTakesEffectFromTheNextInput)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const InputSpec b = Input(2, {100, 11, 1, 4}, 5); // 3660 s after a's last trace
    const InputSpec c = Input(3, {100, 12, 2, 8}, 5); // 3660 s after b's last trace
    AddInput("a.sgy", a);
    AddInput("b.sgy", b);
    AddInput("c.sgy", c);
    bool changed = false;
    m_host.onPump = [this, &changed] {
        // The first event after the scan: a's limit was read at its start.
        if (!changed && m_host.Status().rfind("Input file", 0) == 0) {
            m_settings.file_gap = 120;
            changed = true;
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(FilesIn(m_out),
              (Names{"Choose Expedition_100_1000_to_100_1000.sgy",
                     "Choose Expedition_100_1101_to_100_1202.sgy"}));
}

TEST_F(CombineJobTest, ExpeditionChangedWhileRunningNamesTheLaterOutputs)
{
    m_settings.demultiplex_only = true;
    AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 5));
    AddInput("b.sgy", Input(2, {100, 12, 0, 0}, 5));
    // Changed while the first output is written: its name was decided with
    // the expedition it started with.
    m_host.onPump = [this] {
        if (m_host.Status().find("a.sgy : reading") != std::string::npos)
            m_settings.Expedition = "LATER";
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(
        FilesIn(m_out),
        (Names{"Choose Expedition_100_1000_to_100_1000.sgy", "LATER_100_1200_to_100_1200.sgy"}));
}

TEST_F(CombineJobTest, SecondRunFromInsideTheEventPumpIsRefusedAndChangesNothing)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 12);
    AddInput("a.sgy", a);
    std::vector<CombineOutcome> nested;
    m_host.onPump = [this, &nested] {
        if (nested.empty() && m_host.Status().rfind("Input file", 0) == 0) {
            EXPECT_TRUE(m_job->bIsRunning());
            nested.push_back(m_job->Run(m_out));
        }
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(nested, std::vector<CombineOutcome>{CombineOutcome::AlreadyRunning});
    EXPECT_FALSE(m_job->bIsRunning());
    EXPECT_EQ(m_host.clears, 1) << "the refused run must not start a log of its own";
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().summary.traces_written, 11);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 11u);
    ExpectTraces(out, 0, a, 1, 11);
}

TEST_F(CombineJobTest, DemultiplexOnlyGivesOneOutputPerInputInListOrderWithoutResampling)
{
    m_settings.demultiplex_only = true;
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    InputSpec b = Input(2, {100, 9, 0, 0}, 5); // earlier, listed later
    b.intervalUs = 500;
    b.samples = 8;
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}) +
                  ProcessingBlock(pathB, 8) + LogLines({StartTime(100, 9, 0, 1), kOpening}));
    for (const std::string& status : m_host.statuses)
        EXPECT_EQ(status.find("Scanning"), std::string::npos) << "no input scan: " << status;
    ASSERT_EQ(Result().outputs.size(), 2u);
    EXPECT_EQ(Result().outputs[0].path, Out(kDefaultName));
    EXPECT_EQ(Result().outputs[1].path, Out("Choose Expedition_100_0900_to_100_0900.sgy"));
    const ReadOutput outB = ReadBack(Result().outputs[1].path);
    EXPECT_EQ(outB.sampleIntervalUs, 500);
    ASSERT_EQ(outB.traces.size(), 4u);
    ExpectTraces(outB, 0, b, 1, 4);
}

TEST_F(CombineJobTest, AssignedSamplingFrequencyResamplesEveryTraceAndTheFileHeaderSaysSo)
{
    // 12000 Hz: 1000000 / 12000 = 83.33, truncated to 83 us. 10 samples at
    // 100 us become trunc(10 * 100 / 83) = trunc(12.048) = 12.
    m_settings.assign_sampling_frequency = true;
    m_settings.sampling_frequency = 12000;
    InputSpec a = Input(1, {100, 10, 0, 0}, 4);
    a.samples = 10;
    a.intervalUs = 100;
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    const std::vector<unsigned char> bytes = ReadFileBytes(Result().outputs[0].path);
    EXPECT_EQ(Get16BE(bytes, 3216), 83) << "binary header sample interval";
    EXPECT_EQ(Get16BE(bytes, 3220), 12) << "binary header samples per trace";
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 3u);
    for (const ReadTrace& t : out.traces) {
        EXPECT_EQ(t.sampleCount, 12);
        EXPECT_EQ(t.intervalUs, 83);
    }
    EXPECT_EQ(Result().summary.traces_written, 3);
}

TEST_F(CombineJobTest, FirstTraceOfTheJobSetsTheIntervalAndLaterInputsAreResampledToIt)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5); // 4 samples at 1000 us
    AddInput("a.sgy", a);
    // b: 8 samples at 500 us (0.5 ratio: 4 samples at 1000 us), then one trace
    // of a single sample that cannot be resampled (0 samples), then one more.
    SegyBytes b(true);
    b.FileHeader(5, 8, 500);
    const std::vector<int> counts{8, 8, 1, 8};
    for (std::size_t k = 0; k < counts.size(); ++k) {
        b.TraceHeader(counts[k], 500).TraceTime(2003, 100, 10, 0, 5 + static_cast<int>(k));
        b.Samples(5, std::vector<double>(static_cast<std::size_t>(counts[k]), 3.0));
    }
    const std::string pathB = (fs::path(m_in) / "b.sgy").string();
    ASSERT_TRUE(b.WriteTo(pathB));
    m_settings.input_files.push_back(pathB);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 6u);
    ExpectTraces(out, 0, a, 1, 4);
    for (std::size_t k : {4u, 5u}) {
        EXPECT_EQ(out.traces[k].sampleCount, 4);
        EXPECT_EQ(out.traces[k].intervalUs, 1000);
        // A constant keeps only its zero-frequency term, scaled by n / m = 2.
        for (double v : out.traces[k].samples)
            EXPECT_NEAR(v, 6.0, 1e-5);
    }
    EXPECT_EQ(out.traces[5].time.second, 8);
    EXPECT_EQ(Result().summary.dropped_resampling, 1);
}

TEST_F(CombineJobTest, RecordsWithoutSamplesAreDroppedSoTheCompositeStaysReadable)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 4); // 4 samples at 1000 us
    AddInput("a.sgy", a);
    // b declares no samples anywhere: its records are bare trace headers at
    // the job's interval, so nothing would resample them away.
    SegyBytes b(true);
    b.FileHeader(5, 0, 1000);
    for (int k = 0; k < 3; ++k)
        b.TraceHeader(0, 1000).TraceTime(2003, 100, 10, 0, 5 + k);
    const std::string pathB = (fs::path(m_in) / "b.sgy").string();
    ASSERT_TRUE(b.WriteTo(pathB));
    m_settings.input_files.push_back(pathB);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(Result().outputs.size(), 1u);
    const ReadOutput out = ReadBack(Result().outputs[0].path);
    ASSERT_EQ(out.traces.size(), 3u);
    ExpectTraces(out, 0, a, 1, 3);
    EXPECT_EQ(Result().summary.dropped_empty, 2); // the third is b's reference
    ExpectAccounted(Result().summary);
}

TEST_F(CombineJobTest, EmptyInputListClearsTheLogAndWritesNothing)
{
    ASSERT_EQ(Run(), CombineOutcome::Done);
    EXPECT_EQ(m_host.clears, 1);
    EXPECT_EQ(m_host.log, "");
    EXPECT_EQ(m_host.statuses, Names{"Done...."});
    EXPECT_TRUE(FilesIn(m_out).empty());
}

TEST_F(CombineJobTest, InputWithOnlyItsReferenceTraceWritesNothingAndLeavesNoFile)
{
    const std::string pathA = AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 1));

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 0),
                                                    kOpening,
                                                    "\tNo traces written: output discarded"}));
    EXPECT_TRUE(FilesIn(m_out).empty());
    EXPECT_EQ(Result().summary.outputs_discarded, 1);
}

TEST_F(CombineJobTest, ReferenceOnlyInputFirstIsClosedByTheGapFromTimeZero)
{
    // Nothing was written yet, so last_trace_time is still 0: the gap to b is
    // b's start time itself, 8676001 s, and the span from a's reference 1 s.
    const std::string pathA = AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 1));
    const InputSpec b = Input(2, {100, 10, 0, 1}, 5);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) +
                  LogLines({StartTime(100, 10, 0, 0),
                            kOpening,
                            "\tNo traces written: output discarded",
                            "\tFile close by file  gap limit 8676001 > 3600"}) +
                  ProcessingBlock(pathB, 4) + LogLines({StartTime(100, 10, 0, 2), kOpening}));
    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 4u);
    ExpectTraces(out, 0, b, 1, 4);
}

TEST_F(CombineJobTest, HeaderOnlyFirstInputDoesNotFixTheIntervalNorTheStartTime)
{
    // A header-only input whose header says interval 0: a read that found no
    // trace must set neither the job's interval nor the output's start.
    SegyBytes h(true);
    h.FileHeader(5, 4, 0);
    const std::string pathH = (fs::path(m_in) / "h.sgy").string();
    ASSERT_TRUE(h.WriteTo(pathH));
    m_settings.input_files.push_back(pathH);
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    // The input scan found no start for h: the gap after it is measured from
    // last_trace_time 0 to a's start (8676000 s), as is the span.
    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathH, 4) +
                  LogLines({"\tNo traces written: output discarded",
                            "\tFile close by time limit 8676000 > 86400",
                            "\tFile close by file  gap limit 8676000 > 3600"}) +
                  ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}));
    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 4u);
    ExpectTraces(out, 0, a, 1, 4);
    EXPECT_EQ(Result().summary.dropped_resampling, 0);
}

TEST_F(CombineJobTest, TracesBeforeTheOutputStartAreDroppedAndStartTimeRepeatsUntilAWrite)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5); // output starts 10:00:01
    InputSpec b;
    b.id = 2;
    b.times = {
        {100, 10, 0, 5}, {100, 9, 59, 59}, {100, 10, 0, 0, 500}, {100, 10, 0, 1}, {100, 10, 0, 6}};
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(
        m_host.log,
        ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}) +
            ProcessingBlock(pathB, 4) +
            LogLines(
                {StartTime(100, 9, 59, 59), StartTime(100, 10, 0, 0), StartTime(100, 10, 0, 1)}));
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 6u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 3, 4);
    EXPECT_EQ(Result().summary.dropped_before_start, 2);
}

TEST_F(CombineJobTest, AveTimeLinesOnlyWhenTheLogIsVisible)
{
    // 12 traces written, one a second. average_interval after writing trace k
    // (k >= 3) is k / (k - 2): after trace 10 it is 10 / 8 = 1.25, which the
    // status point before trace 11 (trace_count 10) logs.
    InputSpec a = Input(1, {100, 10, 0, 0}, 13);
    a.delayMs = 7;
    const std::string pathA = AddInput("a.sgy", a);
    m_host.logVisible = true;

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1),
                                                    kOpening,
                                                    "\tAve Time 1delay = 7",
                                                    "\tAve Time 1.25delay = 7"}));
    EXPECT_EQ(m_host.statuses,
              (Names{"Scanning input file = a.sgy : start times = 8676000",
                     "Input file = a.sgy : reading trace 0",
                     "Input file = a.sgy : reading trace 10",
                     "Done...."}));
    // Deciding lets the front end run at the same trace points as writing,
    // without a status: twice more.
    EXPECT_EQ(m_host.pumps, 5);
}

TEST_F(CombineJobTest, AveTimeLinesAreLeftOutWhileTheLogIsHidden)
{
    InputSpec a = Input(1, {100, 10, 0, 0}, 13);
    const std::string pathA = AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(100, 10, 0, 1), kOpening}));
}

// Unreadable inputs: not SEG-Y (too short), an unsupported sample format, a
// path that does not exist. Each is skipped with its two log lines.
std::string Skipped(const std::string& path)
{
    return "\r\n\r\n\r\nProcessing file " + path + "\r\n\tNot a readable SEG-Y file: skipped\r\n";
}

TEST_F(CombineJobTest, UnreadableFirstInputGivesTheOutputNoFileHeader)
{
    const std::string pathX = (fs::path(m_in) / "x.txt").string();
    std::ofstream(pathX) << "not a SEG-Y file\n";
    m_settings.input_files.push_back(pathX);
    InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    a.format = 1;
    const std::string pathA = AddInput("a.sgy", a);
    const InputSpec b = Input(2, {100, 10, 0, 5}, 5);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              Skipped(pathX) + ProcessingBlock(pathA, 4) +
                  LogLines({StartTime(100, 10, 0, 1), kOpening}) + ProcessingBlock(pathB, 4) +
                  LogLines({StartTime(100, 10, 0, 6)}));
    const ReadOutput out = ReadBack(Out(kDefaultName));
    EXPECT_EQ(out.format, 1) << "the first readable input opens the output";
    EXPECT_EQ(out.samplesPerTrace, 4);
    ASSERT_EQ(out.traces.size(), 8u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 4);
    EXPECT_EQ(Result().summary.inputs_unreadable, 1);
}

// An unreadable input has start time 0, so the time ordering puts it before
// every input that starts later than second 0 of day 0. The next tests start
// their inputs in that second (or after an input that does) so that the list
// order stands and the unreadable input stays in the middle or at the end.
const std::string kDayZeroName = "Choose Expedition_000_0000_to_000_0000.sgy";

TEST_F(CombineJobTest, UnreadableMiddleInputIsSkippedAndTheOutputGoesOn)
{
    const InputSpec a = Input(1, {0, 0, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);
    SegyBytes x(true);
    x.FileHeader(4, 4, 1000); // format 4 cannot be read
    x.TraceHeader(4, 1000).Samples(5, {1, 2, 3, 4});
    const std::string pathX = (fs::path(m_in) / "x.sgy").string();
    ASSERT_TRUE(x.WriteTo(pathX));
    m_settings.input_files.push_back(pathX);
    const InputSpec b = Input(2, {0, 0, 0, 5}, 5);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(0, 0, 0, 1), kOpening}) +
                  Skipped(pathX) + ProcessingBlock(pathB, 4) + LogLines({StartTime(0, 0, 0, 6)}));
    EXPECT_EQ(FilesIn(m_out), Names{kDayZeroName});
    const ReadOutput out = ReadBack(Out(kDayZeroName));
    ASSERT_EQ(out.traces.size(), 8u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 4);
}

TEST_F(CombineJobTest, UnreadableInputDoesNotHideTheGapToTheNextInput)
{
    // b starts two hours after a: the gap is measured to b, not to the start
    // time 0 of the unreadable input in between (that would be a gap of -4 s,
    // and a and b would share an output across two hours without a trace).
    const InputSpec a = Input(1, {0, 0, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathX = (fs::path(m_in) / "missing.sgy").string();
    m_settings.input_files.push_back(pathX);
    const InputSpec b = Input(2, {0, 2, 0, 0}, 5);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(
        m_host.log,
        ProcessingBlock(pathA, 4) +
            LogLines(
                {StartTime(0, 0, 0, 1), kOpening, "\tFile close by file  gap limit 7196 > 3600"}) +
            Skipped(pathX) + ProcessingBlock(pathB, 4) +
            LogLines({StartTime(0, 2, 0, 1), kOpening}));
    EXPECT_EQ(FilesIn(m_out), (Names{kDayZeroName, "Choose Expedition_000_0200_to_000_0200.sgy"}));
}

TEST_F(CombineJobTest, UnreadableLastInputStillClosesAndNamesTheOutput)
{
    const InputSpec a = Input(1, {0, 0, 0, 0}, 5);
    const std::string pathA = AddInput("a.sgy", a);
    const InputSpec b = Input(2, {0, 0, 0, 0, 500}, 5); // also starts in second 0
    const std::string pathB = AddInput("b.sgy", b);
    const std::string pathX = (fs::path(m_in) / "missing.sgy").string();
    m_settings.input_files.push_back(pathX);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) + LogLines({StartTime(0, 0, 0, 1), kOpening}) +
                  ProcessingBlock(pathB, 4) + LogLines({StartTime(0, 0, 0, 1)}) + Skipped(pathX));
    EXPECT_EQ(FilesIn(m_out), Names{kDayZeroName});
    const ReadOutput out = ReadBack(Out(kDayZeroName));
    ASSERT_EQ(out.traces.size(), 8u);
    ExpectTraces(out, 0, a, 1, 4);
    ExpectTraces(out, 4, b, 1, 4);
}

TEST_F(CombineJobTest, NamesCarryTheOptionalTextsLongerThanOneCharacter)
{
    m_settings.Expedition = "HE 512";
    m_settings.data_type = "SBP";
    m_settings.instrument_type = "K"; // one character: left out
    m_settings.xcdr = "3.5kHz";
    AddInput("a.sgy", Input(1, {100, 23, 58, 0}, 5, 30000)); // 23:58:30 .. 24:00:00

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(FilesIn(m_out), Names{"HE 512_SBP_3.5kHz_100_2358_to_101_0000.sgy"});
}

TEST_F(CombineJobTest, SameNameTwiceInOneJobGetsNumberedAndAnOlderFileIsReplaced)
{
    m_settings.demultiplex_only = true;
    for (int id = 1; id <= 3; ++id)
        AddInput("in" + std::to_string(id) + ".sgy", Input(id, {100, 10, 0, 0}, 3));
    std::ofstream(Out(kDefaultName)) << "from an earlier run";
    std::ofstream(Out("Choose Expedition_100_1000_to_100_1000_3.sgy")) << "from an earlier run";

    ASSERT_EQ(Run(), CombineOutcome::Done);

    const std::string second = "Choose Expedition_100_1000_to_100_1000_2.sgy";
    const std::string third = "Choose Expedition_100_1000_to_100_1000_3.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{kDefaultName, second, third}));
    // Each output is the input of its position: the earlier files were replaced.
    int id = 1;
    for (const std::string& name : {kDefaultName, second, third}) {
        const ReadOutput out = ReadBack(Out(name));
        ASSERT_TRUE(out.opened) << name;
        ASSERT_EQ(out.traces.size(), 2u) << name;
        EXPECT_EQ(out.traces[0].samples[0], SampleValue(id, 1, 0)) << name;
        ++id;
    }
}

TEST_F(CombineJobTest, TracesWithoutNavigationAreDroppedWhileSpeedCorrectionIsOn)
{
    m_settings.speed_correction = true;
    SegyBytes b(true);
    b.FileHeader(5, 4, 1000);
    const bool hasNav[] = {true, true, false, true, false};
    for (int k = 0; k < 5; ++k) {
        b.TraceHeader(4, 1000).TraceTime(2003, 100, 10, 0, k);
        if (hasNav[k]) {
            b.Trace16(88, 2).Trace32(72, 36000 + k).Trace32(76, 196200 + k);
        }
        b.Samples(5, {1, 2, 3, 4});
    }
    const std::string path = (fs::path(m_in) / "nav.sgy").string();
    ASSERT_TRUE(b.WriteTo(path));
    m_settings.input_files.push_back(path);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(Result().summary.dropped_navigation, 2);
    EXPECT_EQ(Result().summary.traces_written, 2);
}

} // namespace
} // namespace tessara::test
