// The job driver: it walks the inputs, asks each step what to do, hands
// what is to be written to the output file's owner, and keeps the job's
// result. The steps never call back into each other or into the driver.
#include "combine/api/combine_job.h"

#include "combine/api/log_format.h"
#include "combine/api/output_directory.h"
#include "combine/delay_scan.h"
#include "combine/demultiplex.h"
#include "combine/input_scan.h"
#include "combine/job_state.h"
#include "combine/output_directory.h"
#include "combine/output_file.h"
#include "combine/read_ahead.h"
#include "combine/speed_selection.h"
#include "combine/time_correction.h"
#include "combine/time_scale.h"
#include "nav/navigation.h"
#include "segy/io/segy_file_in.h"
#include "segy/tools/open_failure.h"
#include "trace/resample.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
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

// The front end as the deciding pass sees it: it may let events through
// and ask to stop, but nothing the pass does is shown. What the front end
// must see is shown by the writing pass, which does the same again.
class CDecidingHost : public IJobHost
{
public:
    explicit CDecidingHost(IJobHost& host) : m_host(host) {}
    void ClearLog() override {}
    void AppendLog(std::string_view /*text*/) override {}
    // Lines only a visible log gets would be formatted for nothing.
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view /*text*/) override {}
    void PumpEvents() override { m_host.PumpEvents(); }
    void ShowMessage(std::string_view /*text*/) override {}
    [[nodiscard]] bool StopRequested() const override { return m_host.StopRequested(); }
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}

private:
    IJobHost& m_host;
};

// What a decision told the front end, kept to be told again, in the same
// order, when the output it concerns is written.
class CToldLater : public IJobHost
{
public:
    void Clear() { m_calls.clear(); }
    void TellTo(IJobHost& host) const
    {
        for (const auto& call : m_calls)
            call(host);
    }

    void ClearLog() override {}
    void AppendLog(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.AppendLog(t); });
    }
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.SetStatus(t); });
    }
    void PumpEvents() override
    {
        m_calls.emplace_back([](IJobHost& h) { h.PumpEvents(); });
    }
    void ShowMessage(std::string_view text) override
    {
        m_calls.emplace_back([t = std::string(text)](IJobHost& h) { h.ShowMessage(t); });
    }
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}
    void ChartBegin(std::string_view title) override
    {
        m_calls.emplace_back([t = std::string(title)](IJobHost& h) { h.ChartBegin(t); });
    }
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override
    {
        m_calls.emplace_back([=](IJobHost& h) { h.ChartAddFix(ticks, speedMps, spacingM); });
    }
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override
    {
        m_calls.emplace_back([=, t = std::string(titleSuffix)](IJobHost& h) {
            h.ChartSetSpacing(fromTicks, toTicks, spacingM, t);
        });
    }
    void ChartEnd() override
    {
        m_calls.emplace_back([](IJobHost& h) { h.ChartEnd(); });
    }

private:
    std::vector<std::function<void(IJobHost&)>> m_calls;
};

} // namespace

/// One run of the job: its state lives exactly as long as the run's result.
class CCombineJob::CDriver
{
public:
    CDriver(const CombineSettings& settings,
            IJobHost& host,
            const std::string& outputDirectory,
            bool dryRun,
            const std::vector<std::string>& keptFiles)
        : m_liveSettings(settings), m_settings(settings), m_realHost(host), m_quietHost(host),
          m_outputDirectory(outputDirectory), m_dryRun(dryRun),
          m_output(JoinPath(outputDirectory, kWorkingFileName)), m_keptFiles(keptFiles)
    {
    }

