// Channel selection while writing: keep one channel, or pair sidescan port
// and starboard traces into one trace of twice the length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessara {

class CSegyTrace;
struct CombineSettings;
struct JobContext;

/// State of the channel paths kept between traces (the pair being built
/// lives in the job's pair_trace).
struct DemultiplexState {};

/// Channel of `trace` from the header field chosen by channel_field (0
/// traceSequenceFile, 1 traceInEnsemble, 2 traceIdCode, 3 digitizerChannel,
/// 4 the user-defined field at channel_start, channel_length bytes).
[[nodiscard]] std::int32_t GetCurrent_trace_channel(const CombineSettings& settings,
                                                    const CSegyTrace& trace);

/// Samples per trace that an output opened from an input of `inputSamples`
/// samples per trace declares in its file header.
[[nodiscard]] std::uint32_t Output_Samples_Per_Trace(const JobContext& ctx,
                                                     std::uint32_t inputSamples);

/// The channel paths of Write_Output_Trace, used when
/// demultiplex_single_channel or demultiplex_sidescan is on: writes the
/// trace, its channel's share or nothing, keeps trace_count and
/// average_interval, counts dropped and paired traces in the summary, and
/// returns the new last_trace_time. `input` is the current input's position.
[[nodiscard]] double Write_Demultiplexed_Trace(const JobContext& ctx,
                                               CSegyTrace& trace,
                                               std::size_t input);

} // namespace tessara
