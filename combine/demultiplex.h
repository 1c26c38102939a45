// Channel selection while writing: keep one channel, or pair sidescan port
// and starboard traces into one trace of twice the length.
//
// The channel number of a trace is read from the trace header as the reader
// holds it: standard fields in host byte order, bytes 180-181 and 188-239 as
// they stand in the file. Nothing is ever read outside the 240-byte header.
#pragma once

#include "combine/time_scale.h"
#include "segy/format/segy_headers.h"
#include "segy/tools/channel_fields.h"
#include "trace/segy_trace.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tessara
{

struct CombineSettings;

/// channel_field of digitizerChannel: pairs made on it are marked as
/// sidescan traces.
constexpr int kDigitizerChannelField = 3;
/// traceIdCode given to sidescan pairs when the channel comes from
/// digitizerChannel.
constexpr std::int16_t kSidescanTraceIdCode = 25;

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
[[nodiscard]] std::uint32_t Output_Samples_Per_Trace(const CombineSettings& settings,
                                                     std::uint32_t inputSamples);

/// What the channel paths decided for one trace.
enum class ChannelAction {
    Write,       ///< write `record`
    Drop,        ///< another channel: nothing written, the trace is dropped
    HoldPort,    ///< a port trace taken into the pair; dropped until a pair carries it
    Implausible, ///< a starboard trace completed a pair that fails the header test
};

struct ChannelDecision {
    ChannelAction action = ChannelAction::Drop;
    /// Write: the record to write (the trace itself, or the pair).
    const CSegyTrace* record = nullptr;
    /// Write, Implausible: the trace's time on the job's scale; it counts in the input's
    /// bookkeeping whether written or not.
    double time = 0;
    /// The mean trace interval is measured from the input's whole-second
    /// start time (the channel paths), not its start with milliseconds.
    bool fromWholeSecondStart = false;
    /// Fill traces carry this record's header from now on.
    bool keepAsFillTemplate = false;
    /// The record is a pair: once written, its port trace counts as paired.
    bool completesPair = false;
};

/// The channel paths of the job. The settings are read at every trace.
///  - plain (no demultiplex mode): every trace is written, its time with
///    milliseconds.
///  - single channel: a trace of channel_id is written on whole seconds
///    (milliseconds are not part of its time); any other trace is dropped.
///  - sidescan: a port_id trace goes into the first half of the pair
///    (reversed with flip_port) with its header; a stbd_id trace fills the
///    second half (missing samples 0, extra samples left out) and the pair is
///    written when its header passes CSegyFileIn::sensibleHeaderValues.
///    Traces of any other channel are dropped.
/// Single channel wins should both modes be on.
class CChannelPaths
{
public:
    /// A new input of `samplesPerTrace`: the pair starts as an all-zero header
    /// (which fails the header test) with room for twice the samples.
    void BeginInput(std::uint32_t samplesPerTrace);
    /// The job's time scale, which the decisions' times are on.
    void SetTimeScale(const CJobTimeScale& scale) { m_scale = scale; }
    /// Decides what to write for `trace`; a sidescan trace is taken into the
    /// pair, which the decision may then point to.
    [[nodiscard]] ChannelDecision Decide(const CombineSettings& settings, const CSegyTrace& trace);
    /// Called when a pair was written: true when it carried a port trace that
    /// no written pair carried before.
    [[nodiscard]] bool TakeUnpairedPort();
    /// The pair being built, the fill template of the sidescan path.
    [[nodiscard]] CSegyTrace& Pair() { return m_pair; }

private:
    [[nodiscard]] ChannelDecision TakePortTrace(const CombineSettings& settings,
                                                const CSegyTrace& trace);
    [[nodiscard]] ChannelDecision TakeStarboardTrace(const CombineSettings& settings,
                                                     const CSegyTrace& trace);

    CSegyTrace m_pair; // port header, port + starboard samples
    CJobTimeScale m_scale;
    // The pair holds a port trace that no written pair carries yet.
    bool m_portUnpaired = false;
};

} // namespace tessara
