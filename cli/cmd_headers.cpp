// headers: the trace-header fields the system interprets, one line per trace.
#include "cli/cli_format.h"
#include "cli/commands.h"
#include "segy/io/segy_file_in.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace tessara::cli
{
namespace
{

struct HeadersOptions {
    std::string file;
    std::int64_t first = -1; // all traces
    bool json = false;
};

void PrintJson(std::int64_t index, const SegyHeaderType& h)
{
    std::cout << "{\"trace\": " << index << ", \"trace_sequence_line\": " << h.traceSequenceLine
              << ", \"trace_sequence_file\": " << h.traceSequenceFile
              << ", \"trace_in_ensemble\": " << h.traceInEnsemble
              << ", \"trace_id_code\": " << h.traceIdCode
              << ", \"digitizer_channel\": " << static_cast<int>(h.digitizerChannel)
              << ", \"year\": " << h.year << ", \"day_of_year\": " << h.dayOfYear
              << ", \"hour\": " << h.hour << ", \"minute\": " << h.minute
              << ", \"second\": " << h.second << ", \"millisecond\": " << h.millisecond
              << ", \"delay_ms\": " << h.delayRecordingTime << ", \"samples\": " << h.sampleCount
              << ", \"sample_interval_us\": " << h.sampleInterval << ", \"source_x\": " << h.sourceX
              << ", \"source_y\": " << h.sourceY << ", \"coordinate_units\": " << h.coordinateUnits
              << ", \"coordinate_scalar\": " << h.coordinateScalar << "}\n";
}

int RunHeaders(const HeadersOptions& options)
{
    CSegyFileIn reader;
    if (!reader.Open(options.file)) {
        PrintError(options.file, OpenFailureReason(options.file, reader));
        return kExitFailure;
    }
    if (!options.json)
        std::printf("%7s %8s %8s %8s %5s %4s %10s %12s %6s %7s %6s %11s %11s %5s %6s\n",
                    "trace",
                    "seqLine",
                    "seqFile",
                    "inEns",
                    "id",
                    "dig",
                    "date",
                    "time",
                    "delay",
                    "samples",
                    "dt_us",
                    "sourceX",
                    "sourceY",
                    "units",
                    "scalar");
    CSegyTrace trace(reader.GetSamples());
    for (std::int64_t i = 0; options.first < 0 || i < options.first; ++i) {
        reader.Read(trace, -1);
        if (reader.atEnd)
            break;
        const SegyHeaderType& h = *trace.header;
        if (options.json) {
            PrintJson(i, h);
            continue;
        }
        char date[32];
        char time[48];
        std::snprintf(date, sizeof date, "%d-%03d", h.year, h.dayOfYear);
        std::snprintf(
            time, sizeof time, "%02d:%02d:%02d.%03d", h.hour, h.minute, h.second, h.millisecond);
        std::printf("%7lld %8d %8d %8d %5d %4d %10s %12s %6d %7u %6d %11d %11d %5d %6d\n",
                    static_cast<long long>(i),
                    h.traceSequenceLine,
                    h.traceSequenceFile,
                    h.traceInEnsemble,
                    h.traceIdCode,
                    static_cast<int>(h.digitizerChannel),
                    date,
                    time,
                    h.delayRecordingTime,
                    static_cast<unsigned>(h.sampleCount),
                    h.sampleInterval,
                    h.sourceX,
                    h.sourceY,
                    h.coordinateUnits,
                    h.coordinateScalar);
    }
    return kExitOk;
}

} // namespace

void RegisterHeaders(CLI::App& app, std::vector<Command>& commands)
{
    auto options = std::make_shared<HeadersOptions>();
    auto* sub = app.add_subcommand("headers", "List the interpreted trace-header fields");
    sub->add_option("FILE", options->file, "SEG-Y file")->required();
    sub->add_option("--first", options->first, "Only the first N traces")
        ->check(CLI::NonNegativeNumber);
    sub->add_flag("--json", options->json, "One JSON object per line");
    commands.push_back({sub, [options] { return RunHeaders(*options); }});
}

} // namespace tessara::cli
