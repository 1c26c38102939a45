// Runs a piece of a test, or a program, in a forked child: under a file-size
// limit (RLIMIT_FSIZE), so that the code under test meets a real write
// failure, or to send it signals and see how it ends.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessara::test
{

/// Forks; the child runs `body` and exits with what it returns. With
/// `fileSizeLimitBytes` >= 0 the child first ignores SIGXFSZ (writes past
/// the limit fail with EFBIG) and sets RLIMIT_FSIZE to it. Returns the
/// child's pid, or -1 when it could not be started. `body` must not use
/// gtest assertions: it runs in the child.
pid_t StartChild(const std::function<int()>& body, long long fileSizeLimitBytes = -1);

/// How a child ended.
struct ChildEnd {
    bool exited = false;   ///< by exit, with `code`
    int code = -1;         ///< exit code when `exited`
    int signal = 0;        ///< the signal that ended it, when not `exited`
    bool timedOut = false; ///< still running at the deadline: it was killed
};

/// Waits for the child `pid` at most `timeout`; a child still running then
/// is killed (SIGKILL) and reported as timedOut.
ChildEnd WaitForChild(pid_t pid, std::chrono::milliseconds timeout);

/// StartChild and WaitForChild (a minute at most); the child's exit code,
/// or -1 when it could not be run or did not exit.
int RunInChildWithFileSizeLimit(const std::function<int()>& body, long long bytes);

/// For a child's body: replaces the process with `program` called with
/// `args`, standard input from /dev/null, standard output and error into
/// the files named (created or truncated; an empty name keeps the stream
/// as it is). Returns 127 only when that fails.
int ExecProgram(const std::string& program,
                const std::vector<std::string>& args,
                const std::string& stdoutPath,
                const std::string& stderrPath);

} // namespace tessara::test
