// Where every trace a job read went and why an input was left out: one
// row per count of CombineSummary, read by every summary the front ends
// show (the command line's lines, its JSON and its "no output written"
// explanation, the window's summary), so that each tells it in the same
// words.
#pragma once

#include "combine/api/combine_job.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessara
{

/// What a count tells.
enum class SummaryKind {
    TraceRead,     ///< traces read, in total
    TraceKept,     ///< traces that reached a completed output, or fill traces
    TraceLeftOut,  ///< traces read and not written, for this reason
    TraceOther,    ///< traces counted otherwise (carried in pairs, removed after writing)
    InputSkipped,  ///< inputs left out, for this reason
    OutputDropped, ///< outputs closed without a trace
    Warning,       ///< traces written that other programs may misread
};

/// The line of the command line's summary a count is told on.
enum class SummaryLine { Traces, Fill, Files, Warnings };

struct SummaryRow {
    std::string_view key;                ///< in JSON: "dropped_channel"
    std::int64_t CombineSummary::*count; ///< the count
    SummaryKind kind;
    SummaryLine line;
    std::string_view label;         ///< before the count on its line: "channel"
    std::string_view reason;        ///< after the count in an explanation: "of another channel"
    bool onlyWhenAny;               ///< told on its line only when not 0
    std::string_view before = ", "; ///< what separates it from the count before it on its line
};

/// Every count of CombineSummary, in the order the summaries tell them.
extern const std::array<SummaryRow, 20> kSummaryRows;

/// The count of `row` in `summary`.
[[nodiscard]] inline std::int64_t CountOf(const CombineSummary& summary, const SummaryRow& row)
{
    return summary.*row.count;
}

/// Why a job wrote no output: "no output written: no trace was read", or
/// "no output written: N traces read, dropped: " and the counts left out
/// with their reasons.
[[nodiscard]] std::string WhyNoOutput(const CombineSummary& summary);

} // namespace tessara
