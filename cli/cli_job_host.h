// The combine job's front end on the command line: the log on stdout or in a
// file, messages on stderr, a progress line on a terminal, and a stop asked
// for by SIGINT or SIGTERM.
#pragma once

#include "combine/api/job_host.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace tessara::cli
{

/// While it lives, the first SIGINT or SIGTERM asks the job to stop
/// (CCliJobHost::StopRequested); the handler then steps aside, so that a
/// second one ends the process at once. SIGINT and SIGTERM get their default
/// actions back at its end. One at a time.
class CStopSignals
{
public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;
};

/// The command line's front end of the job. The log goes to `log` as the job
/// writes it, with plain line ends when `log` is stdout; the status line and
/// the progress become a progress line on stderr when stderr is a terminal.
class CCliJobHost : public IJobHost
{
public:
    /// `verbose`: log as with the log window shown. `log` stays the caller's
    /// to close.
    CCliJobHost(std::FILE* log, bool verbose);

    void ClearLog() override;
    void AppendLog(std::string_view text) override;
    [[nodiscard]] bool IsLogVisible() const override { return m_verbose; }
    [[nodiscard]] bool StopRequested() const override;
    void SetStatus(std::string_view text) override;
    void Progress(const JobProgress& progress) override;
    void PumpEvents() override {}
    void ShowMessage(std::string_view text) override;
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}

    /// Ends the progress line so that other text starts on a line of its own.
    void EndProgressLine();

    /// Some of the log could not be written (a full disk, a closed pipe).
    [[nodiscard]] bool LogFailed() const { return m_logFailed; }

private:
    void ShowProgress(bool last);

    std::FILE* m_log;
    bool m_toStdout;
    bool m_verbose;
    bool m_progress;
    bool m_progressOpen = false;
    bool m_shown = false;
    bool m_logFailed = false;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastShown{};
    std::string m_status;
    JobProgress m_jobProgress;
};

} // namespace tessara::cli
