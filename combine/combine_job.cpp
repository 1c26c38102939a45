// The job driver: it checks the output directory, has the inputs scanned
// and ordered, then has each output decided into a plan and the plan
// written, and keeps the job's result.
#include "combine/api/combine_job.h"

#include "combine/api/output_directory.h"
#include "combine/follow_loop.h"
#include "combine/job_state.h"
#include "combine/output_directory.h"
#include "combine/output_plan.h"
#include "combine/output_planner.h"
#include "combine/plan_writer.h"

#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

namespace
{

// The front end as a dry run's deciding sees it: it may let events through
// and ask to stop, but nothing is shown.
class CQuietHost : public IJobHost
{
public:
    explicit CQuietHost(IJobHost& host) : m_host(host) {}
    void ClearLog() override {}
    void AppendLog(std::string_view /*text*/) override {}
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view /*text*/) override {}
    void PumpEvents() override { m_host.PumpEvents(); }
    void ShowMessage(std::string_view /*text*/) override {}
    [[nodiscard]] bool StopRequested() const override { return m_host.StopRequested(); }
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}

private:
    IJobHost& m_host;
};

} // namespace

/// One run of the job: each output is decided into a plan, then the plan is
/// written. Its state lives exactly as long as the run's result.
class CCombineJob::CDriver
{
public:
    CDriver(const CombineSettings& settings,
            IJobHost& host,
            const std::string& outputDirectory,
            bool dryRun,
            const std::vector<std::string>& keptFiles,
            const FollowOptions* follow)
        : m_settings(settings), m_host(host), m_quietHost(host), m_stopAsideHost(host),
          m_outputDirectory(outputDirectory), m_dryRun(dryRun), m_keptFiles(keptFiles),
          m_follow(follow)
    {
    }

    CombineOutcome Run();
    /// Removes the working file of an output being written.
    void AbandonWorkingFile()
    {
        if (m_writer)
            m_writer->Abandon();
    }
    /// The writer's result in a run, the planner's in a dry run.
    [[nodiscard]] const CombineResult& Result() const
    {
        if (m_writer)
            return m_writer->Result();
        if (m_dryRun && m_planner)
            return m_planner->Result();
        return m_result;
    }

private:
    [[nodiscard]] CombineResult& Kept()
    {
        if (m_writer)
            return m_writer->Result();
        if (m_dryRun && m_planner)
            return m_planner->Result();
        return m_result;
    }
    [[nodiscard]] bool PrepareOutputDirectory(bool& removedLeftover);
    void RunOutputs(bool& stopped, bool& failed);

