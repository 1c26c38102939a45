#include "combine/output_plan.h"

namespace tessara
{

void CountSkippedInput(CombineResult& result, const std::string& path, const PlannedSkip& skip)
{
    CombineSummary& summary = result.summary;
    switch (skip.why) {
    case PlannedSkip::Why::SameFile:
        ++summary.inputs_same_file;
        result.inputs_same_file.push_back(path);
        break;
    case PlannedSkip::Why::Changed:
        ++summary.inputs_unreadable;
        result.unreadable_inputs.push_back({path, "changed since the job started"});
        break;
    case PlannedSkip::Why::WithoutNavigation:
        ++summary.inputs_without_navigation;
        result.inputs_without_navigation.push_back(path);
        break;
    case PlannedSkip::Why::Unreadable:
        ++summary.inputs_unreadable;
        result.unreadable_inputs.push_back({path, skip.reason});
        break;
    }
}

void CountDroppedRecord(CombineSummary& summary, RecordDrop why)
{
    switch (why) {
    case RecordDrop::Navigation:
        ++summary.dropped_navigation;
        break;
    case RecordDrop::Empty:
        ++summary.dropped_empty;
        break;
    case RecordDrop::ClockGlitch:
        ++summary.dropped_clock_glitch;
        break;
    case RecordDrop::Resampling:
        ++summary.dropped_resampling;
        break;
    case RecordDrop::BeforeStart:
        ++summary.dropped_before_start;
        break;
    }
}

bool Write_Output_Trace(const CombineSettings& settings,
                        CChannelPaths& channels,
                        const CSegyTrace& trace,
                        const InputEntry& input,
                        InputCounters& counters,
                        COutputRecords& output,
                        CombineSummary& summary,
                        const StoredSamples* stored)
{
    const ChannelDecision d = channels.Decide(settings, trace);
    if (d.action == ChannelAction::Drop || d.action == ChannelAction::HoldPort) {
        // A port trace held for a pair counts as dropped until a pair with it
        // is written, so that the summary adds up at every moment.
        ++summary.dropped_channel;
        return true;
    }
    counters.Count(
        d.time, d.fromWholeSecondStart ? static_cast<double>(input.file_time) : input.start_time);
    if (d.action == ChannelAction::Implausible) {
        ++summary.dropped_implausible;
        output.SetLastTraceTime(d.time);
        return true;
    }
    if (!output.WriteReal(
            *d.record, d.time, d.keepAsFillTemplate, d.record == &trace ? stored : nullptr))
        return false;
    if (d.completesPair && channels.TakeUnpairedPort()) {
        --summary.dropped_channel;
        ++summary.merged_into_pairs;
    }
    return true;
}

} // namespace tessara