    CombineOutcome Run();
    [[nodiscard]] const CombineResult& Result() const { return m_result; }

private:
    /// The job's state at the start of an output: both passes over the
    /// output start from it.
    struct OutputStart {
        CombineResult result;
        COutputFile::State output;
        InputCounters counters;
        bool portUnpaired = false;
        CJobTimeScale scale;
        std::int32_t targetInterval = -1;
        bool outputOpen = false;
        double outputStartTime = 0;
        std::int64_t runningSize = 0;
        std::set<std::string> producedPaths;
        bool stopped = false;
        JobProgress progress;
        std::string lastReadInput;
    };
    [[nodiscard]] OutputStart Save() const;
    void Restore(const OutputStart& start);
    [[nodiscard]] JobContext Ctx() const { return {m_settings, *m_hostNow}; }
    [[nodiscard]] IJobHost& Host() const { return *m_hostNow; }
    void TakeSettings();
    [[nodiscard]] std::size_t RunOutput(std::size_t first);
    [[nodiscard]] std::size_t PassOverOutput(std::size_t first);
    void DecideEdits();
    void InputFailedWhileWriting(const std::string& path, const std::string& what);
    void InputChangedBetweenPasses(const std::string& path);
    [[nodiscard]] bool InputStillAsDecided(std::size_t input);
    void ProcessInput(std::size_t input);
    void LogProcessingFile(const std::string& path);
    [[nodiscard]] bool ChangedSinceScan(const InputEntry& input) const;
    void SkipChangedInput(const std::string& path);
    /// What the trace loop keeps of one input from step to step.
    struct InputReading {
        explicit InputReading(CSegyFileIn& file) : in(file) {}
        CSegyFileIn& in;
        std::optional<CResamplingReadAhead> ahead;
        std::string fileName;
        StoredSamples stored;      // the trace in hand's samples as the input stores them
        bool decoded = false;      // its samples are decoded into the working trace
        bool unchanged = true;     // its samples are written as stored
        bool ended = false;        // the read found the end of the input
        bool haveTrace = false;    // a trace of the input was read
        SegyHeaderType lastRead{}; // as the last successful read delivered it
        double previousTime = 0;   // of the trace read last, for the clock-glitch test
        std::int64_t position = 0; // in the input, of the trace read last
    };
    /// Why the trace in hand is not taken.
    enum class Drop { None, Navigation, Empty, ClockGlitch, Resampling };
    void TraceLoop(CSegyFileIn& in, std::size_t input);
    void StartReading(InputReading& r);
    [[nodiscard]] bool ReadNextTrace(InputReading& r);
    [[nodiscard]] Drop PrepareTrace(InputReading& r);
    void CountDrop(Drop why);
    void NoteOutputStart();
    [[nodiscard]] bool TakeTrace(InputReading& r, std::size_t input);
    void SetTimeScale(const CJobTimeScale& scale);
    [[nodiscard]] const SegyHeaderType& CorrectedHeader(const SegyHeaderType& h, bool repairDay);
    [[nodiscard]] std::optional<double> NextReadTime(const CSegyFileIn& in,
                                                     CResamplingReadAhead* ahead);
    [[nodiscard]] bool
    IsClockGlitch(double before, double time, const CSegyFileIn& in, CResamplingReadAhead* ahead);
    void Write_Output_Trace(const CSegyTrace& trace,
                            std::size_t input,
                            const StoredSamples* stored = nullptr);
    void CloseByRules(std::size_t input, std::int64_t positionAtStart);
    [[nodiscard]] bool Open_New_Output_File(const CSegyFileIn& in);
    void Close_Output_File();
    void Rename_Output_File();
    void ReportWriteFailure(const std::string& path);
    [[nodiscard]] bool PrepareOutputDirectory();
    void MarkFilesSeenTwice();
    [[nodiscard]] bool IsInput(const std::string& path) const;
    [[nodiscard]] bool IsKeptFile(const std::string& path) const;
    [[nodiscard]] bool StopRequestedNow();
    [[nodiscard]] std::optional<double> NextKnownStart(std::size_t input) const;
    [[nodiscard]] CTraceResampler& Resampler();
    void ReportProgress(JobProgress::Phase phase, std::int64_t bytesOfInput = 0);
    void NoteOverlap(std::size_t input);
    /// One resampler per resampling thread, kept for the whole job.
    [[nodiscard]] std::vector<CTraceResampler*> WorkerResamplers();

    const CombineSettings& m_liveSettings; // the front end's, which may change
    CombineSettings m_settings;            // read from them once per output
    IJobHost& m_realHost;
    CDecidingHost m_quietHost;
    IJobHost* m_hostNow = &m_realHost;
    const std::string m_outputDirectory;
    const bool m_dryRun;
    bool m_deciding = false;
    bool m_outputClosed = false;            // the pass over an output has closed it
    SpeedCorrectionPlan m_correction;       // of the output decided last
    OutputEdits m_edits;                    // what writing it applies
    CToldLater m_toldAtClose;               // what its decision tells the front end
    std::vector<char> m_changedWhenDecided; // per input: skipped as changed
    std::vector<char> m_readWhenDecided;    // per input: opened and read
    // Per input: the output's records after it in the deciding pass.
    std::vector<std::int64_t> m_decidedRecords;
    std::int64_t m_stopChecks = 0;   // stop requests asked in this pass
    std::int64_t m_stopAtCheck = -1; // the deciding pass stopped at that one
    CombineResult m_result;
    bool m_failed = false;

    std::vector<InputEntry> m_inputs; // in processing order
    std::string m_currentFile;        // path of the input being read
    COutputFile m_output;
    InputCounters m_counters; // of the input being read
    CChannelPaths m_channels;
    CSegyTrace m_trace; // the working trace every read goes into
    TimeCorrectionState m_timeCorrection;
    CJobTimeScale m_scale;
    CSegyTrace m_scratch; // a header the time of a trace read is worked out on
    std::unique_ptr<CTraceResampler> m_resampler; // made on first use
    unsigned m_resamplingThreads = ResamplingThreads();
    std::vector<std::unique_ptr<CTraceResampler>> m_workerResamplers;

    std::int32_t m_targetInterval = -1;    // us; -1 until the first trace sets it
    bool m_outputOpen = false;             // an output is open and has met its first trace
    double m_outputStartTime = 0;          // whole seconds of year of that first trace
    std::int64_t m_runningSize = 0;        // bytes, the size measure of the limits
    std::int64_t m_durationLimit = 0;      // s
    std::int64_t m_sizeLimit = 0;          // bytes
    std::int64_t m_gapLimit = 0;           // s, of the current input
    std::set<std::string> m_producedPaths; // final names this job has given
    COutputDirectoryLock m_lock;           // held for the whole run
    bool m_stopped = false;                // the user asked the job to stop
    JobProgress m_progress;                // bytesDone: of the inputs before the current one
    std::string m_lastReadInput;           // the input read last into an output
    std::vector<std::string> m_keptFiles;  // the front end's, never replaced
};

CCombineJob::CCombineJob(const CombineSettings& settings, IJobHost& host)
    : m_settings(settings), m_host(host)
{
}

CCombineJob::~CCombineJob() = default;

const CombineResult& CCombineJob::Result() const
{
    static const CombineResult none;
    return m_driver ? m_driver->Result() : none;
}

CombineOutcome CCombineJob::Run(const std::string& outputDirectory)
{
    return Start(outputDirectory, false);
}

CombineOutcome CCombineJob::DryRun(const std::string& outputDirectory)
{
    return Start(outputDirectory, true);
}

