#include "section/section_file.h"

#include <algorithm>
#include <cmath>

namespace tessara
{
namespace
{

constexpr std::int16_t kSidescanPairCode = 25;
/// About this many samples are counted for the clip level, however large the
/// file: the estimate's own error (0.2 %) outweighs that of the sampling.
constexpr std::int64_t kMagnitudesCounted = 1 << 24;

SectionTime TimeOf(const SegyHeaderType& h)
{
    return {h.year, h.dayOfYear, h.hour, h.minute, h.second, h.millisecond};
}

double SecondOfDay(const SegyHeaderType& h)
{
    return (h.hour * 60.0 + h.minute) * 60.0 + h.second + h.millisecond / 1000.0;
}

double IntervalMs(const SegyHeaderType& h)
{
    return h.sampleInterval / 1000.0;
}

/// What the header pass learnt about the traces in range.
struct HeaderScan {
    std::int64_t traces = 0; ///< in the file
    std::int64_t inRange = 0;
    double earliestMs = HUGE_VAL;
    double latestMs = -HUGE_VAL;
    std::uint32_t longestTrace = 0; ///< samples
    std::int64_t samples = 0;       ///< in the traces in range
    double longestIntervalMs = 0.0;
    std::int32_t badCode = 0;
    bool allPairs = true;
};

HeaderScan ScanHeaders(CSegyFileIn& in, const SectionOptions& o, Section& s)
{
    HeaderScan scan;
    SegyHeaderType h{};
    for (;;) {
        in.ReadHeader(h);
        if (in.atEnd)
            break;
        const std::int64_t number = ++scan.traces;
        if (number < o.firstTrace || (o.lastTrace > 0 && number > o.lastTrace) ||
            (number - o.firstTrace) % o.traceStep != 0)
            continue;
        if (scan.inRange++ == 0)
            s.firstTime = TimeOf(h);
        s.lastTime = TimeOf(h);
        s.lastTrace = number;
        if (h.traceIdCode != kSidescanPairCode && scan.allPairs) {
            scan.allPairs = false;
            scan.badCode = h.traceIdCode;
        }
        if (h.sampleInterval <= 0 || h.sampleCount == 0)
            continue;
        scan.earliestMs = std::min(scan.earliestMs, 1.0 * h.delayRecordingTime);
        scan.latestMs =
            std::max(scan.latestMs, h.delayRecordingTime + h.sampleCount * IntervalMs(h));
        scan.longestTrace = std::max<std::uint32_t>(scan.longestTrace, h.sampleCount);
        scan.samples += h.sampleCount;
        scan.longestIntervalMs = std::max(scan.longestIntervalMs, IntervalMs(h));
    }
    return scan;
}

/// The grid's frame from the header pass, or the reason there is none.
SectionStatus ChooseFrame(const HeaderScan& scan, const SectionOptions& o, SectionFrame& frame)
{
    if (scan.traces == 0)
        return SectionStatus::NoTraces;
    if (scan.inRange == 0)
        return SectionStatus::TracesOutOfRange;
    if (scan.longestTrace == 0)
        return SectionStatus::NoSampleInterval;
    if (o.waterfall && !scan.allPairs)
        return SectionStatus::NotSidescanPairs;
    frame.traceCount = scan.inRange;
    frame.magnitudeEvery =
        static_cast<int>(std::max<std::int64_t>(1, scan.samples / kMagnitudesCounted));
    frame.columns = std::max(1, o.columns);
    frame.rows = std::max(1, o.rows);
    if (o.waterfall) {
        // Across a pair the samples are shown by their index: a sample's time
        // is the same on both sides, so no common time axis exists.
        frame.startMs = 0.0;
        frame.endMs = scan.longestTrace * scan.longestIntervalMs;
        return SectionStatus::Ok;
    }
    frame.startMs = std::isnan(o.startMs) ? scan.earliestMs : o.startMs;
    frame.endMs = std::isnan(o.endMs) ? scan.latestMs : o.endMs;
    if (!(frame.endMs > frame.startMs) || frame.endMs <= scan.earliestMs ||
        frame.startMs >= scan.latestMs)
        return SectionStatus::EmptyTimeWindow;
    return SectionStatus::Ok;
}

/// The waterfall's frame seen by the reducer: its traces run down.
SectionFrame ReducerFrame(const SectionFrame& frame, bool waterfall)
{
    SectionFrame r = frame;
    if (waterfall)
        std::swap(r.columns, r.rows);
    return r;
}

/// Traces between two calls of the progress: often enough for a bar, rare
/// enough to cost nothing.
constexpr std::int64_t kTracesPerProgress = 256;

void ReduceTraces(CSegyFileIn& in,
                  const SectionOptions& o,
                  const SectionProgress& progress,
                  CSectionReducer& reducer)
{
    CSegyTrace trace;
    std::vector<double> scratch;
    in.Rewind();
    for (std::int64_t number = 1; o.lastTrace <= 0 || number <= o.lastTrace; ++number) {
        const bool taken = number >= o.firstTrace && (number - o.firstTrace) % o.traceStep == 0;
        if (!taken) {
            SegyHeaderType skipped{};
            in.ReadHeader(skipped);
        } else {
            in.Read(trace, -1);
        }
        if (in.atEnd)
            break;
        if (!taken || !trace.header)
            continue;
        const std::int64_t index = (number - o.firstTrace) / o.traceStep;
        if (progress && index % kTracesPerProgress == 0 &&
            !progress(index, reducer.Frame().traceCount))
            return;
        const SegyHeaderType& h = *trace.header;
        std::span<double> samples(trace.samples.data(),
                                  std::min<std::size_t>(trace.numSamples, trace.samples.size()));
        if (o.gain == SectionGain::Agc && h.sampleInterval > 0)
            ApplyAgc(
                samples, static_cast<int>(std::lround(o.agcWindowMs / IntervalMs(h))), scratch);
        const double delayMs = o.waterfall ? 0.0 : h.delayRecordingTime;
        reducer.AddTrace(index, samples, delayMs, IntervalMs(h), {number, SecondOfDay(h)});
    }
    if (progress)
        (void)progress(reducer.Frame().traceCount,
                       reducer.Frame().traceCount); // done: nothing to stop
}

} // namespace

Section BuildSection(const std::string& path, const SectionOptions& options)
{
    return BuildSection(path, options, {});
}

Section BuildSection(const std::string& path,
                     const SectionOptions& options,
                     const SectionProgress& progress)
{
    Section s;
    SectionOptions o = options;
    o.firstTrace = std::max<std::int64_t>(1, o.firstTrace);
    o.traceStep = std::max<std::int64_t>(1, o.traceStep);
    s.waterfall = o.waterfall;
    CSegyFileIn in;
    if (!in.Open(path)) {
        s.status = SectionStatus::CannotOpen;
        s.openError = in.OpenError();
        return s;
    }
    const HeaderScan scan = ScanHeaders(in, o, s);
    s.fileTraces = scan.traces;
    s.firstTrace = o.firstTrace;
    s.badTraceIdCode = scan.badCode;
    s.status = ChooseFrame(scan, o, s.frame);
    if (s.status != SectionStatus::Ok)
        return s;

    const SectionFrame reducerFrame = ReducerFrame(s.frame, o.waterfall);
    CSectionReducer reducer(reducerFrame);
    ReduceTraces(in, o, progress, reducer);
    // The reducer's columns are the waterfall's rows: its column-major
    // cells are the waterfall's grid row by row.
    s.cells = o.waterfall ? reducer.ColumnMajorCells() : reducer.Cells();
    if (!o.waterfall)
        s.columnTraces = reducer.Columns();
    s.clip = reducer.Magnitudes().Percentile(o.clipPercent);
    s.anyNegative = reducer.bAnyNegative();
    return s;
}

} // namespace tessara