    const CombineSettings& m_settings; // the front end's, which may change
    IJobHost& m_host;
    CQuietHost m_quietHost;
    CStopAsideHost m_stopAsideHost; // following: a stop ends following, not an output
    const std::string m_outputDirectory;
    const bool m_dryRun;
    const std::vector<std::string> m_keptFiles;
    const FollowOptions* m_follow;    // null for a finished list
    std::vector<InputEntry> m_inputs; // in processing order once scanned
    ProgressLedger m_progress;
    std::optional<COutputPlanner> m_planner;
    std::optional<CPlanWriter> m_writer;
    COutputDirectoryLock m_lock; // held for the whole run
    CombineResult m_result;      // until the planner or the writer keeps it
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

CombineOutcome CCombineJob::Follow(const std::string& outputDirectory, const FollowOptions& follow)
{
    return Start(outputDirectory, false, &follow);
}

CombineOutcome CCombineJob::DryRun(const std::string& outputDirectory)
{
    return Start(outputDirectory, true);
}

CombineOutcome
CCombineJob::Start(const std::string& outputDirectory, bool dryRun, const FollowOptions* follow)
{
    // A second start from inside the front end's event pumping must not
    // replace the running job's state.
    if (m_running)
        return CombineOutcome::AlreadyRunning;
    m_running = true;
    m_driver =
        std::make_unique<CDriver>(m_settings, m_host, outputDirectory, dryRun, m_keptFiles, follow);
    try {
        const CombineOutcome outcome = m_driver->Run();
        m_running = false;
        return outcome;
    } catch (const std::bad_alloc&) {
        // Memory ran out: the caller ends the job and says so; an output cut
        // short by it must not stay behind.
        m_driver->AbandonWorkingFile();
        m_running = false;
        throw;
    }
}

CombineOutcome CCombineJob::CDriver::Run()
{
    std::string problem = ValidateCombineSettings(m_settings);
    if (problem.empty() && m_follow)
        problem = FollowProblem(*m_follow, m_outputDirectory);
    if (!problem.empty()) {
        m_host.ShowMessage(problem);
        m_result.outcome = CombineOutcome::InvalidSettings;
        return m_result.outcome;
    }
    // A followed job's inputs come as the recorder writes them.
    for (const std::string& path : m_follow ? std::vector<std::string>{} : m_settings.input_files) {
        InputEntry entry{path};
        entry.identified = FileIdentity(path, entry.device, entry.inode, &entry.version);
        m_inputs.push_back(entry);
    }
    bool removedLeftover = false;
    if (!m_dryRun && !PrepareOutputDirectory(removedLeftover)) {
        m_result.outcome = CombineOutcome::DirectoryRefused;
        return m_result.outcome;
    }
    IJobHost& host = m_dryRun   ? static_cast<IJobHost&>(m_quietHost)
                     : m_follow ? static_cast<IJobHost&>(m_stopAsideHost)
                                : m_host;
    m_progress.inputCount = static_cast<int>(m_inputs.size());
    for (const InputEntry& input : m_inputs)
        m_progress.total += 2 * input.version.bytes;
    m_planner.emplace(m_settings, host, m_inputs, m_progress, m_outputDirectory, m_keptFiles);
    m_planner->Scan();
    problem = m_planner->LoadNavigation();
    if (!problem.empty()) {
        m_host.ShowMessage(problem);
        m_result.outcome = CombineOutcome::InvalidSettings;
        return m_result.outcome;
    }
    if (!m_dryRun) {
        m_writer.emplace(host,
                         m_inputs,
                         m_progress,
                         m_outputDirectory,
                         [this](const OutputPlan& plan, double last) {
                             return m_planner->NameEndedEarly(plan, last);
                         });
        m_writer->Result().removed_leftover_working_file = removedLeftover;
        m_writer->Result().inputs_span_years = m_planner->Result().inputs_span_years;
    }
    host.ClearLog();

    bool stopped = false;
    bool failed = false;
    if (m_follow)
        failed = !CFollowLoop(m_settings,
                              m_host,
                              *m_follow,
                              m_inputs,
                              m_progress,
                              *m_planner,
                              *m_writer,
                              m_outputDirectory)
                      .Run();
    else
        RunOutputs(stopped, failed);

    CombineResult& result = Kept();
    const COutputRecords& counted =
        m_writer ? static_cast<const COutputRecords&>(m_writer->Output()) : m_planner->Output();
    result.summary.traces_other_length = counted.OtherLengthRecords();
    result.summary.traces_converted_with_loss = counted.LossyConversions();
    if (failed) {
        m_writer->CloseAfterFailure();
        result.outcome = CombineOutcome::WriteFailed;
        return result.outcome;
    }
    if (m_writer) {
        // The end: every input's bytes counted, whatever the last one did.
        m_writer->ReportEnd();
        m_host.SetStatus(stopped ? "Stopped...." : "Done....");
    }
    result.outcome = stopped ? CombineOutcome::Stopped : CombineOutcome::Done;
    return result.outcome;
}

// Each output decided, then written; a stop while deciding ends the job
// before the output is written, a stop while writing ends the output at
// the trace in hand.
void CCombineJob::CDriver::RunOutputs(bool& stopped, bool& failed)
{
    const auto stopNow = [this, &stopped] {
        stopped = true;
        if (!m_dryRun)
            m_host.AppendLog(std::string("\tJob stopped by the user") + std::string(kNL));
    };
    if (m_host.StopRequested()) { // a stop during the input scan
        stopNow();
        return;
    }
    for (std::size_t i = 0; i < m_inputs.size();) {
        OutputPlan plan = m_planner->PlanOutput(i);
        if (plan.stopped) {
            stopNow();
            return;
        }
        i = plan.next;
        if (m_dryRun)
            continue;
        switch (m_writer->Write(plan)) {
        case CPlanWriter::Ended::Done:
            break;
        case CPlanWriter::Ended::Stopped:
            stopped = true;
            return;
        case CPlanWriter::Ended::Failed:
            failed = true;
            return;
        }
    }
}

// One job at a time writes into a directory, and a job never deletes or
// overwrites one of its own inputs: an input at the working path would be
// removed by the probe. Each refusal is shown and nothing is written.
bool CCombineJob::CDriver::PrepareOutputDirectory(bool& removedLeftover)
{
    bool inUse = false;
    if (!m_lock.Acquire(m_outputDirectory, inUse)) {
        m_host.ShowMessage(inUse ? DirectoryInUseMessage(m_outputDirectory)
                                 : NotWriteableMessage(m_outputDirectory));
        return false;
    }
    // Removing the link would lose what the user put there, and writing
    // through it would replace a file outside the job's reach.
    if (WorkingPathIsLink(m_outputDirectory)) {
        m_host.ShowMessage(WorkingPathIsLinkMessage(m_outputDirectory));
        return false;
    }
    const std::string working = JoinPath(m_outputDirectory, kWorkingFileName);
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    const bool workingExists = FileIdentity(working, device, inode);
    for (const InputEntry& input : m_inputs) {
        if (workingExists && input.identified && input.device == device && input.inode == inode) {
            m_host.ShowMessage("Input " + input.path + " is the job's working file " + working +
                               ": move or rename it, or choose another output directory");
            return false;
        }
    }
    if (!ProbeOutputDirectory(m_outputDirectory, removedLeftover)) {
        m_host.ShowMessage(NotWriteableMessage(m_outputDirectory));
        return false;
    }
    m_result.removed_leftover_working_file = removedLeftover;
    return true;
}

} // namespace tessara
