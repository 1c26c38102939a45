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
    /// `reason` for a count of 1 where it names a noun: "clock glitch";
    /// empty where `reason` serves both ("of another channel").
    std::string_view reasonOne = {};
};

/// Every count of CombineSummary, in the order the summaries tell them.
extern const std::array<SummaryRow, 20> kSummaryRows;

/// The count of `row` in `summary`.
[[nodiscard]] inline std::int64_t CountOf(const CombineSummary& summary, const SummaryRow& row)
{
    return summary.*row.count;
}

/// `count` with the reason of `row` after it, singular or plural as the
/// count asks: "1 clock glitch", "2 clock glitches".
[[nodiscard]] std::string CountWithReason(std::int64_t count, const SummaryRow& row);

/// A trace spacing to the millimetre with its unit: 0.607922 gives "0.608 m".
[[nodiscard]] std::string FormatSpacing(double metres);

/// A file size in megabytes (10^6 bytes) with one decimal: 12345678 gives
/// "12.3 MB".
[[nodiscard]] std::string FormatMegabytes(std::int64_t bytes);

/// How the summaries name the trace records of all outputs together: "after
/// speed correction" when an output was re-spaced, since its count then
/// differs from the records written into it.
[[nodiscard]] std::string_view OutputTracesLabel(const CombineResult& result);

/// The trace records of all outputs together, fill traces included.
[[nodiscard]] std::int64_t TracesInOutputs(const CombineResult& result);

/// Why a job wrote no output: "no output written: no trace was read", or
/// "no output written: N traces read, dropped: " and the counts left out
/// with their reasons.
[[nodiscard]] std::string WhyNoOutput(const CombineSummary& summary);

} // namespace tessara