CombineOutcome CCombineJob::Start(const std::string& outputDirectory, bool dryRun)
{
    // A second start from inside the front end's event pumping must not
    // replace the running job's state.
    if (m_running)
        return CombineOutcome::AlreadyRunning;
    m_running = true;
    m_driver = std::make_unique<CDriver>(m_settings, m_host, outputDirectory, dryRun, m_keptFiles);
    const CombineOutcome outcome = m_driver->Run();
    m_running = false;
    return outcome;
}

void CCombineJob::CDriver::SetTimeScale(const CJobTimeScale& scale)
{
    m_scale = scale;
    m_output.SetTimeScale(scale);
    m_channels.SetTimeScale(scale);
}

// A trace header as the time correction leaves it, worked out on a copy:
// the clock-glitch test counts the time of every trace read, including
// those dropped before the correction. With `repairDay` the copy first gets
// the day repair of a header that has not had it (the reference, the next
// trace), from a copy of the repair's state: the repair counts midnights
// from trace to trace, and the copy sees the header as the real read will.
// Valid until the next call.
const SegyHeaderType& CCombineJob::CDriver::CorrectedHeader(const SegyHeaderType& h, bool repairDay)
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
std::optional<double> CCombineJob::CDriver::NextReadTime(const CSegyFileIn& in,
                                                         CResamplingReadAhead* ahead)
{
    SegyHeaderType next;
    if (!(ahead ? ahead->PeekHeader(next) : in.PeekHeader(next)))
        return std::nullopt;
    return m_scale.Seconds(CorrectedHeader(next, true));
}

// A clock glitch: a trace more than file_gap minutes from both the trace
// read before it and the one read after it in the same input. The last
// trace of an input has nothing after it to confirm one, and of two wrong
// times in a row neither is recognised: each has the other beside it.
bool CCombineJob::CDriver::IsClockGlitch(double before,
                                         double time,
                                         const CSegyFileIn& in,
                                         CResamplingReadAhead* ahead)
{
    const double limit = static_cast<double>(m_gapLimit);
    if (!(std::abs(time - before) > limit))
        return false;
    const std::optional<double> next = NextReadTime(in, ahead);
    return next && std::abs(time - *next) > limit;
}

std::vector<CTraceResampler*> CCombineJob::CDriver::WorkerResamplers()
{
    std::vector<CTraceResampler*> resamplers;
    while (m_workerResamplers.size() < m_resamplingThreads)
        m_workerResamplers.push_back(std::make_unique<CTraceResampler>());
    for (const std::unique_ptr<CTraceResampler>& r : m_workerResamplers)
        resamplers.push_back(r.get());
    return resamplers;
}

CTraceResampler& CCombineJob::CDriver::Resampler()
{
    if (!m_resampler)
        m_resampler = std::make_unique<CTraceResampler>();
    return *m_resampler;
}

CombineOutcome CCombineJob::CDriver::Run()
{
    if (const std::string problem = ValidateCombineSettings(m_settings); !problem.empty()) {
        Host().ShowMessage(problem);
        m_result.outcome = CombineOutcome::InvalidSettings;
        return m_result.outcome;
    }

    m_inputs.clear();
    for (const std::string& path : m_settings.input_files) {
        InputEntry entry{path};
        entry.identified = FileIdentity(path, entry.device, entry.inode, &entry.version);
        m_inputs.push_back(entry);
    }
    if (!m_dryRun && !PrepareOutputDirectory()) {
        m_result.outcome = CombineOutcome::DirectoryRefused;
        return m_result.outcome;
    }
    if (m_dryRun)
        m_hostNow = &m_quietHost;
    if (!m_settings.demultiplex_only) {
        bool yearsUncertain = false;
        SetTimeScale(Scan_and_Sort_Input_files(
            Ctx(),
            m_inputs,
            [this](const std::string& path, CSegyTrace& t) {
                Apply_Start_Time_Repairs(Ctx(), path, t);
            },
            yearsUncertain));
        m_result.inputs_span_years = yearsUncertain;
    }
    MarkFilesSeenTwice();
    m_progress.inputCount = static_cast<int>(m_inputs.size());
    for (const InputEntry& input : m_inputs)
        m_progress.bytesTotal += input.version.bytes;

    m_changedWhenDecided.assign(m_inputs.size(), 0);
    m_readWhenDecided.assign(m_inputs.size(), 0);
    m_decidedRecords.assign(m_inputs.size(), 0);

    Host().ClearLog();
    if (m_settings.assign_sampling_frequency)
        m_targetInterval = SampleIntervalOfFrequency(m_settings.sampling_frequency);

    (void)StopRequestedNow(); // a stop during the input scan
    for (std::size_t i = 0; i < m_inputs.size() && !m_failed && !m_stopped;)
        i = RunOutput(i);

    m_result.summary.traces_other_length = m_output.OtherLengthRecords();
    m_result.summary.traces_converted_with_loss = m_output.LossyConversions();
    if (m_failed) {
        (void)m_output.Close(); // the working file keeps what it has
        m_result.summary.traces_unfinished += m_output.Traces() - m_output.FillTraces();
        m_result.outcome = CombineOutcome::WriteFailed;
        return m_result.outcome;
    }

    // The end: every input's bytes counted, whatever the last one did.
    ReportProgress(JobProgress::Phase::Reading);
    // A working file opened for inputs whose traces were all dropped never
    // met a trace: it is not an output.
    if (m_output.bIsOpen())
        m_output.Discard();
    m_hostNow = &m_realHost;
    if (!m_dryRun)
        Host().SetStatus(m_stopped ? "Stopped...." : "Done....");
    m_result.outcome = m_stopped ? CombineOutcome::Stopped : CombineOutcome::Done;
    return m_result.outcome;
}

