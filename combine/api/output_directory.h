// The output directory of a job: the probe the front ends run before a job,
// the name of the working file, and the names of completed outputs.
#pragma once

#include "combine/api/combine_settings.h"

#include <optional>
#include <string>

namespace tessara
{

/// Name of the output being written, in the output directory, until it is
/// closed and moved to its final name; also the writability probe.
constexpr const char* kWorkingFileName = "SegyOut.sgy";

/// The writability probe both front ends run before they start a job: in
/// `directory`, deletes an existing "SegyOut.sgy", creates it anew, writes one
/// byte 0xFF, closes it and deletes it again. True when every step worked;
/// any failure counts as not writeable. The probe file never remains.
[[nodiscard]] bool ProbeOutputDirectory(const std::string& directory);
/// The message the front ends show when the probe fails.
[[nodiscard]] std::string NotWriteableMessage(const std::string& directory);

/// Final file name (without directory) of an output whose first trace is at
/// `startSeconds` and last at `lastSeconds` (seconds of year):
/// Expedition_[data_type_][instrument_type_][xcdr_]DDD_HHMM_to_DDD_HHMM
/// [_SC<spacing with one decimal>m].sgy, the optional texts only when longer
/// than one character, the spacing part only when `spacingMetres` is given.
[[nodiscard]] std::string BuildOutputFileName(const CombineSettings& settings,
                                              double startSeconds,
                                              double lastSeconds,
                                              std::optional<double> spacingMetres);

} // namespace tessara
