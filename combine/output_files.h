// The life of an output file: the writability probe, opening the working
// file with an input's file header, writing traces with their bookkeeping,
// and closing it under its final name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessara
{

class CSegyFileIn;
class CSegyTrace;
struct CombineSettings;
struct JobContext;
struct CombineJobState;
struct SegyHeaderType;

/// `directory` joined with `name` by the platform's separator (no doubled
/// separator when `directory` already ends in one).
[[nodiscard]] std::string JoinPath(const std::string& directory, const std::string& name);
/// The file name of `path` without its directory.
[[nodiscard]] std::string FileNameOf(const std::string& path);

/// The writability probe both front ends run before they start a job: in
/// `directory`, deletes an existing "SegyOut.sgy", creates it anew, writes one
/// byte 0xFF, closes it and deletes it again. True when every step worked;
/// any failure counts as not writeable. The probe file never remains.
[[nodiscard]] bool ProbeOutputDirectory(const std::string& directory);
/// The message the front ends show when the probe fails.
[[nodiscard]] std::string NotWriteableMessage(const std::string& directory);

/// Called at the start of every input. When no output is open, creates the
/// working file with `in`'s file header (samples per trace set to the
/// input's, sample format the input's; when the job's interval is already
/// known and the input's differs, the interval and the count its traces will
/// have after resampling) and returns 0; otherwise returns the output's size
/// in bytes. A failure to create or write the file stops the job (recorded in
/// the job state).
[[nodiscard]] std::int64_t Open_New_Output_File(const JobContext& ctx, CSegyFileIn& in);

/// Writes a trace that passed the job's checks and returns the new
/// last_trace_time (seconds of year). The plain path unless a demultiplex
/// mode is on.
[[nodiscard]] double
Write_Output_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input);
/// The plain path: updates average_interval (from the third trace of the
/// input on, against the input's start time) and trace_count, writes the
/// trace, and makes null_trace carry its header with zero samples. Returns
/// the trace's time (seconds of year with milliseconds).
[[nodiscard]] double
Write_Plain_Output_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input);
/// Appends one trace record to the working output and counts it, as a fill
/// trace or a real one. False, with the job stopped, when the write failed.
[[nodiscard]] bool Write_Trace_Record(const JobContext& ctx, const CSegyTrace& trace, bool isFill);

/// Makes null_trace, the template of fill traces, carry header `h` of the
/// trace just written, with storage for its sample count.
void Keep_Null_Trace_Header(CombineJobState& state, const SegyHeaderType& h);

/// A time on the job's scale (seconds of year) split into day, hour, minute
/// and seconds, each part truncated from the time in its own unit: the rule
/// of output names and of fill-trace times alike.
struct SplitTime {
    double day;
    double hour;
    double minute;
    double seconds; ///< with the fraction
};
[[nodiscard]] SplitTime SplitSecondsOfYear(double secondsOfYear);

/// Final file name (without directory) of an output whose first trace is at
/// `startSeconds` and last at `lastSeconds` (seconds of year):
/// Expedition_[data_type_][instrument_type_][xcdr_]DDD_HHMM_to_DDD_HHMM
/// [_SC<spacing with one decimal>m].sgy, the optional texts only when longer
/// than one character, the spacing part only when `spacingMetres` is given.
[[nodiscard]] std::string BuildOutputFileName(const CombineSettings& settings,
                                              double startSeconds,
                                              double lastSeconds,
                                              std::optional<double> spacingMetres);

/// Closing sequence of the working output: closes it; an output without a
/// trace is deleted (logged); otherwise the speed correction and
/// Rename_Output_File follow. Sets output_open false. A failure stops the job
/// and leaves the working file under its name.
void Close_Output_File(const JobContext& ctx);

/// Runs the delay scan when it is on, then moves the closed working file to
/// its final name in the output directory, replacing a file that existed
/// before the job; a name this job has already given gets "_2", "_3", ...
/// before ".sgy". `speedCorrected` adds the spacing part to the name.
void Rename_Output_File(const JobContext& ctx, bool speedCorrected);

/// Stops the job because `path` could not be written: logs and shows
/// "Cannot write " + path. Only the first failure is reported.
void ReportWriteFailure(const JobContext& ctx, const std::string& path);

} // namespace tessara