void CCombineJob::CDriver::TakeSettings()
{
    m_settings = m_liveSettings;
    m_durationLimit = static_cast<std::int64_t>(m_settings.time_duration_limit) * 3600;
    m_sizeLimit = static_cast<std::int64_t>(m_settings.max_file_size) * 1000000;
}

CCombineJob::CDriver::OutputStart CCombineJob::CDriver::Save() const
{
    OutputStart start;
    start.result = m_result;
    start.output = m_output.Save();
    start.counters = m_counters;
    start.portUnpaired = m_channels.PortUnpaired();
    start.scale = m_scale;
    start.targetInterval = m_targetInterval;
    start.outputOpen = m_outputOpen;
    start.outputStartTime = m_outputStartTime;
    start.runningSize = m_runningSize;
    start.producedPaths = m_producedPaths;
    start.stopped = m_stopped;
    start.progress = m_progress;
    start.lastReadInput = m_lastReadInput;
    return start;
}

void CCombineJob::CDriver::Restore(const OutputStart& start)
{
    m_result = start.result;
    m_output.Restore(start.output);
    m_counters = start.counters;
    m_channels.SetPortUnpaired(start.portUnpaired);
    SetTimeScale(start.scale);
    m_targetInterval = start.targetInterval;
    m_outputOpen = start.outputOpen;
    m_outputStartTime = start.outputStartTime;
    m_runningSize = start.runningSize;
    m_producedPaths = start.producedPaths;
    m_stopped = start.stopped;
    m_progress = start.progress;
    m_lastReadInput = start.lastReadInput;
}

// One output, from input `first` on: decided over the trace headers with
// nothing shown or written, then written by the same steps from the same
// state with the decision's edits. Returns the input after the last one the
// output took (or skipped).
std::size_t CCombineJob::CDriver::RunOutput(std::size_t first)
{
    TakeSettings();
    const OutputStart start = Save();

    m_deciding = true;
    m_hostNow = &m_quietHost;
    m_output.SetWriting(false);
    m_output.KeepFixes(m_settings.speed_correction);
    m_edits = OutputEdits{};
    m_toldAtClose.Clear();
    m_stopChecks = 0;
    m_stopAtCheck = -1;
    const std::size_t end = PassOverOutput(first);
    m_deciding = false;
    if (m_dryRun)
        return end;

    m_stopAtCheck = m_stopped ? m_stopChecks : -1;
    Restore(start);
    m_hostNow = &m_realHost;
    m_output.SetWriting(true);
    m_output.SetEdits(m_edits);
    m_stopChecks = 0;
    return PassOverOutput(first);
}

std::size_t CCombineJob::CDriver::PassOverOutput(std::size_t first)
{
    m_outputClosed = false;
    std::size_t i = first;
    while (i < m_inputs.size() && !m_failed && !m_stopped && !m_outputClosed)
        ProcessInput(i++);
    // The last inputs were skipped while an output was open, or the user
    // stopped the job: the output is finished like any other.
    if (!m_failed && m_outputOpen && (m_stopped || i == m_inputs.size()))
        Close_Output_File();
    return i;
}

// The decisions only the whole output can tell: its speed-corrected
// selection and the delays the scan removes from what it would hold.
void CCombineJob::CDriver::DecideEdits()
{
    m_edits = OutputEdits{};
    m_correction = SpeedCorrectionPlan{};
    DelayHistogram delays = m_output.Delays();
    if (m_settings.speed_correction) {
        m_correction = PlanSpeedCorrection(m_settings,
                                           m_toldAtClose,
                                           m_output.TakeFixes(),
                                           m_output.Traces(),
                                           m_output.RecordDelays(),
                                           m_currentFile);
        if (m_correction.status == SpeedCorrectionPlan::Status::Corrected) {
            m_edits.correction = &m_correction;
            delays = m_correction.delays;
        }
    }
    if (m_settings.delayscan)
        m_edits.delays = DecideDelayScan(delays);
}

// The decisions were taken on the input as it was in the deciding pass:
// read otherwise now, the output would not be the one decided.
void CCombineJob::CDriver::InputFailedWhileWriting(const std::string& path, const std::string& what)
{
    if (m_failed)
        return;
    m_failed = true;
    m_result.failed_path = path;
    m_result.input_changed = true;
    m_result.input_failure = what;
    const std::string message = "Input " + path + " " + what + ": job stopped";
    Ctx().Log(message);
    Ctx().Log(kNL);
    Host().ShowMessage(message);
}

void CCombineJob::CDriver::InputChangedBetweenPasses(const std::string& path)
{
    InputFailedWhileWriting(path, "changed while the job was writing");
}

// Writing: an input the deciding pass read must be the file it read, before
// and after it is read again. One that has gone is named as itself, not left
// to show as a shortfall of records under the next input's name.
bool CCombineJob::CDriver::InputStillAsDecided(std::size_t input)
{
    const std::string& path = m_inputs[input].path;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!FileIdentity(path, device, inode)) {
        InputFailedWhileWriting(path, "is gone");
        return false;
    }
    if (ChangedSinceScan(m_inputs[input])) {
        InputChangedBetweenPasses(path);
        return false;
    }
    return true;
}

