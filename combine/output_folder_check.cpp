#include "combine/api/output_folder_check.h"

#include "combine/api/output_directory.h"
#include "combine/input_scan.h"
#include "combine/job_state.h"
#include "combine/output_directory.h"
#include "combine/time_correction.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace tessara
{
namespace
{

namespace fs = std::filesystem;

constexpr double kMinute = 60;

/// The folder as the file system knows it, links resolved.
fs::path Canonical(const fs::path& directory)
{
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(directory, ec), ec);
    return ec ? fs::absolute(directory, ec).lexically_normal() : canonical;
}

/// A time as an output name tells it: a year (0 on the plain scale) and
/// seconds of that year. Ordered year first.
using YearSeconds = std::pair<std::int32_t, double>;

struct NamedSpan {
    std::string name;
    double start; ///< seconds of its own year
    double end;   ///< seconds of its own year, the last minute counted whole
};

/// The files of `directory` named as the job names its outputs.
std::vector<NamedSpan> OutputsNamedInFolder(const CombineSettings& settings,
                                            const std::string& directory)
{
    std::vector<NamedSpan> found;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string name = it->path().filename().string();
        const std::optional<OutputNameSpan> span = ReadOutputFileName(settings, name);
        // The name gives whole minutes: its last minute counts whole.
        if (span && !span->quicklook)
            found.push_back({name, span->startSeconds, span->endSeconds + kMinute});
    }
    return found;
}

} // namespace

OutputFolderFindings CheckOutputFolder(const CombineSettings& settings,
                                       const std::string& directory)
{
    OutputFolderFindings findings;
    const fs::path folder = Canonical(directory);
    for (const std::string& input : settings.input_files) {
        if (Canonical(fs::path(input).parent_path()) == folder &&
            std::find(findings.inputs.begin(), findings.inputs.end(), input) ==
                findings.inputs.end())
            findings.inputs.push_back(input);
    }
    std::vector<NamedSpan> named = OutputsNamedInFolder(settings, directory);
    if (named.empty())
        return findings; // no input need be read

    // The inputs' first traces as the job times them.
    CSilentHost host;
    const JobContext ctx{settings, host};
    std::vector<InputEntry> inputs;
    for (const std::string& path : settings.input_files)
        inputs.push_back(InputEntry{path});
    bool yearsUncertain = false;
    const CJobTimeScale scale = Scan_and_Sort_Input_files(
        ctx,
        inputs,
        [&ctx](const std::string& path, CSegyTrace& t) { Apply_Start_Time_Repairs(ctx, path, t); },
        yearsUncertain);
    bool any = false;
    double first = 0;
    double last = 0;
    for (const InputEntry& input : inputs) {
        if (!input.start_known)
            continue;
        first = any ? std::min(first, input.start_time) : input.start_time;
        last = any ? std::max(last, input.start_time) : input.start_time;
        any = true;
    }
    if (!any)
        return findings;
    const CJobTimeScale::YearTime from = scale.InItsYear(first);
    const CJobTimeScale::YearTime to = scale.InItsYear(last);
    const YearSeconds spanStart{from.year, from.secondsOfYear};
    // The job's first output starts a trace after the first input's first
    // trace: the minute after the last start still counts as met.
    const YearSeconds spanEnd{to.year, to.secondsOfYear + kMinute};
    std::sort(named.begin(), named.end(), [](const NamedSpan& a, const NamedSpan& b) {
        return a.name < b.name;
    });
    for (const NamedSpan& n : named) {
        // A name tells no year: it may start in either year of the span, or
        // in the year before when it ends in the next (its end lies before
        // its start).
        for (const std::int32_t year : {from.year - 1, from.year, to.year}) {
            const YearSeconds start{year, n.start};
            const YearSeconds end{n.end < n.start ? year + 1 : year, n.end};
            if (start <= spanEnd && end >= spanStart) {
                findings.earlierOutputs.push_back(n.name);
                break;
            }
        }
    }
    return findings;
}

std::string DescribeOutputFolder(const std::string& directory, const OutputFolderFindings& findings)
{
    if (findings.bEmpty())
        return {};
    constexpr std::size_t kNamed = 10; // a question box must fit on the screen
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (std::size_t k = 0; k < names.size() && k < kNamed; ++k)
            text += "\n    " + fs::path(names[k]).filename().string();
        if (names.size() > kNamed)
            text += "\n    and " + std::to_string(names.size() - kNamed) + " more";
        return text;
    };
    std::string text = "The output folder " + directory + " holds";
    if (!findings.inputs.empty())
        text += " inputs of this job:" + list(findings.inputs) +
                (findings.earlierOutputs.empty() ? "\n" : "\nand");
    if (!findings.earlierOutputs.empty())
        text +=
            " outputs of an earlier job over the same time:" + list(findings.earlierOutputs) + "\n";
    return text + "\nA later job that lists them would read them again.";
}

} // namespace tessara
