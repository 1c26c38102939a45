// copy: an input rewritten trace by trace as a big-endian SEG-Y file,
// optionally resampled to one sample interval.
#include "cli/cli_format.h"
#include "cli/commands.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "trace/resample.h"

#include <cstdio>
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
    CSegyFileIn in;
    if (!in.Open(options.input)) {
        PrintError(options.input, OpenFailureReason(options.input, in));
        return kExitFailure;
    }
    CSegyFileOut out;
    if (!out.Open(options.output)) {
        PrintError(options.output, "cannot be created");
        return kExitFailure;
    }
    *out.tapeHeader = *in.tapeHeader;
    out.SetFormat(in.GetFormat());
    std::uint32_t samples = in.GetSamples();
    const bool resample = options.sampleIntervalUs > 0;
    if (resample && in.GetSampleInterval() > 0) {
        // The declared count follows the file's own traces to the new interval.
        samples = static_cast<std::uint32_t>(
            static_cast<double>(samples) *
            (in.GetSampleInterval() / static_cast<double>(options.sampleIntervalUs)));
    }
    out.SetSamples(static_cast<std::uint16_t>(samples));
    if (resample)
        out.tapeHeader->binSampleInterval = static_cast<std::uint16_t>(options.sampleIntervalUs);
    out.WriteHeader();

    CTraceResampler resampler;
    CSegyTrace trace(in.GetSamples());
    std::int64_t copied = 0;
    std::int64_t dropped = 0;
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        if (resample && trace.header->sampleInterval != options.sampleIntervalUs &&
            !resampler.Resample(trace, options.sampleIntervalUs)) {
            ++dropped;
            continue;
        }
        out.Write(trace);
        ++copied;
    }
    in.Close();
    out.Close();
    if (out.bHasFailed()) {
        PrintError(options.output, "write failed (disk full?); incomplete output removed");
        (void)std::remove(options.output.c_str()); // a partial copy must not pass for a copy
        return kExitFailure;
    }
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
