#include "combine/api/combine_job.h"

#include "combine/input_scan.h"
#include "combine/log_format.h"
#include "combine/output_files.h"
#include "segy/io/segy_file_in.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace tessara
{

namespace
{

// Start time of the first input after `input` whose start the scan could
// measure. Inputs that cannot be read contribute no traces, so the time gap
// and the duration of an output are measured to the next input that does.
std::optional<double> NextKnownStart(const CombineJobState& state, std::size_t input)
{
    for (std::size_t k = input + 1; k < state.input_files.size(); ++k) {
        if (k < state.start_known.size() && state.start_known[k])
            return state.start_times[k];
    }
    return std::nullopt;
}

} // namespace

CCombineJob::CCombineJob(const CombineSettings& settings, IJobHost& host)
    : m_settings(settings), m_host(host), m_state(std::make_unique<CombineJobState>())
{
}

CCombineJob::~CCombineJob() = default;

CTraceResampler& CCombineJob::Resampler()
{
    if (!m_state->resampler)
        m_state->resampler = std::make_unique<CTraceResampler>();
    return *m_state->resampler;
}

CombineOutcome CCombineJob::Run(const std::string& outputDirectory)
{
    m_state = std::make_unique<CombineJobState>();
    CombineJobState& state = *m_state;
    const JobContext ctx{m_settings, m_host, state};

    if (const std::string problem = ValidateCombineSettings(m_settings); !problem.empty()) {
        m_host.ShowMessage(problem);
        return CombineOutcome::InvalidSettings;
    }

    state.output_directory = outputDirectory;
    state.working_path = JoinPath(outputDirectory, kWorkingFileName);
    state.input_files = m_settings.input_files;
    const std::size_t n = state.input_files.size();
    state.start_times.assign(n, 0.0);
    state.file_times.assign(n, 0);
    state.start_known.assign(n, false);
    state.file_order.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        state.file_order[i] = static_cast<std::int32_t>(i);

    if (!m_settings.demultiplex_only)
        Scan_and_Sort_Input_files(ctx);

    m_durationLimit = static_cast<std::int64_t>(m_settings.time_duration_limit) * 3600;
    m_sizeLimit = static_cast<std::int64_t>(m_settings.max_file_size) * 1000000;

    state.output_open = false;
    m_host.ClearLog();
    state.target_interval = -1;
    if (m_settings.assign_sampling_frequency)
        state.target_interval = SampleIntervalOfFrequency(m_settings.sampling_frequency);
    state.last_trace_time = 0;
    state.output_start_time = 0;

    for (std::size_t i = 0; i < n && !state.failed; ++i)
        ProcessInput(ctx, i);

    // The last inputs were skipped while an output was open: it is finished
    // like any other.
    if (!state.failed && state.output_open)
        Close_Output_File(ctx);

    if (state.failed) {
        state.segy_out.Close(); // the working file keeps what it has
        state.summary.traces_unfinished += state.output.traces - state.output.fill_traces;
        state.output = WorkingOutput{};
        return CombineOutcome::WriteFailed;
    }

    // A working file opened for inputs whose traces were all dropped never
    // met a trace: it is not an output.
    if (state.segy_out.bIsOpen()) {
        state.segy_out.Close();
        std::error_code ignored;
        std::filesystem::remove(state.working_path, ignored);
    }
    m_host.SetStatus("Done....");
    return CombineOutcome::Done;
}

void CCombineJob::ProcessInput(const JobContext& ctx, std::size_t input)
{
    CombineJobState& state = ctx.state;
    const std::string& path = state.input_files[input];
    state.current_input = input;
    state.current_file = path;

    if (m_settings.speed_correction && !CheckNav(ctx, path)) {
        ++state.summary.inputs_without_navigation;
        return;
    }

    CSegyFileIn in;
    const bool opened = in.Open(path);
    ctx.Log(kNL);
    ctx.Log(kNL);
    ctx.Log(kNL);
    ctx.Log("Processing file " + path);
    ctx.Log(kNL);
    if (!opened) {
        // Nothing of it is opened or written and no close decision is taken
        // for it: an unreadable file must not give an output its file header.
        ctx.Log("\tNot a readable SEG-Y file: skipped");
        ctx.Log(kNL);
        ++state.summary.inputs_unreadable;
        return;
    }

    state.running_size = Open_New_Output_File(ctx, in);
    if (state.failed)
        return;

    const std::uint32_t samples = in.GetSamples();
    state.pair_trace.SetN(2 * samples);
    state.trace.SetN(samples);
    // Fill traces must always carry a real trace's header: null_trace keeps
    // the header of the last trace written in the job, and only its storage
    // follows this input's samples per trace.
    CSegyTrace& null = state.null_trace;
    if (!null.header) {
        null.SetN(samples);
    } else {
        null.samples.assign(static_cast<std::size_t>(samples) + 2, 0.0);
        null.numSamples = samples;
        null.allocatedCount = -1;
    }
    ctx.Log("\tNumber of samples = " + std::to_string(samples));
    ctx.Log(kNL);

    const std::int64_t positionAtStart = state.segy_out.byteCount;
    TraceLoop(ctx, in, input);
    in.Close();
    if (!state.failed)
        CloseByRules(ctx, input, positionAtStart);
}

void CCombineJob::TraceLoop(const JobContext& ctx, CSegyFileIn& in, std::size_t input)
{
    CombineJobState& state = ctx.state;
    CombineSummary& summary = state.summary;
    CSegyTrace& trace = state.trace;

    // The reference trace (and, with the day repair, any trace before it) is
    // not written: writing starts with the trace after it.
    state.time_correction = TimeCorrectionState{};
    const std::int64_t delivered = Read_Reference_Trace(ctx, in, trace);
    summary.traces_read += delivered;
    summary.dropped_reference += delivered;
    bool haveTrace = !in.atEnd;
    // The header as the last successful read delivered it: the read that
    // finds the end of the input is processed on it, and the repairs below
    // must not be applied to it twice.
    SegyHeaderType lastRead{};
    if (haveTrace)
        lastRead = *trace.header;
    if (m_settings.fixupknudsen)
        Derive_Knudsen_Day_Fix(ctx, state.current_file, trace, haveTrace);

    state.trace_count = 0;
    state.average_interval = 1.0;
    m_gapLimit = static_cast<std::int64_t>(m_settings.file_gap) * 60;
    const std::string fileName = FileNameOf(state.current_file);

    for (;;) {
        in.Read(trace, -1);
        const bool ended = in.atEnd;
        if (!ended) {
            ++summary.traces_read;
            haveTrace = true;
            lastRead = *trace.header;
        } else {
            // With no trace read from this input there is no time to log or
            // to start an output with.
            if (!haveTrace)
                break;
            *trace.header = lastRead;
        }

        // The day repair counts midnights from trace to trace, so it sees
        // every trace read, dropped or not.
        if (m_settings.fixupknudsen)
            Apply_Knudsen_Day_Fix(ctx, trace);
        if (m_settings.speed_correction && !TraceHasNavigation(trace)) {
            if (ended)
                break;
            ++summary.dropped_navigation;
            continue;
        }
        // A record without samples carries no data. Written into a composite
        // whose file header declares a sample count, it would make every
        // reader of the composite take the next record's bytes for samples.
        if (!ended && trace.header->sampleCount == 0) {
            ++summary.dropped_empty;
            continue;
        }
        // A read that found no trace must not fix the job's interval.
        if (!ended && state.target_interval < 0)
            state.target_interval = trace.header->sampleInterval;
        AddTimeCorrectionToTraceHeader(ctx, trace);
        if (!ended && !m_settings.demultiplex_only &&
            trace.header->sampleInterval != state.target_interval) {
            if (!Resampler().Resample(trace, state.target_interval)) {
                ++summary.dropped_resampling;
                continue;
            }
        }

        const SegyHeaderType& h = *trace.header;
        if (state.trace_count == 0) {
            ctx.Log("\tStart Time = " + std::to_string(h.dayOfYear) + ":" + std::to_string(h.hour) +
                    ":" + std::to_string(h.minute) + ":" + std::to_string(h.second));
            ctx.Log(kNL);
        }
        if (!state.output_open) {
            ctx.Log("\tOpening output file");
            ctx.Log(kNL);
            state.output_open = true;
            state.output_start_time = static_cast<double>(WholeSecondsOfYear(h));
        }
        const double t = SecondsOfYear(h);
        if (ended)
            break;

        if (state.trace_count % 10 == 0) {
            m_host.SetStatus("Input file = " + fileName + " : reading trace " +
                             std::to_string(state.trace_count));
            if (m_host.IsLogVisible()) {
                ctx.Log("\tAve Time " + FormatLogNumber(state.average_interval) +
                        "delay = " + std::to_string(h.delayRecordingTime));
                ctx.Log(kNL);
            }
            m_host.PumpEvents();
        }
        if (t < state.output_start_time) {
            ++summary.dropped_before_start;
            continue;
        }
        state.last_trace_time = Write_Output_Trace(ctx, trace, input);
        if (state.failed)
            return;
    }
}

void CCombineJob::CloseByRules(const JobContext& ctx,
                               std::size_t input,
                               std::int64_t positionAtStart)
{
    CombineJobState& state = ctx.state;
    const bool last = input + 1 == state.input_files.size();
    double gap = 0;
    double span = 0;
    if (!last && !m_settings.demultiplex_only) {
        if (const std::optional<double> next = NextKnownStart(state, input)) {
            gap = Fill_Null_Traces_in_Gap(ctx, *next, static_cast<double>(m_gapLimit));
            if (state.failed)
                return;
            span = *next - state.output_start_time;
        }
    }
    state.running_size += state.segy_out.byteCount - positionAtStart;

    const bool bySize = state.running_size > m_sizeLimit;
    const bool byDuration = span >= static_cast<double>(m_durationLimit);
    const bool byGap = gap > static_cast<double>(m_gapLimit);
    if (!(byDuration || bySize || last || byGap || m_settings.demultiplex_only))
        return;

    Close_Output_File(ctx);
    if (state.failed)
        return;
    if (bySize) {
        ctx.Log("\tFile close by file size limit " + std::to_string(state.running_size) + " > " +
                std::to_string(m_sizeLimit));
        ctx.Log(kNL);
    }
    if (byDuration) {
        ctx.Log("\tFile close by time limit " + FormatLogNumber(span) + " > " +
                std::to_string(m_durationLimit));
        ctx.Log(kNL);
    }
    if (byGap) {
        ctx.Log("\tFile close by file  gap limit " + FormatLogNumber(gap) + " > " +
                std::to_string(m_gapLimit));
        ctx.Log(kNL);
    }
}

} // namespace tessara
