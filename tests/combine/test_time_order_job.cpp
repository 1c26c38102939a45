// The combine job with time ordering, day repair, time correction and gap
// filling, end to end: inputs listed out of time order, with gaps, read back
// trace by trace. Every count, time and name below is worked out by hand.
#include "combine/api/output_directory.h"
#include "tests/combine/combine_test_support.h"
#include "tests/combine/time_test_support.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

/// Counts the occurrences of `part` in `text`.
int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1))
        ++count;
    return count;
}

/// Expects traces [at, at + n) of `traces` to be fill traces after the real
/// trace `model`: times model + k * `stepMicro` microseconds (k = 1..n,
/// milliseconds truncated), every other header field the model's, all
/// samples zero.
void ExpectFills(const std::vector<FullTrace>& traces,
                 std::size_t at,
                 int n,
                 const FullTrace& model,
                 long long stepMicro)
{
    const SegyHeaderType& m = model.header;
    const Stamp last{m.dayOfYear, m.hour, m.minute, m.second, m.millisecond};
    for (int k = 1; k <= n; ++k, ++at) {
        ASSERT_LT(at, traces.size()) << "fill trace " << k << " missing";
        const FullTrace& fill = traces[at];
        const std::string what = "fill trace " + std::to_string(k) + " at " + std::to_string(at);
        ExpectStamp(fill.header, StampAfter(last, k * stepMicro / 1000), what);
        ExpectSameHeaderButTime(fill.header, m, what);
        EXPECT_EQ(fill.samples, std::vector<double>(model.samples.size(), 0.0)) << what;
    }
}

// Three inputs of 11 traces 250 ms apart, listed C, A, B. Each writes its
// traces 1..10; the interval after the tenth is 2.5 s / 8 = 0.3125 s.
// A: 10:00:00.000, last written 10:00:02.500. B starts 10:00:12.500: gap
// 10 s, 10 / 0.3125 - 1 = 31 fill traces. B's last 10:00:15.000; C starts
// 10:00:20.000: gap 5 s, 5 / 0.3125 - 1 = 15 fill traces.
TEST_F(CombineJobTest, InputsListedOutOfOrderAreWrittenInTimeOrderWithTheirGapsFilled)
{
    const InputSpec a = Input(1, {100, 10, 0, 0}, 11, 250);
    const InputSpec b = Input(2, {100, 10, 0, 12, 500}, 11, 250);
    const InputSpec c = Input(3, {100, 10, 0, 20}, 11, 250);
    const std::string pathC = AddInput("c.sgy", c);
    const std::string pathA = AddInput("a.sgy", a);
    const std::string pathB = AddInput("b.sgy", b);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(
        m_host.log,
        ProcessingBlock(pathA, 4) +
            LogLines({StartTime(100, 10, 0, 0),
                      kOpening,
                      "Fill : Time Gap 10 number of fill traces 31"}) +
            ProcessingBlock(pathB, 4) +
            LogLines({StartTime(100, 10, 0, 12), "Fill : Time Gap 5 number of fill traces 15"}) +
            ProcessingBlock(pathC, 4) + LogLines({StartTime(100, 10, 0, 20)}));
    ASSERT_EQ(m_host.orders.size(), 1u);
    EXPECT_EQ(m_host.orders[0], (Names{pathA, pathB, pathC}));
    EXPECT_EQ(m_host.statuses.front(), "Scanning input file = c.sgy : start times = 8676020");

    EXPECT_EQ(FilesIn(m_out), Names{kDefaultName});
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 76u); // 10 + 31 + 10 + 15 + 10
    ExpectTraces(out, 0, a, 1, 10);
    ExpectTraces(out, 41, b, 1, 10);
    ExpectTraces(out, 66, c, 1, 10);
    const std::vector<FullTrace> whole = ReadAllTraces(Out(kDefaultName));
    ExpectFills(whole, 10, 31, whole[9], 312500);
    ExpectFills(whole, 51, 15, whole[50], 312500);
    // The last fill lies one to two intervals before the next input's first
    // trace: 10:00:02.500 + 31 * 0.3125 = 10:00:12.187(5).
    ExpectStamp(whole[40].header, {100, 10, 0, 12, 187}, "last fill after a");

    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].traces, 76);
    EXPECT_EQ(Result().outputs[0].fill_traces, 46);
    EXPECT_EQ(Result().outputs[0].last_trace_time, 8676022.5) << "of the last real trace";
    EXPECT_EQ(Result().summary.traces_written, 30);
    EXPECT_EQ(Result().summary.traces_filled, 46);
}

