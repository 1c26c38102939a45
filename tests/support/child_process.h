// Runs a piece of a test in a forked child under a file-size limit
// (RLIMIT_FSIZE), so that the code under test meets a real write failure.
#pragma once

#include <functional>

namespace tessara::test
{

/// Forks; the child ignores SIGXFSZ (writes past the limit fail with EFBIG),
/// sets RLIMIT_FSIZE to `bytes` and exits with what `body` returns. Returns
/// the child's exit code, or -1 when it could not be run or did not exit.
/// `body` must not use gtest assertions: it runs in the child.
int RunInChildWithFileSizeLimit(const std::function<int()>& body, long long bytes);

} // namespace tessara::test
