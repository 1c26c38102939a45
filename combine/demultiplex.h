// Channel selection while writing: keep one channel, or pair sidescan port
// and starboard traces into one trace of twice the length.
//
// The channel number of a trace is read from the trace header as the reader
// holds it: standard fields in host byte order, bytes 180-181 and 188-239 as
// they stand in the file. Nothing is ever read outside the 240-byte header.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tessara
{

class CSegyTrace;
struct CombineSettings;
struct JobContext;

/// Number of header fields that can carry the channel (channel_field 0..4).
constexpr int kChannelFieldCount = 5;
/// channel_field of digitizerChannel: pairs made on it are marked as
/// sidescan traces.
constexpr int kDigitizerChannelField = 3;
/// traceIdCode given to sidescan pairs when the channel comes from
/// digitizerChannel.
constexpr std::int16_t kSidescanTraceIdCode = 25;

/// State of the channel paths kept between traces (the pair being built
/// lives in the job's pair_trace).
struct DemultiplexState {
    /// pair_trace holds a port trace that no written pair carries yet. Such a
    /// port trace is counted as dropped by channel until a pair with it is
    /// written, so the summary adds up at every moment of the job.
    bool port_unpaired = false;
};

/// The user-defined channel field: `length` bytes of `header` from byte
/// `start` (0-based), composed least significant byte first. Length 1 is
/// unsigned (0..255), lengths 2 and 4 are signed 16- and 32-bit integers.
/// Empty for any other length, a negative start, or a field reaching past
/// byte 239 (start + length > 240).
[[nodiscard]] std::optional<std::int32_t>
UserDefinedChannelField(const SegyHeaderType& header, int start, int length);

/// Value of channel field `field` of `header`: 0 traceSequenceFile (bytes
/// 4-7), 1 traceInEnsemble (24-27), 2 traceIdCode (28-29), 3 digitizerChannel
/// (byte 180, signed), 4 the user-defined field at `start`, `length` bytes.
/// Empty for a field outside 0..4 or a user-defined field without a value.
[[nodiscard]] std::optional<std::int32_t>
ChannelFieldValue(const SegyHeaderType& header, int field, int start, int length);

/// Channel of `trace` from the header field chosen by channel_field, with
/// channel_start and channel_length for field 4. A field without a value
/// (user-defined length other than 1, 2, 4, or reaching past byte 239) and a
/// trace without a header give channel 0.
[[nodiscard]] std::int32_t GetCurrent_trace_channel(const CombineSettings& settings,
                                                    const CSegyTrace& trace);

/// Samples per trace that an output opened from an input of `inputSamples`
/// samples per trace declares in its file header: twice the input's with
/// demultiplex_sidescan on (every trace written is a port + starboard pair),
/// otherwise the input's.
[[nodiscard]] std::uint32_t Output_Samples_Per_Trace(const JobContext& ctx,
                                                     std::uint32_t inputSamples);

/// The channel paths of Write_Output_Trace, used when
/// demultiplex_single_channel or demultiplex_sidescan is on. The settings are
/// read at every call.
///  - single channel: a trace of channel_id is written with the plain path's
///    bookkeeping on whole seconds (milliseconds are not part of its time);
///    any other trace is dropped.
///  - sidescan: a port_id trace goes into the first half of pair_trace
///    (reversed with flip_port) with its header and nothing is written; a
///    stbd_id trace fills the second half (missing samples 0, extra samples
///    left out) and the pair is written when its header passes
///    CSegyFileIn::sensibleHeaderValues. The starboard trace counts in
///    trace_count and gives the time whether the pair is written or not.
///    Traces of any other channel are dropped.
/// average_interval is measured against the input's whole-second start time
/// (file_times). Dropped traces, implausible pairs and port traces carried in
/// a written pair are counted in the summary. Returns the new
/// last_trace_time (seconds of year), unchanged when nothing counted; a write
/// failure stops the job and also leaves it unchanged.
[[nodiscard]] double
Write_Demultiplexed_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input);

} // namespace tessara
