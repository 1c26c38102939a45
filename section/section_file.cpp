#include "section/section_file.h"

#include "segy/format/sample_codec.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

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

/// Where a trace's record starts: its 1-based number and byte offset.
struct TraceStart {
    std::int64_t number = 0;
    std::int64_t position = 0;
};

/// The starts of some traces, spread evenly over however many are noted:
/// every stride-th is kept, and the stride doubles whenever the list fills,
/// so that a place to split the reading is known without a list as long as
/// the file.
class CTraceStarts
{
public:
    void Note(const TraceStart& start)
    {
        if (m_noted++ % m_stride != 0)
            return;
        m_starts.push_back(start);
        if (m_starts.size() < kKept)
            return;
        for (std::size_t k = 0; k < kKept / 2; ++k)
            m_starts[k] = m_starts[2 * k];
        m_starts.resize(kKept / 2);
        m_stride *= 2;
    }
    /// The noted start whose number lies nearest `number`; number 0 when
    /// none was noted.
    [[nodiscard]] TraceStart Nearest(std::int64_t number) const
    {
        TraceStart best;
        for (const TraceStart& t : m_starts) {
            if (best.number == 0 ||
                std::llabs(t.number - number) < std::llabs(best.number - number))
                best = t;
        }
        return best;
    }

private:
    static constexpr std::size_t kKept = 64;
    std::vector<TraceStart> m_starts;
    std::int64_t m_stride = 1;
    std::int64_t m_noted = 0;
};

/// What the header pass learnt about the traces in range.
struct HeaderScan {
    std::int64_t traces = 0; ///< in the file
    std::int64_t inRange = 0;
    double earliestMs = HUGE_VAL;
    double latestMs = -HUGE_VAL;
    std::uint32_t longestTrace = 0; ///< samples
    std::int64_t samples = 0;       ///< in the traces in range
    double longestIntervalMs = 0.0;
    double shortestIntervalMs = HUGE_VAL;
    std::int32_t badCode = 0;
    bool allPairs = true;
    TraceStart first;      ///< the first trace in range
    std::int64_t last = 0; ///< number of the last trace in range
    CTraceStarts starts;   ///< of traces in range
};

HeaderScan ScanHeaders(CSegyFileIn& in, const SectionOptions& o, Section& s)
{
    HeaderScan scan;
    SegyHeaderType h{};
    for (;;) {
        const std::int64_t position = in.GetPosition();
        in.ReadHeader(h);
        if (in.atEnd)
            break;
        const std::int64_t number = ++scan.traces;
        if (number < o.firstTrace || (o.lastTrace > 0 && number > o.lastTrace) ||
            (number - o.firstTrace) % o.traceStep != 0)
            continue;
        if (scan.inRange++ == 0) {
            s.firstTime = TimeOf(h);
            scan.first = {number, position};
        }
        scan.starts.Note({number, position});
        s.lastTime = TimeOf(h);
        s.lastTrace = number;
        scan.last = number;
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
        scan.shortestIntervalMs = std::min(scan.shortestIntervalMs, IntervalMs(h));
    }
    return scan;
}

