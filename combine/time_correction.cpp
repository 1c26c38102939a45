#include "combine/time_correction.h"

#include "combine/api/log_format.h"
#include "combine/job_state.h"
#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace tessara
{

namespace
{

/// A clock this much earlier than the previous trace's means the recording
/// went past midnight; smaller steps back are recorder jitter or reordering.
constexpr std::int32_t kMidnightStepSeconds = 12 * 3600;

std::vector<std::string_view> SplitAtUnderscores(std::string_view name)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t end = name.find('_');
        fields.push_back(name.substr(0, end));
        if (end == std::string_view::npos)
            return fields;
        name.remove_prefix(end + 1);
    }
}

// An optional sign and ASCII digits only: "255", "+255", "-3". Anything else
// ("1735.sgy", "", "25a", " 25") is not a number of the name.
std::optional<std::int32_t> ParseNameField(std::string_view field)
{
    bool negative = false;
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    if (field.empty() ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // Parsed as a magnitude in 64 bits so that -2147483648 is accepted.
    std::int64_t magnitude = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), magnitude);
    if (error != std::errc() || end != field.data() + field.size())
        return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool DayIsValid(std::int32_t dayOfYear)
{
    return dayOfYear >= 1 && dayOfYear <= 366;
}

std::int32_t ClockSeconds(const SegyHeaderType& h)
{
    return (static_cast<std::int32_t>(h.hour) * 60 + h.minute) * 60 + h.second;
}

std::int64_t DaysInYear(std::int64_t y)
{
    return std::chrono::year{static_cast<int>(y)}.is_leap() ? 366 : 365;
}

} // namespace

std::optional<KnudsenNameDay> ReadKnudsenFileName(const std::string& path, KnudsenNameFormat layout)
{
    const std::string name = FileNameOf(path);
    const std::vector<std::string_view> fields = SplitAtUnderscores(name);
    KnudsenNameDay result;
    if (layout == KnudsenNameFormat::YearDay) {
        if (fields.size() < 3)
            return std::nullopt;
        const std::optional<std::int32_t> year = ParseNameField(fields[1]);
        const std::optional<std::int32_t> day = ParseNameField(fields[2]);
        if (!year || !day)
            return std::nullopt;
        result.year = *year;
        result.day = *day;
    } else {
        if (fields.size() < 2)
            return std::nullopt;
        const std::optional<std::int32_t> day = ParseNameField(fields[1]);
        if (!day)
            return std::nullopt;
        result.day = *day;
    }
    return result;
}

std::int64_t Read_Reference_Trace(const JobContext& ctx, CSegyFileIn& in, CSegyTrace& trace)
{
    std::int64_t delivered = 0;
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            return delivered;
        ++delivered;
        // Day 366 counts: 31 December of a leap year is a real day.
        if (!ctx.settings.fixupknudsen || DayIsValid(trace.header->dayOfYear))
            return delivered;
    }
}

void Derive_Knudsen_Day_Fix(const JobContext& ctx,
                            TimeCorrectionState& fix,
                            const std::string& path,
                            const CSegyTrace& reference,
                            bool haveReference)
{
    fix = TimeCorrectionState{};
    const KnudsenNameFormat layout = ctx.settings.knudsen_name_format;
    const std::optional<KnudsenNameDay> named = ReadKnudsenFileName(path, layout);
    if (!named) {
        ctx.Log("\tFile name does not give the day: no day repair");
        ctx.Log(kNL);
        return;
    }
    fix.day_fix = named->day;
    fix.year_fix = named->year;
    // Without a reference nothing of the input is written.
    if (!haveReference || !reference.header)
        return;
    fix.previous_clock = ClockSeconds(*reference.header);
    if (layout == KnudsenNameFormat::YearDay) {
        fix.repair = DayRepair::YearDay;
        fix.day = named->day;
        fix.year = named->year;
        fix.carry = named->year >= 1 && named->year <= 9999 && named->day >= 1 &&
                    named->day <= DaysInYear(named->year);
    } else {
        fix.repair = DayRepair::DayOnly;
        fix.day_offset = static_cast<std::int64_t>(named->day) - reference.header->dayOfYear;
    }
}

void Apply_Knudsen_Day_Fix(TimeCorrectionState& fix, CSegyTrace& trace)
{
    if (fix.repair == DayRepair::None || !trace.header)
        return;
    SegyHeaderType& h = *trace.header;
    const std::int32_t clock = ClockSeconds(h);
    const bool midnight = fix.previous_clock - clock > kMidnightStepSeconds;
    fix.previous_clock = clock;

    if (fix.repair == DayRepair::DayOnly) {
        h.dayOfYear = To16(h.dayOfYear + fix.day_offset);
        return;
    }
    if (midnight) {
        ++fix.midnights;
        ++fix.day;
        // Carried into the next year only from a real date: a name whose
        // year or day cannot be one gives its day plus the midnights.
        if (fix.carry && fix.year <= 9999 && fix.day > DaysInYear(fix.year)) {
            fix.day = 1;
            ++fix.year;
        }
    }
    h.dayOfYear = To16(fix.day);
    h.year = To16(fix.year);
}

