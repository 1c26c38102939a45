#include "cli/cli_job_host.h"

#include "cli/progress_line.h"

#include <csignal>
#include <iostream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessara::cli
{
namespace
{

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal = signal;
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
}

} // namespace

CStopSignals::CStopSignals()
{
    (void)std::signal(SIGINT, OnStopSignal);
    (void)std::signal(SIGTERM, OnStopSignal);
}

CStopSignals::~CStopSignals()
{
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
}

CCliJobHost::CCliJobHost(std::FILE* log, bool verbose)
    : m_log(log), m_toStdout(log == stdout), m_verbose(verbose),
      m_progress(::isatty(STDERR_FILENO) == 1)
{
}

void CCliJobHost::ClearLog()
{
    if (m_toStdout)
        return; // what was printed stays printed
    std::fflush(m_log);
    // A FIFO or a device is written into as it is: only a file is emptied.
    struct stat info {
    };
    if (::fstat(::fileno(m_log), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    if (::ftruncate(::fileno(m_log), 0) != 0)
        m_logFailed = true;
    std::rewind(m_log);
}

void CCliJobHost::AppendLog(std::string_view text)
{
    if (m_toStdout) {
        // A terminal or a pipe wants the platform's line ends.
        std::string lines(text);
        for (std::size_t p = lines.find("\r\n"); p != std::string::npos; p = lines.find("\r\n", p))
            lines.erase(p, 1);
        EndProgressLine();
        if (std::fwrite(lines.data(), 1, lines.size(), m_log) != lines.size())
            m_logFailed = true;
        return;
    }
    if (std::fwrite(text.data(), 1, text.size(), m_log) != text.size())
        m_logFailed = true;
}

bool CCliJobHost::StopRequested() const
{
    return g_stopSignal != 0;
}

void CCliJobHost::SetStatus(std::string_view text)
{
    m_status.assign(text);
    ShowProgress(text == "Done....");
}

void CCliJobHost::Progress(const JobProgress& progress)
{
    m_jobProgress = progress;
    ShowProgress(false);
}

void CCliJobHost::ShowMessage(std::string_view text)
{
    EndProgressLine();
    std::fflush(stdout);
    std::cerr << "tessara-cli: " << text << '\n';
}

void CCliJobHost::EndProgressLine()
{
    if (m_progressOpen) {
        std::fputc('\n', stderr);
        m_progressOpen = false;
    }
}

void CCliJobHost::ShowProgress(bool last)
{
    if (!m_progress)
        return;
    // A terminal needs no more than a few updates a second.
    const auto now = std::chrono::steady_clock::now();
    if (m_shown && now - m_lastShown < std::chrono::milliseconds(100) && !last)
        return;
    m_lastShown = now;
    m_shown = true;
    winsize size{};
    const int columns =
        ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_started);
    const std::string line = ProgressLine(m_status, m_jobProgress, elapsed, columns);
    std::fflush(stdout);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    m_progressOpen = true;
}

} // namespace tessara::cli
