// Runs a piece of a test, or a program, in a forked child: under a file-size
// limit (RLIMIT_FSIZE), so that the code under test meets a real write
// failure; with a deadline, so that a hang fails the test instead of
// stopping it; or to send it signals and see how it ends.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessara::test
{

/// How a child runs.
struct ChildOptions {
    /// >= 0: the child ignores SIGXFSZ (writes past the limit fail with
    /// EFBIG) and may write files of at most this many bytes.
    long long fileSizeBytes = -1;
    /// >= 0: the child's address space is limited to this many bytes
    /// (RLIMIT_AS), so that a large allocation fails. Not under AddressSanitizer,
    /// whose shadow memory needs terabytes of address space.
    long long addressSpaceBytes = -1;
    /// A child still running then is killed (SIGKILL) and reported as timedOut.
    std::chrono::milliseconds timeout = std::chrono::minutes(1);
    /// RunProgram only: > 0 puts standard error on a pseudo-terminal this
    /// many columns wide, as a user's shell gives it.
    int terminalColumns = 0;
};

/// How a child ended, and what a program run by RunProgram wrote.
struct ChildEnd {
    bool exited = false;   ///< by exit, with `code`
    int code = -1;         ///< exit code when `exited`, else -1
    int signal = 0;        ///< the signal that ended it, when not `exited`
    bool timedOut = false; ///< still running at the deadline: it was killed
    std::string out;       ///< standard output
    std::string err;       ///< standard error (or what its terminal received)
};

/// Sets RLIMIT_FSIZE to `bytes` with SIGXFSZ ignored; false when refused.
/// For a child only, e.g. to limit the writes from some point of a job on.
bool LimitFileSize(long long bytes);

/// Forks; the child runs `body` (with options.fileSizeBytes and
/// addressSpaceBytes) and exits with what it returns (125 when a limit
/// cannot be set). Returns the child's
/// pid, or -1 when it could not be started. `body` runs in the child: its
/// gtest assertions are lost, it reports through its exit code.
pid_t StartChild(const std::function<int()>& body, const ChildOptions& options = {});

/// Waits for the child `pid` at most `timeout`.
ChildEnd WaitForChild(pid_t pid, std::chrono::milliseconds timeout);

/// StartChild and WaitForChild.
ChildEnd RunInChild(const std::function<int()>& body, const ChildOptions& options = {});

/// For a child's body: replaces the process with `program` called with
/// `args`, standard input from /dev/null, standard output and error on the
/// descriptors given (-1 keeps the stream as it is). Returns 127 only when
/// that fails.
int ExecProgram(const std::string& program,
                const std::vector<std::string>& args,
                int stdoutFd = -1,
                int stderrFd = -1);

/// Runs `program` with `args` in a child and collects its output.
ChildEnd RunProgram(const std::string& program,
                    const std::vector<std::string>& args,
                    const ChildOptions& options = {});

} // namespace tessara::test
