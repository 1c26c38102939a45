// copy: an input rewritten trace by trace as a big-endian SEG-Y file,
// optionally resampled to one sample interval.
#include "cli/cli_format.h"
#include "cli/commands.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

namespace tessara::cli
{
namespace
{

struct CopyOptions {
    std::string input;
    std::string output;
    int sampleIntervalUs = 0; // 0: keep every trace's interval
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
    const SegyCopyResult copy = CopySegyFile(options.input, options.output, interval);
    if (!copy.ok) {
        PrintError(copy.inputUnreadable ? options.input : options.output, copy.why);
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
