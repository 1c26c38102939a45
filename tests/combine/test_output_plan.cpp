// The planner given surveys, compared by the plans it makes; the writer
// given plans that no longer fit their inputs, or a stop.
#include "combine/output_plan.h"
#include "combine/output_planner.h"
#include "combine/plan_writer.h"
#include "tests/combine/combine_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;
using Kind = PlanStep::Kind;

/// What a plan does with records, counted.
struct PlanShape {
    std::int64_t taken = 0;
    std::map<RecordDrop, std::int64_t> dropped;
    std::vector<std::int32_t> fills;
    int closes = 0;
    std::size_t next = 0;

    explicit PlanShape(const OutputPlan& plan) : next(plan.next)
    {
        for (const PlanStep& step : plan.steps) {
            if (step.kind == Kind::Take)
                taken += step.count;
            else if (step.kind == Kind::Drop)
                dropped[step.drop] += step.count;
            else if (step.kind == Kind::Fill)
                fills.push_back(plan.fills[static_cast<std::size_t>(step.count)].count);
            else if (step.kind == Kind::Close)
                ++closes;
        }
    }
};

/// The planner and the writer of one job, as the job makes them.
class PlanTest : public CombineJobTest
{
protected:
    void Start()
    {
        for (const std::string& path : m_settings.input_files) {
            InputEntry entry{path};
            entry.identified = FileIdentity(path, entry.device, entry.inode, &entry.version);
            m_inputs.push_back(entry);
        }
        m_planner.emplace(m_settings, m_host, m_inputs, m_progress, m_out, Names{});
        m_planner->Scan();
        m_writer.emplace(
            m_host, m_inputs, m_progress, m_out, [this](const OutputPlan& plan, double last) {
                return m_planner->NameEndedEarly(plan, last);
            });
    }

    std::vector<InputEntry> m_inputs;
    ProgressLedger m_progress;
    std::optional<COutputPlanner> m_planner;
    std::optional<CPlanWriter> m_writer;
};

struct SurveyCase {
    const char* name;
    std::vector<InputSpec> inputs;
    std::int64_t taken; // by the first output
    std::map<RecordDrop, std::int64_t> dropped;
    std::vector<std::int32_t> fills;
    std::size_t next; // the input after the first output
};

InputSpec Glitched(InputSpec spec, std::size_t k)
{
    spec.times[k].hour += 3;
    return spec;
}

InputSpec LateSecond(InputSpec spec)
{
    spec.times[1].second = 5;
    return spec;
}

class PlannerGivenSurveys : public PlanTest, public ::testing::WithParamInterface<SurveyCase>
{
};

TEST_P(PlannerGivenSurveys, DecidesRecordsFillsAndWhereTheOutputCloses)
{
    const SurveyCase& c = GetParam();
    for (std::size_t k = 0; k < c.inputs.size(); ++k)
        AddInput("in" + std::to_string(k) + ".sgy", c.inputs[k]);
    Start();

    const OutputPlan plan = m_planner->PlanOutput(0);

    const PlanShape shape(plan);
    EXPECT_EQ(shape.taken, c.taken);
    EXPECT_EQ(shape.dropped, c.dropped);
    EXPECT_EQ(shape.fills, c.fills);
    EXPECT_EQ(shape.closes, 1);
    EXPECT_EQ(shape.next, c.next);
    EXPECT_TRUE(FilesIn(m_out).empty()) << "deciding writes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Surveys,
    PlannerGivenSurveys,
    ::testing::Values(
        // 8 s from a's last trace to b's first, a's mean interval 1.2 s (its
        // second to last trace, 12 s on, over the 10 intervals counted): 5
        // fill.
        SurveyCase{"GapFilled",
                   {Input(1, {100, 10, 0, 0}, 13), Input(2, {100, 10, 0, 20}, 13)},
                   24,
                   {},
                   {5},
                   2},
        // b two hours on: the gap closes the output after a.
        SurveyCase{"ClosedByTheGap",
                   {Input(1, {100, 10, 0, 0}, 13), Input(2, {100, 12, 0, 0}, 13)},
                   12,
                   {},
                   {},
                   1},
        SurveyCase{"ClockGlitchLeftOut",
                   {Glitched(Input(1, {100, 10, 0, 0}, 13), 5)},
                   11,
                   {{RecordDrop::ClockGlitch, 1}},
                   {},
                   1},
        // The first trace after the reference is 5 s on: the three after
        // it lie before the output's start.
        SurveyCase{"BeforeTheOutputStart",
                   {LateSecond(Input(1, {100, 10, 0, 0}, 13))},
                   9,
                   {{RecordDrop::BeforeStart, 3}},
                   {},
                   1}),
    [](const ::testing::TestParamInfo<SurveyCase>& p) { return std::string(p.param.name); });

