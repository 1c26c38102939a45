// The command line as a process: how it ends under signals and under a
// file-size limit, seen from outside as a user's shell sees it.
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCli = TESSARA_CLI_PATH;

// An input of `traces` traces of `samples` IEEE samples at 1000 us, one a
// second from `firstSecond` seconds after the start of day 100; `noisy`:
// samples that a picture of them cannot compress much.
std::string WriteSurvey(
    const std::string& path, int traces, int samples, int firstSecond = 0, bool noisy = false)
{
    SegyBytes b;
    b.FileHeader(5, samples, 1000);
    std::vector<double> values(static_cast<std::size_t>(samples), 1.5);
    unsigned noise = 1;
    for (int k = 0; k < traces; ++k) {
        b.TraceHeader(samples, 1000);
        b.Trace32(4, k + 1);
        const int t = firstSecond + k;
        b.TraceTime(2003, 100 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60);
        for (double& v : values) {
            noise = noise * 1103515245u + 12345u;
            v = noisy ? static_cast<double>(noise >> 16) : v;
        }
        b.Samples(5, values);
    }
    EXPECT_TRUE(b.WriteTo(path));
    return path;
}

// Files in `dir` whose names start with `prefix`.
std::vector<std::string> FilesStartingWith(const fs::path& dir, const std::string& prefix)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    return names;
}

// One row of the dry run's table of outputs.
struct PlannedRow {
    long long traces = -1;
    long long fill = -1;
    long long bytes = -1;
    std::string replaces; // the column before the name
    std::string path;
};

// The rows of the table whose output lies in `dir`; the name, the last
// column, may hold spaces.
std::vector<PlannedRow> PlannedRows(const std::string& table, const std::string& dir)
{
    std::vector<PlannedRow> rows;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(dir + "/");
        if (at == std::string::npos || line.rfind("Would skip", 0) == 0)
            continue;
        PlannedRow row;
        std::istringstream fields(line.substr(0, at));
        fields >> row.traces >> row.fill >> row.bytes;
        for (std::string word; fields >> word;)
            row.replaces = word;
        row.path = line.substr(at);
        rows.push_back(row);
    }
    return rows;
}

// The traces the run said it wrote to `path` ("<path>: N traces").
long long TracesSaid(const std::string& text, const std::string& path)
{
    const std::size_t at = text.find(path + ": ");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + path.size() + 2);
}

class CliProcess : public ::testing::Test
{
protected:
    TempDir m_tmp;
};

// The first SIGINT asks the job to finish its output; the second must end
// the process at once, even while the job cannot go on (here: its log waits
// for a reader that never reads).
TEST_F(CliProcess, SecondSigintEndsTheProcessAtOnce)
{
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 40000, 4);
    fs::create_directory(m_tmp.File("out"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = StartChild([&] {
        (void)::close(pipeFds[0]);
        return ExecProgram(
            kCli, {"combine", "-o", m_tmp.File("out"), "--verbose", input}, pipeFds[1]);
    });
    ASSERT_GT(pid, 0);
    (void)::close(pipeFds[1]);

    // Wait until the log has filled the pipe and the job is held by it.
    int queued = 0;
    int stableFor = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (stableFor < 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        int now = 0;
        ASSERT_EQ(::ioctl(pipeFds[0], FIONREAD, &now), 0);
        stableFor = now == queued && now > 0 ? stableFor + 1 : 0;
        queued = now;
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the job ended before its log filled";
    }
    ASSERT_EQ(stableFor, 20) << "the log never filled the pipe";

    ASSERT_EQ(::kill(pid, SIGINT), 0);
    std::this_thread::sleep_for(200ms);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the first SIGINT ended the process";
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    const ChildEnd end = WaitForChild(pid, 5s);
    (void)::close(pipeFds[0]);
    EXPECT_FALSE(end.timedOut) << "the second SIGINT did not end the process";
    EXPECT_FALSE(end.exited);
    EXPECT_EQ(end.signal, SIGINT);
}

// A file-size limit makes the output's writes fail: the job stops with its
// one-line error and exit 1, instead of the process being killed by SIGXFSZ
// or reporting success.
TEST_F(CliProcess, CombineUnderAFileSizeLimitPrintsOneLineAndExits1)
{
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 200, 100);
    const std::string out = m_tmp.File("out");
    fs::create_directory(out);
    const ChildEnd end = RunProgram(kCli, {"combine", "-o", out, input}, {20000});
    EXPECT_EQ(end.code, 1);
    const std::string working = (fs::path(out) / "SegyOut.sgy").string();
    EXPECT_EQ(end.err, "tessara-cli: Cannot write " + working + "\n");
    // Nothing of the cut output passes for a finished one.
    for (const std::string& name : FilesStartingWith(out, ""))
        EXPECT_EQ(name, "SegyOut.sgy");
}

