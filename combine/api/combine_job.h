// The combine job: streams every trace of a list of SEG-Y inputs into a
// sequence of composite outputs, split by size, duration and time gap.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/job_host.h"
#include "combine/job_state.h"

#include <memory>
#include <string>

namespace tessara
{

/// How a job ended.
enum class CombineOutcome {
    Done,            ///< every input was processed; the status line says "Done...."
    InvalidSettings, ///< a setting was out of range; nothing was read or written
    WriteFailed,     ///< a file could not be written; the job stopped at once
};

/// One run of the combine job. It reads its settings through the reference
/// it was given, each where it is used, so the front end may change them
/// while the job runs (inside IJobHost::PumpEvents); and it reaches its front
/// end only through the host. Memory does not grow with input or output size:
/// traces are streamed one at a time through three reusable traces.
class CCombineJob
{
public:
    CCombineJob(const CombineSettings& settings, IJobHost& host);
    ~CCombineJob();
    CCombineJob(const CCombineJob&) = delete;
    CCombineJob& operator=(const CCombineJob&) = delete;

    /// Runs the job into `outputDirectory`, which the front end chose and
    /// probed with ProbeOutputDirectory before. Completed outputs carry their
    /// final names; a write failure stops the job with the working file left
    /// under its name and no file deleted or replaced. No working file remains
    /// after a job that ends with Done.
    [[nodiscard]] CombineOutcome Run(const std::string& outputDirectory);

    /// State of the last Run: outputs written, summary, the failed path.
    [[nodiscard]] const CombineJobState& State() const { return *m_state; }

private:
    void ProcessInput(const JobContext& ctx, std::size_t input);
    void TraceLoop(const JobContext& ctx, CSegyFileIn& in, std::size_t input);
    void CloseByRules(const JobContext& ctx, std::size_t input, std::int64_t positionAtStart);
    [[nodiscard]] CTraceResampler& Resampler();

    const CombineSettings& m_settings;
    IJobHost& m_host;
    std::unique_ptr<CombineJobState> m_state;
    std::int64_t m_durationLimit = 0; // s
    std::int64_t m_sizeLimit = 0;     // bytes
    std::int64_t m_gapLimit = 0;      // s, of the current input
};

} // namespace tessara
