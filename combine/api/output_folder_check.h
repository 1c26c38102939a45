// What a job would fold back in or write over in the output folder it is
// given: inputs of its own list, and composites of an earlier job over the
// same recording time. Both front ends ask or warn with the same findings.
#pragma once

#include "combine/api/combine_settings.h"

#include <string>
#include <vector>

namespace tessara
{

struct OutputFolderFindings {
    /// The inputs (paths as listed) that lie in the folder itself, not in a
    /// folder below it; each once.
    std::vector<std::string> inputs;
    /// File names in the folder named as this job names its outputs
    /// (Expedition_..._DDD_HHMM_to_DDD_HHMM[_SC...m][_n].sgy with the name
    /// texts of the settings) whose span, to the minute, meets the span of
    /// the inputs' first traces as the job times them (day repair, time
    /// correction and year); sorted.
    std::vector<std::string> earlierOutputs;

    [[nodiscard]] bool bEmpty() const { return inputs.empty() && earlierOutputs.empty(); }
};

/// Looks into `directory` for what a job with `settings` (input_files
/// included) would meet there. Only the first trace of each input is read,
/// and only when the folder holds a file named like an output. Unreadable
/// inputs have no time; the job reports them.
[[nodiscard]] OutputFolderFindings CheckOutputFolder(const CombineSettings& settings,
                                                     const std::string& directory);

/// The findings in words, a line each, ending in "A later job that lists
/// them would read them again."; at most ten names of each kind, then "and N
/// more". Empty when there is nothing to tell.
[[nodiscard]] std::string DescribeOutputFolder(const std::string& directory,
                                               const OutputFolderFindings& findings);

} // namespace tessara
