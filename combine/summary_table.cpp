#include "combine/api/summary_table.h"

#include <algorithm>
#include <cstdio>

namespace tessara
{

namespace
{
using K = SummaryKind;
using L = SummaryLine;
} // namespace

// The command line's lines read, in this order:
// "Records read R: written from them W, reference traces ..., paired ..."
// "Fill traces written F, traces removed by delay scan D"
// "Outputs N, discarded without traces Z; inputs skipped: unreadable U, ..."
const std::array<SummaryRow, 20> kSummaryRows = {{
    {"traces_read",
     &CombineSummary::traces_read,
     K::TraceRead,
     L::Traces,
     "Records read",
     "records read",
     false,
     "",
     "record read"},
    {"traces_written",
     &CombineSummary::traces_written,
     K::TraceKept,
     L::Traces,
     "written from them",
     "written from them",
     false,
     ": "},
    {"dropped_reference",
     &CombineSummary::dropped_reference,
     K::TraceLeftOut,
     L::Traces,
     "reference traces",
     "reference traces, one per input, not written",
     false,
     ", ",
     "reference trace, one per input, not written"},
    {"dropped_before_start",
     &CombineSummary::dropped_before_start,
     K::TraceLeftOut,
     L::Traces,
     "before output start",
     "before the output start",
     false},
    {"dropped_resampling",
     &CombineSummary::dropped_resampling,
     K::TraceLeftOut,
     L::Traces,
     "not resampled",
     "not resampled",
     false},
    {"dropped_channel",
     &CombineSummary::dropped_channel,
     K::TraceLeftOut,
     L::Traces,
     "channel",
     "of another channel",
     false},
    {"dropped_implausible",
     &CombineSummary::dropped_implausible,
     K::TraceLeftOut,
     L::Traces,
     "implausible pairs",
     "in implausible pairs",
     false},
    {"merged_into_pairs",
     &CombineSummary::merged_into_pairs,
     K::TraceOther,
     L::Traces,
     "paired",
     "carried in sidescan pairs",
     false},
    {"dropped_navigation",
     &CombineSummary::dropped_navigation,
     K::TraceLeftOut,
     L::Traces,
     "no navigation",
     "without navigation",
     false},
    {"dropped_empty",
     &CombineSummary::dropped_empty,
     K::TraceLeftOut,
     L::Traces,
     "without samples",
     "without samples",
     true},
    {"dropped_clock_glitch",
     &CombineSummary::dropped_clock_glitch,
     K::TraceLeftOut,
     L::Traces,
     "clock glitch",
     "clock glitches",
     true,
     ", ",
     "clock glitch"},
    {"traces_unfinished",
     &CombineSummary::traces_unfinished,
     K::TraceLeftOut,
     L::Traces,
     "in the unfinished output",
     "in the unfinished output",
     true},
    {"traces_filled",
     &CombineSummary::traces_filled,
     K::TraceKept,
     L::Fill,
     "Fill traces written",
     "fill traces",
     false,
     "",
     "fill trace"},
    {"removed_by_delay_scan",
     &CombineSummary::removed_by_delay_scan,
     K::TraceLeftOut,
     L::Fill,
     "traces removed by delay scan",
     "removed by the delay scan",
     false},
    {"outputs_discarded",
     &CombineSummary::outputs_discarded,
     K::OutputDropped,
     L::Files,
     "discarded without traces",
     "outputs discarded without traces",
     false,
     ", ",
     "output discarded without traces"},
    {"inputs_unreadable",
     &CombineSummary::inputs_unreadable,
     K::InputSkipped,
     L::Files,
     "unreadable",
     "not readable, or changed since the job started",
     false,
     "; inputs skipped: "},
    {"inputs_without_navigation",
     &CombineSummary::inputs_without_navigation,
     K::InputSkipped,
     L::Files,
     "without navigation",
     "without navigation",
     false},
    {"inputs_same_file",
     &CombineSummary::inputs_same_file,
     K::InputSkipped,
     L::Files,
     "same file as an earlier input",
     "same file as an earlier input",
     true},
    {"traces_other_length",
     &CombineSummary::traces_other_length,
     K::Warning,
     L::Warnings,
     "Traces of another length than their output's file header",
     "traces of another length than their output's file header",
     true,
     "",
     "trace of another length than its output's file header"},
    {"traces_converted_with_loss",
     &CombineSummary::traces_converted_with_loss,
     K::Warning,
     L::Warnings,
     "Traces converted with loss (floating point to integer, or to a narrower integer)",
     "traces converted with loss (floating point to integer, or to a narrower integer)",
     true,
     "",
     "trace converted with loss (floating point to integer, or to a narrower integer)"},
}};

// A count added to the summary without a row here would be told by no
// front end.
static_assert(sizeof(CombineSummary) == kSummaryRows.size() * sizeof(std::int64_t),
              "every count of CombineSummary has its row");

std::string CountWithReason(std::int64_t count, const SummaryRow& row)
{
    return std::to_string(count) + " " +
           std::string(count == 1 && !row.reasonOne.empty() ? row.reasonOne : row.reason);
}

std::string FormatSpacing(double metres)
{
    char text[48];
    (void)std::snprintf(text, sizeof text, "%.3f m", metres); // 48 characters hold any double
    return text;
}

std::string FormatMegabytes(std::int64_t bytes)
{
    char text[48];
    (void)std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string_view OutputTracesLabel(const CombineResult& result)
{
    const bool corrected = std::any_of(result.outputs.begin(),
                                       result.outputs.end(),
                                       [](const OutputRecord& o) { return o.speed_corrected; });
    return corrected ? "Traces in the outputs after speed correction" : "Traces in the outputs";
}

std::int64_t TracesInOutputs(const CombineResult& result)
{
    std::int64_t traces = 0;
    for (const OutputRecord& o : result.outputs)
        traces += o.traces;
    return traces;
}

std::string WhyNoOutput(const CombineSummary& s)
{
    if (s.traces_read == 0)
        return "no output written: no trace was read";
    // The first row is the count of records read.
    std::string why = "no output written: " + CountWithReason(s.traces_read, kSummaryRows[0]);
    const char* separator = ", dropped: ";
    for (const SummaryRow& row : kSummaryRows) {
        const std::int64_t count = CountOf(s, row);
        if (row.kind == SummaryKind::TraceLeftOut && count > 0) {
            why += separator + CountWithReason(count, row);
            separator = ", ";
        }
    }
    return why;
}

} // namespace tessara
