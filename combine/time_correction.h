// Changes of trace times: the Knudsen day repair, the static time
// correction, and null traces that fill the time gap between two inputs.
#pragma once

#include <cstdint>
#include <string>

namespace tessara {

class CSegyFileIn;
class CSegyTrace;
struct JobContext;

/// Day repair of the current input, derived from its file name and
/// reference trace; 0 at the start of every input.
struct TimeCorrectionState {
    std::int32_t day_fix = 0;
    std::int32_t year_fix = 0;
};

/// Reads the reference trace of the current input into `trace`: its first
/// trace, or with fixupknudsen its first trace whose dayOfYear lies in 1..365.
/// None of these traces is written. Returns how many traces the reader
/// delivered (the reference and any before it); `in.atEnd` tells whether a
/// reference was found.
[[nodiscard]] std::int64_t Read_Reference_Trace(const JobContext& ctx,
                                                CSegyFileIn& in,
                                                CSegyTrace& trace);

/// With fixupknudsen: derives the current input's day repair from its file
/// name (`path`, the directory is ignored) and its reference trace, which is
/// absent (`haveReference` false) when the input holds none.
void Derive_Knudsen_Day_Fix(const JobContext& ctx,
                            const std::string& path,
                            const CSegyTrace& reference,
                            bool haveReference);

/// With fixupknudsen: applies the current input's day repair to `trace`.
void Apply_Knudsen_Day_Fix(const JobContext& ctx, CSegyTrace& trace);

/// With fixupknudsen: gives the first trace of an input (read by the input
/// scan) the day the job's own day repair gives the traces of that input.
void Apply_Knudsen_Day_From_File_Name(const JobContext& ctx,
                                      const std::string& path,
                                      CSegyTrace& trace);

/// Adds `timecorrection` seconds to the trace time (year, dayOfYear, hour,
/// minute, second; millisecond unchanged), across midnight and New Year.
/// 0 leaves the header untouched.
void AddTimeCorrectionToTraceHeader(const JobContext& ctx, CSegyTrace& trace);

/// Gap after the current input: `nextStartTime` (s of year) minus the job's
/// last_trace_time. Writes null traces into the gap when make_null_traces is
/// on and the gap is shorter than `gapLimitSeconds`. Returns the gap in
/// seconds; a write failure is recorded in the job state.
[[nodiscard]] double Fill_Null_Traces_in_Gap(const JobContext& ctx,
                                             double nextStartTime,
                                             double gapLimitSeconds);

} // namespace tessara