/// The highest Nyquist frequency of the traces in range, Hz.
double NyquistHz(const HeaderScan& scan)
{
    return 500.0 / scan.shortestIntervalMs;
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
    // A band wholly past the traces' frequencies would paint zeros alone.
    if (o.processing.bBandPass() && o.processing.bandLowHz >= NyquistHz(scan))
        return SectionStatus::BandPastNyquist;
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

/// Processes `doubles` and hands the result to `floats` (as long): true
/// when every value fits a float. Processed values carry no exactness worth
/// the slower double path: the cells hold floats, and the float path stacks
/// a column's traces. Only IBM values past the float range keep to doubles.
bool ProcessIntoFloats(CTraceProcessor& processor,
                       std::span<double> doubles,
                       double intervalMs,
                       std::vector<float>& floats)
{
    // A trace FFTW cannot take (no memory for its plan) shows as stored
    // rather than leaving a gap.
    (void)processor.Process(doubles, intervalMs);
    bool fits = true;
    for (std::size_t i = 0; i < doubles.size(); ++i) {
        floats[i] = static_cast<float>(doubles[i]);
        fits = fits && !(std::fabs(doubles[i]) > std::numeric_limits<float>::max());
    }
    return fits;
}

/// Traces between two calls of the progress: often enough for a bar, rare
/// enough to cost nothing.
constexpr std::int64_t kTracesPerProgress = 256;

/// Reduces the traces taken of `from`..`to` (1-based, inclusive; every
/// traceStep-th from firstTrace) with `in` standing at trace `from`. Samples
/// are decoded straight from the reader's buffer into single floats where
/// those hold them exactly and no gain changes them; into doubles otherwise.
/// `progress` (may be empty) is told how far the run has come; false from it,
/// or `cancel` set, stops the run. False when stopped.
bool ReduceRun(CSegyFileIn& in,
               std::int64_t from,
               std::int64_t to,
               const SectionOptions& o,
               const SectionProgress& progress,
               const std::atomic<bool>& cancel,
               CSectionReducer& reducer)
{
    const int code = in.GetFormat();
    const bool swap = in.swapBytes;
    CTraceProcessor processor(ProcessingOf(o));
    const bool processed = processor.bActive();
    const bool agc = o.gain == SectionGain::Agc;
    std::vector<float> floats;
    std::vector<double> doubles;
    SegyHeaderType h{};
    for (std::int64_t number = from; number <= to; ++number) {
        if ((number - o.firstTrace) % o.traceStep != 0) {
            in.ReadHeader(h);
            if (in.atEnd)
                break;
            continue;
        }
        const std::span<const unsigned char> raw = in.ReadRaw(h);
        if (in.atEnd)
            break;
        const std::int64_t index = (number - o.firstTrace) / o.traceStep;
        if (cancel.load(std::memory_order_relaxed) ||
            (progress && index % kTracesPerProgress == 0 &&
             !progress(index, reducer.Frame().traceCount)))
            return false;
        const auto n = static_cast<std::int64_t>(h.sampleCount);
        const double delayMs = o.waterfall ? 0.0 : h.delayRecordingTime;
        const ColumnTrace origin{number, SecondOfDay(h)};
        floats.resize(static_cast<std::size_t>(n));
        // Gained samples keep to doubles: a gained value that rounding made
        // equal to a cell's would be judged otherwise.
        if (!agc && DecodeSamplesToFloat(code, raw.data(), n, swap, floats.data())) {
            // Ignored on purpose: a trace FFTW cannot take shows as stored.
            if (processed)
                (void)processor.Process(std::span<float>(floats), IntervalMs(h));
            reducer.AddTrace(index, std::span<const float>(floats), delayMs, IntervalMs(h), origin);
            continue;
        }
        doubles.resize(static_cast<std::size_t>(n));
        // The reader opens only files whose format it decodes.
        (void)DecodeSamples(code, raw.data(), n, swap, doubles.data());
        if (processed && ProcessIntoFloats(processor, doubles, IntervalMs(h), floats)) {
            reducer.AddTrace(index, std::span<const float>(floats), delayMs, IntervalMs(h), origin);
            continue;
        }
        reducer.AddTrace(index, std::span<const double>(doubles), delayMs, IntervalMs(h), origin);
    }
    return true;
}

/// Below this many samples in range a second reader is not worth its start.
constexpr std::int64_t kSamplesForTwoReaders = std::int64_t{1} << 22;

/// The traces in range into `reducer`: by `in` alone, or the later part by a
/// second reader of `path` on a thread of its own, its cells then taken in
/// after the first part's, which gives the same grid. `progress` is told by
/// the first reader; a stop from it stops the second too.
void ReduceTraces(const std::string& path,
                  CSegyFileIn& in,
                  const HeaderScan& scan,
                  const SectionOptions& o,
                  const SectionProgress& progress,
                  CSectionReducer& reducer)
{
    std::atomic<bool> cancel{false};
    const auto done = [&] {
        if (progress)
            (void)progress(reducer.Frame().traceCount,
                           reducer.Frame().traceCount); // done: nothing to stop
    };
    const bool twoReaders =
        o.readers == 2 || (o.readers == 0 && scan.samples >= kSamplesForTwoReaders &&
                           std::thread::hardware_concurrency() >= 2);
    const TraceStart split = scan.starts.Nearest(scan.first.number + scan.inRange / 2);
    (void)in.SetPosition(scan.first.position); // cannot fail: open, position >= 0
    if (!twoReaders || split.number <= scan.first.number) {
        if (ReduceRun(in, scan.first.number, scan.last, o, progress, cancel, reducer))
            done();
        return;
    }
    CSectionReducer later(reducer.Frame());
    bool laterDone = false;
    const auto readLater = [&] {
        // Whatever stops the second reader (the file gone, no memory), the
        // first one reads its part after its own.
        try {
            CSegyFileIn other;
            if (other.Open(path) && other.SetPosition(split.position))
                laterDone = ReduceRun(other, split.number, scan.last, o, {}, cancel, later);
        } catch (const std::exception&) {
            laterDone = false;
        }
    };
    std::thread worker;
    try {
        worker = std::thread(readLater);
    } catch (const std::system_error&) {
        // No thread to be had: the one reader reads it all.
    }
    bool firstDone = false;
    try {
        firstDone =
            ReduceRun(in, scan.first.number, split.number - 1, o, progress, cancel, reducer);
    } catch (...) {
        // A thread still running at its end would end the process.
        cancel = true;
        if (worker.joinable())
            worker.join();
        throw;
    }
    if (!firstDone)
        cancel = true;
    if (worker.joinable())
        worker.join();
    if (!firstDone)
        return;
    if (laterDone) {
        reducer.TakeLater(later);
        done();
        return;
    }
    (void)in.SetPosition(split.position);
    if (ReduceRun(in, split.number, scan.last, o, progress, cancel, reducer))
        done();
}

} // namespace

