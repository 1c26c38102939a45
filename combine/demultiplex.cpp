#include "combine/demultiplex.h"

#include "combine/api/combine_settings.h"
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

} // namespace

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

std::uint32_t Output_Samples_Per_Trace(const CombineSettings& settings, std::uint32_t inputSamples)
{
    return settings.demultiplex_sidescan ? 2 * inputSamples : inputSamples;
}

void CChannelPaths::BeginInput(std::uint32_t samplesPerTrace)
{
    m_pair.SetN(2 * samplesPerTrace);
}

ChannelDecision CChannelPaths::Decide(const CombineSettings& settings, const CSegyTrace& trace)
{
    ChannelDecision d;
    if (settings.demultiplex_single_channel) {
        if (GetCurrent_trace_channel(settings, trace) != settings.channel_id)
            return d;
        // This mode keeps whole seconds: the time and the interval ignore the
        // milliseconds, as does the input's start time it is measured from.
        d.action = ChannelAction::Write;
        d.record = &trace;
        d.time = static_cast<double>(m_scale.WholeSeconds(*trace.header));
        d.fromWholeSecondStart = true;
        d.keepAsFillTemplate = true;
        return d;
    }
    if (settings.demultiplex_sidescan) {
        const std::int32_t channel = GetCurrent_trace_channel(settings, trace);
        if (channel == settings.port_id)
            return TakePortTrace(settings, trace);
        if (channel == settings.stbd_id)
            return TakeStarboardTrace(settings, trace);
        return d;
    }
    d.action = ChannelAction::Write;
    d.record = &trace;
    d.time = m_scale.Seconds(*trace.header);
    d.keepAsFillTemplate = true;
    return d;
}

// A port trace becomes the first half of the pair, with its header; the
// second half waits for the starboard trace.
ChannelDecision CChannelPaths::TakePortTrace(const CombineSettings& settings,
                                             const CSegyTrace& trace)
{
    const std::uint32_t s = trace.header->sampleCount;
    const std::uint32_t n = 2 * s;
    m_pair.ResizeZeroed(n);
    m_pair.CopyHeaderFrom(trace);
    // Low 16 bits, as every trace states a count it cannot hold; such a pair
    // is never written (see TakeStarboardTrace).
    m_pair.header->sampleCount = static_cast<std::uint16_t>(n);

    const std::size_t have = AvailableSamples(trace, s);
    // Flipping makes the port trace run from its far range inwards, so that
    // the pair reads across the swath from port to starboard.
    const bool flip = settings.flip_port;
    for (std::size_t j = 0; j < s; ++j) {
        const std::size_t from = flip ? s - 1 - j : j;
        m_pair.samples[j] = from < have ? trace.samples[from] : 0.0;
    }
    m_portUnpaired = true;
    ChannelDecision d;
    d.action = ChannelAction::HoldPort;
    return d;
}

ChannelDecision CChannelPaths::TakeStarboardTrace(const CombineSettings& settings,
                                                  const CSegyTrace& trace)
{
    // The pair's storage decides its halves; a starboard trace shorter than
    // the port trace leaves zeros, a longer one gives its first s samples.
    const std::size_t s = AvailableSamples(m_pair, m_pair.numSamples) / 2;
    const std::size_t have = AvailableSamples(trace, trace.header->sampleCount);
    for (std::size_t j = 0; j < s; ++j)
        m_pair.samples[s + j] = j < have ? trace.samples[j] : 0.0;
    if (m_pair.header && settings.channel_field == kDigitizerChannelField)
        m_pair.header->traceIdCode = kSidescanTraceIdCode;

    ChannelDecision d;
    // The starboard trace gives the time whether the pair is written or not.
    d.time = m_scale.Seconds(*trace.header);
    d.fromWholeSecondStart = true;
    // A pair without a port trace before it carries the all-zero header the
    // pair is given at every input, whose year fails the test. A pair whose
    // count does not fit the header's field would be written short.
    const bool plausible = CSegyFileIn::sensibleHeaderValues(m_pair) &&
                           m_pair.numSamples <= kMaxHeaderSampleCount &&
                           m_pair.numSamples == m_pair.header->sampleCount;
    if (!plausible) {
        d.action = ChannelAction::Implausible;
        return d;
    }
    d.action = ChannelAction::Write;
    d.record = &m_pair;
    d.completesPair = true;
    return d;
}

bool CChannelPaths::TakeUnpairedPort()
{
    const bool was = m_portUnpaired;
    m_portUnpaired = false;
    return was;
}

} // namespace tessara
