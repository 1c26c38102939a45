// info: what the reader makes of each file.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"

#include <iostream>
#include <memory>

namespace tessara::cli
{
namespace
{

struct InfoOptions {
    std::vector<std::string> files;
    bool json = false;
};

struct FileInfo : SegyFileDescription {
    std::string path;
};

bool Examine(const std::string& path, FileInfo& info)
{
    std::string why;
    const std::optional<SegyFileDescription> d = DescribeSegyFile(path, why);
    if (!d) {
        PrintError(path, why);
        return false;
    }
    static_cast<SegyFileDescription&>(info) = *d;
    info.path = path;
    return true;
}

void PrintText(const FileInfo& f)
{
    std::cout << f.path << '\n'
              << "  byte order:          " << (f.bigEndian ? "big" : "little") << '\n'
              << "  format code:         " << f.format << '\n'
              << "  bytes per sample:    " << f.bytesPerSample << '\n'
              << "  samples per trace:   " << f.samplesPerTrace << " (" << f.samplesPerTraceSource
              << ")\n"
              << "  sample interval:     " << f.sampleIntervalUs << " us\n"
              << "  first trace at:      byte " << f.firstTraceOffset << " (" << f.firstTraceSource
              << ")\n"
              << "  traces:              " << f.traceCount << '\n'
              << "  constant length:     " << (f.constantLength ? "true" : "false") << '\n'
              << "  EBCDIC text header:  " << (f.textIsEbcdic ? "true" : "false") << '\n'
              << "  file size:           " << f.fileBytes << " bytes\n"
              << "  first trace time:    " << (f.firstTime ? FormatTraceTime(*f.firstTime) : "-")
              << '\n'
              << "  last trace time:     " << (f.lastTime ? FormatTraceTime(*f.lastTime) : "-")
              << '\n';
}

Json ToJson(const FileInfo& f)
{
    const auto timeOrNull = [](const std::optional<TraceTimeStamp>& t) {
        return t ? Json(FormatTraceTime(*t)) : Json(nullptr);
    };
    return Json{{"file", f.path},
                {"byte_order", f.bigEndian ? "big" : "little"},
                {"format", f.format},
                {"bytes_per_sample", f.bytesPerSample},
                {"samples_per_trace", f.samplesPerTrace},
                {"sample_interval_us", f.sampleIntervalUs},
                {"samples_per_trace_source", f.samplesPerTraceSource},
                {"first_trace_offset", f.firstTraceOffset},
                {"first_trace_source", f.firstTraceSource},
                {"trace_count", f.traceCount},
                {"constant_length", f.constantLength},
                {"text_is_ebcdic", f.textIsEbcdic},
                {"file_size", f.fileBytes},
                {"first_time", timeOrNull(f.firstTime)},
                {"last_time", timeOrNull(f.lastTime)}};
}

int RunInfo(const InfoOptions& options)
{
    std::vector<FileInfo> infos;
    bool failed = false;
    for (const auto& path : options.files) {
        FileInfo info;
        if (Examine(path, info))
            infos.push_back(info);
        else
            failed = true;
    }
    if (options.json) {
        Json all = Json::array();
        for (const FileInfo& info : infos)
            all.push_back(ToJson(info));
        PrintJsonDocument(options.files.size() == 1 && infos.size() == 1 ? all.front() : all);
    } else {
        for (const auto& info : infos)
            PrintText(info);
    }
    return failed ? kExitFailure : kExitOk;
}

} // namespace

void RegisterInfo(CLI::App& app, std::vector<Command>& commands)
{
    auto options = std::make_shared<InfoOptions>();
    auto* sub = app.add_subcommand("info", "Describe SEG-Y files as the reader sees them");
    sub->add_option("FILE", options->files, "SEG-Y files")->required();
    sub->add_flag("--json", options->json, "One JSON object per file (an array for several)");
    commands.push_back({sub, [options] { return RunInfo(*options); }});
}

} // namespace tessara::cli