// One job at a time writes into a directory, and a job never deletes or
// overwrites one of its own inputs: an input at the working path would be
// removed by the probe. Each refusal is shown and nothing is written.
bool CCombineJob::CDriver::PrepareOutputDirectory()
{
    bool inUse = false;
    if (!m_lock.Acquire(m_outputDirectory, inUse)) {
        Host().ShowMessage(inUse ? DirectoryInUseMessage(m_outputDirectory)
                                 : NotWriteableMessage(m_outputDirectory));
        return false;
    }
    // Removing the link would lose what the user put there, and writing
    // through it would replace a file outside the job's reach.
    if (WorkingPathIsLink(m_outputDirectory)) {
        Host().ShowMessage(WorkingPathIsLinkMessage(m_outputDirectory));
        return false;
    }
    const std::string& working = m_output.Path();
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    const bool workingExists = FileIdentity(working, device, inode);
    for (const InputEntry& input : m_inputs) {
        if (workingExists && input.identified && input.device == device && input.inode == inode) {
            Host().ShowMessage("Input " + input.path + " is the job's working file " + working +
                               ": move or rename it, or choose another output directory");
            return false;
        }
    }
    if (!ProbeOutputDirectory(m_outputDirectory, m_result.removed_leftover_working_file)) {
        Host().ShowMessage(NotWriteableMessage(m_outputDirectory));
        return false;
    }
    return true;
}

// Whether the file at `path` is one of the job's inputs, by any path.
bool CCombineJob::CDriver::IsInput(const std::string& path) const
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
bool CCombineJob::CDriver::IsKeptFile(const std::string& path) const
{
    std::error_code ec;
    return std::any_of(m_keptFiles.begin(), m_keptFiles.end(), [&](const std::string& kept) {
        return fs::equivalent(kept, path, ec);
    });
}

// A file given twice (by any path) is read once: its later occurrences, in
// processing order, are passed over like unreadable inputs.
void CCombineJob::CDriver::MarkFilesSeenTwice()
{
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (InputEntry& input : m_inputs) {
        if (input.identified && !seen.insert({input.device, input.inode}).second) {
            input.same_as_earlier = true;
            input.start_known = false;
        }
    }
}

// The writing pass stops where the deciding pass stopped, whatever the
// front end says meanwhile; otherwise at a request of its own.
bool CCombineJob::CDriver::StopRequestedNow()
{
    if (m_stopped)
        return true;
    ++m_stopChecks;
    const bool stop = !m_deciding && m_stopAtCheck >= 0 ? m_stopChecks == m_stopAtCheck
                                                        : m_realHost.StopRequested();
    if (stop) {
        m_stopped = true;
        Ctx().Log("\tJob stopped by the user");
        Ctx().Log(kNL);
    }
    return m_stopped;
}

void CCombineJob::CDriver::ReportWriteFailure(const std::string& path)
{
    if (m_failed)
        return;
    m_failed = true;
    m_result.failed_path = path;
    const std::string message = "Cannot write " + path;
    Ctx().Log(message);
    Ctx().Log(kNL);
    Host().ShowMessage(message);
}

// Start time of the first input after `input` whose start the scan could
// measure. Inputs that cannot be read contribute no traces, so the time gap
// and the duration of an output are measured to the next input that does.
std::optional<double> CCombineJob::CDriver::NextKnownStart(std::size_t input) const
{
    for (std::size_t k = input + 1; k < m_inputs.size(); ++k) {
        if (m_inputs[k].start_known)
            return m_inputs[k].start_time;
    }
    return std::nullopt;
}

void CCombineJob::CDriver::LogProcessingFile(const std::string& path)
{
    Ctx().Log(kNL);
    Ctx().Log(kNL);
    Ctx().Log(kNL);
    Ctx().Log("Processing file " + path);
    Ctx().Log(kNL);
}

// The input's start time and its place in the order were taken from the
// file as the job started: another file at its path now, or the same file
// rewritten, would be read under a time span that is not its own.
bool CCombineJob::CDriver::ChangedSinceScan(const InputEntry& input) const
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    FileVersion version;
    // A file that has gone is left to the reader, which names the reason.
    if (!FileIdentity(input.path, device, inode, &version))
        return false;
    return !input.identified || device != input.device || inode != input.inode ||
           version != input.version;
}

void CCombineJob::CDriver::SkipChangedInput(const std::string& path)
{
    Ctx().Log("\tChanged since the job started: skipped");
    Ctx().Log(kNL);
    ++m_result.summary.inputs_unreadable;
    m_result.unreadable_inputs.push_back({path, "changed since the job started"});
}

// Progress counts input bytes: the one measure known for every input before
// it is read, whatever its trace length or the traces the job drops.
void CCombineJob::CDriver::ReportProgress(JobProgress::Phase phase, std::int64_t bytesOfInput)
{
    JobProgress p = m_progress;
    p.phase = phase;
    p.bytesDone = std::min(p.bytesTotal, p.bytesDone + std::max<std::int64_t>(0, bytesOfInput));
    Host().Progress(p);
}

// Traces of an input that starts before the output's last trace go back in
// time: said in the result, so that the front end can name both inputs.
void CCombineJob::CDriver::NoteOverlap(std::size_t input)
{
    const InputEntry& entry = m_inputs[input];
    if (m_settings.demultiplex_only || !m_outputOpen || !entry.start_known ||
        m_lastReadInput.empty())
        return;
    if (entry.start_time < m_output.LastTraceTime())
        m_result.overlapping_inputs.push_back({m_lastReadInput, entry.path});
}