TraceProcessing ProcessingOf(const SectionOptions& options)
{
    TraceProcessing p = options.processing;
    p.agcWindowMs = options.gain == SectionGain::Agc ? options.agcWindowMs : 0.0;
    return p;
}

std::optional<SampleValue>
ReadSampleAt(const std::string& path, std::int64_t offset, double ms, const SectionOptions& options)
{
    CSegyFileIn in;
    SegyHeaderType h{};
    if (!in.Open(path) || !in.SetPosition(offset))
        return std::nullopt;
    const std::span<const unsigned char> raw = in.ReadRaw(h);
    if (in.atEnd || h.sampleInterval <= 0 || h.sampleCount == 0)
        return std::nullopt;
    // The sample whose span holds `ms`, as the grid places it.
    const double index = std::floor((ms - h.delayRecordingTime) / IntervalMs(h));
    if (!(index >= 0.0) || index >= h.sampleCount)
        return std::nullopt;
    std::vector<double> samples(h.sampleCount);
    (void)DecodeSamples(in.GetFormat(), raw.data(), h.sampleCount, in.swapBytes, samples.data());
    const auto i = static_cast<std::size_t>(index);
    SampleValue value{samples[i], samples[i]};
    CTraceProcessor processor(ProcessingOf(options));
    if (processor.bActive() && processor.Process(samples, IntervalMs(h)))
        value.shownValue = samples[i];
    return value;
}

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
    s.nyquistHz = NyquistHz(scan);
    s.status = ChooseFrame(scan, o, s.frame);
    if (s.status != SectionStatus::Ok)
        return s;

    const SectionFrame reducerFrame = ReducerFrame(s.frame, o.waterfall);
    CSectionReducer reducer(reducerFrame);
    ReduceTraces(path, in, scan, o, progress, reducer);
    s.cells = reducer.TakeColumnMajorCells();
    if (!o.waterfall)
        s.columnTraces = reducer.Columns();
    s.clip = reducer.Magnitudes().Percentile(o.clipPercent);
    s.anyNegative = reducer.bAnyNegative();
    return s;
}

} // namespace tessara
