#include "combine/demultiplex.h"

#include "combine/job_state.h"
#include "combine/output_files.h"
#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tessara
{

namespace
{

// The largest sample count a trace header can state (bytes 114-115).
constexpr std::uint32_t kMaxHeaderSampleCount = std::numeric_limits<std::uint16_t>::max();

// Samples of `trace` that really exist, at most `wanted`: a trace's storage
// may lag behind its header after a failed resize, and the pair must never
// read past it.
std::size_t AvailableSamples(const CSegyTrace& trace, std::size_t wanted)
{
    return std::min({wanted, static_cast<std::size_t>(trace.numSamples), trace.samples.size()});
}

double WriteSingleChannel(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    CombineJobState& state = ctx.state;
    if (GetCurrent_trace_channel(ctx.settings, trace) != ctx.settings.channel_id) {
        ++state.summary.dropped_channel;
        return state.last_trace_time;
    }
    const SegyHeaderType& h = *trace.header;
    // This mode keeps whole seconds: the time and the interval ignore the
    // milliseconds, as does the input's start time it is measured from.
    const double t = static_cast<double>(WholeSecondsOfYear(h));
    if (state.trace_count > 1)
        state.average_interval = (t - state.file_times[input]) / (state.trace_count - 1);
    ++state.trace_count;
    if (!Write_Trace_Record(ctx, trace, false))
        return state.last_trace_time;
    Keep_Null_Trace_Header(state, h);
    return t;
}

// A port trace becomes the first half of the pair, with its header; the
// second half waits for the starboard trace.
void TakePortTrace(const JobContext& ctx, const CSegyTrace& trace)
{
    CombineJobState& state = ctx.state;
    CSegyTrace& pair = state.pair_trace;
    const std::uint32_t s = trace.header->sampleCount;
    const std::uint32_t n = 2 * s;
    if (pair.samples.size() < static_cast<std::size_t>(n) + 2)
        pair.samples.resize(static_cast<std::size_t>(n) + 2);
    pair.numSamples = n;
    pair.allocated = true;
    if (!pair.header)
        pair.header = std::make_unique<SegyHeaderType>();
    *pair.header = *trace.header;
    // Low 16 bits, as every trace states a count it cannot hold; such a pair
    // is never written (see WriteStarboardTrace).
    pair.header->sampleCount = static_cast<std::uint16_t>(n);

    const std::size_t have = AvailableSamples(trace, s);
    // Flipping makes the port trace run from its far range inwards, so that
    // the pair reads across the swath from port to starboard.
    const bool flip = ctx.settings.flip_port;
    for (std::size_t j = 0; j < s; ++j) {
        const std::size_t from = flip ? s - 1 - j : j;
        pair.samples[j] = from < have ? trace.samples[from] : 0.0;
    }

    // Counted as dropped until a pair carries it.
    ++state.summary.dropped_channel;
    state.demultiplex.port_unpaired = true;
}

double WriteStarboardTrace(const JobContext& ctx, const CSegyTrace& trace, std::size_t input)
{
    CombineJobState& state = ctx.state;
    CSegyTrace& pair = state.pair_trace;
    const double t = SecondsOfYear(*trace.header);
    if (state.trace_count > 1)
        state.average_interval = (t - state.file_times[input]) / (state.trace_count - 1);

    // The pair's storage decides its halves; a starboard trace shorter than
    // the port trace leaves zeros, a longer one gives its first s samples.
    const std::size_t s = AvailableSamples(pair, pair.numSamples) / 2;
    const std::size_t have = AvailableSamples(trace, trace.header->sampleCount);
    for (std::size_t j = 0; j < s; ++j)
        pair.samples[s + j] = j < have ? trace.samples[j] : 0.0;

    ++state.trace_count;
    if (pair.header && ctx.settings.channel_field == kDigitizerChannelField)
        pair.header->traceIdCode = kSidescanTraceIdCode;

    // A pair without a port trace before it carries the all-zero header the
    // job gives pair_trace at every input, whose year fails the test. A pair
    // whose count does not fit the header's field would be written short.
    const bool plausible = CSegyFileIn::sensibleHeaderValues(pair) &&
                           pair.numSamples <= kMaxHeaderSampleCount &&
                           pair.numSamples == pair.header->sampleCount;
    if (!plausible) {
        ++state.summary.dropped_implausible;
        return t;
    }
    if (!Write_Trace_Record(ctx, pair, false))
        return state.last_trace_time;
    if (state.demultiplex.port_unpaired) {
        --state.summary.dropped_channel;
        ++state.summary.merged_into_pairs;
        state.demultiplex.port_unpaired = false;
    }
    return t;
}

double WriteSidescan(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    CombineJobState& state = ctx.state;
    const std::int32_t channel = GetCurrent_trace_channel(ctx.settings, trace);
    if (channel == ctx.settings.port_id) {
        TakePortTrace(ctx, trace);
        return state.last_trace_time;
    }
    if (channel == ctx.settings.stbd_id)
        return WriteStarboardTrace(ctx, trace, input);
    ++state.summary.dropped_channel;
    return state.last_trace_time;
}

} // namespace

std::optional<std::int32_t>
UserDefinedChannelField(const SegyHeaderType& header, int start, int length)
{
    if (length != 1 && length != 2 && length != 4)
        return std::nullopt;
    if (start < 0 || start > kTraceHeaderBytes - length)
        return std::nullopt;
    unsigned char bytes[kTraceHeaderBytes];
    std::memcpy(bytes, &header, sizeof bytes);
    const unsigned char* field = bytes + start;
    // Least significant byte first, whatever the host: the bytes are those
    // held in memory, where the standard fields are already in host order.
    std::uint32_t value = 0;
    for (int k = length - 1; k >= 0; --k)
        value = (value << 8) | field[k];
    switch (length) {
    case 1:
        return static_cast<std::int32_t>(value);
    case 2:
        return static_cast<std::int32_t>(static_cast<std::int16_t>(value));
    default:
        return static_cast<std::int32_t>(value);
    }
}

std::optional<std::int32_t>
ChannelFieldValue(const SegyHeaderType& header, int field, int start, int length)
{
    switch (field) {
    case 0:
        return header.traceSequenceFile;
    case 1:
        return header.traceInEnsemble;
    case 2:
        return header.traceIdCode;
    case 3:
        return header.digitizerChannel;
    case 4:
        return UserDefinedChannelField(header, start, length);
    default:
        return std::nullopt;
    }
}

std::int32_t GetCurrent_trace_channel(const CombineSettings& settings, const CSegyTrace& trace)
{
    if (!trace.header)
        return 0;
    return ChannelFieldValue(*trace.header,
                             settings.channel_field,
                             settings.channel_start,
                             settings.channel_length)
        .value_or(0);
}

std::uint32_t Output_Samples_Per_Trace(const JobContext& ctx, std::uint32_t inputSamples)
{
    return ctx.settings.demultiplex_sidescan ? 2 * inputSamples : inputSamples;
}

double Write_Demultiplexed_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    if (!trace.header)
        return ctx.state.last_trace_time;
    // Read per trace: the options may change while the job runs, and single
    // channel wins should both be on.
    if (ctx.settings.demultiplex_single_channel)
        return WriteSingleChannel(ctx, trace, input);
    if (ctx.settings.demultiplex_sidescan)
        return WriteSidescan(ctx, trace, input);
    return Write_Plain_Output_Trace(ctx, trace, input);
}

} // namespace tessara