void CCombineJob::CDriver::ProcessInput(std::size_t input)
{
    const std::string& path = m_inputs[input].path;
    m_currentFile = path;
    m_progress.input = static_cast<int>(input) + 1;
    ReportProgress(JobProgress::Phase::Reading);
    // Whatever becomes of this input, its bytes count as read after it; and
    // before the output it ends is finished, so that progress never goes back.
    struct CountWhole {
        JobProgress& progress;
        std::int64_t bytes;
        void Now()
        {
            progress.bytesDone += bytes;
            bytes = 0;
        }
        ~CountWhole() { Now(); }
    } countWhole{m_progress, m_inputs[input].version.bytes};

    if (m_inputs[input].same_as_earlier) {
        LogProcessingFile(path);
        Ctx().Log("\tSame file as an earlier input: skipped");
        Ctx().Log(kNL);
        ++m_result.summary.inputs_same_file;
        m_result.inputs_same_file.push_back(path);
        return;
    }
    if (ChangedSinceScan(m_inputs[input])) {
        if (!m_deciding && m_changedWhenDecided[input] == 0) {
            InputChangedBetweenPasses(path);
            return;
        }
        m_changedWhenDecided[input] = 1;
        LogProcessingFile(path);
        SkipChangedInput(path);
        return;
    }

    CSegyFileIn in;
    const bool opened = in.Open(path);
    // Only a readable input without navigation is skipped here, without a
    // log line; one that cannot be read is reported below as with speed
    // correction off.
    if (opened && m_settings.speed_correction && CheckNav(in) == NavPresence::Absent) {
        ++m_result.summary.inputs_without_navigation;
        m_result.inputs_without_navigation.push_back(path);
        return;
    }
    if (opened)
        in.Rewind();
    LogProcessingFile(path);
    // Checked again with the file open: it may have been replaced meanwhile.
    if (opened && ChangedSinceScan(m_inputs[input])) {
        in.Close();
        if (!m_deciding && m_changedWhenDecided[input] == 0) {
            InputChangedBetweenPasses(path);
            return;
        }
        m_changedWhenDecided[input] = 1;
        SkipChangedInput(path);
        return;
    }
    if (m_deciding) {
        m_readWhenDecided[input] = opened ? 1 : 0;
    } else if (m_readWhenDecided[input] != 0) {
        if (!InputStillAsDecided(input))
            return;
        if (!opened) {
            InputFailedWhileWriting(path, "cannot be read (" + OpenFailureText(path, in) + ")");
            return;
        }
    }
    if (!opened) {
        // Nothing of it is opened or written and no close decision is taken
        // for it: an unreadable file must not give an output its file header.
        Ctx().Log("\tNot a readable SEG-Y file: skipped");
        Ctx().Log(kNL);
        ++m_result.summary.inputs_unreadable;
        m_result.unreadable_inputs.push_back({path, OpenFailureText(path, in)});
        return;
    }

    if (!m_outputOpen) {
        m_runningSize = 0;
        if (!Open_New_Output_File(in)) {
            ReportWriteFailure(m_output.Path());
            return;
        }
    } else {
        m_runningSize = m_output.ByteCount();
    }

    const std::uint32_t samples = in.GetSamples();
    m_channels.BeginInput(samples);
    m_trace.SetN(samples);
    m_output.BeginInput(samples, in.GetFormat());
    m_counters = InputCounters{};
    Ctx().Log("\tNumber of samples = " + std::to_string(samples));
    Ctx().Log(kNL);

    const std::int64_t positionAtStart = m_output.ByteCount();
    NoteOverlap(input);
    TraceLoop(in, input);
    m_lastReadInput = path;
    in.Close();
    countWhole.Now();
    // Rewritten while it was read (samples, times or a delay under the same
    // size, its modification time put back or not): what was written of it
    // may be neither the old file nor the new one. Checked before the output
    // can be closed under its final name, also after a stop.
    if (!m_deciding && !m_failed && !InputStillAsDecided(input))
        return;
    if (m_failed || m_stopped)
        return;
    // The writing pass must take the records the deciding pass counted. An
    // input read otherwise (a read error, bytes rewritten under the same
    // size and time, a trace that could not be resampled for want of
    // memory) would move the speed-corrected selection onto other records.
    if (m_deciding) {
        m_decidedRecords[input] = m_output.Traces();
    } else if (m_output.Traces() != m_decidedRecords[input]) {
        Ctx().Log("\tRecords taken while writing: " + std::to_string(m_output.Traces()) +
                  ", decided: " + std::to_string(m_decidedRecords[input]));
        Ctx().Log(kNL);
        InputChangedBetweenPasses(path);
        return;
    }
    CloseByRules(input, positionAtStart);
}

bool CCombineJob::CDriver::Open_New_Output_File(const CSegyFileIn& in)
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
    return m_output.Open(
        in, static_cast<std::uint16_t>(Output_Samples_Per_Trace(m_settings, samples)), interval);
}

// The trace loop of one input, in its steps: the reference trace, then for
// every trace read its preparation (repairs, the tests that drop it,
// resampling) and its taking into the output.
void CCombineJob::CDriver::TraceLoop(CSegyFileIn& in, std::size_t input)
{
    InputReading r(in);
    StartReading(r);
    while (ReadNextTrace(r)) {
        const Drop why = PrepareTrace(r);
        // The read that found the end carries the last trace's header: what
        // a dropped trace would not give, it does not give either.
        if (r.ended && why != Drop::None)
            break;
        if (why != Drop::None) {
            CountDrop(why);
            continue;
        }
        NoteOutputStart();
        if (r.ended || !TakeTrace(r, input))
            break;
    }
}

void CCombineJob::CDriver::StartReading(InputReading& r)
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

    m_gapLimit = static_cast<std::int64_t>(m_settings.file_gap) * 60;
    r.fileName = FileNameOf(m_currentFile);

    // An input whose traces will be resampled is read and resampled ahead on
    // every core the job may use; everything else happens here as before.
    if (!m_deciding && !m_settings.demultiplex_only && m_targetInterval > 0 &&
        r.in.GetSampleInterval() != m_targetInterval && m_resamplingThreads > 1)
        r.ahead.emplace(r.in, m_targetInterval, WorkerResamplers());
}

