#include "tests/support/child_process.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace tessara::test
{
namespace
{

// Reads what `fd` holds now; a non-blocking descriptor gives what is queued.
void Drain(int fd, std::string& into)
{
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        into.append(buffer, static_cast<std::size_t>(n));
}

// Waits for `pid`, draining `drainFd` (when >= 0) meanwhile: a terminal
// holds only a few kilobytes before its writer blocks.
ChildEnd Wait(pid_t pid, std::chrono::milliseconds timeout, int drainFd, std::string& drained)
{
    ChildEnd end;
    if (pid <= 0)
        return end;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (pid_t done; (done = ::waitpid(pid, &status, WNOHANG)) != pid;) {
        if (done < 0)
            return end;
        if (drainFd >= 0)
            Drain(drainFd, drained);
        if (std::chrono::steady_clock::now() >= deadline) {
            end.timedOut = true;
            (void)::kill(pid, SIGKILL);
            (void)::waitpid(pid, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (drainFd >= 0)
        Drain(drainFd, drained);
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

std::string ReadAll(std::FILE* file)
{
    std::string text;
    if (file != nullptr) {
        std::rewind(file);
        Drain(::fileno(file), text);
        (void)std::fclose(file);
    }
    return text;
}

} // namespace

bool LimitFileSize(long long bytes)
{
    (void)std::signal(SIGXFSZ, SIG_IGN);
    const auto limit = static_cast<rlim_t>(bytes);
    const rlimit both{limit, limit};
    return ::setrlimit(RLIMIT_FSIZE, &both) == 0;
}

pid_t StartChild(const std::function<int()>& body, const ChildOptions& options)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid < 0 ? -1 : pid;
    if (options.fileSizeBytes >= 0 && !LimitFileSize(options.fileSizeBytes))
        ::_exit(125);
    const auto space = static_cast<rlim_t>(options.addressSpaceBytes);
    const rlimit both{space, space};
    if (options.addressSpaceBytes >= 0 && ::setrlimit(RLIMIT_AS, &both) != 0)
        ::_exit(125);
    ::_exit(body());
}

ChildEnd WaitForChild(pid_t pid, std::chrono::milliseconds timeout)
{
    std::string none;
    return Wait(pid, timeout, -1, none);
}

ChildEnd RunInChild(const std::function<int()>& body, const ChildOptions& options)
{
    return WaitForChild(StartChild(body, options), options.timeout);
}

int ExecProgram(const std::string& program,
                const std::vector<std::string>& args,
                int stdoutFd,
                int stderrFd)
{
    // A program started from a background shell would inherit stop signals
    // ignored: it gets them as an interactive user's program does.
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, STDIN_FILENO) != STDIN_FILENO ||
        (stdoutFd >= 0 && ::dup2(stdoutFd, STDOUT_FILENO) != STDOUT_FILENO) ||
        (stderrFd >= 0 && ::dup2(stderrFd, STDERR_FILENO) != STDERR_FILENO))
        return 127;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return 127;
}

ChildEnd RunProgram(const std::string& program,
                    const std::vector<std::string>& args,
                    const ChildOptions& options)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = options.terminalColumns > 0 ? nullptr : std::tmpfile();
    int terminal = -1;
    int terminalSide = -1;
    if (options.terminalColumns > 0) {
        termios raw{}; // the bytes as written: no CR added before each LF
        ::cfmakeraw(&raw);
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(options.terminalColumns);
        if (::openpty(&terminal, &terminalSide, nullptr, &raw, &size) != 0)
            terminal = terminalSide = -1;
        else
            (void)::fcntl(terminal, F_SETFL, O_NONBLOCK);
    }
    const int errFd = err != nullptr ? ::fileno(err) : terminalSide;
    ChildEnd end;
    if (out != nullptr && errFd >= 0) {
        const pid_t pid = StartChild(
            [&] {
                (void)::close(terminal);
                return ExecProgram(program, args, ::fileno(out), errFd);
            },
            options);
        (void)::close(terminalSide); // else the terminal never reports its end
        std::string shown;
        end = Wait(pid, options.timeout, terminal, shown);
        end.err = shown;
    }
    end.out = ReadAll(out);
    if (err != nullptr)
        end.err = ReadAll(err);
    (void)::close(terminal);
    return end;
}

} // namespace tessara::test
