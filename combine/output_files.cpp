#include "combine/output_files.h"

#include "combine/delay_scan.h"
#include "combine/demultiplex.h"
#include "combine/job_state.h"
#include "combine/speed_correction.h"
#include "segy/io/segy_file_in.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tessara
{

namespace fs = std::filesystem;

std::string JoinPath(const std::string& directory, const std::string& name)
{
    return (fs::path(directory) / name).string();
}

std::string FileNameOf(const std::string& path)
{
    return fs::path(path).filename().string();
}

bool ProbeOutputDirectory(const std::string& directory)
{
    const std::string probe = JoinPath(directory, kWorkingFileName);
    std::error_code ec;
    if (fs::exists(probe, ec) && !fs::remove(probe, ec))
        return false;
    if (ec)
        return false;
    // "x": the probe must be a file this process created, not one that
    // appeared in the meantime.
    std::FILE* file = std::fopen(probe.c_str(), "wbx");
    if (file == nullptr)
        return false;
    const bool written = std::fputc(0xFF, file) == 0xFF;
    const bool closed = std::fclose(file) == 0;
    const bool removed = fs::remove(probe, ec);
    return written && closed && removed;
}

std::string NotWriteableMessage(const std::string& directory)
{
    return "Selected output directory, " + directory + ", is not writeable";
}

void ReportWriteFailure(const JobContext& ctx, const std::string& path)
{
    CombineJobState& state = ctx.state;
    if (state.failed)
        return;
    state.failed = true;
    state.failed_path = path;
    const std::string message = "Cannot write " + path;
    ctx.Log(message);
    ctx.Log(kNL);
    ctx.host.ShowMessage(message);
}

std::int64_t Open_New_Output_File(const JobContext& ctx, CSegyFileIn& in)
{
    CombineJobState& state = ctx.state;
    CSegyFileOut& out = state.segy_out;
    if (state.output_open)
        return out.byteCount;

    state.output = WorkingOutput{};
    if (!out.Open(state.working_path)) {
        ReportWriteFailure(ctx, state.working_path);
        return 0;
    }
    *out.tapeHeader = *in.tapeHeader;
    out.SetFormat(in.GetFormat());
    std::uint32_t samples = in.GetSamples();
    // When the job already knows that this input's traces will be resampled,
    // the file header states the interval and count they will have, so that
    // readers going by the file header read the traces as written.
    const std::int32_t inputInterval = in.GetSampleInterval();
    if (!ctx.settings.demultiplex_only && state.target_interval > 0 && inputInterval > 0 &&
        inputInterval != state.target_interval) {
        // The resampler's count: n * (old / new), truncated.
        samples = static_cast<std::uint32_t>(
            static_cast<double>(samples) *
            (static_cast<double>(inputInterval) / static_cast<double>(state.target_interval)));
        out.tapeHeader->binSampleInterval = static_cast<std::uint16_t>(state.target_interval);
    }
    // The binary header's count fields are 16-bit: a count beyond them (a
    // demultiplex mode doubling a long trace) keeps its low 16 bits.
    out.SetSamples(static_cast<std::uint16_t>(Output_Samples_Per_Trace(ctx, samples)));
    out.WriteHeader();
    if (out.bHasFailed())
        ReportWriteFailure(ctx, state.working_path);
    return 0;
}

bool Write_Trace_Record(const JobContext& ctx, const CSegyTrace& trace, bool isFill)
{
    CombineJobState& state = ctx.state;
    state.segy_out.Write(trace);
    // Counted even when the write failed: the trace then belongs to the
    // output that the failure leaves unfinished.
    WorkingOutput& output = state.output;
    if (isFill) {
        ++output.fill_traces;
    } else if (output.traces == output.fill_traces) {
        output.first_trace_time = SecondsOfYear(*trace.header);
    }
    ++output.traces;
    if (state.segy_out.bHasFailed()) {
        ReportWriteFailure(ctx, state.working_path);
        return false;
    }
    CountWrittenTraceDelay(ctx, trace);
    return true;
}

double Write_Output_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    if (ctx.settings.demultiplex_single_channel || ctx.settings.demultiplex_sidescan)
        return Write_Demultiplexed_Trace(ctx, trace, input);
    return Write_Plain_Output_Trace(ctx, trace, input);
}

double Write_Plain_Output_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    CombineJobState& state = ctx.state;
    const SegyHeaderType& h = *trace.header;
    const double t = SecondsOfYear(h);
    if (state.trace_count > 1)
        state.average_interval = (t - state.start_times[input]) / (state.trace_count - 1);
    ++state.trace_count;
    if (!Write_Trace_Record(ctx, trace, false))
        return state.last_trace_time;

    Keep_Null_Trace_Header(state, h);
    return t;
}