void Apply_Knudsen_Day_From_File_Name(const JobContext& ctx,
                                      const std::string& path,
                                      CSegyTrace& trace)
{
    const KnudsenNameFormat layout = ctx.settings.knudsen_name_format;
    const std::optional<KnudsenNameDay> named = ReadKnudsenFileName(path, layout);
    if (!named || !trace.header)
        return;
    trace.header->dayOfYear = To16(named->day);
    if (layout == KnudsenNameFormat::YearDay)
        trace.header->year = To16(named->year);
}

void Apply_Start_Time_Repairs(const JobContext& ctx, const std::string& path, CSegyTrace& trace)
{
    if (ctx.settings.fixupknudsen)
        Apply_Knudsen_Day_From_File_Name(ctx, path, trace);
    AddTimeCorrectionToTraceHeader(ctx, trace);
}

bool AddSecondsToTraceTime(SegyHeaderType& header, std::int64_t seconds)
{
    using namespace std::chrono;
    const SegyHeaderType& h = header;
    if (h.year < 1 || h.year > 9999 || h.hour < 0 || h.hour > 23 || h.minute < 0 || h.minute > 59 ||
        h.second < 0 || h.second > 59)
        return false;
    const sys_days jan1 = year{h.year} / January / 1;
    const sys_seconds time = sys_seconds{jan1} + days{h.dayOfYear - 1} + hours{h.hour} +
                             minutes{h.minute} + std::chrono::seconds{h.second} +
                             std::chrono::seconds{seconds};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const int resultYear = static_cast<int>(date.year());
    if (resultYear < 1 || resultYear > 9999)
        return false;
    const hh_mm_ss<std::chrono::seconds> clock{time - day};
    header.year = To16(resultYear);
    header.dayOfYear = To16((day - sys_days{date.year() / January / 1}).count() + 1);
    header.hour = To16(clock.hours().count());
    header.minute = To16(clock.minutes().count());
    header.second = To16(clock.seconds().count());
    return true;
}

void AddTimeCorrectionToTraceHeader(const JobContext& ctx, CSegyTrace& trace)
{
    const int correction = ctx.settings.timecorrection;
    if (correction == 0 || !trace.header)
        return;
    // A time stamp that is no date-time keeps its fields: it cannot be moved
    // by a calendar, and no made-up date is better than the recorded one.
    (void)AddSecondsToTraceTime(*trace.header, correction);
}

std::int32_t CountNullTracesForGap(const CombineSettings& settings,
                                   double gap,
                                   double gapLimitSeconds,
                                   double averageInterval,
                                   std::int32_t traceCount)
{
    if (!settings.make_null_traces || !(gap < gapLimitSeconds))
        return 0;
    // Identical or falling trace times give an interval of 0 or below, and
    // an interval that small against the gap a count beyond any file: both
    // are refused before anything is divided or converted.
    if (!(averageInterval > 0.0) || !std::isfinite(averageInterval))
        return 0;
    const double count = std::trunc(gap / averageInterval - 1.0);
    const double room = static_cast<double>(std::numeric_limits<std::int32_t>::max()) -
                        static_cast<double>(traceCount);
    if (!std::isfinite(count) || !(count > 0.0) || count > room)
        return 0;
    return static_cast<std::int32_t>(count);
}

GapFillResult Fill_Null_Traces_in_Gap(const JobContext& ctx,
                                      COutputRecords& output,
                                      InputCounters& counters,
                                      CSegyTrace& fill,
                                      double nextStartTime,
                                      double gapLimitSeconds,
                                      std::int64_t roomBytes)
{
    GapFillResult result;
    result.gap = nextStartTime - output.LastTraceTime();
    const std::int32_t n = CountNullTracesForGap(
        ctx.settings, result.gap, gapLimitSeconds, counters.averageInterval, counters.traces);
    // Fill traces continue the output's last real trace: without one they
    // would lie before the output's start.
    if (n == 0 || !output.bHasRealTrace() || !fill.header)
        return result;
    // Filling a gap must not take the output past its size limit: a few
    // pings a millisecond apart before a long gap would otherwise write
    // hundreds of megabytes of zeros.
    const std::int64_t fillBytes = static_cast<std::int64_t>(n) * output.RecordBytes(*fill.header);
    if (fillBytes > roomBytes) {
        result.refusedBytes = fillBytes;
        return result;
    }
    ctx.Log("Fill : Time Gap " + FormatLogNumber(result.gap) + " number of fill traces " +
            std::to_string(n));
    ctx.Log(kNL);
    result.written = n;
    result.interval = counters.averageInterval;
    result.failed = !Write_Null_Traces(ctx.settings, output, counters, fill, n, result.interval);
    return result;
}

bool Write_Null_Traces(const CombineSettings& settings,
                       COutputRecords& output,
                       InputCounters& counters,
                       CSegyTrace& fill,
                       std::int32_t count,
                       double interval)
{
    // The pair's storage decides its halves and must keep its size.
    if (settings.demultiplex_sidescan)
        std::fill(fill.samples.begin(), fill.samples.end(), 0.0);
    else
        fill.ResizeZeroed(fill.header->sampleCount);
    // The fill traces count in the input they follow.
    counters.traces += count;
    return output.WriteFill(fill, count, interval);
}

} // namespace tessara
