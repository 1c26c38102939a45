#include "cli/combine_report.h"

#include "combine/api/log_format.h"
#include "combine/api/summary_table.h"

#include <cstdio>
#include <iostream>

namespace tessara::cli
{
namespace
{

/// Why an input counted in `count` was skipped, in the summary's words.
std::string SkipReason(std::int64_t CombineSummary::*count)
{
    for (const SummaryRow& row : kSummaryRows) {
        if (row.count == count)
            return std::string(row.reason);
    }
    return {};
}

Json OutputJson(const OutputRecord& r)
{
    Json output{{"path", r.path},
                {"first_trace_time", FormatSecondsOfYear(r.first_trace_time)},
                {"last_trace_time", FormatSecondsOfYear(r.last_trace_time)},
                {"traces", r.traces},
                {"fill_traces", r.fill_traces},
                {"bytes", r.bytes},
                {"speed_corrected", r.speed_corrected}};
    if (r.speed_corrected) {
        output["spacing_metres"] = r.spacing_metres;
        output["traces_before_correction"] = r.traces_before_correction;
    }
    output["replaces_existing"] = r.replaced_existing;
    return output;
}

Json SkippedInputsJson(const CombineResult& result)
{
    Json skipped = Json::array();
    for (const UnreadableInput& input : result.unreadable_inputs)
        skipped.push_back(Json{{"path", input.path}, {"reason", input.reason}});
    for (const auto& [paths, count] :
         {std::pair{&result.inputs_without_navigation, &CombineSummary::inputs_without_navigation},
          std::pair{&result.inputs_same_file, &CombineSummary::inputs_same_file}}) {
        for (const std::string& path : *paths)
            skipped.push_back(Json{{"path", path}, {"reason", SkipReason(count)}});
    }
    return skipped;
}

} // namespace

void PrintOutputs(const CombineResult& result)
{
    for (const OutputRecord& r : result.outputs) {
        std::cout << r.path << ": " << r.traces << " traces";
        if (r.fill_traces > 0)
            std::cout << " (" << r.fill_traces << " fill)";
        std::cout << ", " << FormatMegabytes(r.bytes) << " (" << r.bytes << " bytes), "
                  << FormatSecondsOfYear(r.first_trace_time) << " to "
                  << FormatSecondsOfYear(r.last_trace_time);
        if (r.replaced_existing)
            std::cout << ", replaced an existing file";
        if (r.speed_corrected)
            std::cout << ", speed corrected at " << FormatSpacing(r.spacing_metres) << " from "
                      << r.traces_before_correction << " traces";
        std::cout << '\n';
    }
}

void PrintSummary(const CombineResult& result)
{
    const CombineSummary& s = result.summary;
    const auto line = [&s](SummaryLine which) {
        for (const SummaryRow& row : kSummaryRows) {
            const std::int64_t count = CountOf(s, row);
            if (row.line == which && (count > 0 || !row.onlyWhenAny))
                std::cout << row.before << row.label << ' ' << count;
        }
    };
    line(SummaryLine::Traces);
    std::cout << '\n' << OutputTracesLabel(result) << ' ' << TracesInOutputs(result) << '\n';
    line(SummaryLine::Fill);
    std::cout << "\nOutputs " << result.outputs.size();
    line(SummaryLine::Files);
    std::cout << '\n';
    for (const std::string& path : result.inputs_without_navigation)
        std::cout << "Skipped without navigation: " << path << '\n';
    if (result.inputs_span_years)
        std::cout << "Warning: inputs span more than one year; their order may be wrong\n";
    // Other programs read such outputs by their file header, or read back
    // other values than were recorded: worth knowing before they are used.
    for (const SummaryRow& row : kSummaryRows) {
        if (row.line == SummaryLine::Warnings && CountOf(s, row) > 0)
            std::cout << row.label << ' ' << CountOf(s, row) << '\n';
    }
}

void PrintPlannedOutputs(const CombineResult& result, const std::string& folderFindings)
{
    std::printf("%-9s %-9s %-13s %-10s %-17s %-17s %-9s %-9s %s\n",
                "Traces",
                "Fill",
                "Bytes",
                "Size",
                "First trace",
                "Last trace",
                "Spacing",
                "Replaces",
                "Output");
    for (const OutputRecord& r : result.outputs) {
        const std::string spacing =
            r.speed_corrected ? FormatSpacing(r.spacing_metres) : std::string("-");
        std::printf("%-9lld %-9lld %-13lld %-10s %-17s %-17s %-9s %-9s %s\n",
                    static_cast<long long>(r.traces),
                    static_cast<long long>(r.fill_traces),
                    static_cast<long long>(r.bytes),
                    FormatMegabytes(r.bytes).c_str(),
                    FormatSecondsOfYear(r.first_trace_time).c_str(),
                    FormatSecondsOfYear(r.last_trace_time).c_str(),
                    spacing.c_str(),
                    r.replaced_existing ? "yes" : "no",
                    r.path.c_str());
    }
    for (const UnreadableInput& input : result.unreadable_inputs)
        std::printf("Would skip %s: %s\n", input.path.c_str(), input.reason.c_str());
    const std::string sameFile = SkipReason(&CombineSummary::inputs_same_file);
    for (const std::string& path : result.inputs_same_file)
        std::printf("Would skip %s: %s\n", path.c_str(), sameFile.c_str());
    if (!folderFindings.empty())
        std::printf("%s\n", folderFindings.c_str());
    std::fflush(stdout);
}

Json PlanJson(const CombineResult& result, const OutputFolderFindings& folder)
{
    Json outputs = Json::array();
    for (const OutputRecord& r : result.outputs)
        outputs.push_back(OutputJson(r));
    Json summary = Json::object();
    for (const SummaryRow& row : kSummaryRows)
        summary[std::string(row.key)] = CountOf(result.summary, row);
    return Json{
        {"outputs", outputs},
        {"skipped_inputs", SkippedInputsJson(result)},
        {"summary", summary},
        {"inputs_span_years", result.inputs_span_years},
        {"output_folder", {{"inputs", folder.inputs}, {"earlier_outputs", folder.earlierOutputs}}}};
}

} // namespace tessara::cli
