#include "combine/output_planner.h"

#include "combine/api/log_format.h"
#include "combine/api/output_directory.h"
#include "combine/delay_scan.h"
#include "combine/input_scan.h"
#include "combine/output_directory.h"
#include "combine/speed_selection.h"
#include "nav/navigation.h"
#include "segy/io/segy_file_in.h"
#include "segy/tools/open_failure.h"
#include "trace/resample.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tessara
{

namespace fs = std::filesystem;

namespace
{

// An output name with "_k" put before its extension.
std::string WithSuffix(const std::string& name, int k)
{
    const std::string extension = ".sgy";
    const std::string stem = name.substr(0, name.size() - extension.size());
    return stem + "_" + std::to_string(k) + extension;
}

} // namespace

void COutputPlanner::CRecorder::AppendLog(std::string_view text)
{
    if (m_plan != nullptr)
        m_plan->Tell([t = std::string(text)](IJobHost& h) { h.AppendLog(t); });
}

void COutputPlanner::CRecorder::SetStatus(std::string_view text)
{
    if (m_plan != nullptr)
        m_plan->Tell([t = std::string(text)](IJobHost& h) { h.SetStatus(t); });
}

void COutputPlanner::CRecorder::ShowMessage(std::string_view text)
{
    if (m_plan != nullptr)
        m_plan->Tell([t = std::string(text)](IJobHost& h) { h.ShowMessage(t); });
}

COutputPlanner::COutputPlanner(const CombineSettings& liveSettings,
                               IJobHost& host,
                               std::vector<InputEntry>& inputs,
                               ProgressLedger& progress,
                               const std::string& outputDirectory,
                               const std::vector<std::string>& keptFiles)
    : m_liveSettings(liveSettings), m_settings(liveSettings), m_host(host), m_recorder(host),
      m_inputs(inputs), m_progress(progress), m_outputDirectory(outputDirectory),
      m_keptFiles(keptFiles), m_output(JoinPath(outputDirectory, kWorkingFileName))
{
}

void COutputPlanner::Scan()
{
    if (!m_settings.demultiplex_only) {
        bool yearsUncertain = false;
        // The scan tells the front end of its progress and the new order.
        const JobContext ctx{m_settings, m_host};
        SetTimeScale(Scan_and_Sort_Input_files(
            ctx,
            m_inputs,
            [ctx](const std::string& path, CSegyTrace& t) {
                Apply_Start_Time_Repairs(ctx, path, t);
            },
            yearsUncertain));
        m_result.inputs_span_years = yearsUncertain;
    }
    // A file given twice (by any path) is read once: its later occurrences,
    // in processing order, are passed over like unreadable inputs.
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (InputEntry& input : m_inputs) {
        if (input.identified && !seen.insert({input.device, input.inode}).second) {
            input.same_as_earlier = true;
            input.start_known = false;
        }
    }
    if (m_settings.assign_sampling_frequency)
        m_targetInterval = SampleIntervalOfFrequency(m_settings.sampling_frequency);
}

std::string COutputPlanner::LoadNavigation()
{
    auto positions = std::make_shared<CTracePositions>();
    if (!m_settings.navigation_files.empty()) {
        if (std::string problem = positions->LoadFiles(m_settings); !problem.empty())
            return problem;
    } else if (SensorOffsets{m_settings.antenna_offset_along,
                             m_settings.antenna_offset_across,
                             m_settings.layback}
                   .bAny()) {
        // Projected positions are not moved: without a geographic one the
        // offsets would only take the traces' positions away.
        std::vector<LogFix> fixes = HeaderFixes();
        if (fixes.empty())
            return "The antenna offset and layback need a navigation file or positions in degrees "
                   "or arc-seconds in the inputs' trace headers";
        positions->UseHeaderTrack(std::move(fixes), m_settings);
    }
    m_positions = std::move(positions);
    return "";
}

// The geographic positions of every input's traces, with their times
// repaired as the job repairs them, for offsets to be applied along them.
std::vector<LogFix> COutputPlanner::HeaderFixes()
{
    std::vector<LogFix> fixes;
    for (const InputEntry& input : m_inputs) {
        CSegyFileIn in;
        if (input.same_as_earlier || !in.Open(input.path))
            continue;
        m_currentFile = input.path;
        m_timeCorrection = TimeCorrectionState{};
        (void)Read_Reference_Trace(Ctx(), in, m_trace); // only its day repair is wanted
        if (m_settings.fixupknudsen)
            Derive_Knudsen_Day_Fix(Ctx(), m_timeCorrection, input.path, m_trace, !in.atEnd);
        for (in.ReadHeader(*m_trace.header); !in.atEnd; in.ReadHeader(*m_trace.header)) {
            if (m_settings.fixupknudsen)
                Apply_Knudsen_Day_Fix(m_timeCorrection, m_trace);
            SegyHeaderType h = CorrectedHeader(*m_trace.header, false);
            llt fix;
            if (!TraceHasNavigation(h))
                continue;
            Convert_Trace_Data_to_Normal_Units(h, fix);
            const std::optional<CTimestamp> t = JobTimestamp(h, m_scale.Seconds(h), m_scale);
            if (!fix.isUTM && t)
                fixes.push_back({*t, fix.lat, fix.lon});
        }
    }
    (void)SortLogFixes(fixes); // the inputs may overlap
    return fixes;
}

// What the navigation files gave and the offsets applied, once a job.
void COutputPlanner::TellNavigation()
{
    if (m_navigationTold || !m_positions)
        return;
    m_navigationTold = true;
    for (const std::string& line : m_positions->Told())
        Ctx().Log(line);
}

void COutputPlanner::SetTimeScale(const CJobTimeScale& scale)
{
    m_scale = scale;
    m_output.SetTimeScale(scale);
    m_channels.SetTimeScale(scale);
}

void COutputPlanner::TakeSettings()
{
    m_settings = m_liveSettings;
    m_durationLimit = static_cast<std::int64_t>(m_settings.time_duration_limit) * 3600;
    m_sizeLimit = static_cast<std::int64_t>(m_settings.max_file_size) * 1000000;
}

OutputPlan COutputPlanner::PlanOutput(std::size_t first)
{
    OutputPlan plan;
    BeginOutput(plan);
    std::size_t i = first;
    while (i < m_inputs.size() && PlanInput(i))
        ++i;
    if (i < m_inputs.size())
        ++i;
    EndOutput(i);
    return plan;
}

void COutputPlanner::BeginOutput(OutputPlan& plan)
{
    TakeSettings();
    plan.settings = m_settings;
    m_plan = &plan;
    m_recorder.Into(&plan);
    m_output.KeepFixes(m_settings.speed_correction);
    m_outputClosed = false;
    plan.positions = m_positions;
    m_output.SetPositions(m_positions.get());
    m_placed = m_unplaced = 0;
    TellNavigation();
}

bool COutputPlanner::PlanInput(std::size_t input)
{
    ProcessInput(input);
    return !m_stopped && !m_outputClosed;
}

void COutputPlanner::EndOutput(std::size_t next)
{
    OutputPlan& plan = *m_plan;
    const bool atEnd = next == m_inputs.size();
    // The last inputs were skipped while an output was open: the output is
    // finished like any other.
    if (!m_stopped && m_outputOpen && atEnd)
        Close_Output_File();
    // A working file opened for inputs whose traces were all dropped never
    // met a trace: it is not an output.
    if (!m_stopped && atEnd && !m_outputClosed && m_output.bIsOpen()) {
        m_output.Close();
        plan.Add({PlanStep::Kind::Discard});
    }
    plan.next = next;
    plan.stopped = m_stopped;
    plan.targetInterval = m_targetInterval;
    m_recorder.Into(nullptr);
    m_plan = nullptr;
}

// A header as the time correction leaves it, worked out on a copy: the
// clock-glitch test counts the time of every trace read, including those
// dropped before the correction. With `repairDay` the copy first gets the day
// repair of a header that has not had it (the reference, the next trace),
// from a copy of the repair's state: the repair counts midnights from trace
// to trace, and the copy sees the header as the real read will. Valid until
// the next call.
const SegyHeaderType& COutputPlanner::CorrectedHeader(const SegyHeaderType& h, bool repairDay)
{
    if (!m_scratch.header)
        m_scratch.header = std::make_unique<SegyHeaderType>();
    *m_scratch.header = h;
    if (repairDay && m_settings.fixupknudsen) {
        TimeCorrectionState fix = m_timeCorrection;
        Apply_Knudsen_Day_Fix(fix, m_scratch);
    }
    AddTimeCorrectionToTraceHeader(Ctx(), m_scratch);
    return *m_scratch.header;
}

// The time on the job's scale the next trace of the input will have once
// repaired, without reading it; empty when no trace follows.
std::optional<double> COutputPlanner::NextReadTime(const CSegyFileIn& in)
{
    SegyHeaderType next;
    if (!in.PeekHeader(next))
        return std::nullopt;
    return m_scale.Seconds(CorrectedHeader(next, true));
}

// A clock glitch: a trace more than file_gap minutes from both the trace
// read before it and the one read after it in the same input. The last
// trace of an input has nothing after it to confirm one, and of two wrong
// times in a row neither is recognised: each has the other beside it.
bool COutputPlanner::IsClockGlitch(double before, double time, const CSegyFileIn& in)
{
    const double limit = static_cast<double>(m_gapLimit);
    if (!(std::abs(time - before) > limit))
        return false;
    const std::optional<double> next = NextReadTime(in);
    return next && std::abs(time - *next) > limit;
}

// Deciding can be stopped: the job then ends before the output is written.
bool COutputPlanner::StopRequestedNow()
{
    if (!m_stopped && m_host.StopRequested())
        m_stopped = true;
    return m_stopped;
}

// Start time of the first input after `input` whose start the scan could
// measure. Inputs that cannot be read contribute no traces, so the time gap
// and the duration of an output are measured to the next input that does.
std::optional<double> COutputPlanner::NextKnownStart(std::size_t input) const
{
    for (std::size_t k = input + 1; k < m_inputs.size(); ++k) {
        if (m_inputs[k].start_known)
            return m_inputs[k].start_time;
    }
    return std::nullopt;
}

void COutputPlanner::LogProcessingFile(const std::string& path)
{
    Ctx().Log(kNL);
    Ctx().Log(kNL);
    Ctx().Log(kNL);
    Ctx().Log("Processing file " + path);
    Ctx().Log(kNL);
}

// The input's start time and its place in the order were taken from the
// file as the job started: another file at its path now, or the same file
// rewritten, would be read under a time span that is not its own. A file
// that has gone is left to the reader, which names the reason.
bool COutputPlanner::ChangedSinceScan(const InputEntry& input) const
{
    return CompareWithScan(input) == InputNow::Changed;
}

void COutputPlanner::SkipInput(std::size_t input, PlannedSkip skip)
{
    CountSkippedInput(m_result, m_inputs[input].path, skip);
    m_plan->Add(PlanStep::Of(
        PlanStep::Kind::SkipInput, input, static_cast<std::int64_t>(m_plan->skips.size())));
    m_plan->skips.push_back(std::move(skip));
}

// Traces of an input that starts before the output's last trace go back in
// time: said in the result, so that the front end can name both inputs.
void COutputPlanner::NoteOverlap(std::size_t input)
{
    const InputEntry& entry = m_inputs[input];
    if (m_settings.demultiplex_only || !m_outputOpen || !entry.start_known ||
        m_lastReadInput.empty())
        return;
    if (entry.start_time < m_output.LastTraceTime()) {
        m_result.overlapping_inputs.push_back({m_lastReadInput, entry.path});
        m_plan->Add(PlanStep::Of(PlanStep::Kind::Overlap, input));
    }
}

void COutputPlanner::ProcessInput(std::size_t input)
{
    const std::string& path = m_inputs[input].path;
    m_currentFile = path;
    m_plan->Add(PlanStep::Of(PlanStep::Kind::StartInput, input));
    m_host.Progress(m_progress.At(JobProgress::Phase::Deciding, input, 0));
    // Whatever becomes of this input, its bytes count as decided after it.
    struct CountWhole {
        ProgressLedger& progress;
        std::int64_t bytes;
        ~CountWhole() { progress.decided += bytes; }
    } countWhole{m_progress, m_inputs[input].version.bytes};

    if (m_inputs[input].same_as_earlier) {
        LogProcessingFile(path);
        Ctx().Log("\tSame file as an earlier input: skipped");
        Ctx().Log(kNL);
        SkipInput(input, {PlannedSkip::Why::SameFile, {}});
        return;
    }
    if (ChangedSinceScan(m_inputs[input])) {
        LogProcessingFile(path);
        Ctx().Log("\tChanged since the job started: skipped");
        Ctx().Log(kNL);
        SkipInput(input, {PlannedSkip::Why::Changed, {}});
        return;
    }

    CSegyFileIn in;
    const bool opened = in.Open(path);
    // Only a readable input without navigation is skipped here, without a
    // log line; one that cannot be read is reported below as with speed
    // correction off. With navigation files its traces may take positions
    // from them: each trace is tested as it comes.
    const bool fromFiles = m_positions && m_positions->bFromFiles();
    if (opened && m_settings.speed_correction && !fromFiles &&
        CheckNav(in) == NavPresence::Absent) {
        SkipInput(input, {PlannedSkip::Why::WithoutNavigation, {}});
        return;
    }
    if (opened)
        in.Rewind();
    LogProcessingFile(path);
    // Checked again with the file open: it may have been replaced meanwhile.
    if (opened && ChangedSinceScan(m_inputs[input])) {
        in.Close();
        Ctx().Log("\tChanged since the job started: skipped");
        Ctx().Log(kNL);
        SkipInput(input, {PlannedSkip::Why::Changed, {}});
        return;
    }
    if (!opened) {
        // Nothing of it is opened or written and no close decision is taken
        // for it: an unreadable file must not give an output its file header.
        Ctx().Log("\tNot a readable SEG-Y file: skipped");
        Ctx().Log(kNL);
        SkipInput(input, {PlannedSkip::Why::Unreadable, OpenFailureText(path, in)});
        return;
    }
    m_plan->Add(PlanStep::Of(PlanStep::Kind::OpenInput, input));

    if (!m_outputOpen) {
        m_runningSize = 0;
        Open_New_Output_File(in);
    } else {
        m_runningSize = m_output.ByteCount();
    }

    const std::uint32_t samples = in.GetSamples();
    m_channels.BeginInput(samples);
    m_trace.SetN(samples);
    m_output.BeginInput(samples, in.GetFormat());
    m_counters = InputCounters{};
    m_plan->Add(
        PlanStep::Of(PlanStep::Kind::BeginInput, input, static_cast<std::int64_t>(samples)));
    Ctx().Log("\tNumber of samples = " + std::to_string(samples));
    Ctx().Log(kNL);

    const std::int64_t positionAtStart = m_output.ByteCount();
    NoteOverlap(input);
    TraceLoop(in, input);
    m_lastReadInput = path;
    in.Close();
    if (m_stopped)
        return;
    m_plan->Add(PlanStep::Of(PlanStep::Kind::EndInput, input));
    CloseByRules(input, positionAtStart);
}

void COutputPlanner::Open_New_Output_File(const CSegyFileIn& in)
{
    std::uint32_t samples = in.GetSamples();
    std::optional<std::uint16_t> interval;
    // When the job already knows that this input's traces will be resampled,
    // the file header states the interval and count they will have, so that
    // readers going by the file header read the traces as written.
    const std::int32_t inputInterval = in.GetSampleInterval();
    if (!m_settings.demultiplex_only && m_targetInterval > 0 && inputInterval > 0 &&
        inputInterval != m_targetInterval) {
        samples = ResampledCount(samples, inputInterval, m_targetInterval);
        interval = static_cast<std::uint16_t>(m_targetInterval);
    }
    // The binary header's count fields are 16-bit: a count beyond them (a
    // demultiplex mode doubling a long trace) keeps its low 16 bits.
    const auto perTrace = static_cast<std::uint16_t>(Output_Samples_Per_Trace(m_settings, samples));
    m_plan->Add(PlanStep::Of(
        PlanStep::Kind::OpenOutput, 0, static_cast<std::int64_t>(m_plan->opens.size())));
    m_plan->opens.push_back({perTrace, interval});
    m_output.Open(in, perTrace, interval);
}

// The trace loop of one input, in its steps: the reference trace, then for
// every trace read its preparation (repairs, the tests that drop it) and its
// taking into the output.
void COutputPlanner::TraceLoop(CSegyFileIn& in, std::size_t input)
{
    InputReading r(in);
    StartReading(r);
    while (ReadNextTrace(r)) {
        const std::optional<RecordDrop> why = PrepareTrace(r);
        // The read that found the end carries the last trace's header: what
        // a dropped trace would not give, it does not give either.
        if (r.ended && why)
            break;
        if (why) {
            DropRecord(*why);
            continue;
        }
        NoteOutputStart();
        if (r.ended || !TakeTrace(r, input))
            break;
    }
}

void COutputPlanner::StartReading(InputReading& r)
{
    CombineSummary& summary = m_result.summary;
    CSegyTrace& trace = m_trace;

    // The reference trace (and, with the day repair, any trace before it) is
    // not written: writing starts with the trace after it.
    m_timeCorrection = TimeCorrectionState{};
    const std::int64_t delivered = Read_Reference_Trace(Ctx(), r.in, trace);
    summary.traces_read += delivered;
    summary.dropped_reference += delivered;
    r.haveTrace = !r.in.atEnd;
    if (r.haveTrace)
        r.lastRead = *trace.header;
    if (m_settings.fixupknudsen)
        Derive_Knudsen_Day_Fix(Ctx(), m_timeCorrection, m_currentFile, trace, r.haveTrace);
    // The time of the trace read last, for the clock-glitch test: the
    // reference's, repaired as the traces after it will be.
    if (r.haveTrace) {
        const SegyHeaderType& reference = CorrectedHeader(*trace.header, true);
        // Without an input scan every input is an output of its own: its
        // times count from the year its reference gives.
        if (m_settings.demultiplex_only)
            SetTimeScale(bPlausibleYear(reference.year) ? CJobTimeScale(reference.year)
                                                        : CJobTimeScale());
        r.previousTime = m_scale.Seconds(reference);
    }
    r.position = delivered;
    m_plan->Add(PlanStep::Of(PlanStep::Kind::Reference, m_plan->references.size(), delivered));
    m_plan->references.push_back({m_scale, m_timeCorrection});

    m_gapLimit = static_cast<std::int64_t>(m_settings.file_gap) * 60;
}

// Reads the next trace's header into the working trace. At the end of the
// input the working trace gets the header of the last trace read back, since
// the end is decided on it; false when the input gave no trace at all.
bool COutputPlanner::ReadNextTrace(InputReading& r)
{
    CSegyTrace& trace = m_trace;
    r.in.ReadHeader(*trace.header);
    r.ended = r.in.atEnd;
    if (!r.ended) {
        trace.tailLittleEndian = !r.in.swapBytes;
        trace.ReAllocate();
    }
    if (r.ended) {
        if (!r.haveTrace)
            return false;
        *trace.header = r.lastRead;
        return true;
    }
    ++m_result.summary.traces_read;
    ++r.position;
    r.haveTrace = true;
    r.lastRead = *trace.header;
    return true;
}

// The repairs of the trace in hand and the tests that drop it, in the order
// the job has always applied them; resampling last.
std::optional<RecordDrop> COutputPlanner::PrepareTrace(InputReading& r)
{
    CSegyTrace& trace = m_trace;
    // The day repair counts midnights from trace to trace, so it sees every
    // trace read, dropped or not.
    if (m_settings.fixupknudsen)
        Apply_Knudsen_Day_Fix(m_timeCorrection, trace);
    const double timeBefore = r.previousTime;
    if (!r.ended)
        r.previousTime = m_scale.Seconds(CorrectedHeader(*trace.header, false));
    // The position comes before the navigation test, which it may pass.
    m_positioned =
        !r.ended && m_positions && m_positions->Apply(*trace.header, r.previousTime, m_scale);
    if (m_settings.speed_correction && !TraceHasNavigation(*trace.header))
        return RecordDrop::Navigation;
    if (r.ended) {
        AddTimeCorrectionToTraceHeader(Ctx(), trace);
        return std::nullopt;
    }
    // A record without samples carries no data. Written into a composite
    // whose file header declares a sample count, it would make every reader
    // of the composite take the next record's bytes for samples.
    if (trace.header->sampleCount == 0)
        return RecordDrop::Empty;
    // A read that found no trace must not fix the job's interval.
    if (m_targetInterval < 0)
        m_targetInterval = trace.header->sampleInterval;
    AddTimeCorrectionToTraceHeader(Ctx(), trace);
    if (IsClockGlitch(timeBefore, r.previousTime, r.in)) {
        const SegyHeaderType& g = *trace.header;
        Ctx().Log("\tClock glitch: trace " + std::to_string(r.position) + " at " +
                  std::to_string(g.dayOfYear) + ":" + std::to_string(g.hour) + ":" +
                  std::to_string(g.minute) + ":" + std::to_string(g.second) + " skipped");
        Ctx().Log(kNL);
        return RecordDrop::ClockGlitch;
    }
    if (!m_settings.demultiplex_only && trace.header->sampleInterval != m_targetInterval &&
        !ResampleHeader(*trace.header,
                        std::min<std::size_t>(trace.numSamples, trace.samples.size()),
                        m_targetInterval))
        return RecordDrop::Resampling;
    return std::nullopt;
}

void COutputPlanner::DropRecord(RecordDrop why)
{
    CountDroppedRecord(m_result.summary, why);
    m_plan->Add(PlanStep::Records(PlanStep::Kind::Drop, why));
}

// The first trace of an input is logged, and the first of an output opens
// it: the output starts at that trace's whole second.
void COutputPlanner::NoteOutputStart()
{
    const SegyHeaderType& h = *m_trace.header;
    if (m_counters.traces == 0) {
        Ctx().Log("\tStart Time = " + std::to_string(h.dayOfYear) + ":" + std::to_string(h.hour) +
                  ":" + std::to_string(h.minute) + ":" + std::to_string(h.second));
        Ctx().Log(kNL);
    }
    if (!m_outputOpen) {
        Ctx().Log("\tOpening output file");
        Ctx().Log(kNL);
        m_outputOpen = true;
        m_outputStartTime = static_cast<double>(m_scale.WholeSeconds(h));
        m_plan->startTime = m_outputStartTime;
    }
}

// The trace in hand is taken, or dropped as earlier than the output's start.
// Every tenth trace of the input lets the front end's events through and
// asks whether to stop deciding. False when the input is to be left.
bool COutputPlanner::TakeTrace(InputReading& r, std::size_t input)
{
    const double t = m_scale.Seconds(*m_trace.header);
    bool stop = false;
    if (m_counters.traces % 10 == 0) {
        m_host.Progress(m_progress.At(JobProgress::Phase::Deciding, input, r.in.GetPosition()));
        m_host.PumpEvents();
        stop = StopRequestedNow();
    }
    if (stop)
        return false;
    if (t < m_outputStartTime) {
        DropRecord(RecordDrop::BeforeStart);
    } else {
        m_plan->Add(PlanStep::Records(PlanStep::Kind::Take));
        ++(m_positioned ? m_placed : m_unplaced);
        // Counting cannot fail.
        (void)Write_Output_Trace(m_settings,
                                 m_channels,
                                 m_trace,
                                 m_inputs[input],
                                 m_counters,
                                 m_output,
                                 m_result.summary);
    }
    return true;
}

void COutputPlanner::CloseByRules(std::size_t input, std::int64_t positionAtStart)
{
    const bool last = input + 1 == m_inputs.size();
    double gap = 0;
    double span = 0;
    std::int64_t refusedFillBytes = 0;
    if (!last && !m_settings.demultiplex_only) {
        if (const std::optional<double> next = NextKnownStart(input)) {
            gap = *next - m_output.LastTraceTime();
            if (m_outputOpen) {
                CSegyTrace& fill =
                    m_settings.demultiplex_sidescan ? m_channels.Pair() : m_output.FillTemplate();
                const std::int64_t size = m_runningSize + (m_output.ByteCount() - positionAtStart);
                const GapFillResult filled =
                    Fill_Null_Traces_in_Gap(Ctx(),
                                            m_output,
                                            m_counters,
                                            fill,
                                            *next,
                                            static_cast<double>(m_gapLimit),
                                            m_sizeLimit - size);
                if (filled.written > 0) {
                    m_plan->Add(PlanStep::Of(PlanStep::Kind::Fill,
                                             input,
                                             static_cast<std::int64_t>(m_plan->fills.size())));
                    m_plan->fills.push_back({filled.written, filled.interval});
                }
                refusedFillBytes = filled.refusedBytes;
            }
            span = *next - m_outputStartTime;
        }
    }
    m_runningSize += m_output.ByteCount() - positionAtStart;
    // Fill traces left out for the size limit close the output by it, at the
    // size they would have made.
    m_runningSize += refusedFillBytes;

    const bool bySize = m_runningSize > m_sizeLimit;
    const bool byDuration = span >= static_cast<double>(m_durationLimit);
    const bool byGap = gap > static_cast<double>(m_gapLimit);
    if (!(byDuration || bySize || last || byGap || m_settings.demultiplex_only))
        return;

    Close_Output_File();
    if (bySize) {
        Ctx().Log("\tFile close by file size limit " + std::to_string(m_runningSize) + " > " +
                  std::to_string(m_sizeLimit));
        Ctx().Log(kNL);
    }
    if (byDuration) {
        Ctx().Log("\tFile close by time limit " + FormatLogNumber(span) + " > " +
                  std::to_string(m_durationLimit));
        Ctx().Log(kNL);
    }
    if (byGap) {
        Ctx().Log("\tFile close by file  gap limit " + FormatLogNumber(gap) + " > " +
                  std::to_string(m_gapLimit));
        Ctx().Log(kNL);
    }
}

// Closing of the output: one without a trace is discarded (logged); one with
// traces gets its edits decided and its name.
void COutputPlanner::Close_Output_File()
{
    m_outputOpen = false;
    m_outputClosed = true;
    m_output.Close();
    if (m_positions && m_positions->bActive())
        Ctx().Log(m_positions->OutputLine(m_placed, m_unplaced));
    if (m_output.Traces() == 0) {
        m_plan->Add(PlanStep::Of(PlanStep::Kind::Discard, 0, 1));
        ++m_result.summary.outputs_discarded;
        Ctx().Log("\tNo traces written: output discarded");
        Ctx().Log(kNL);
        return;
    }
    DecideEdits();
    m_plan->Add({PlanStep::Kind::Close});
    Rename_Output_File();
}

// The decisions only the whole output can tell: its speed-corrected
// selection and the delays the scan removes from what it would hold.
void COutputPlanner::DecideEdits()
{
    OutputPlan& plan = *m_plan;
    DelayHistogram delays = m_output.Delays();
    if (m_settings.speed_correction) {
        plan.correction = PlanSpeedCorrection(m_settings,
                                              plan.atClose,
                                              m_output.TakeFixes(),
                                              m_output.Traces(),
                                              m_output.RecordDelays(),
                                              m_currentFile);
        if (plan.correction.status == SpeedCorrectionPlan::Status::Corrected) {
            plan.corrected = true;
            delays = plan.correction.delays;
        }
    }
    if (m_settings.delayscan)
        plan.delays = DecideDelayScan(delays);
}

std::string COutputPlanner::GiveName(const CombineSettings& settings,
                                     double first,
                                     double last,
                                     std::optional<double> spacing)
{
    // Each end of the span is named by its day in its own year.
    const std::string name = BuildOutputFileName(settings,
                                                 m_scale.InItsYear(first).secondsOfYear,
                                                 m_scale.InItsYear(last).secondsOfYear,
                                                 spacing);
    std::string path = JoinPath(m_outputDirectory, name);
    // A name this job gave already, one of its inputs or the front end's
    // log is never replaced.
    for (int k = 2; m_producedPaths.count(path) != 0 || IsInput(path) || IsKeptFile(path); ++k)
        path = JoinPath(m_outputDirectory, WithSuffix(name, k));
    m_producedPaths.insert(path);
    return path;
}

std::string COutputPlanner::NameEndedEarly(const OutputPlan& plan, double last)
{
    m_producedPaths.erase(plan.path);
    return GiveName(plan.settings,
                    plan.startTime,
                    last,
                    plan.corrected ? std::optional<double>(plan.correction.spacingMetres)
                                   : std::nullopt);
}

// The closed output's final name in the output directory, replacing a file
// that existed before the job; a name this job has already given gets "_2",
// "_3", ... before ".sgy".
void COutputPlanner::Rename_Output_File()
{
    OutputPlan& plan = *m_plan;
    const SpeedCorrectionPlan* corrected = plan.corrected ? &plan.correction : nullptr;
    plan.path =
        GiveName(m_settings,
                 m_outputStartTime,
                 m_output.LastTraceTime(),
                 corrected ? std::optional<double>(corrected->spacingMetres) : std::nullopt);
    // rename replaces an existing file in one step: the old file stays
    // whole until the new one has its name.
    std::error_code ec;
    plan.replacing = fs::exists(plan.path, ec);
    if (plan.replacing) {
        Ctx().Log("\tReplaced an existing file " + plan.path);
        Ctx().Log(kNL);
    }

    OutputEdits edits;
    edits.correction = corrected;
    edits.delays = plan.delays;
    OutputRecord record;
    record.path = plan.path;
    const std::int64_t removed = plan.delays.removed;
    record.traces = (corrected ? corrected->tracesAfter : m_output.Traces()) - removed;
    record.bytes = m_output.DecidedBytes(edits);
    if (corrected) {
        record.speed_corrected = true;
        record.spacing_metres = corrected->spacingMetres;
        record.traces_before_correction = corrected->tracesBefore;
    }
    record.fill_traces = m_output.FillTraces();
    record.first_trace_time = m_scale.InItsYear(m_output.FirstTraceTime()).secondsOfYear;
    record.last_trace_time = m_scale.InItsYear(m_output.LastTraceTime()).secondsOfYear;
    record.replaced_existing = plan.replacing;
    m_result.outputs.push_back(record);

    CombineSummary& summary = m_result.summary;
    summary.traces_written += m_output.Traces() - m_output.FillTraces();
    summary.traces_filled += m_output.FillTraces();
    summary.removed_by_delay_scan += removed;
    m_output.MarkCompleted();
}

// Whether the file at `path` is one of the job's inputs, by any path.
bool COutputPlanner::IsInput(const std::string& path) const
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!FileIdentity(path, device, inode))
        return false;
    for (const InputEntry& input : m_inputs) {
        if (input.identified && input.device == device && input.inode == inode)
            return true;
    }
    return false;
}

// Whether the file at `path` is one the front end writes, by any path.
bool COutputPlanner::IsKeptFile(const std::string& path) const
{
    std::error_code ec;
    return std::any_of(m_keptFiles.begin(), m_keptFiles.end(), [&](const std::string& kept) {
        return fs::equivalent(kept, path, ec);
    });
}

} // namespace tessara
