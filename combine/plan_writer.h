// Writing an output as its plan says: the inputs it names, exactly the
// records it lists, each written once into the working file, which takes
// its final name when complete.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/job_host.h"
#include "combine/demultiplex.h"
#include "combine/job_state.h"
#include "combine/output_file.h"
#include "combine/output_plan.h"
#include "combine/read_ahead.h"
#include "segy/io/segy_file_in.h"
#include "trace/resample.h"
#include "trace/segy_trace.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// Carries out the plans of a job's outputs, one after the other, and keeps
/// the job's result as written: what reached the outputs, and where every
/// trace read went. It takes no decision of its own; it only asks the front
/// end whether to stop where the job always has (every tenth trace of an
/// input), and then ends the output at the trace in hand.
class CPlanWriter
{
public:
    /// Gives the output of a plan, ended early by a stop, its final name,
    /// from the time of its last trace (on the job's scale).
    using Namer = std::function<std::string(const OutputPlan&, double last)>;

    CPlanWriter(IJobHost& host,
                const std::vector<InputEntry>& inputs,
                ProgressLedger& progress,
                const std::string& outputDirectory,
                Namer namer);

    /// How writing a plan ended.
    enum class Ended {
        Done,    ///< as planned
        Stopped, ///< the user stopped it: the output ends at the trace in hand, named
        Failed,  ///< a write failed, or an input was not as planned: the job stops
    };
    [[nodiscard]] Ended Write(const OutputPlan& plan);

    /// Ends the job: the working file of a failed output keeps what it has.
    void CloseAfterFailure();
    /// Removes the working file of an output being written.
    void Abandon() { m_output.Discard(); }
    /// The end of the job: every input's bytes count as read.
    void ReportEnd();

    [[nodiscard]] CombineResult& Result() { return m_result; }
    [[nodiscard]] const CombineResult& Result() const { return m_result; }
    [[nodiscard]] const COutputFile& Output() const { return m_output; }

private:
    [[nodiscard]] bool Do(const OutputPlan& plan, const PlanStep& step);
    void StartInput(std::size_t input);
    void SkipInput(std::size_t input, const PlannedSkip& skip);
    [[nodiscard]] bool OpenInput(std::size_t input);
    [[nodiscard]] bool Reference(const PlannedReference& reference, std::int64_t count);
    [[nodiscard]] bool ReadRecord();
    [[nodiscard]] bool TakeRecord();
    void DropRecord(RecordDrop why);
    void StatusPoint();
    [[nodiscard]] bool EndInput();
    [[nodiscard]] bool Close(const OutputPlan& plan, const std::string& path);
    void FinishStopped(const OutputPlan& plan);
    void ReportWriteFailure(const std::string& path);
    void InputFailed(const std::string& what);
    void ReportProgress(JobProgress::Phase phase, std::int64_t bytesOfInput = 0);
    [[nodiscard]] CTraceResampler& Resampler();
    [[nodiscard]] std::vector<CTraceResampler*> WorkerResamplers();
    void Log(const std::string& text);

    IJobHost& m_host;
    const std::vector<InputEntry>& m_inputs;
    Namer m_namer;
    const OutputPlan* m_plan = nullptr; // the plan being written
    const CombineSettings* m_settings = nullptr;
    CombineResult m_result;
    COutputFile m_output;
    OutputEdits m_edits;
    CChannelPaths m_channels;
    CSegyTrace m_trace; // the working trace every read goes into
    InputCounters m_counters;
    TimeCorrectionState m_timeCorrection;
    CJobTimeScale m_scale;
    std::unique_ptr<CTraceResampler> m_resampler;
    unsigned m_resamplingThreads = ResamplingThreads();
    std::vector<std::unique_ptr<CTraceResampler>> m_workerResamplers;
    ProgressLedger& m_progress;
    std::int64_t m_inputBytes = 0; // of the input in hand, not yet counted

    // The input in hand.
    std::size_t m_input = 0;
    CSegyFileIn m_in;
    std::optional<CResamplingReadAhead> m_ahead;
    std::string m_fileName;
    StoredSamples m_stored; // the record in hand's samples as the input stores them
    bool m_decoded = false; // its samples are decoded into the working trace
    std::string m_lastReadInput;

    bool m_outputStarted = false; // the output has met its first trace
    bool m_stopping = false;      // a stop was asked: the record in hand is the last
    bool m_failed = false;
};

} // namespace tessara
