// Deciding the job's outputs, one after the other, over the trace headers of
// its inputs: each output becomes a plan, and nothing is written.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/job_host.h"
#include "combine/demultiplex.h"
#include "combine/job_state.h"
#include "combine/output_file.h"
#include "combine/output_plan.h"
#include "combine/time_correction.h"
#include "combine/time_scale.h"
#include "combine/trace_positions.h"
#include "trace/segy_trace.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessara
{

class CSegyFileIn;

/// Decides the outputs of a job in order. Its state runs from one output to
/// the next as the written job's does, so that the plan of each output is
/// what writing the outputs before it as planned leaves to it. Its result
/// (Result) counts every output as planned: the dry run's result.
class COutputPlanner
{
public:
    /// `inputs` are the job's, in processing order once Scan has run; they
    /// and `host` must outlive the planner. Settings are read from
    /// `liveSettings` once per output, as it starts.
    COutputPlanner(const CombineSettings& liveSettings,
                   IJobHost& host,
                   std::vector<InputEntry>& inputs,
                   ProgressLedger& progress,
                   const std::string& outputDirectory,
                   const std::vector<std::string>& keptFiles);

    /// Reads every input's first trace and puts the inputs in time order
    /// (not with demultiplex_only); the job's sample interval from the
    /// settings.
    void Scan();
    /// Reads the navigation files into the job's track, or, with offsets
    /// and no files, the positions of the inputs' trace headers (after
    /// Scan, on the job's time scale). "" or the problem; nothing is
    /// decided then.
    [[nodiscard]] std::string LoadNavigation();
    /// The time scale of the job (per input with demultiplex_only).
    [[nodiscard]] const CJobTimeScale& Scale() const { return m_scale; }

    /// Decides the output that starts with input `first`. The host is told
    /// nothing the plan tells; it may let events through and ask to stop,
    /// which ends the plan with `stopped`.
    [[nodiscard]] OutputPlan PlanOutput(std::size_t first);

    // The same deciding an input at a time, for inputs that arrive while the
    // job runs: BeginOutput, then PlanInput for each input in order while it
    // returns true, then EndOutput with the input after the last one given.
    // `plan` must stay where it is until EndOutput.

    /// Starts deciding an output into `plan`, with the settings as they are now.
    void BeginOutput(OutputPlan& plan);
    /// Decides input `input` into the plan begun; false when the output
    /// closed after it (or deciding was stopped). Its close decision looks at
    /// the inputs after it: the last input of the list closes the output.
    [[nodiscard]] bool PlanInput(std::size_t input);
    /// Ends the plan begun, `next` being the input after the last one
    /// decided; at the end of the list an output still open is closed.
    void EndOutput(std::size_t next);
    /// The job's sample interval (us) as decided so far; -1 before a trace set it.
    [[nodiscard]] std::int32_t TargetInterval() const { return m_targetInterval; }
    /// Puts the job on `scale`, for inputs that were not scanned with the others.
    void SetTimeScale(const CJobTimeScale& scale);

    /// A name for an output of the settings `settings` from `first` to
    /// `last` (on the job's scale), in the output directory, that no output
    /// of the job, no input and no kept file has; with `spacing` when speed
    /// corrected. Records it as given.
    [[nodiscard]] std::string GiveName(const CombineSettings& settings,
                                       double first,
                                       double last,
                                       std::optional<double> spacing);
    /// The name of `plan`'s output when a stop ended it at a trace of time
    /// `last` (on the job's scale): the name planned for it is given up.
    [[nodiscard]] std::string NameEndedEarly(const OutputPlan& plan, double last);

    [[nodiscard]] const CombineResult& Result() const { return m_result; }
    [[nodiscard]] CombineResult& Result() { return m_result; }

    /// The outputs as counted.
    [[nodiscard]] const COutputTally& Output() const { return m_output; }

private:
    /// What the trace loop keeps of one input from step to step.
    struct InputReading {
        explicit InputReading(CSegyFileIn& file) : in(file) {}
        CSegyFileIn& in;
        bool ended = false;        // the read found the end of the input
        bool haveTrace = false;    // a trace of the input was read
        SegyHeaderType lastRead{}; // as the last successful read delivered it
        double previousTime = 0;   // of the trace read last, for the clock-glitch test
        std::int64_t position = 0; // in the input, of the trace read last
    };

    [[nodiscard]] JobContext Ctx() { return {m_settings, m_recorder}; }
    void TakeSettings();
    void ProcessInput(std::size_t input);
    void SkipInput(std::size_t input, PlannedSkip skip);
    void LogProcessingFile(const std::string& path);
    [[nodiscard]] bool ChangedSinceScan(const InputEntry& input) const;
    void TraceLoop(CSegyFileIn& in, std::size_t input);
    void StartReading(InputReading& r);
    [[nodiscard]] bool ReadNextTrace(InputReading& r);
    /// Why the trace in hand is not taken; empty when it is.
    [[nodiscard]] std::optional<RecordDrop> PrepareTrace(InputReading& r);
    void DropRecord(RecordDrop why);
    void NoteOutputStart();
    [[nodiscard]] bool TakeTrace(InputReading& r, std::size_t input);
    void CloseByRules(std::size_t input, std::int64_t positionAtStart);
    void Open_New_Output_File(const CSegyFileIn& in);
    void Close_Output_File();
    void DecideEdits();
    void Rename_Output_File();
    [[nodiscard]] std::vector<LogFix> HeaderFixes();
    void TellNavigation();
    [[nodiscard]] const SegyHeaderType& CorrectedHeader(const SegyHeaderType& h, bool repairDay);
    [[nodiscard]] std::optional<double> NextReadTime(const CSegyFileIn& in);
    [[nodiscard]] bool IsClockGlitch(double before, double time, const CSegyFileIn& in);
    [[nodiscard]] bool StopRequestedNow();
    [[nodiscard]] std::optional<double> NextKnownStart(std::size_t input) const;
    void NoteOverlap(std::size_t input);
    [[nodiscard]] bool IsInput(const std::string& path) const;
    [[nodiscard]] bool IsKeptFile(const std::string& path) const;

    /// The planner's front end: what it tells goes into the plan being made;
    /// events and stop requests go through.
    class CRecorder : public IJobHost
    {
    public:
        explicit CRecorder(IJobHost& host) : m_host(host) {}
        void Into(OutputPlan* plan) { m_plan = plan; }
        void ClearLog() override {}
        void AppendLog(std::string_view text) override;
        [[nodiscard]] bool IsLogVisible() const override { return false; }
        void SetStatus(std::string_view text) override;
        void PumpEvents() override { m_host.PumpEvents(); }
        void ShowMessage(std::string_view text) override;
        [[nodiscard]] bool StopRequested() const override { return m_host.StopRequested(); }
        void SetInputOrder(const std::vector<std::string>& paths) override
        {
            m_host.SetInputOrder(paths);
        }

    private:
        IJobHost& m_host;
        OutputPlan* m_plan = nullptr;
    };

    const CombineSettings& m_liveSettings;
    CombineSettings m_settings; // read from the live ones once per output
    IJobHost& m_host;
    CRecorder m_recorder;
    std::vector<InputEntry>& m_inputs;
    ProgressLedger& m_progress;
    const std::string m_outputDirectory;
    const std::vector<std::string> m_keptFiles;

    OutputPlan* m_plan = nullptr; // the plan being made
    bool m_outputClosed = false;  // the output has been closed
    CombineResult m_result;
    COutputTally m_output;
    std::string m_currentFile;
    InputCounters m_counters;
    CChannelPaths m_channels;
    CSegyTrace m_trace;
    TimeCorrectionState m_timeCorrection;
    CJobTimeScale m_scale;
    CSegyTrace m_scratch;
    std::int32_t m_targetInterval = -1;
    bool m_outputOpen = false;
    double m_outputStartTime = 0;
    std::int64_t m_runningSize = 0;
    std::int64_t m_durationLimit = 0;
    std::int64_t m_sizeLimit = 0;
    std::int64_t m_gapLimit = 0;
    std::set<std::string> m_producedPaths;
    std::string m_lastReadInput;
    bool m_stopped = false;
    std::shared_ptr<const CTracePositions> m_positions; // the job's, shared with its plans
    bool m_navigationTold = false;
    bool m_positioned = false;   // the trace in hand took a position from the track
    std::int64_t m_placed = 0;   // traces of the output with a position from the track
    std::int64_t m_unplaced = 0; // and without
};

} // namespace tessara
