// copy: an input rewritten trace by trace as a big-endian SEG-Y file,
// optionally resampled to one sample interval.
#include "cli/cli_format.h"
#include "cli/commands.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace tessara::cli
{
namespace
{

struct CopyOptions {
    std::string input;
    std::string output;
    int sampleIntervalUs = 0; // 0: keep every trace's interval
};

// The temporary file of the copy in progress, for the signal handler:
// fixed storage, since a handler may not allocate. Empty when there is none.
char g_temporary[4096] = {};
volatile std::sig_atomic_t g_temporaryArmed = 0;

// SIGINT and SIGTERM end a copy at once; the handler removes its temporary
// file first (unlink may be called from a handler), then ends the process
// by the same signal, so that the caller sees how it ended.
extern "C" void OnCopyStopSignal(int signal)
{
    if (g_temporaryArmed != 0)
        (void)::unlink(g_temporary);
    (void)std::signal(signal, SIG_DFL);
    (void)std::raise(signal);
}

/// Holds SIGINT and SIGTERM back from its construction until the copy's
/// temporary file is known (or the copy ended without one), so that no
/// signal falls between the file's creation and the handler knowing it.
class CStopSignalsHeld
{
public:
    CStopSignalsHeld()
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        (void)::sigprocmask(SIG_BLOCK, &m_set, nullptr);
    }
    ~CStopSignalsHeld() { Release(); }
    CStopSignalsHeld(const CStopSignalsHeld&) = delete;
    CStopSignalsHeld& operator=(const CStopSignalsHeld&) = delete;

    void Release()
    {
        if (m_held)
            (void)::sigprocmask(SIG_UNBLOCK, &m_set, nullptr);
        m_held = false;
    }

private:
    sigset_t m_set{};
    bool m_held = true;
};

int RunCopy(const CopyOptions& options)
{
    std::error_code ec;
    if (std::filesystem::equivalent(options.input, options.output, ec)) {
        PrintError(options.output, "is the input file; choose another output");
        return kExitUsage;
    }
    std::optional<int> interval;
    if (options.sampleIntervalUs > 0)
        interval = options.sampleIntervalUs;
    // A file-size limit must show as a failed write, which removes the
    // partial copy, not end the process with it on the disk.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    (void)std::signal(SIGINT, OnCopyStopSignal);
    (void)std::signal(SIGTERM, OnCopyStopSignal);
    SegyCopyResult copy;
    {
        CStopSignalsHeld held;
        copy = CopySegyFile(options.input, options.output, interval, [&](const std::string& t) {
            if (t.size() < sizeof g_temporary) {
                std::memcpy(g_temporary, t.c_str(), t.size() + 1);
                g_temporaryArmed = 1;
            }
            held.Release();
        });
    }
    // From here the temporary file has the output's name, or is gone.
    g_temporaryArmed = 0;
    if (!copy.ok) {
        PrintError(copy.inputAtFault ? options.input : options.output, copy.why);
        return kExitFailure;
    }
    const std::int64_t copied = copy.copied;
    const std::int64_t dropped = copy.dropped;
    std::cout << "copied " << copied << " traces to " << options.output;
    if (dropped > 0)
        std::cout << " (" << dropped << " traces could not be resampled and were dropped)";
    std::cout << '\n';
    return kExitOk;
}

} // namespace

void RegisterCopy(CLI::App& app, std::vector<Command>& commands)
{
    auto options = std::make_shared<CopyOptions>();
    auto* sub =
        app.add_subcommand("copy", "Rewrite a SEG-Y file as big-endian SEG-Y, trace by trace");
    sub->add_option("IN", options->input, "Input SEG-Y file")->required();
    sub->add_option("OUT", options->output, "Output SEG-Y file (replaced)")->required();
    sub->add_option("--sample-interval",
                    options->sampleIntervalUs,
                    "Resample every trace to this interval (microseconds, 1..32767)")
        ->check(CLI::Range(1, 32767));
    commands.push_back({sub, [options] { return RunCopy(*options); }});
}

} // namespace tessara::cli