// On a terminal the status becomes a progress line that is rewritten in
// place and never wider than the terminal.
TEST_F(CliProcess, CombineOnATerminalKeepsItsProgressLineWithinTheWidth)
{
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 2000, 100);
    const ChildEnd end =
        RunProgram(kCli, {"combine", "-o", m_tmp.File("out"), input}, {.terminalColumns = 60});
    ASSERT_EQ(end.code, 0) << end.err;
    std::vector<std::string> lines;
    for (std::size_t at = end.err.find('\r'); at != std::string::npos;) {
        const std::size_t next = end.err.find('\r', at + 1);
        lines.push_back(end.err.substr(at + 1, next - at - 1));
        at = next;
    }
    ASSERT_FALSE(lines.empty()) << end.err;
    for (const std::string& line : lines) {
        const std::string shown = line.substr(0, line.find("\033[K"));
        EXPECT_LE(shown.size(), 59u) << shown;
        EXPECT_EQ(line.substr(shown.size(), 3), "\033[K") << line;
    }
    EXPECT_EQ(lines.back().substr(0, 21), "[100%] input 1 of 1, ") << lines.back();
    EXPECT_NE(lines.back().find(" | Done....\033[K"), std::string::npos) << lines.back();
}

// A command that writes its file beside the output's name, stopped by a
// signal while that file exists.
struct StopCase {
    const char* command; // "copy" or "section"
    int signal;
    const char* name;
};

class StoppedWriter : public CliProcess, public ::testing::WithParamInterface<StopCase>
{
};

// A copy or picture stopped by SIGINT or SIGTERM leaves neither its
// temporary file nor a file under the output's name, and ends by the signal
// it got. The temporary files are named ones, as where a file system has no
// unnamed temporary files.
TEST_P(StoppedWriter, LeavesNoTemporaryFile)
{
    const int signal = GetParam().signal;
    const std::string command = GetParam().command;
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 6000, 1000, 0, true);
    const fs::path dir = m_tmp.File("out");
    fs::create_directory(dir);
    // Each command's own kind of file: section refuses a name that is not PNG.
    const std::string name = command == "copy" ? "out.sgy" : "out.png";
    const std::string output = (dir / name).string();
    const std::vector<std::string> args =
        command == "copy"
            ? std::vector<std::string>{"copy", "--sample-interval", "333", input, output}
            : std::vector<std::string>{
                  "section", input, "-o", output, "--width", "4000", "--height", "3000"};
    const pid_t pid = StartChild([&] { return ExecProgram(kCli, args); });
    ASSERT_GT(pid, 0);
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        seen = !FilesStartingWith(dir, name + ".").empty();
        int status = 0;
        if (!seen && ::waitpid(pid, &status, WNOHANG) == pid)
            FAIL() << "the command ended before its temporary file was seen";
        if (!seen)
            std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(seen);
    ASSERT_EQ(::kill(pid, signal), 0);
    const ChildEnd end = WaitForChild(pid, 10s);
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.signal, signal);
    EXPECT_EQ(FilesStartingWith(dir, "out."), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Signals,
                         StoppedWriter,
                         ::testing::Values(StopCase{"copy", SIGINT, "CopySigint"},
                                           StopCase{"copy", SIGTERM, "CopySigterm"},
                                           StopCase{"section", SIGINT, "SectionSigint"},
                                           StopCase{"section", SIGTERM, "SectionSigterm"}),
                         [](const ::testing::TestParamInfo<StopCase>& p) {
                             return std::string(p.param.name);
                         });

// What stands at the output's name: a stream is written into and stays
// what it is, anything else a file cannot replace is refused and left alone.
enum class Target { Fifo, StandardOutput, DevNull, Directory, Socket };

struct TargetCase {
    const char* command; // "copy" or "section"
    Target target;
    const char* name;
};

class OutputTargets : public CliProcess, public ::testing::WithParamInterface<TargetCase>
{
protected:
    std::vector<std::string> Args(const std::string& input, const std::string& output) const
    {
        if (std::string(GetParam().command) == "copy")
            return {"copy", input, output};
        return {"section", input, "-o", output, "--width", "300", "--height", "200"};
    }
};