void Keep_Null_Trace_Header(CombineJobState& state, const SegyHeaderType& h)
{
    // Its samples are only ever zero, so they need clearing only when resized.
    CSegyTrace& null = state.null_trace;
    if (!null.header || null.numSamples != h.sampleCount)
        null.SetN(h.sampleCount);
    *null.header = h;
}

SplitTime SplitSecondsOfYear(double t)
{
    const double day = std::trunc(t / 24 / 3600);
    const double hour = std::trunc(t / 3600 - day * 24);
    const double minute = std::trunc(t / 60 - (day * 24 + hour) * 60);
    return {day, hour, minute, t - ((day * 24 + hour) * 60 + minute) * 60};
}

namespace
{

struct DayClock {
    long long day;
    long long clock; // hour * 100 + minute
};

// The name's day and clock of a time in seconds of year.
DayClock DayClockOf(double seconds)
{
    const SplitTime s = SplitSecondsOfYear(seconds);
    return {static_cast<long long>(s.day), static_cast<long long>(s.hour * 100 + s.minute)};
}

std::string Padded(long long value, int width)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
    return buffer;
}

// An output name with "_k" put before its extension.
std::string WithSuffix(const std::string& name, int k)
{
    const std::string extension = ".sgy";
    const std::string stem = name.substr(0, name.size() - extension.size());
    return stem + "_" + std::to_string(k) + extension;
}

} // namespace

std::string BuildOutputFileName(const CombineSettings& settings,
                                double startSeconds,
                                double lastSeconds,
                                std::optional<double> spacingMetres)
{
    std::string name = settings.Expedition + "_";
    for (const std::string* text :
         {&settings.data_type, &settings.instrument_type, &settings.xcdr}) {
        if (text->size() > 1)
            name += *text + "_";
    }
    const DayClock start = DayClockOf(startSeconds);
    const DayClock end = DayClockOf(lastSeconds);
    name += Padded(start.day, 3) + "_" + Padded(start.clock, 4) + "_to_" + Padded(end.day, 3) +
            "_" + Padded(end.clock, 4);
    if (spacingMetres) {
        char spacing[64];
        std::snprintf(spacing, sizeof spacing, "_SC%.1fm", *spacingMetres);
        name += spacing;
    }
    return name + ".sgy";
}

void Close_Output_File(const JobContext& ctx)
{
    CombineJobState& state = ctx.state;
    state.segy_out.Close();
    state.output_open = false;
    if (state.segy_out.bHasFailed()) {
        ReportWriteFailure(ctx, state.working_path);
        return;
    }
    if (state.output.traces == 0) {
        std::error_code ignored; // already gone is as good as deleted
        fs::remove(state.working_path, ignored);
        ++state.summary.outputs_discarded;
        ctx.Log("\tNo traces written: output discarded");
        ctx.Log(kNL);
        return;
    }
    bool speedCorrected = false;
    if (ctx.settings.speed_correction) {
        speedCorrected = CreatSpeedCorrectedSegy(ctx, state.working_path, state.current_file);
        if (state.failed)
            return;
    }
    Rename_Output_File(ctx, speedCorrected);
}

void Rename_Output_File(const JobContext& ctx, bool speedCorrected)
{
    CombineJobState& state = ctx.state;
    std::int64_t removed = 0;
    if (ctx.settings.delayscan) {
        removed = ScanFileAndMeasureTraceDelayFrequencys(ctx, state.working_path);
        if (state.failed)
            return;
    }

    const std::optional<double> spacing =
        speedCorrected ? std::optional<double>(state.speed.medianSpacing) : std::nullopt;
    const std::string name =
        BuildOutputFileName(ctx.settings, state.output_start_time, state.last_trace_time, spacing);
    std::string path = JoinPath(state.output_directory, name);
    for (int k = 2; state.produced_paths.count(path) != 0; ++k)
        path = JoinPath(state.output_directory, WithSuffix(name, k));

    // rename replaces an existing file in one step: the old file stays
    // whole until the new one has its name.
    std::error_code ec;
    fs::rename(state.working_path, path, ec);
    if (ec) {
        ReportWriteFailure(ctx, path);
        return;
    }
    state.produced_paths.insert(path);

    const WorkingOutput& output = state.output;
    OutputRecord record;
    record.path = path;
    record.traces = output.traces - removed;
    record.fill_traces = output.fill_traces;
    record.bytes = static_cast<std::int64_t>(fs::file_size(path, ec));
    if (ec)
        record.bytes = -1;
    record.first_trace_time = output.first_trace_time;
    record.last_trace_time = state.last_trace_time;
    state.outputs.push_back(record);

    CombineSummary& summary = state.summary;
    summary.traces_written += output.traces - output.fill_traces;
    summary.traces_filled += output.fill_traces;
    summary.removed_by_delay_scan += removed;
    state.output = WorkingOutput{};
}

} // namespace tessara
