#include "cli/output_target.h"

#include "cli/commands.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessara::cli
{
namespace
{

// The armed temporary file, for the signal handler: fixed storage, since a
// handler may not allocate.
char g_temporary[4096] = {};
volatile std::sig_atomic_t g_armed = 0;
volatile std::sig_atomic_t g_firstAsksToStop = 0;
volatile std::sig_atomic_t g_stopRequested = 0;

// unlink may be called from a handler; the signal, raised again with its
// default action, ends the process as it would have without us.
extern "C" void OnStopWithTemporary(int signal)
{
    if (g_firstAsksToStop != 0 && g_stopRequested == 0) {
        g_stopRequested = 1;
        return;
    }
    if (g_armed != 0)
        (void)::unlink(g_temporary);
    (void)std::signal(signal, SIG_DFL);
    (void)std::raise(signal);
}

} // namespace

bool IsStandardOutput(const std::string& path)
{
    return path == "-" || path == "/dev/stdout";
}

OutputTarget ClassifyOutput(const std::string& input, const std::string& path)
{
    if (IsStandardOutput(path))
        return {OutputKind::Stream, {}, 0};
    std::error_code ec;
    if (std::filesystem::equivalent(input, path, ec))
        return {OutputKind::Refused, "is the input file; choose another output", kExitUsage};
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return {}; // nothing there (or nothing reachable): a new file
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
        return {OutputKind::Stream, {}, 0};
    if (S_ISDIR(st.st_mode))
        return {OutputKind::Refused, "is a directory", kExitFailure};
    if (S_ISSOCK(st.st_mode))
        return {OutputKind::Refused, "is a socket", kExitFailure};
    if (S_ISBLK(st.st_mode))
        return {OutputKind::Refused, "is a block device", kExitFailure};
    return {};
}

int OpenStreamTarget(const std::string& path, std::string& why)
{
    const int fd = IsStandardOutput(path) ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)
                                          : ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        why = std::strerror(errno);
    return fd;
}

CTemporaryFileOnStop::CTemporaryFileOnStop(bool firstAsksToStop)
{
    g_armed = 0;
    g_stopRequested = 0;
    g_firstAsksToStop = firstAsksToStop ? 1 : 0;
    (void)std::signal(SIGINT, OnStopWithTemporary);
    (void)std::signal(SIGTERM, OnStopWithTemporary);
}

CTemporaryFileOnStop::~CTemporaryFileOnStop()
{
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
    Disarm();
}

bool CTemporaryFileOnStop::bStopRequested() const
{
    return g_stopRequested != 0;
}

void CTemporaryFileOnStop::Arm(const std::string& path)
{
    g_armed = 0;
    if (path.size() >= sizeof g_temporary)
        return;
    std::memcpy(g_temporary, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst); // the path before the flag
    g_armed = 1;
}

void CTemporaryFileOnStop::Disarm()
{
    g_armed = 0;
}

} // namespace tessara::cli
