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

} // namespace tessara
