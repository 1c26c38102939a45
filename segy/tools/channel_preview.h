// The channel preview: the channel fields of a file's first traces, so that
// the user can see which header field carries the channel numbers before
// choosing the demultiplex settings. Shown by the options dialog and by the
// command line's scan.
#pragma once

#include "segy/tools/channel_fields.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessara
{

/// Traces the preview shows at most: the first of the file.
constexpr std::size_t kChannelPreviewTraces = 100;

/// Column titles of the preview, blanks included: channel fields 0 to 4,
/// then the trace's sample count.
constexpr std::array<std::string_view, kChannelFieldCount + 1> kChannelPreviewTitles = {
    "Trace in Original Field Record (col 0)",
    "Trace in Ensemble      (col 1)",
    "Trace Id Code (col 2)",
    "SE880/QELDIG Channel            (col 3)",
    "User Defined (col 4)",
    "Number of Samples",
};

/// One trace of the preview.
struct ChannelPreviewRow {
    /// Channel fields 0 to 3: traceSequenceFile (bytes 4-7), traceInEnsemble
    /// (24-27), traceIdCode (28-29), digitizerChannel (180, signed).
    std::array<std::int32_t, kChannelFieldCount - 1> fields{};
    /// Channel field 4, the user-defined field; empty when it has no value
    /// (length other than 1, 2, 4, or reaching past byte 239).
    std::optional<std::int32_t> userDefined;
    /// sampleCount (bytes 114-115) as the reader delivers it, after its repairs.
    std::uint32_t sampleCount = 0;
};

/// The preview of `path`: its first traces (at most kChannelPreviewTraces),
/// read one after another from the first until the end of the file, with the
/// user-defined field read `length` bytes from byte `start`. Traces appear as
/// the reader delivers them, repairs included; an incomplete last trace is not
/// shown. Empty (no value) when the file cannot be opened as SEG-Y; a file
/// without traces gives an empty list.
[[nodiscard]] std::optional<std::vector<ChannelPreviewRow>>
ScanChannelPreview(const std::string& path, int start, int length);

/// The six cells of a row as the grid shows them: decimal text, the
/// user-defined field empty when it has no value.
[[nodiscard]] std::array<std::string, kChannelFieldCount + 1>
ChannelPreviewCells(const ChannelPreviewRow& row);

} // namespace tessara
