// Placeholder steps: the day repair, the time correction and the filling of
// gaps are not in effect yet. Each keeps the job's times as read, and the
// gap is still measured because the close rules need it.
#include "combine/time_correction.h"

#include "combine/job_state.h"
#include "segy/segy_file_in.h"

namespace tessara {

std::int64_t Read_Reference_Trace(const JobContext& /*ctx*/, CSegyFileIn& in, CSegyTrace& trace)
{
    in.Read(trace, -1);
    return in.atEnd ? 0 : 1;
}

void Derive_Knudsen_Day_Fix(const JobContext& ctx,
                            const std::string& /*path*/,
                            const CSegyTrace& /*reference*/,
                            bool /*haveReference*/)
{
    ctx.state.time_correction = TimeCorrectionState{};
}

void Apply_Knudsen_Day_Fix(const JobContext& /*ctx*/, CSegyTrace& /*trace*/) {}

void Apply_Knudsen_Day_From_File_Name(const JobContext& /*ctx*/,
                                      const std::string& /*path*/,
                                      CSegyTrace& /*trace*/)
{
}

void AddTimeCorrectionToTraceHeader(const JobContext& /*ctx*/, CSegyTrace& /*trace*/) {}

double Fill_Null_Traces_in_Gap(const JobContext& ctx,
                               double nextStartTime,
                               double /*gapLimitSeconds*/)
{
    return nextStartTime - ctx.state.last_trace_time;
}

} // namespace tessara
