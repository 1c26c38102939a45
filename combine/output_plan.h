// What deciding an output yields: the steps that write it, in the order the
// writer takes them. Everything an output becomes is decided before its
// first byte is written; the writer opens the inputs the plan names, reads
// exactly the records it lists, applies to each the transformations of its
// header the job always applies (day repair, time correction, resampling,
// channel selection, the speed-corrected headers) and tells the front end
// what the plan says, when the plan says it.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/job_host.h"
#include "combine/delay_scan.h"
#include "combine/demultiplex.h"
#include "combine/job_state.h"
#include "combine/output_file.h"
#include "combine/speed_selection.h"
#include "combine/time_correction.h"
#include "combine/time_scale.h"
#include "combine/trace_positions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessara
{

/// Why a record read after an input's reference is not taken.
enum class RecordDrop : std::uint8_t {
    Navigation,  ///< no position while speed correction is on
    Empty,       ///< no samples
    ClockGlitch, ///< a time far from both its neighbours'
    Resampling,  ///< cannot be resampled to the job's interval
    BeforeStart, ///< earlier than the output's first trace
};

/// One step of a plan. Steps that concern records stand for `count`
/// records in a row.
struct PlanStep {
    enum class Kind : std::uint8_t {
        Tell,       ///< plan.tells[index] to the front end
        StartInput, ///< input `index` is the one in hand
        SkipInput,  ///< input `index` is left out: plan.skips[count]
        Overlap,    ///< input `index` starts before the end of the input read before it
        OpenInput,  ///< input `index`: checked against its identity, opened
        OpenOutput, ///< the working file, from the open input: plan.opens[count]
        BeginInput, ///< the open input's traces, of `count` samples each, follow
        Reference,  ///< `count` records read as the reference: plan.references[index]
        Take,       ///< `count` records read and taken
        Drop,       ///< `count` records read and left out, for `drop`
        EndInput,   ///< the input has no further record; checked again, closed
        Fill,       ///< plan.fills[count] written after the input
        Close,      ///< the output is complete: closed, then named plan.path
        Discard,    ///< the output holds no trace: removed; `count` 1 counts it as discarded
    };
    Kind kind = Kind::Tell;
    RecordDrop drop = RecordDrop::Navigation;
    std::uint32_t index = 0;
    std::int64_t count = 0;

    /// A step of `kind` about `index` (an input or an entry of the plan).
    [[nodiscard]] static PlanStep Of(Kind kind, std::size_t index, std::int64_t count = 0)
    {
        return {kind, RecordDrop::Navigation, static_cast<std::uint32_t>(index), count};
    }
    /// One record taken, or left out for `drop`.
    [[nodiscard]] static PlanStep Records(Kind kind, RecordDrop drop = RecordDrop::Navigation)
    {
        return {kind, drop, 0, 1};
    }
};

/// An input left out of the output, and what the result says of it.
struct PlannedSkip {
    enum class Why { SameFile, Changed, WithoutNavigation, Unreadable } why;
    std::string reason; ///< Unreadable: in the user's words
};

/// Counts input `path`, left out for `skip`, in `result`.
void CountSkippedInput(CombineResult& result, const std::string& path, const PlannedSkip& skip);
/// Counts a record left out for `why` in `summary`.
void CountDroppedRecord(CombineSummary& summary, RecordDrop why);

/// The trace in hand, of input `input`, taken into `output` as the channel
/// paths decide, and counted: a trace of another channel, or a port trace
/// held for a pair, counts as dropped until a pair carries it; a trace the
/// paths take counts in the input's `counters`. `stored`, when given, holds
/// the trace's samples as its input stores them, written when the trace
/// itself is the record. Deciding and writing an output both take their
/// traces so. False when the write failed.
[[nodiscard]] bool Write_Output_Trace(const CombineSettings& settings,
                                      CChannelPaths& channels,
                                      const CSegyTrace& trace,
                                      const InputEntry& input,
                                      InputCounters& counters,
                                      COutputRecords& output,
                                      CombineSummary& summary,
                                      const StoredSamples* stored = nullptr);

/// The working file's creation.
struct PlannedOpen {
    std::uint16_t samplesPerTrace = 0;
    std::optional<std::uint16_t> sampleIntervalUs;
};

/// What the records after an input's reference need to be written as
/// decided: the time scale their times are on, and the day repair the
/// reference gave (applied to every record read after it, in order).
struct PlannedReference {
    CJobTimeScale scale;
    TimeCorrectionState dayRepair;
};

/// Fill traces after an input.
struct PlannedFill {
    std::int32_t count = 0;
    double interval = 0; ///< s
};

/// What a decision tells the front end, kept to be told, in the same order,
/// when the output it concerns is written.
class CToldLater : public IJobHost
{
public:
    void TellTo(IJobHost& host) const
    {
        for (const auto& call : m_calls)
            call(host);
    }

    void ClearLog() override {}
    void AppendLog(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.AppendLog(t); });
    }
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.SetStatus(t); });
    }
    void PumpEvents() override
    {
        m_calls.emplace_back([](IJobHost& h) { h.PumpEvents(); });
    }
    void ShowMessage(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.ShowMessage(t); });
    }
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}
    void ChartBegin(std::string_view title) override
    {
        m_calls.emplace_back([t = std::string(title)](IJobHost& h) { h.ChartBegin(t); });
    }
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override
    {
        m_calls.emplace_back([=](IJobHost& h) { h.ChartAddFix(ticks, speedMps, spacingM); });
    }
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override
    {
        m_calls.emplace_back([=, t = std::string(titleSuffix)](IJobHost& h) {
            h.ChartSetSpacing(fromTicks, toTicks, spacingM, t);
        });
    }
    void ChartEnd() override
    {
        m_calls.emplace_back([](IJobHost& h) { h.ChartEnd(); });
    }

