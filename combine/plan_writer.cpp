#include "combine/plan_writer.h"

#include "combine/api/log_format.h"
#include "combine/api/output_directory.h"
#include "combine/delay_scan.h"
#include "combine/time_correction.h"
#include "segy/tools/open_failure.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace tessara
{

namespace fs = std::filesystem;

CPlanWriter::CPlanWriter(IJobHost& host,
                         const std::vector<InputEntry>& inputs,
                         ProgressLedger& progress,
                         const std::string& outputDirectory,
                         Namer namer)
    : m_host(host), m_inputs(inputs), m_namer(std::move(namer)),
      m_output(JoinPath(outputDirectory, kWorkingFileName)), m_progress(progress)
{
}

void CPlanWriter::Log(const std::string& text)
{
    m_host.AppendLog(text);
    m_host.AppendLog(kNL);
}

CPlanWriter::Ended CPlanWriter::Write(const OutputPlan& plan)
{
    m_plan = &plan;
    m_settings = &plan.settings;
    m_edits = OutputEdits{};
    m_edits.correction = plan.corrected ? &plan.correction : nullptr;
    m_edits.delays = plan.delays;
    m_output.SetEdits(m_edits);
    m_output.SetPositions(plan.positions.get());
    m_outputStarted = false;
    m_stopping = false;
    for (const PlanStep& step : plan.steps) {
        if (!Do(plan, step))
            break;
    }
    Ended ended = Ended::Done;
    if (m_failed) {
        ended = Ended::Failed;
    } else if (m_stopping) {
        FinishStopped(plan);
        ended = m_failed ? Ended::Failed : Ended::Stopped;
    }
    m_plan = nullptr;
    return ended;
}

// One step of the plan; false when writing ends here (a stop, a failure).
bool CPlanWriter::Do(const OutputPlan& plan, const PlanStep& step)
{
    using Kind = PlanStep::Kind;
    switch (step.kind) {
    case Kind::Tell:
        plan.tells[step.index](m_host);
        return true;
    case Kind::StartInput:
        StartInput(step.index);
        return true;
    case Kind::SkipInput:
        SkipInput(step.index, plan.skips[static_cast<std::size_t>(step.count)]);
        return true;
    case Kind::Overlap:
        m_result.overlapping_inputs.push_back({m_lastReadInput, m_inputs[step.index].path});
        return true;
    case Kind::OpenInput:
        return OpenInput(step.index);
    case Kind::OpenOutput: {
        const PlannedOpen& open = plan.opens[static_cast<std::size_t>(step.count)];
        if (!m_output.Open(m_in, open.samplesPerTrace, open.sampleIntervalUs)) {
            ReportWriteFailure(m_output.Path());
            return false;
        }
        return true;
    }
    case Kind::BeginInput: {
        const auto samples = static_cast<std::uint32_t>(step.count);
        m_channels.BeginInput(samples);
        m_trace.SetN(samples);
        m_output.BeginInput(samples, m_in.GetFormat());
        m_counters = InputCounters{};
        return true;
    }
    case Kind::Reference:
        return Reference(plan.references[step.index], step.count);
    case Kind::Take:
        for (std::int64_t k = 0; k < step.count; ++k) {
            if (!TakeRecord() || m_stopping)
                return false;
        }
        return true;
    case Kind::Drop:
        for (std::int64_t k = 0; k < step.count; ++k) {
            if (!ReadRecord())
                return false;
            DropRecord(step.drop);
            if (m_stopping)
                return false;
        }
        return true;
    case Kind::EndInput:
        return EndInput();
    case Kind::Fill: {
        const PlannedFill& fill = plan.fills[static_cast<std::size_t>(step.count)];
        CSegyTrace& templ =
            m_settings->demultiplex_sidescan ? m_channels.Pair() : m_output.FillTemplate();
        if (!Write_Null_Traces(
                *m_settings, m_output, m_counters, templ, fill.count, fill.interval)) {
            ReportWriteFailure(m_output.Path());
            return false;
        }
        return true;
    }
    case Kind::Close:
        return Close(plan, plan.path);
    case Kind::Discard:
        m_output.Discard();
        m_result.summary.outputs_discarded += step.count;
        return true;
    }
    return true;
}

// Progress counts input bytes: the one measure known for every input before
// it is read, whatever its trace length or the traces the job drops.
void CPlanWriter::ReportProgress(JobProgress::Phase phase, std::int64_t bytesOfInput)
{
    m_host.Progress(m_progress.At(phase, m_input, bytesOfInput));
}

void CPlanWriter::StartInput(std::size_t input)
{
    // Whatever becomes of an input, its bytes count as read after it; and
    // before the output it ends is finished, so that progress never goes back.
    m_progress.written += m_inputBytes;
    m_input = input;
    m_inputBytes = m_inputs[input].version.bytes;
    ReportProgress(JobProgress::Phase::Reading);
}

void CPlanWriter::SkipInput(std::size_t input, const PlannedSkip& skip)
{
    CountSkippedInput(m_result, m_inputs[input].path, skip);
    m_progress.written += m_inputBytes;
    m_inputBytes = 0;
}

// The plan was made from the input as it was then: one that has gone, has
// changed (device, inode, size, modification or change time) or cannot be
// opened now would not give the records planned. Each is named as itself.
void CPlanWriter::InputFailed(const std::string& what)
{
    if (m_failed)
        return;
    m_failed = true;
    const std::string& path = m_inputs[m_input].path;
    m_result.failed_path = path;
    m_result.input_changed = true;
    m_result.input_failure = what;
    const std::string message = "Input " + path + " " + what + ": job stopped";
    Log(message);
    m_host.ShowMessage(message);
}

namespace
{

constexpr const char* kChanged = "changed while the job was writing";

// What an input that is not the file the job started with is said to be.
const char* NotAsScanned(InputNow now)
{
    return now == InputNow::Gone ? "is gone" : kChanged;
}

} // namespace

bool CPlanWriter::OpenInput(std::size_t input)
{
    m_input = input;
    const InputEntry& entry = m_inputs[input];
    if (const InputNow now = CompareWithScan(entry); now != InputNow::AsScanned) {
        InputFailed(NotAsScanned(now));
        return false;
    }
    if (!m_in.Open(entry.path)) {
        InputFailed("cannot be read (" + OpenFailureText(entry.path, m_in) + ")");
        return false;
    }
    // Checked again with the file open: it may have been replaced meanwhile.
    if (const InputNow now = CompareWithScan(entry); now != InputNow::AsScanned) {
        m_in.Close();
        InputFailed(NotAsScanned(now));
        return false;
    }
    m_fileName = FileNameOf(entry.path);
    return true;
}

std::vector<CTraceResampler*> CPlanWriter::WorkerResamplers()
{
    std::vector<CTraceResampler*> resamplers;
    while (m_workerResamplers.size() < m_resamplingThreads)
        m_workerResamplers.push_back(std::make_unique<CTraceResampler>());
    for (const std::unique_ptr<CTraceResampler>& r : m_workerResamplers)
        resamplers.push_back(r.get());
    return resamplers;
}

CTraceResampler& CPlanWriter::Resampler()
{
    if (!m_resampler)
        m_resampler = std::make_unique<CTraceResampler>();
    return *m_resampler;
}

// The reference trace (and, with the day repair, any trace before it) is
// read and not written; the day repair it gave goes with the records after it.
bool CPlanWriter::Reference(const PlannedReference& reference, std::int64_t count)
{
    for (std::int64_t k = 0; k < count; ++k) {
        m_in.Read(m_trace, -1);
        if (m_in.atEnd) {
            InputFailed(kChanged);
            return false;
        }
    }
    m_result.summary.traces_read += count;
    m_result.summary.dropped_reference += count;
    m_timeCorrection = reference.dayRepair;
    m_scale = reference.scale;
    m_output.SetTimeScale(m_scale);
    m_channels.SetTimeScale(m_scale);
    // An input whose traces will be resampled is read and resampled ahead on
    // every core the job may use; everything else happens here as before.
    m_ahead.reset();
    const std::int32_t target = m_plan->targetInterval;
    if (!m_settings->demultiplex_only && target > 0 && m_in.GetSampleInterval() != target &&
        m_resamplingThreads > 1)
        m_ahead.emplace(m_in, target, WorkerResamplers());
    return true;
}

// Reads the next record into the working trace with its day repaired; the
// input must give it.
bool CPlanWriter::ReadRecord()
{
    CSegyTrace& trace = m_trace;
    m_stored = StoredSamples{};
    m_decoded = false;
    bool ended = false;
    if (m_ahead) {
        ended = !m_ahead->Next(trace);
        m_decoded = true;
    } else {
        m_stored = m_in.ReadStored(trace);
        ended = m_in.atEnd;
    }
    if (ended) {
        InputFailed(kChanged);
        return false;
    }
    ++m_result.summary.traces_read;
    // The channel paths build their pairs from the samples.
    if (m_settings->demultiplex_sidescan && !m_decoded) {
        m_in.DecodeStored(m_stored, trace);
        m_decoded = true;
    }
    // The day repair counts midnights from trace to trace, so it sees every
    // trace read, dropped or not.
    if (m_settings->fixupknudsen)
        Apply_Knudsen_Day_Fix(m_timeCorrection, trace);
    return true;
}

// Where the user may stop the job: every tenth trace an input gives the
// output, the status line and the progress are shown and events let through.
void CPlanWriter::StatusPoint()
{
    if (m_counters.traces % 10 != 0)
        return;
    const SegyHeaderType& h = *m_trace.header;
    m_host.SetStatus("Input file = " + m_fileName + " : reading trace " +
                     std::to_string(m_counters.traces));
    ReportProgress(JobProgress::Phase::Reading, m_in.GetPosition());
    if (m_host.IsLogVisible())
        Log("\tAve Time " + FormatLogNumber(m_counters.averageInterval) +
            "delay = " + std::to_string(h.delayRecordingTime));
    m_host.PumpEvents();
    // A stop takes effect after the trace in hand, so that every trace read
    // is written or dropped as always.
    if (m_host.StopRequested()) {
        m_stopping = true;
        Log("\tJob stopped by the user");
    }
}

void CPlanWriter::DropRecord(RecordDrop why)
{
    // Earlier than the output's start, a trace still is one the output was
    // offered: a status point as any.
    if (why == RecordDrop::BeforeStart) {
        m_outputStarted = true;
        StatusPoint();
    }
    CountDroppedRecord(m_result.summary, why);
}

// The record in hand, with its time corrected and resampled to the job's
// interval, goes to the output as its channel path says.
bool CPlanWriter::TakeRecord()
{
    if (!ReadRecord())
        return false;
    CSegyTrace& trace = m_trace;
    JobContext ctx{*m_settings, m_host};
    AddTimeCorrectionToTraceHeader(ctx, trace);
    // The trace's time is worked out only where a position will be placed.
    if (m_plan->positions && m_plan->positions->bActive())
        (void)m_plan->positions->Apply(
            *trace.header, m_scale.Seconds(*trace.header), m_scale); // counted as decided
    bool unchanged = !m_decoded;
    const std::int32_t target = m_plan->targetInterval;
    if (!m_settings->demultiplex_only && trace.header->sampleInterval != target) {
        if (!m_decoded)
            m_in.DecodeStored(m_stored, trace);
        unchanged = false;
        const bool resampled =
            m_ahead ? m_ahead->Resample(trace, Resampler()) : Resampler().Resample(trace, target);
        if (!resampled) {
            // The plan found it could be resampled: only memory can fail.
            InputFailed("gave a trace that could not be resampled (out of memory)");
            return false;
        }
    }
    m_outputStarted = true;
    StatusPoint();

    if (!Write_Output_Trace(*m_settings,
                            m_channels,
                            trace,
                            m_inputs[m_input],
                            m_counters,
                            m_output,
                            m_result.summary,
                            unchanged ? &m_stored : nullptr)) {
        ReportWriteFailure(m_output.Path());
        return false;
    }
    return true;
}

// The input gave every record planned and no more; it is still the file the
// job started with (a rewrite while it was read shows by its change time).
bool CPlanWriter::EndInput()
{
    SegyHeaderType more;
    const bool extra = m_ahead ? m_ahead->PeekHeader(more) : m_in.PeekHeader(more);
    m_ahead.reset();
    m_in.Close();
    m_lastReadInput = m_inputs[m_input].path;
    const InputNow now = CompareWithScan(m_inputs[m_input]);
    if (extra || now != InputNow::AsScanned) {
        InputFailed(NotAsScanned(now));
        return false;
    }
    m_progress.written += m_inputBytes;
    m_inputBytes = 0;
    return true;
}

void CPlanWriter::ReportWriteFailure(const std::string& path)
{
    if (m_failed)
        return;
    m_failed = true;
    m_result.failed_path = path;
    const std::string message = "Cannot write " + path;
    Log(message);
    m_host.ShowMessage(message);
}

// The output complete: closed, what deciding it found told, and its final
// name given. A failure stops the job and leaves the working file under its
// name.
bool CPlanWriter::Close(const OutputPlan& plan, const std::string& path)
{
    if (!m_output.Close()) {
        ReportWriteFailure(m_output.Path());
        return false;
    }
    if (m_settings->speed_correction)
        ReportProgress(JobProgress::Phase::SpeedCorrection);
    plan.atClose.TellTo(m_host);
    if (m_settings->delayscan) {
        ReportProgress(JobProgress::Phase::DelayScan);
        m_host.SetStatus(plan.delays.removes ? kDelayFixStatus : kNoDelaysDroppedStatus);
    }
    if (!m_output.Finish(path)) {
        ReportWriteFailure(path);
        return false;
    }
    OutputRecord record;
    record.path = path;
    record.traces = m_output.TracesWritten();
    std::error_code ec;
    record.bytes = static_cast<std::int64_t>(fs::file_size(path, ec));
    if (ec)
        record.bytes = -1;
    if (plan.corrected) {
        record.speed_corrected = true;
        record.spacing_metres = plan.correction.spacingMetres;
        // A stop while writing ends the output before the records the
        // selection was decided over: it was made from those taken.
        record.traces_before_correction = m_output.Traces();
    }
    record.fill_traces = m_output.FillTraces();
    record.replaced_existing = plan.replacing;
    record.first_trace_time = m_scale.InItsYear(m_output.FirstTraceTime()).secondsOfYear;
    record.last_trace_time = m_scale.InItsYear(m_output.LastTraceTime()).secondsOfYear;
    m_result.outputs.push_back(record);

    CombineSummary& summary = m_result.summary;
    summary.traces_written += m_output.Traces() - m_output.FillTraces();
    summary.traces_filled += m_output.FillTraces();
    summary.removed_by_delay_scan += m_output.TracesRemoved();
    m_output.MarkCompleted();
    return true;
}

// A stop ends the output at the trace in hand: it is finished like any
// other, named by the span it holds.
void CPlanWriter::FinishStopped(const OutputPlan& plan)
{
    if (m_in.bIsOpen()) {
        m_ahead.reset();
        m_in.Close();
        m_progress.written += m_inputBytes;
        m_inputBytes = 0;
    }
    if (!m_outputStarted) {
        if (m_output.bIsOpen())
            m_output.Discard();
        return;
    }
    if (m_output.Traces() == 0) {
        (void)m_output.Close();
        m_output.Discard();
        ++m_result.summary.outputs_discarded;
        Log("\tNo traces written: output discarded");
        return;
    }
    const std::string path = m_namer(plan, m_output.LastTraceTime());
    std::error_code ec;
    const bool replacing = fs::exists(path, ec);
    if (!Close(plan, path))
        return;
    m_result.outputs.back().replaced_existing = replacing;
    if (replacing)
        Log("\tReplaced an existing file " + path);
}

void CPlanWriter::ReportEnd()
{
    m_progress.written += m_inputBytes;
    m_inputBytes = 0;
    ReportProgress(JobProgress::Phase::Reading);
}

void CPlanWriter::CloseAfterFailure()
{
    (void)m_output.Close(); // the working file keeps what it has
    m_result.summary.traces_unfinished += m_output.Traces() - m_output.FillTraces();
}

} // namespace tessara