TEST_P(OutputTargets, StreamsAreWrittenIntoTheRestRefused)
{
    const Target target = GetParam().target;
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 30, 50);
    ASSERT_EQ(RunProgram(kCli, Args(input, m_tmp.File("file"))).code, 0);
    const std::vector<unsigned char> expected = ReadFileBytes(m_tmp.File("file"));
    std::string path = m_tmp.File("target");
    int socketFd = -1;
    switch (target) {
    case Target::Fifo:
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        break;
    case Target::StandardOutput:
        path = "-";
        break;
    case Target::DevNull:
        path = "/dev/null";
        break;
    case Target::Directory:
        fs::create_directory(path);
        break;
    case Target::Socket: {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::copy(path.begin(), path.end(), address.sun_path);
        ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        break;
    }
    }
    std::vector<unsigned char> received;
    std::thread reader;
    if (target == Target::Fifo)
        reader = std::thread([&] { received = ReadFileBytes(path); });
    const ChildEnd end = RunProgram(kCli, Args(input, path));
    if (reader.joinable()) {
        // A reader still waiting for a writer gets one that writes nothing.
        const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            (void)::close(writer);
        reader.join();
    }
    (void)::close(socketFd);
    struct stat st = {};
    ASSERT_TRUE(path == "-" || ::stat(path.c_str(), &st) == 0);
    if (target == Target::Directory || target == Target::Socket) {
        const bool directory = target == Target::Directory;
        EXPECT_EQ(end.code, 1);
        EXPECT_EQ(end.err,
                  "tessara-cli: " + path + (directory ? ": is a directory\n" : ": is a socket\n"));
        EXPECT_TRUE(directory ? S_ISDIR(st.st_mode) : S_ISSOCK(st.st_mode));
        EXPECT_EQ(FilesStartingWith(m_tmp.Path(), "target").size(), 1u);
        return;
    }
    ASSERT_EQ(end.code, 0) << end.err;
    if (target == Target::StandardOutput)
        received.assign(end.out.begin(), end.out.end());
    if (target == Target::DevNull) {
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "/dev/null was replaced";
    } else {
        EXPECT_EQ(received, expected) << "bytes received: " << received.size();
        EXPECT_TRUE(target != Target::Fifo || S_ISFIFO(st.st_mode)) << "the FIFO was replaced";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets,
    OutputTargets,
    ::testing::Values(TargetCase{"copy", Target::Fifo, "CopyFifo"},
                      TargetCase{"copy", Target::StandardOutput, "CopyStandardOutput"},
                      TargetCase{"copy", Target::DevNull, "CopyDevNull"},
                      TargetCase{"copy", Target::Directory, "CopyDirectory"},
                      TargetCase{"copy", Target::Socket, "CopySocket"},
                      TargetCase{"section", Target::Fifo, "SectionFifo"},
                      TargetCase{"section", Target::StandardOutput, "SectionStandardOutput"},
                      TargetCase{"section", Target::DevNull, "SectionDevNull"},
                      TargetCase{"section", Target::Directory, "SectionDirectory"},
                      TargetCase{"section", Target::Socket, "SectionSocket"}),
    [](const ::testing::TestParamInfo<TargetCase>& p) { return std::string(p.param.name); });

// A limit the process meets while it writes or allocates ends the command
// with one line and exit 1, and leaves no file: a file-size limit (SIGXFSZ
// ignored, the write failing) and an address space the largest picture does
// not fit in.
struct LimitCase {
    const char* name;
    const char* command;
    ChildOptions limits;
    const char* width;
};

class UnderALimit : public CliProcess, public ::testing::WithParamInterface<LimitCase>
{
};

