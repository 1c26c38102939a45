// headers: the trace-header fields the system interprets, one line per trace.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"

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

void PrintJson(std::int64_t index, const TraceHeaderFields& h)
{
    const TraceTimeStamp& t = h.time;
    PrintJsonLine(Json{{"trace", index},
                       {"trace_sequence_line", h.traceSequenceLine},
                       {"trace_sequence_file", h.traceSequenceFile},
                       {"trace_in_ensemble", h.traceInEnsemble},
                       {"trace_id_code", h.traceIdCode},
                       {"digitizer_channel", h.digitizerChannel},
                       {"year", t.year},
                       {"day_of_year", t.dayOfYear},
                       {"hour", t.hour},
                       {"minute", t.minute},
                       {"second", t.second},
                       {"millisecond", t.millisecond},
                       {"delay_ms", h.delayMs},
                       {"samples", h.sampleCount},
                       {"sample_interval_us", h.sampleIntervalUs},
                       {"source_x", h.sourceX},
                       {"source_y", h.sourceY},
                       {"coordinate_units", h.coordinateUnits},
                       {"coordinate_scalar", h.coordinateScalar}});
}

void PrintRow(std::int64_t i, const TraceHeaderFields& h)
{
    const TraceTimeStamp& t = h.time;
    char date[32];
    char time[48];
    std::snprintf(date, sizeof date, "%d-%03d", t.year, t.dayOfYear);
    std::snprintf(
        time, sizeof time, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
    std::printf("%7lld %8d %8d %8d %5d %4d %10s %12s %6d %7u %6d %11d %11d %5d %6d\n",
                static_cast<long long>(i),
                h.traceSequenceLine,
                h.traceSequenceFile,
                h.traceInEnsemble,
                h.traceIdCode,
                h.digitizerChannel,
                date,
                time,
                h.delayMs,
                h.sampleCount,
                h.sampleIntervalUs,
                h.sourceX,
                h.sourceY,
                h.coordinateUnits,
                h.coordinateScalar);
}

void PrintColumnTitles()
{
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
}

int RunHeaders(const HeadersOptions& options)
{
    std::string failure;
    const bool read = ForEachTraceHeader(
        options.file,
        options.first,
        [&options] {
            if (!options.json)
                PrintColumnTitles();
        },
        [&options](std::int64_t i, const TraceHeaderFields& h) {
            if (options.json)
                PrintJson(i, h);
            else
                PrintRow(i, h);
        },
        failure);
    if (!read) {
        PrintError(options.file, failure);
        return kExitFailure;
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