// Reads the next trace into the working trace. At the end of the input the
// working trace gets the header of the last trace read back, since the end
// is processed on it; false when the input gave no trace at all.
bool CCombineJob::CDriver::ReadNextTrace(InputReading& r)
{
    CSegyTrace& trace = m_trace;
    // The samples stay as the input stores them until something uses them;
    // written unchanged, they are copied rather than converted.
    r.stored = StoredSamples{};
    r.decoded = false;
    if (m_deciding) {
        // Deciding needs the headers only.
        r.in.ReadHeader(*trace.header);
        r.ended = r.in.atEnd;
        if (!r.ended) {
            trace.tailLittleEndian = !r.in.swapBytes;
            trace.ReAllocate();
        }
    } else if (r.ahead) {
        r.ended = !r.ahead->Next(trace);
        r.decoded = true;
    } else {
        r.stored = r.in.ReadStored(trace);
        r.ended = r.in.atEnd;
    }
    r.unchanged = !r.decoded;
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
    // The channel paths build their pairs from the samples.
    if (m_settings.demultiplex_sidescan && !r.decoded && !m_deciding) {
        r.in.DecodeStored(r.stored, trace);
        r.decoded = true;
    }
    return true;
}

// The repairs of the trace in hand and the tests that drop it, in the order
// the job has always applied them; resampling last.
CCombineJob::CDriver::Drop CCombineJob::CDriver::PrepareTrace(InputReading& r)
{
    CSegyTrace& trace = m_trace;
    // The day repair counts midnights from trace to trace, so it sees every
    // trace read, dropped or not.
    if (m_settings.fixupknudsen)
        Apply_Knudsen_Day_Fix(m_timeCorrection, trace);
    const double timeBefore = r.previousTime;
    if (!r.ended)
        r.previousTime = m_scale.Seconds(CorrectedHeader(*trace.header, false));
    if (m_settings.speed_correction && !TraceHasNavigation(*trace.header))
        return Drop::Navigation;
    if (r.ended) {
        AddTimeCorrectionToTraceHeader(Ctx(), trace);
        return Drop::None;
    }
    // A record without samples carries no data. Written into a composite
    // whose file header declares a sample count, it would make every reader
    // of the composite take the next record's bytes for samples.
    if (trace.header->sampleCount == 0)
        return Drop::Empty;
    // A read that found no trace must not fix the job's interval.
    if (m_targetInterval < 0)
        m_targetInterval = trace.header->sampleInterval;
    AddTimeCorrectionToTraceHeader(Ctx(), trace);
    if (IsClockGlitch(timeBefore, r.previousTime, r.in, r.ahead ? &*r.ahead : nullptr)) {
        const SegyHeaderType& g = *trace.header;
        Ctx().Log("\tClock glitch: trace " + std::to_string(r.position) + " at " +
                  std::to_string(g.dayOfYear) + ":" + std::to_string(g.hour) + ":" +
                  std::to_string(g.minute) + ":" + std::to_string(g.second) + " skipped");
        Ctx().Log(kNL);
        return Drop::ClockGlitch;
    }
    if (!m_settings.demultiplex_only && trace.header->sampleInterval != m_targetInterval) {
        if (!r.decoded && !m_deciding)
            r.in.DecodeStored(r.stored, trace);
        r.unchanged = false;
        const bool resampled =
            m_deciding
                ? ResampleHeader(*trace.header,
                                 std::min<std::size_t>(trace.numSamples, trace.samples.size()),
                                 m_targetInterval)
            : r.ahead ? r.ahead->Resample(trace, Resampler())
                      : Resampler().Resample(trace, m_targetInterval);
        if (!resampled)
            return Drop::Resampling;
    }
    return Drop::None;
}

void CCombineJob::CDriver::CountDrop(Drop why)
{
    CombineSummary& summary = m_result.summary;
    switch (why) {
    case Drop::Navigation:
        ++summary.dropped_navigation;
        break;
    case Drop::Empty:
        ++summary.dropped_empty;
        break;
    case Drop::ClockGlitch:
        ++summary.dropped_clock_glitch;
        break;
    case Drop::Resampling:
        ++summary.dropped_resampling;
        break;
    case Drop::None:
        break;
    }
}

// The first trace of an input is logged, and the first of an output opens
// it: the output starts at that trace's whole second.
void CCombineJob::CDriver::NoteOutputStart()
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
    }
}

// The trace in hand goes to the output, or is dropped as earlier than its
// start. Every tenth trace of the input is a status point, where the user
// may stop the job. False when the input is to be left: a stop, or a failure.
bool CCombineJob::CDriver::TakeTrace(InputReading& r, std::size_t input)
{
    const SegyHeaderType& h = *m_trace.header;
    const double t = m_scale.Seconds(h);
    bool stop = false;
    if (m_counters.traces % 10 == 0) {
        Host().SetStatus("Input file = " + r.fileName + " : reading trace " +
                         std::to_string(m_counters.traces));
        ReportProgress(JobProgress::Phase::Reading, r.in.GetPosition());
        if (Host().IsLogVisible()) {
            Ctx().Log("\tAve Time " + FormatLogNumber(m_counters.averageInterval) +
                      "delay = " + std::to_string(h.delayRecordingTime));
            Ctx().Log(kNL);
        }
        Host().PumpEvents();
        // A stop takes effect after the trace in hand, so that every trace
        // read is written or dropped as always.
        stop = StopRequestedNow();
    }
    if (t < m_outputStartTime) {
        ++m_result.summary.dropped_before_start;
    } else {
        Write_Output_Trace(m_trace, input, r.unchanged ? &r.stored : nullptr);
        if (m_failed)
            return false;
    }
    return !stop;
}

