// What combine tells on stdout once the job has ended: the outputs written
// or, for a dry run, planned (as a table or as JSON), and the summary of
// where every trace went. The counts and their words come from the job's
// summary table.
#pragma once

#include "cli/cli_json.h"
#include "combine/api/combine_job.h"
#include "combine/api/output_folder_check.h"

#include <string>

namespace tessara::cli
{

/// One line per output written: "PATH: N traces (F fill), M MB (B bytes),
/// FIRST to LAST", then ", replaced an existing file" and ", speed corrected
/// at S m from T traces" where they apply.
void PrintOutputs(const CombineResult& result);

/// The summary lines: records read and where they went, the traces the
/// outputs hold, fill traces, outputs
/// and inputs skipped (each count told where its row says), then the inputs
/// skipped without navigation by name, the warning of years, and the
/// warnings of traces other programs may misread.
void PrintSummary(const CombineResult& result);

/// A dry run's outputs as a table, one row each, then the inputs it would
/// skip and `folderFindings` (DescribeOutputFolder), when not empty.
void PrintPlannedOutputs(const CombineResult& result, const std::string& folderFindings);

/// The same as one JSON document: "outputs", "skipped_inputs", "summary"
/// (every count by its key), "inputs_span_years" and "output_folder".
[[nodiscard]] Json PlanJson(const CombineResult& result, const OutputFolderFindings& folder);

} // namespace tessara::cli
