// The output directory of a job: the name of the working file and the names
// of completed outputs.
#pragma once

#include "combine/api/combine_settings.h"

#include <optional>
#include <string>

namespace tessara
{

/// Name of the output being written, in the output directory, until it is
/// closed and moved to its final name; also the writability probe.
constexpr const char* kWorkingFileName = "SegyOut.sgy";

/// Final file name (without directory) of an output whose first trace is at
/// `startSeconds` and last at `lastSeconds` (seconds of year):
/// Expedition_[data_type_][instrument_type_][xcdr_]DDD_HHMM_to_DDD_HHMM
/// [_SC<spacing as SpacingText gives it>m].sgy (2.25 m gives "_SC2.3m",
/// 0.023 m "_SC0.023m"), the optional texts only when longer
/// than one character, the spacing part only when `spacingMetres` is given.
[[nodiscard]] std::string BuildOutputFileName(const CombineSettings& settings,
                                              double startSeconds,
                                              double lastSeconds,
                                              std::optional<double> spacingMetres);

/// Whether a file named `fileName` (without directory) in the output
/// directory may be written by a job with `settings`: the working file, or a
/// final name of an output of any span, spacing and "_2", "_3", ... suffix,
/// with ".sgy" or, for its quicklook, ".png".
[[nodiscard]] bool bIsJobFileName(const CombineSettings& settings, const std::string& fileName);

} // namespace tessara