private:
    std::vector<std::function<void(IJobHost&)>> m_calls;
};

/// One output as decided.
struct OutputPlan {
    std::vector<PlanStep> steps;
    std::vector<std::function<void(IJobHost&)>> tells;
    std::vector<PlannedSkip> skips;
    std::vector<PlannedOpen> opens;
    std::vector<PlannedReference> references;
    std::vector<PlannedFill> fills;

    /// The input after the last one the output took or skipped.
    std::size_t next = 0;
    /// Deciding was stopped by the user: nothing of it is written.
    bool stopped = false;
    /// On the job's time scale, the whole second the output starts at.
    double startTime = 0;
    /// The job's sample interval (us) once the output is decided: the
    /// records it takes are resampled to it; -1 when no trace set it.
    std::int32_t targetInterval = -1;

    /// Close: its final name, and whether a file of that name existed.
    std::string path;
    bool replacing = false;
    /// What its writing applies: the speed-corrected selection (when
    /// corrected) and the delays the delay scan removes.
    SpeedCorrectionPlan correction;
    bool corrected = false;
    DelayScanDecision delays;
    /// What deciding the speed correction told, to be told as the output is
    /// completed.
    CToldLater atClose;
    /// The positions its traces take (from the navigation files, moved by
    /// the offsets), the same in deciding and writing; none when inactive.
    std::shared_ptr<const CTracePositions> positions;
    /// The settings the output was decided with: it is written with them.
    CombineSettings settings;

    /// Appends a step, merging it into the one before when both stand for
    /// records of the same kind.
    void Add(const PlanStep& step)
    {
        if (!steps.empty() &&
            (step.kind == PlanStep::Kind::Take || step.kind == PlanStep::Kind::Drop)) {
            PlanStep& last = steps.back();
            if (last.kind == step.kind && last.drop == step.drop) {
                last.count += step.count;
                return;
            }
        }
        steps.push_back(step);
    }
    void Tell(std::function<void(IJobHost&)> call)
    {
        steps.push_back(PlanStep::Of(PlanStep::Kind::Tell, tells.size()));
        tells.push_back(std::move(call));
    }
};

} // namespace tessara
