// copy: an input rewritten trace by trace as a big-endian SEG-Y file,
// optionally resampled to one sample interval.
#include "cli/cli_format.h"
#include "cli/commands.h"
#include "cli/output_target.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

namespace tessara::cli
{
namespace
{

struct CopyOptions {
    const CLI::App* command = nullptr; // the values as the user typed them
    std::string input;
    std::string output;
    int sampleIntervalUs = 0; // 0: keep every trace's interval
};

int RunCopy(const CopyOptions& options)
{
    if (options.command->count("--sample-interval") > 0) {
        if (const std::string problem = OptionRangeProblem(
                *options.command, "--sample-interval", options.sampleIntervalUs, 1, 32767);
            !problem.empty()) {
            std::cerr << "tessara-cli: " << problem << '\n';
            return kExitUsage;
        }
    }
    const OutputTarget target = ClassifyOutput(options.input, options.output);
    if (target.kind == OutputKind::Refused) {
        PrintError(options.output, target.why);
        return target.exitCode;
    }
    std::optional<int> interval;
    if (options.sampleIntervalUs > 0)
        interval = options.sampleIntervalUs;
    // A reader of the copy that goes away fails the write, with a message.
    (void)std::signal(SIGPIPE, SIG_IGN);
    SegyCopyResult copy;
    if (target.kind == OutputKind::Stream) {
        std::string why;
        const int fd = OpenStreamTarget(options.output, why);
        if (fd < 0) {
            PrintError(options.output, "cannot be opened (" + why + ")");
            return kExitFailure;
        }
        copy = CopySegyFileInto(options.input, fd, interval);
    } else {
        CTemporaryFileOnStop onStop;
        copy = CopySegyFile(
            options.input, options.output, interval, [&](const std::string& t) { onStop.Arm(t); });
    }
    if (!copy.ok) {
        PrintError(copy.inputAtFault ? options.input : options.output, copy.why);
        return kExitFailure;
    }
    // Standard output may be carrying the copy.
    std::ostream& report = IsStandardOutput(options.output) ? std::cerr : std::cout;
    report << "copied " << copy.copied << " traces to " << options.output;
    if (copy.dropped > 0)
        report << " (" << copy.dropped << " traces could not be resampled and were dropped)";
    report << '\n';
    return kExitOk;
}

} // namespace

void RegisterCopy(CLI::App& app, std::vector<Command>& commands)
{
    auto options = std::make_shared<CopyOptions>();
    auto* sub =
        app.add_subcommand("copy", "Rewrite a SEG-Y file as big-endian SEG-Y, trace by trace");
    sub->add_option("IN", options->input, "Input SEG-Y file")->required();
    sub->add_option("OUT",
                    options->output,
                    "Output SEG-Y file (replaced when complete); - for standard output, a FIFO "
                    "or a device is written into")
        ->required();
    sub->add_option("--sample-interval",
                    options->sampleIntervalUs,
                    "Resample every trace to this interval (microseconds, 1..32767)");
    options->command = sub;
    commands.push_back({sub, [options] { return RunCopy(*options); }});
}

} // namespace tessara::cli