// A plan that no longer fits its input, or a stop while it is written.
struct WriterCase {
    const char* name;
    enum class Change { OneRecordLess, OneRecordMore, Touched, Stop } change;
    CPlanWriter::Ended ended;
    std::int64_t written; // traces of the output when it ended Stopped
};

class WriterGivenPlans : public PlanTest, public ::testing::WithParamInterface<WriterCase>
{
};

TEST_P(WriterGivenPlans, WritesOnlyWhatThePlanFits)
{
    const WriterCase& c = GetParam();
    const InputSpec a = Input(1, {100, 10, 0, 0}, 13);
    const std::string path = AddInput("a.sgy", a);
    Start();
    OutputPlan plan = m_planner->PlanOutput(0);
    const std::string message = "Input " + path + " changed while the job was writing: job stopped";
    m_host.expectedMessages = {message};
    for (PlanStep& step : plan.steps) {
        if (step.kind != Kind::Take)
            continue;
        if (c.change == WriterCase::Change::OneRecordLess)
            --step.count;
        if (c.change == WriterCase::Change::OneRecordMore)
            ++step.count;
    }
    if (c.change == WriterCase::Change::Touched)
        fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add); // the change time
    if (c.change == WriterCase::Change::Stop)
        m_host.onStatus = [this](std::string_view status) {
            m_host.stop = status == "Input file = a.sgy : reading trace 10";
        };

    EXPECT_EQ(m_writer->Write(plan), c.ended);

    if (c.ended == CPlanWriter::Ended::Failed) {
        EXPECT_EQ(m_writer->Result().failed_path, path);
        EXPECT_EQ(m_host.messages, Names{message});
        EXPECT_TRUE(m_writer->Result().outputs.empty());
        for (const std::string& name : FilesIn(m_out))
            EXPECT_EQ(name, "SegyOut.sgy") << "nothing under a final name";
        return;
    }
    ASSERT_EQ(m_writer->Result().outputs.size(), 1u);
    EXPECT_EQ(m_writer->Result().outputs[0].traces, c.written);
    // Its span, to the minute, is the one planned: so is its name.
    EXPECT_EQ(fs::path(m_writer->Result().outputs[0].path).filename(),
              "Choose Expedition_100_1000_to_100_1000.sgy");
    EXPECT_EQ(ReadBack(m_writer->Result().outputs[0].path).traces.size(),
              static_cast<std::size_t>(c.written));
}

INSTANTIATE_TEST_SUITE_P(
    Plans,
    WriterGivenPlans,
    ::testing::Values(
        WriterCase{
            "OneRecordLess", WriterCase::Change::OneRecordLess, CPlanWriter::Ended::Failed, 0},
        WriterCase{
            "OneRecordMore", WriterCase::Change::OneRecordMore, CPlanWriter::Ended::Failed, 0},
        WriterCase{"InputTouched", WriterCase::Change::Touched, CPlanWriter::Ended::Failed, 0},
        // The trace in hand at the status point is the last written.
        WriterCase{
            "StopAtTheTraceInHand", WriterCase::Change::Stop, CPlanWriter::Ended::Stopped, 11}),
    [](const ::testing::TestParamInfo<WriterCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
