#include "tests/support/child_process.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessara::test
{

pid_t StartChild(const std::function<int()>& body, long long fileSizeLimitBytes)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid < 0 ? -1 : pid;
    if (fileSizeLimitBytes >= 0) {
        (void)std::signal(SIGXFSZ, SIG_IGN);
        const auto bytes = static_cast<rlim_t>(fileSizeLimitBytes);
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(125);
    }
    ::_exit(body());
}

ChildEnd WaitForChild(pid_t pid, std::chrono::milliseconds timeout)
{
    ChildEnd end;
    if (pid <= 0)
        return end;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return end;
        if (std::chrono::steady_clock::now() >= deadline) {
            end.timedOut = true;
            (void)::kill(pid, SIGKILL);
            (void)::waitpid(pid, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

int RunInChildWithFileSizeLimit(const std::function<int()>& body, long long bytes)
{
    const ChildEnd end = WaitForChild(StartChild(body, bytes), std::chrono::minutes(1));
    return end.exited ? end.code : -1;
}

namespace
{

bool Redirect(const std::string& path, int flags, int to)
{
    if (path.empty())
        return true;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return false;
    const bool moved = ::dup2(fd, to) == to;
    (void)::close(fd); // its duplicate stays open
    return moved;
}

} // namespace

int ExecProgram(const std::string& program,
                const std::vector<std::string>& args,
                const std::string& stdoutPath,
                const std::string& stderrPath)
{
    // A program started from a background shell would inherit stop signals
    // ignored: it gets them as an interactive user's program does.
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
    constexpr int kWrite = O_WRONLY | O_CREAT | O_TRUNC;
    if (!Redirect("/dev/null", O_RDONLY, STDIN_FILENO) ||
        !Redirect(stdoutPath, kWrite, STDOUT_FILENO) ||
        !Redirect(stderrPath, kWrite, STDERR_FILENO))
        return 127;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return 127;
}

} // namespace tessara::test
