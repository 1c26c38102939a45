#include "combine/api/summary_table.h"

namespace tessara
{

namespace
{
using K = SummaryKind;
using L = SummaryLine;
} // namespace

// The command line's lines read, in this order:
// "Traces read R: written W, reference ..., paired ..., no navigation ..."
// "Fill traces written F, traces removed by delay scan D"
// "Outputs N, discarded without traces Z; inputs skipped: unreadable U, ..."
const std::array<SummaryRow, 20> kSummaryRows = {{
    {"traces_read",
     &CombineSummary::traces_read,
     K::TraceRead,
     L::Traces,
     "Traces read",
     "",
     false,
     ""},
    {"traces_written",
     &CombineSummary::traces_written,
     K::TraceKept,
     L::Traces,
     "written",
     "",
     false,
     ": "},
    {"dropped_reference",
     &CombineSummary::dropped_reference,
     K::TraceLeftOut,
     L::Traces,
     "reference",
     "reference traces",
     false},
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
     true},
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
     ""},
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
     false},
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
     ""},
    {"traces_converted_with_loss",
     &CombineSummary::traces_converted_with_loss,
     K::Warning,
     L::Warnings,
     "Traces converted with loss (floating point to integer, or to a narrower integer)",
     "traces converted with loss (floating point to integer, or to a narrower integer)",
     true,
     ""},
}};

// A count added to the summary without a row here would be told by no
// front end.
static_assert(sizeof(CombineSummary) == kSummaryRows.size() * sizeof(std::int64_t),
              "every count of CombineSummary has its row");

std::string WhyNoOutput(const CombineSummary& s)
{
    if (s.traces_read == 0)
        return "no output written: no trace was read";
    std::string why = "no output written: " + std::to_string(s.traces_read) + " traces read";
    const char* separator = ", dropped: ";
    for (const SummaryRow& row : kSummaryRows) {
        const std::int64_t count = CountOf(s, row);
        if (row.kind == SummaryKind::TraceLeftOut && count > 0) {
            why += separator + std::to_string(count) + " " + std::string(row.reason);
            separator = ", ";
        }
    }
    return why;
}

} // namespace tessara