// `stored`, when given, holds the samples of `trace` as its input stores
// them: they are written in place of its `samples` when it is the record to
// write.
void CCombineJob::CDriver::Write_Output_Trace(const CSegyTrace& trace,
                                              std::size_t input,
                                              const StoredSamples* stored)
{
    CombineSummary& summary = m_result.summary;
    const ChannelDecision d = m_channels.Decide(m_settings, trace);
    if (d.action == ChannelAction::Drop || d.action == ChannelAction::HoldPort) {
        // A port trace held for a pair counts as dropped until a pair with it
        // is written, so that the summary adds up at every moment.
        ++summary.dropped_channel;
        return;
    }
    const InputEntry& entry = m_inputs[input];
    m_counters.Count(
        d.time, d.fromWholeSecondStart ? static_cast<double>(entry.file_time) : entry.start_time);
    if (d.action == ChannelAction::Implausible) {
        ++summary.dropped_implausible;
        m_output.SetLastTraceTime(d.time);
        return;
    }
    if (!m_output.WriteReal(
            *d.record, d.time, d.keepAsFillTemplate, d.record == &trace ? stored : nullptr)) {
        ReportWriteFailure(m_output.Path());
        return;
    }
    if (d.completesPair && m_channels.TakeUnpairedPort()) {
        --summary.dropped_channel;
        ++summary.merged_into_pairs;
    }
}

void CCombineJob::CDriver::CloseByRules(std::size_t input, std::int64_t positionAtStart)
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
                if (filled.failed) {
                    ReportWriteFailure(m_output.Path());
                    return;
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
    if (m_failed)
        return;
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

// Closing sequence of the output: an output without a trace is deleted
// (logged). Deciding, the output's edits are decided; writing, what the
// decision found is told and the working file moves to its final name. A
// failure stops the job and leaves the working file under its name.
void CCombineJob::CDriver::Close_Output_File()
{
    m_outputOpen = false;
    m_outputClosed = true;
    if (!m_output.Close()) {
        ReportWriteFailure(m_output.Path());
        return;
    }
    if (m_output.Traces() == 0) {
        m_output.Discard();
        ++m_result.summary.outputs_discarded;
        Ctx().Log("\tNo traces written: output discarded");
        Ctx().Log(kNL);
        return;
    }
    if (m_deciding) {
        DecideEdits();
    } else {
        if (m_settings.speed_correction)
            ReportProgress(JobProgress::Phase::SpeedCorrection);
        m_toldAtClose.TellTo(Host());
        if (m_settings.delayscan) {
            ReportProgress(JobProgress::Phase::DelayScan);
            Host().SetStatus(m_edits.delays.removes ? kDelayFixStatus : kNoDelaysDroppedStatus);
        }
    }
    Rename_Output_File();
}

// Gives the closed output its final name in the output directory, replacing
// a file that existed before the job; a name this job has already given
// gets "_2", "_3", ... before ".sgy". Deciding, only the name is chosen.
void CCombineJob::CDriver::Rename_Output_File()
{
    const SpeedCorrectionPlan* corrected = m_edits.correction;

    // Each end of the span is named by its day in its own year.
    const std::string name = BuildOutputFileName(
        m_settings,
        m_scale.InItsYear(m_outputStartTime).secondsOfYear,
        m_scale.InItsYear(m_output.LastTraceTime()).secondsOfYear,
        corrected ? std::optional<double>(corrected->spacingMetres) : std::nullopt);
    std::string path = JoinPath(m_outputDirectory, name);
    // A name this job gave already, one of its inputs or the front end's
    // log is never replaced.
    for (int k = 2; m_producedPaths.count(path) != 0 || IsInput(path) || IsKeptFile(path); ++k)
        path = JoinPath(m_outputDirectory, WithSuffix(name, k));

    // rename replaces an existing file in one step: the old file stays
    // whole until the new one has its name.
    std::error_code ec;
    const bool replacing = fs::exists(path, ec);
    if (!m_deciding && !m_output.Finish(path)) {
        ReportWriteFailure(path);
        return;
    }
    m_producedPaths.insert(path);
    if (replacing) {
        Ctx().Log("\tReplaced an existing file " + path);
        Ctx().Log(kNL);
    }

    OutputRecord record;
    record.path = path;
    std::int64_t removed = 0;
    if (m_deciding) {
        removed = m_edits.delays.removed;
        record.traces = (corrected ? corrected->tracesAfter : m_output.Traces()) - removed;
        record.bytes = m_output.DecidedBytes(m_edits);
    } else {
        removed = m_output.TracesRemoved();
        record.traces = m_output.TracesWritten();
        record.bytes = static_cast<std::int64_t>(fs::file_size(path, ec));
        if (ec)
            record.bytes = -1;
    }
    if (corrected) {
        record.speed_corrected = true;
        record.spacing_metres = corrected->spacingMetres;
        // A stop while writing ends the output before the records the
        // selection was decided over: it was made from those taken.
        record.traces_before_correction = m_deciding ? corrected->tracesBefore : m_output.Traces();
    }
    record.fill_traces = m_output.FillTraces();
    record.first_trace_time = m_scale.InItsYear(m_output.FirstTraceTime()).secondsOfYear;
    record.last_trace_time = m_scale.InItsYear(m_output.LastTraceTime()).secondsOfYear;
    record.replaced_existing = replacing;
    m_result.outputs.push_back(record);

    CombineSummary& summary = m_result.summary;
    summary.traces_written += m_output.Traces() - m_output.FillTraces();
    summary.traces_filled += m_output.FillTraces();
    summary.removed_by_delay_scan += removed;
    m_output.MarkCompleted();
}

} // namespace tessara