TEST_F(CombineJobTest, WithoutNullTracesTheGapsStayEmpty)
{
    m_settings.make_null_traces = false;
    const InputSpec a = Input(1, {100, 10, 0, 0}, 11, 250);
    const InputSpec b = Input(2, {100, 10, 0, 12, 500}, 11, 250);
    AddInput("b.sgy", b);
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log.find("Fill"), std::string::npos);
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 20u);
    ExpectTraces(out, 0, a, 1, 10);
    ExpectTraces(out, 10, b, 1, 10);
    EXPECT_EQ(Result().summary.traces_filled, 0);
}

TEST_F(CombineJobTest, TimeCorrectionCarriesTracesIntoTheNextYear)
{
    // 23:30:00 on 31 December 2003 + 2 h: 01:30 on 1 January 2004, day 1,
    // 91800 s of year; the traces follow one a second.
    m_settings.timecorrection = 7200;
    InputSpec a = Input(1, {365, 23, 30, 0, 250}, 4);
    a.year = 2003;
    AddInput("a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.statuses.front(), "Scanning input file = a.sgy : start times = 91800");
    const std::string name = "Choose Expedition_001_0130_to_001_0130.sgy";
    EXPECT_EQ(FilesIn(m_out), Names{name});
    const std::vector<FullTrace> traces = ReadAllTraces(Out(name));
    ASSERT_EQ(traces.size(), 3u);
    for (int k = 1; k <= 3; ++k) {
        const SegyHeaderType& h = traces[static_cast<std::size_t>(k - 1)].header;
        EXPECT_EQ(h.year, 2004);
        ExpectStamp(h, {1, 1, 30, k, 250}, "trace " + std::to_string(k));
    }
}

TEST_F(CombineJobTest, DayRepairWithABadFileNameSaysSoAndKeepsTheHeaderDays)
{
    m_settings.fixupknudsen = true;
    const InputSpec a = Input(1, {100, 10, 0, 0}, 5);
    const std::string pathA = AddInput("line_a.sgy", a);

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_EQ(m_host.log,
              ProcessingBlock(pathA, 4) +
                  LogLines({"\tFile name does not give the day: no day repair",
                            StartTime(100, 10, 0, 1),
                            kOpening}));
    const ReadOutput out = ReadBack(Out(kDefaultName));
    ASSERT_EQ(out.traces.size(), 4u);
    ExpectTraces(out, 0, a, 1, 4);
}

TEST_F(CombineJobTest, DayRepairWritesNothingOfAnInputWithoutAValidDay)
{
    m_settings.fixupknudsen = true;
    AddInput("0001_2003_100_1000.sgy", Input(1, {0, 10, 0, 0}, 5));

    ASSERT_EQ(Run(), CombineOutcome::Done);

    EXPECT_TRUE(FilesIn(m_out).empty());
    EXPECT_EQ(Result().summary.traces_read, 5);
    EXPECT_EQ(Result().summary.dropped_reference, 5);
}

// A generated survey: five files of twelve pings 0.25 s apart, from 23:59:46.250
// on day 255 of 2003, listed out of time order. The recorder wrote day 0 into
// each file's first trace, the day before the right one into the others,
// and the year as 3. Gaps: 9.75 s between files (10 s from the last trace
// written to the next file's start) except 4000 s before the fourth file.
//
// Per file: trace 0 (day 0) and trace 1 (the reference) are not written;
// traces 2..11 are. Interval after trace 11: 2.75 s / 8 = 0.34375 s; fill
// traces per short gap: 10 / 0.34375 - 1 = 28.09, truncated 28.
// File starts: 23:59:46.25, 23:59:59.00 (its traces 4..11 are past
// midnight), 00:00:11.75 (day 256), 01:06:54.75 and 01:07:07.50.
class SurveyJob : public CombineJobTest, public ::testing::WithParamInterface<synth::NameLayout>
{
};

TEST_P(SurveyJob, OutOfOrderSurveyAcrossMidnightIsRepairedOrderedAndFilled)
{
    const bool yearDay = GetParam() == synth::NameLayout::YearDay;
    synth::SurveyOptions o;
    o.outDir = fs::path(m_in) / "survey";
    o.fileCount = 5;
    o.tracesPerFile = 12;
    o.nameLayout = GetParam();
    o.formatCode = 2; // integers: the samples compare exactly
    o.samplesPerTrace = 8;
    o.sampleIntervalUs = 100;
    o.pingIntervalS = 0.25;
    o.year = 2003;
    o.dayOfYear = 255;
    o.hour = 23;
    o.minute = 59;
    o.second = 46;
    o.millisecond = 250;
    o.headerDayShift = -1;
    o.zeroDayLeadingTraces = 1;
    o.twoDigitYear = true;
    o.shortGapS = 9.75;
    o.longGapS = 4000;
    o.longGapEvery = 3;
    o.shuffleList = true;
    o.seed = 7;
    const synth::SurveyResult survey = synth::WriteSurvey(o);
    ASSERT_TRUE(survey.ok) << survey.error;
    std::vector<std::string> timeOrder(5);
    for (const synth::SynthFile& f : survey.files) {
        m_settings.input_files.push_back(f.path.string());
        timeOrder[static_cast<std::size_t>(f.timeOrder)] = f.path.string();
    }
    ASSERT_NE(m_settings.input_files, timeOrder) << "the list must start out of order";
    m_settings.fixupknudsen = true;
    m_settings.knudsen_name_format =
        yearDay ? KnudsenNameFormat::YearDay : KnudsenNameFormat::DayOnly;

    ASSERT_EQ(Run(), CombineOutcome::Done);

    ASSERT_EQ(m_host.orders.size(), 1u);
    EXPECT_EQ(m_host.orders[0], timeOrder);
    const std::string first = "Choose Expedition_255_2359_to_256_0000.sgy";
    const std::string second = "Choose Expedition_256_0106_to_256_0107.sgy";
    EXPECT_EQ(FilesIn(m_out), (Names{first, second}));
    EXPECT_EQ(Occurrences(m_host.log, "Fill : Time Gap 10 number of fill traces 28\r\n"), 3);
    EXPECT_EQ(Occurrences(m_host.log, "\tFile close by file  gap limit 4000.25 > 3600\r\n"), 1);
    EXPECT_EQ(m_host.log.find("no day repair"), std::string::npos);

    // Output by output: the files it holds, in time order.
    const std::vector<std::pair<std::string, std::vector<int>>> outputs{{first, {0, 1, 2}},
                                                                        {second, {3, 4}}};
    std::vector<double> samples;
    for (const auto& [name, files] : outputs) {
        const std::vector<FullTrace> traces = ReadAllTraces(Out(name));
        std::size_t at = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const int f = files[i];
            for (int k = 2; k < 12; ++k, ++at) {
                const std::string what =
                    name + " file " + std::to_string(f) + " trace " + std::to_string(k);
                ASSERT_LT(at, traces.size()) << what;
                const SegyHeaderType& h = traces[at].header;
                const synth::TraceTime t = synth::TraceTimeOf(o, f, k);
                ExpectStamp(h, {t.dayOfYear, t.hour, t.minute, t.second, t.millisecond}, what);
                EXPECT_EQ(h.year, yearDay ? 2003 : 3) << what;
                synth::TraceSamples(o, f, k, samples);
                EXPECT_EQ(traces[at].samples, samples) << what;
            }
            if (i + 1 < files.size()) {
                ExpectFills(traces, at, 28, traces[at - 1], 343750);
                at += 28;
            }
        }
        EXPECT_EQ(at, traces.size()) << name;
    }

    const CombineSummary& s = Result().summary;
    EXPECT_EQ(s.traces_read, 60);
    EXPECT_EQ(s.dropped_reference, 10);
    EXPECT_EQ(s.dropped_before_start, 0) << "no trace after midnight may fall a day back";
    EXPECT_EQ(s.traces_written, 50);
    EXPECT_EQ(s.traces_filled, 84);
}

INSTANTIATE_TEST_SUITE_P(CombineJob,
                         SurveyJob,
                         ::testing::Values(synth::NameLayout::YearDay, synth::NameLayout::DayOnly),
                         [](const ::testing::TestParamInfo<synth::NameLayout>& p) {
                             return p.param == synth::NameLayout::YearDay ? "YearDay" : "DayOnly";
                         });

} // namespace
} // namespace tessara::test
