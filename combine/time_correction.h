// Changes of trace times: the Knudsen day repair, the static time
// correction, and null traces that fill the time gap between two inputs.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/output_file.h"
#include "segy/format/segy_headers.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessara
{

class CSegyFileIn;
class CSegyTrace;
struct JobContext;

/// How the traces of the current input get their day.
enum class DayRepair {
    None,    ///< as recorded: repair off, or the file name does not give the day
    YearDay, ///< year and day from the file name, plus the midnights crossed
    DayOnly, ///< recorded day shifted by the file name's day minus the reference's
};

/// Day repair of the current input, derived from its file name and
/// reference trace; reset at the start of every input.
struct TimeCorrectionState {
    DayRepair repair = DayRepair::None;
    std::int32_t day_fix = 0;        ///< day of year from the file name
    std::int32_t year_fix = 0;       ///< YearDay: year from the file name
    std::int64_t day_offset = 0;     ///< DayOnly: days added to every recorded day
    std::int64_t midnights = 0;      ///< midnights crossed since the reference trace
    std::int32_t previous_clock = 0; ///< s since midnight of the trace read last (as recorded)
    std::int64_t day = 0;            ///< YearDay: day_fix + midnights, carried into year
    std::int64_t year = 0;           ///< YearDay: year_fix, + 1 for each New Year passed
    bool carry = false;              ///< YearDay: the name gives a real date, so New Year carries
};

/// Day and year a Knudsen file name gives.
struct KnudsenNameDay {
    std::int32_t day = 0;
    std::int32_t year = 0; ///< YearDay only; 0 with DayOnly
};

/// Reads the day (and with YearDay the year) from a recorder file name such
/// as "0001_2003_255_1735.sgy" (YearDay: field 2 the year, field 3 the day)
/// or "0001_255_1735.sgy" (DayOnly: field 2 the day). The directory of `path`
/// is ignored; fields are the parts between "_" counted from one. A field is
/// an optional sign and at least one ASCII digit, nothing else, with a value
/// that fits 32 bits. Empty when a needed field is missing or malformed.
[[nodiscard]] std::optional<KnudsenNameDay> ReadKnudsenFileName(const std::string& path,
                                                                KnudsenNameFormat layout);

/// Reads the reference trace of the current input into `trace`: its first
/// trace, or with fixupknudsen its first trace whose dayOfYear lies in 1..366.
/// None of these traces is written. Returns how many traces the reader
/// delivered (the reference and any before it); `in.atEnd` tells that the
/// input ended before a reference was found.
[[nodiscard]] std::int64_t
Read_Reference_Trace(const JobContext& ctx, CSegyFileIn& in, CSegyTrace& trace);

/// With fixupknudsen: derives the current input's day repair from its file
/// name (`path`, the directory is ignored) and its reference trace, which is
/// absent (`haveReference` false) when the input holds none. A name that does
/// not give the day leaves the input unrepaired and logs
/// "\tFile name does not give the day: no day repair".
void Derive_Knudsen_Day_Fix(const JobContext& ctx,
                            TimeCorrectionState& fix,
                            const std::string& path,
                            const CSegyTrace& reference,
                            bool haveReference);

/// Applies the current input's day repair to `trace`. Must see every trace
/// read after the reference, in order, whether it is written or not: a clock
/// more than 12 hours earlier than the previous trace's counts as a midnight
/// crossed. YearDay: year := year_fix, dayOfYear := day_fix + midnights,
/// where a day past the end of year_fix continues in year_fix + 1. DayOnly:
/// dayOfYear += day_offset. Does nothing when no repair was derived.
void Apply_Knudsen_Day_Fix(TimeCorrectionState& fix, CSegyTrace& trace);

/// With fixupknudsen: gives the first trace of an input (read by the input
/// scan) the day the job's own day repair gives its reference trace: the
/// file name's day (and with YearDay its year). A name that does not give the
/// day leaves the trace as it is.
void Apply_Knudsen_Day_From_File_Name(const JobContext& ctx,
                                      const std::string& path,
                                      CSegyTrace& trace);

/// The repairs the job gives an input's reference trace, for the first trace
/// of the input at `path` read by the input scan: with fixupknudsen the day
/// (and year) from the file name, then the time correction.
void Apply_Start_Time_Repairs(const JobContext& ctx, const std::string& path, CSegyTrace& trace);

/// Adds `seconds` to the time stamp year / dayOfYear / hour:minute:second in
/// the Gregorian calendar, across midnight, month ends and New Year (leap
/// years counted); millisecond is not touched. Returns false and leaves the
/// header unchanged when the fields do not form a date-time (year outside
/// 1..9999, hour outside 0..23, minute or second outside 0..59) or the result
/// lies outside years 1..9999. dayOfYear may lie outside 1..366: it counts
/// days from 1 January of `year`.
[[nodiscard]] bool AddSecondsToTraceTime(SegyHeaderType& header, std::int64_t seconds);

/// Adds `timecorrection` seconds to the trace time (AddSecondsToTraceTime).
/// 0 leaves the header untouched, out-of-range fields included.
void AddTimeCorrectionToTraceHeader(const JobContext& ctx, CSegyTrace& trace);

/// Null traces that fill a time gap of `gap` seconds between the last trace
/// written and the next input: n = trunc(gap / averageInterval - 1) when
/// make_null_traces is on, the gap is shorter than `gapLimitSeconds`,
/// `averageInterval` (s) is positive and finite, 0 < n and `traceCount` + n
/// fit 32 bits; otherwise 0.
[[nodiscard]] std::int32_t CountNullTracesForGap(const CombineSettings& settings,
                                                 double gap,
                                                 double gapLimitSeconds,
                                                 double averageInterval,
                                                 std::int32_t traceCount);

/// What filling a gap did.
struct GapFillResult {
    double gap = 0;      ///< s, the next input's start minus the last trace written
    bool failed = false; ///< a fill trace could not be written; the filling ended there
    /// Bytes the fill traces would have taken where they would not fit the
    /// room given: none was written. 0 otherwise.
    std::int64_t refusedBytes = 0;
    std::int32_t written = 0; ///< fill traces written (or tried, when failed)
    double interval = 0;      ///< s, between them
};

/// Fills the gap after the current input: `nextStartTime` (s of year) minus
/// the output's last trace time. Writes CountNullTracesForGap null traces
/// into `output`, its mean trace interval apart from the last trace time on,
/// when the output holds a real trace to continue; each is `fill` with zero
/// samples and its own time, and the log says "Fill : Time Gap ..." first.
/// `fill` is the template of the channel path in use: the output's own, or
/// the sidescan pair. Fill traces that would take more than `roomBytes`
/// (what the size limit leaves of the output) are not written at all.
[[nodiscard]] GapFillResult Fill_Null_Traces_in_Gap(const JobContext& ctx,
                                                    COutputRecords& output,
                                                    InputCounters& counters,
                                                    CSegyTrace& fill,
                                                    double nextStartTime,
                                                    double gapLimitSeconds,
                                                    std::int64_t roomBytes);

/// Writes `count` null traces `interval` seconds apart into `output` after
/// its last trace time, each `fill` (the template of the channel path in
/// use, given zero samples) with its own time; they count in the input they
/// follow. False when a write failed.
[[nodiscard]] bool Write_Null_Traces(const CombineSettings& settings,
                                     COutputRecords& output,
                                     InputCounters& counters,
                                     CSegyTrace& fill,
                                     std::int32_t count,
                                     double interval);

} // namespace tessara