TEST_P(UnderALimit, OneLineExit1AndNoFile)
{
    const LimitCase& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
    if (c.limits.addressSpaceBytes >= 0) {
        GTEST_SKIP() << "AddressSanitizer needs more address space than any limit leaves";
    }
#endif
    const std::string input = WriteSurvey(m_tmp.File("in.sgy"), 300, 200, 0, true);
    const bool copy = std::string(c.command) == "copy";
    const std::string output = m_tmp.File(copy ? "out.sgy" : "out.png");
    const std::vector<std::string> args =
        copy ? std::vector<std::string>{"copy", input, output}
             : std::vector<std::string>{
                   "section", input, "-o", output, "--width", c.width, "--height", "10000"};
    const ChildEnd end = RunProgram(kCli, args, c.limits);
    EXPECT_EQ(end.code, 1);
    const std::string expected =
        c.limits.addressSpaceBytes >= 0 ? "tessara-cli: out of memory\n"
        : copy                          ? "tessara-cli: " + output +
                     ": write failed (file too large); nothing written under this name\n"
               : "tessara-cli: " + input + ": cannot write " + output + " (file too large)\n";
    EXPECT_EQ(end.err, expected);
    EXPECT_EQ(FilesStartingWith(m_tmp.Path(), "out."), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Limits,
    UnderALimit,
    ::testing::Values(
        LimitCase{"CopyFileSize", "copy", {.fileSizeBytes = 20000}, ""},
        LimitCase{"SectionFileSize", "section", {.fileSizeBytes = 20000}, "400"},
        LimitCase{"SectionAddressSpace", "section", {.addressSpaceBytes = 500LL << 20}, "10000"}),
    [](const ::testing::TestParamInfo<LimitCase>& p) { return std::string(p.param.name); });

// A stop while the quicklooks are drawn ends them, not the command: the
// job's report is out before them, and the exit code is the job's.
TEST_F(CliProcess, SigintDuringQuicklooksKeepsTheReportAndTheJobsExitCode)
{
    constexpr int kOutputs = 30;
    const std::string out = m_tmp.File("out");
    std::vector<std::string> args{"combine", "-o", out, "--quicklook"};
    for (int k = 0; k < kOutputs; ++k) // two hours apart: an output each
        args.push_back(
            WriteSurvey(m_tmp.File("in" + std::to_string(k) + ".sgy"), 20, 2000, k * 7200));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = StartChild([&] {
        (void)::close(pipeFds[0]);
        return ExecProgram(kCli, args, pipeFds[1]);
    });
    ASSERT_GT(pid, 0);
    (void)::close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while (text.find("\nOutputs ") == std::string::npos &&
           (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ASSERT_NE(text.find("\nOutputs 30, "), std::string::npos) << text;
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    (void)::close(pipeFds[0]);
    const ChildEnd end = WaitForChild(pid, 30s);
    EXPECT_TRUE(end.exited) << "ended by signal " << end.signal;
    EXPECT_EQ(end.code, 0);
    std::size_t quicklooks = 0;
    for (std::size_t at = text.find("Quicklook: "); at != std::string::npos;
         at = text.find("Quicklook: ", at + 1))
        ++quicklooks;
    EXPECT_LT(quicklooks, static_cast<std::size_t>(kOutputs)) << "the stop did not end them";
    for (const std::string& name : FilesStartingWith(out, ""))
        EXPECT_TRUE(name.ends_with(".sgy") || name.ends_with(".png")) << name;
}

// The dry run's table has a row for every output the run then writes, each
// with what that output turns out to be, and names the input it would skip.
TEST_F(CliProcess, DryRunTableShowsEachOutputAsTheRunWritesIt)
{
    // Two hours apart: two outputs, of 29 and 19 traces after the reference traces.
    const std::string a = WriteSurvey(m_tmp.File("a.sgy"), 30, 10);
    const std::string b = WriteSurvey(m_tmp.File("b.sgy"), 20, 20, 7200);
    const std::string junk = m_tmp.File("junk.sgy");
    std::ofstream(junk) << "not a SEG-Y file";
    // A run elsewhere names the outputs; the user has a file of the second one's name.
    const std::string elsewhere = m_tmp.File("elsewhere");
    fs::create_directory(elsewhere);
    (void)RunProgram(kCli, {"combine", "-o", elsewhere, a, b});
    std::vector<std::string> names = FilesStartingWith(elsewhere, "");
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    const std::string out = m_tmp.File("out");
    fs::create_directory(out);
    std::ofstream(fs::path(out) / names[1]) << "mine";

    // The first input again, under another name.
    const std::string again = m_tmp.File("again.sgy");
    fs::create_hard_link(a, again);

    const ChildEnd plan = RunProgram(kCli, {"combine", "--dry-run", "-o", out, a, junk, b, again});
    const ChildEnd run = RunProgram(kCli, {"combine", "-o", out, a, junk, b, again});

    EXPECT_EQ(plan.code, 0) << plan.err;
    const std::vector<PlannedRow> rows = PlannedRows(plan.out, out);
    ASSERT_EQ(rows.size(), 2u) << plan.out;
    const long long traces[] = {29, 19};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const PlannedRow& row = rows[k];
        EXPECT_EQ(row.path, (fs::path(out) / names[k]).string());
        EXPECT_EQ(row.traces, traces[k]) << row.path;
        EXPECT_EQ(row.traces, TracesSaid(run.out, row.path)) << run.out;
        EXPECT_EQ(row.fill, 0) << row.path;
        std::error_code ec;
        EXPECT_EQ(row.bytes, static_cast<long long>(fs::file_size(row.path, ec))) << row.path;
        EXPECT_EQ(row.replaces, k == 1 ? "yes" : "no") << row.path;
    }
    EXPECT_NE(plan.out.find("Would skip " + junk + ": "), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find("Would skip " + again + ": same file as an earlier input\n"),
              std::string::npos)
        << plan.out;
}

} // namespace
} // namespace tessara::test
