// Following folders a recorder writes into: which files are complete, and
// the loop that decides and writes outputs as their inputs arrive.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/follow_options.h"
#include "combine/api/job_host.h"
#include "combine/job_state.h"
#include "combine/output_plan.h"
#include "combine/output_planner.h"
#include "combine/plan_writer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// Whether `path` names a SEG-Y file by its extension (.sgy, .segy, .seg in
/// any case).
[[nodiscard]] bool bSegyFileName(const std::string& path);

/// The SEG-Y files of the followed folders and when each is complete: its
/// size and modification time unchanged for the settle time, or a newer
/// file in its folder (one seen first at a later look, or modified later).
/// Files are only examined, never opened.
class CFolderWatch
{
public:
    CFolderWatch(std::vector<std::string> folders, double settleSeconds);

    /// Looks at the folders at `now` (s on the job's clock). Returns the
    /// files that became complete, in path order; each is returned once.
    [[nodiscard]] std::vector<std::string> Poll(double now);
    /// When a file last appeared or changed before it was complete (s), the
    /// start of watching before that.
    [[nodiscard]] double LastActivity() const { return m_lastActivity; }
    /// Files returned by Poll that have changed since, each once.
    [[nodiscard]] std::vector<std::string> TakeChanged();
    /// Forgets that the file at `path` was complete: it is a new file at
    /// the next look.
    void Reopen(const std::string& path);
    /// Files present and not complete, in path order.
    [[nodiscard]] std::vector<std::string> Incomplete() const;

private:
    struct Watched {
        std::size_t folder = 0;
        FileVersion version;
        double changedAt = 0; // s
        std::uint64_t firstLook = 0;
        std::uint64_t lastLook = 0;
        bool complete = false;
        bool changeTold = false;
    };
    void Look(std::size_t folder, double now);

    std::vector<std::string> m_folders;
    double m_settleSeconds;
    std::map<std::string, Watched> m_files;
    std::vector<std::string> m_changed;
    std::uint64_t m_look = 0;
    double m_lastActivity = -1;
};

/// A front end whose stop request the steps do not see: a stop ends
/// following between inputs, and what was taken is still decided and
/// written whole.
class CStopAsideHost : public IJobHost
{
public:
    explicit CStopAsideHost(IJobHost& host) : m_host(host) {}
    void ClearLog() override { m_host.ClearLog(); }
    void AppendLog(std::string_view text) override { m_host.AppendLog(text); }
    [[nodiscard]] bool IsLogVisible() const override { return m_host.IsLogVisible(); }
    void SetStatus(std::string_view text) override { m_host.SetStatus(text); }
    void PumpEvents() override { m_host.PumpEvents(); }
    void Progress(const JobProgress& progress) override { m_host.Progress(progress); }
    void ShowMessage(std::string_view text) override { m_host.ShowMessage(text); }
    void SetInputOrder(const std::vector<std::string>& paths) override
    {
        m_host.SetInputOrder(paths);
    }
    void ChartBegin(std::string_view title) override { m_host.ChartBegin(title); }
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override
    {
        m_host.ChartAddFix(ticks, speedMps, spacingM);
    }
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override
    {
        m_host.ChartSetSpacing(fromTicks, toTicks, spacingM, titleSuffix);
    }
    void ChartEnd() override { m_host.ChartEnd(); }

private:
    IJobHost& m_host;
};

/// Follows the folders until the front end asks to stop: takes each file
/// once complete as the job's next input, decides every input whose close
/// decision can be taken (the next input's start is known) into the open
/// output's plan, and writes an output as soon as it closes. At a stop, or
/// when nothing has changed in the folders for longer than file_gap, the
/// inputs taken are decided to the end, as the last of a list.
class CFollowLoop
{
public:
    /// Everything given must outlive the loop; `inputs` is the list the
    /// planner and the writer were made with, empty.
    CFollowLoop(const CombineSettings& settings,
                IJobHost& host,
                const FollowOptions& options,
                std::vector<InputEntry>& inputs,
                ProgressLedger& progress,
                COutputPlanner& planner,
                CPlanWriter& writer,
                const std::string& outputDirectory)
        : m_settings(settings), m_host(host), m_options(options), m_inputs(inputs),
          m_progress(progress), m_planner(planner), m_writer(writer),
          m_outputDirectory(outputDirectory), m_watch(options.folders, options.settleSeconds)
    {
    }

    /// Follows until a stop; false when writing an output failed.
    [[nodiscard]] bool Run();

private:
    void Take(const std::vector<std::string>& paths);
    void Insert(InputEntry entry);
    void LeaveOut(const std::string& path, const std::string& why);
    [[nodiscard]] bool bReady(std::size_t input) const;
    void NoteStartsUsed(std::size_t input);
    [[nodiscard]] bool Decide(bool toEnd);
    [[nodiscard]] bool WriteOutput();
    void ShowOpenOutput();
    void RemoveOpenOutput();

    const CombineSettings& m_settings;
    IJobHost& m_host;
    const FollowOptions& m_options;
    std::vector<InputEntry>& m_inputs;
    ProgressLedger& m_progress;
    COutputPlanner& m_planner;
    CPlanWriter& m_writer;
    const std::string m_outputDirectory;
    CFolderWatch m_watch;
    std::optional<OutputPlan> m_open;            // the output being decided
    std::size_t m_next = 0;                      // the first input not decided
    std::optional<std::int32_t> m_earliestStart; // file_time a new input may start at
    bool m_scaleChosen = false;
    bool m_stopping = false; // the user stopped following: no further look comes
    bool m_openShown = false;
};

} // namespace tessara
