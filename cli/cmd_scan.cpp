// scan: the channel preview of one file, as the demultiplex options show it:
// the channel fields of its first 100 traces and their sample counts.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"
#include "segy/tools/channel_preview.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

namespace tessara::cli
{
namespace
{

struct ScanOptions {
    CLI::App* command = nullptr; // the values as the user typed them
    std::string file;
    int channelStart = 0;
    int channelLength = 0;
    bool json = false;
};

void PrintTable(const std::vector<ChannelPreviewRow>& rows)
{
    // Each column as wide as its title or its widest value, values right-aligned
    // under the title; two blanks between columns.
    std::array<std::size_t, kChannelPreviewTitles.size()> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c)
        widths[c] = kChannelPreviewTitles[c].size();
    std::vector<std::array<std::string, kChannelPreviewTitles.size()>> cells;
    cells.reserve(rows.size());
    for (const ChannelPreviewRow& row : rows) {
        cells.push_back(ChannelPreviewCells(row));
        for (std::size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], cells.back()[c].size());
    }
    const auto printLine = [&widths](const auto& texts) {
        std::string line;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            if (c > 0)
                line += "  ";
            const std::string_view text = texts[c];
            line.append(widths[c] - text.size(), ' ');
            line += text;
        }
        std::cout << line << '\n';
    };
    printLine(kChannelPreviewTitles);
    for (const auto& row : cells)
        printLine(row);
}

void PrintJson(const ScanOptions& o, const std::vector<ChannelPreviewRow>& rows)
{
    Json columns = Json::array();
    for (const std::string_view title : kChannelPreviewTitles)
        columns.push_back(std::string(title));
    Json traces = Json::array();
    for (const ChannelPreviewRow& r : rows)
        traces.push_back(
            Json{{"trace_sequence_file", r.fields[0]},
                 {"trace_in_ensemble", r.fields[1]},
                 {"trace_id_code", r.fields[2]},
                 {"digitizer_channel", r.fields[3]},
                 {"user_defined", r.userDefined ? Json(*r.userDefined) : Json(nullptr)},
                 {"samples", r.sampleCount}});
    PrintJsonDocument(Json{{"file", o.file},
                           {"channel_start", o.channelStart},
                           {"channel_length", o.channelLength},
                           {"columns", columns},
                           {"traces", traces}});
}

int RunScan(const ScanOptions& o)
{
    // The combine job's channel field, refused in the words combine uses.
    const CCliSettingWords words(*o.command);
    for (const auto& [setting, value] :
         {std::pair{&SettingOf(&CombineSettings::channel_start), o.channelStart},
          std::pair{&SettingOf(&CombineSettings::channel_length), o.channelLength}}) {
        if (const std::string problem = SettingRangeProblem(*setting, value, words);
            !problem.empty()) {
            std::cerr << "tessara-cli: " << problem << '\n';
            return kExitUsage;
        }
    }
    const auto rows = ScanChannelPreview(o.file, o.channelStart, o.channelLength);
    if (!rows) {
        PrintError(o.file, SegyOpenFailure(o.file));
        return kExitFailure;
    }
    if (o.json)
        PrintJson(o, *rows);
    else
        PrintTable(*rows);
    return kExitOk;
}

} // namespace

void RegisterScan(CLI::App& app, std::vector<Command>& commands)
{
    auto o = std::make_shared<ScanOptions>();
    auto* sub = app.add_subcommand(
        "scan",
        "Show the channel fields of the first 100 traces, to choose the demultiplex options");
    sub->add_option("FILE", o->file, "SEG-Y file")->required();
    o->command = sub;
    AddSettingOption(*sub,
                     SettingOf(&CombineSettings::channel_start),
                     o->channelStart,
                     "First byte of the user-defined field, col 4")
        ->capture_default_str();
    AddSettingOption(*sub,
                     SettingOf(&CombineSettings::channel_length),
                     o->channelLength,
                     "Length of the user-defined field: 1, 2 or 4; 0 and 3 leave col 4 empty")
        ->capture_default_str();
    sub->add_flag("--json", o->json, "One JSON object: the columns and one object per trace");
    commands.push_back({sub, [o] { return RunScan(*o); }});
}

} // namespace tessara::cli
