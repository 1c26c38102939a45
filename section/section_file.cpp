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

/// -1 for a header whose clock fields are all zero: a recorder without a
/// clock, not a trace at midnight.
double SecondOfDay(const SegyHeaderType& h)
{
    if (h.year == 0 && h.dayOfYear == 0 && h.hour == 0 && h.minute == 0 && h.second == 0 &&
        h.millisecond == 0)
        return -1.0;
    return (h.hour * 60.0 + h.minute) * 60.0 + h.second + h.millisecond / 1000.0;
}

double IntervalMs(const SegyHeaderType& h)
{
    return h.sampleInterval / 1000.0;
}

/// Both sides of a pair start at the port trace's delay; a negative one
/// would put a side's samples on the other side of nadir.
double PairDelayMs(const SegyHeaderType& h)
{
    return std::max(0, static_cast<int>(h.delayRecordingTime));
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
    bool allMarkedPairs = true;        ///< every trace code 25 with an even count
    std::int64_t unpaired = 0;         ///< the first trace of an odd count
    std::uint32_t unpairedSamples = 0; ///< its count
    double widestSideMs = 0.0;         ///< of a pair: delay + half its samples
    TraceStart first;                  ///< the first trace in range
    TraceStart last;                   ///< the last trace in range
    CTraceStarts starts;               ///< of traces in range
};

FileTrace FileTraceOf(std::int64_t offset, const SegyHeaderType& h)
{
    return {offset,
            double(h.delayRecordingTime),
            h.digitizerChannel,
            h.sampleCount,
            IntervalMs(h),
            h.traceIdCode};
}

/// Whether a header read now still says what the list of the file's traces
/// took from it: else the file was written anew since.
bool bSameTrace(const FileTrace& listed, const SegyHeaderType& h)
{
    return listed.sampleCount == h.sampleCount && listed.delayMs == h.delayRecordingTime &&
           listed.intervalMs == IntervalMs(h);
}

/// Adds the next trace of the file, numbered `number`, to `scan`; false when
/// it lies outside the range (or is passed over by the step).
bool NoteTrace(HeaderScan& scan, const SectionOptions& o, std::int64_t number, const FileTrace& t)
{
    scan.traces = number;
    if (number < o.firstTrace || (o.lastTrace > 0 && number > o.lastTrace) ||
        (number - o.firstTrace) % o.traceStep != 0)
        return false;
    if (scan.inRange++ == 0)
        scan.first = {number, t.offset};
    scan.starts.Note({number, t.offset});
    scan.last = {number, t.offset};
    if (t.sampleCount % 2 != 0 && scan.unpaired == 0) {
        scan.unpaired = number;
        scan.unpairedSamples = t.sampleCount;
    }
    scan.allMarkedPairs =
        scan.allMarkedPairs && t.traceIdCode == kSidescanPairCode && t.sampleCount % 2 == 0;
    if (t.intervalMs <= 0 || t.sampleCount == 0)
        return true;
    scan.earliestMs = std::min(scan.earliestMs, t.delayMs);
    scan.latestMs = std::max(scan.latestMs, t.delayMs + t.sampleCount * t.intervalMs);
    scan.longestTrace = std::max(scan.longestTrace, t.sampleCount);
    scan.samples += t.sampleCount;
    scan.longestIntervalMs = std::max(scan.longestIntervalMs, t.intervalMs);
    // As PairDelayMs: a negative delay would put a side across nadir.
    scan.widestSideMs =
        std::max(scan.widestSideMs, std::max(0.0, t.delayMs) + t.sampleCount / 2 * t.intervalMs);
    scan.shortestIntervalMs = std::min(scan.shortestIntervalMs, t.intervalMs);
    return true;
}

/// Shows `visit` each complete trace's offset and header from where `in`
/// stands on, until the file ends or `visit` says false.
void ForEachHeader(CSegyFileIn& in, const TraceHeaderVisitor& visit)
{
    SegyHeaderType h{};
    for (;;) {
        const std::int64_t offset = in.GetPosition();
        in.ReadHeader(h);
        if (in.atEnd || !visit(offset, h))
            return;
    }
}

HeaderScan ScanHeaders(CSegyFileIn& in, const SectionOptions& o, Section& s)
{
    HeaderScan scan;
    ForEachHeader(in, [&](std::int64_t offset, const SegyHeaderType& h) {
        if (!NoteTrace(scan, o, scan.traces + 1, FileTraceOf(offset, h)))
            return true;
        if (scan.inRange == 1)
            s.firstTime = TimeOf(h);
        s.lastTime = TimeOf(h);
        return true;
    });
    return scan;
}

/// The header pass done over the list of the file's traces: only the first
/// and last trace in range are read, for their times. Empty when a header
/// read no longer says what the list does.
std::optional<HeaderScan>
ScanList(CSegyFileIn& in, std::span<const FileTrace> traces, const SectionOptions& o, Section& s)
{
    HeaderScan scan;
    for (std::size_t k = 0; k < traces.size(); ++k)
        (void)NoteTrace(scan, o, static_cast<std::int64_t>(k) + 1, traces[k]);
    const auto timeOf = [&](std::int64_t number, SectionTime& time) {
        SegyHeaderType h{};
        const FileTrace& listed = traces[static_cast<std::size_t>(number - 1)];
        if (!in.SetPosition(listed.offset))
            return false;
        in.ReadHeader(h);
        time = TimeOf(h);
        return !in.atEnd && bSameTrace(listed, h);
    };
    SectionTime lastInFile;
    // The list's last trace, read whole, tells that the file still holds them all.
    if (!timeOf(scan.traces, lastInFile))
        return std::nullopt;
    if (scan.inRange > 0 &&
        !(timeOf(scan.first.number, s.firstTime) && timeOf(scan.last.number, s.lastTime)))
        return std::nullopt;
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
    if (o.waterfall && scan.unpaired != 0)
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
        // Nadir in the middle whatever the pairs' lengths: the widest side
        // decides the span on both.
        frame.endMs = std::max(scan.widestSideMs, scan.longestIntervalMs);
        frame.startMs = -frame.endMs;
        return SectionStatus::Ok;
    }
    frame.startMs = std::isnan(o.startMs) ? scan.earliestMs : o.startMs;
    frame.endMs = std::isnan(o.endMs) ? scan.latestMs : o.endMs;
    if (!(frame.endMs > frame.startMs) || frame.endMs <= scan.earliestMs ||
        frame.startMs >= scan.latestMs)
        return SectionStatus::EmptyTimeWindow;
    return SectionStatus::Ok;
}

/// A water column of more samples than this (a delay of seconds at
/// microsecond samples: a header gone wrong) is not laid out sample by sample.
constexpr std::size_t kLongestWaterColumn = std::size_t{1} << 20;

/// The samples of the pair `pair` laid out for the waterfall in `row`: the port
/// half from its far range in to nadir, then the water column the delay left
/// unrecorded (NaN, which the reducer skips; to the nearest sample), then the
/// starboard half from nadir out. Returns where row[0] lies, in two-way ms
/// across the frame (negative: port). A water column longer than
/// kLongestWaterColumn leaves the starboard half out of `row`, for the
/// caller to add at +delayMs: one row keeps consecutive pairs stacked, two
/// would not.
template <typename T>
double LayOutPair(std::span<const T> pair,
                  double delayMs,
                  double intervalMs,
                  bool portFlipped,
                  std::vector<T>& row)
{
    const std::size_t side = pair.size() / 2;
    const std::size_t gap =
        intervalMs > 0.0 ? static_cast<std::size_t>(std::lround(2.0 * delayMs / intervalMs)) : 0;
    const bool apart = gap > kLongestWaterColumn;
    row.assign(apart ? side : 2 * side + gap, std::numeric_limits<T>::quiet_NaN());
    const std::span<const T> port = pair.first(side);
    const std::span<const T> starboard = pair.subspan(side, side);
    if (portFlipped)
        std::copy(port.begin(), port.end(), row.data());
    else
        std::reverse_copy(port.begin(), port.end(), row.data());
    if (!apart)
        std::copy(starboard.begin(), starboard.end(), row.data() + side + gap);
    return -(delayMs + static_cast<double>(side) * intervalMs);
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

/// How a run of traces ended.
enum class RunEnd {
    Done,      ///< every trace taken was reduced, or the file ended first
    Stopped,   ///< by the progress or the cancel flag
    ListStale, ///< a trace read is not as the list of the file's traces says
};

/// Reads trace `number` into `h` and its samples as stored into `raw`: where
/// `listed` (the file's traces; may be empty) puts it, or without a list
/// next in `in` after reading on over the `skip` traces passed over. Done,
/// with `in.atEnd` set when the file ended first.
RunEnd ReadTaken(CSegyFileIn& in,
                 std::span<const FileTrace> listed,
                 std::int64_t number,
                 std::int64_t skip,
                 SegyHeaderType& h,
                 std::span<const unsigned char>& raw)
{
    if (listed.empty()) {
        for (std::int64_t k = 0; k < skip && !in.atEnd; ++k)
            in.ReadHeader(h);
        if (!in.atEnd)
            raw = in.ReadRaw(h);
        return RunEnd::Done;
    }
    const FileTrace& t = listed[static_cast<std::size_t>(number - 1)];
    (void)in.SetPosition(t.offset); // cannot fail: open, offset >= 0
    raw = in.ReadRaw(h);
    return !in.atEnd && bSameTrace(t, h) ? RunEnd::Done : RunEnd::ListStale;
}

/// Reduces the traces taken of `from`..`to` (1-based, inclusive; every
/// traceStep-th from firstTrace, `from` one of them) as ReadTaken finds
/// them: without a list `in` stands at trace `from`. Samples are decoded
/// straight from the reader's buffer into single floats where those hold
/// them exactly and no gain changes them; into doubles otherwise.
/// `progress` (may be empty) is told how far the run has come; false from
/// it, or `cancel` set, stops the run.
RunEnd ReduceRun(CSegyFileIn& in,
                 std::int64_t from,
                 std::int64_t to,
                 std::span<const FileTrace> listed,
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
    std::vector<float> floatRow;
    std::vector<double> doubleRow;
    SegyHeaderType h{};
    const auto add = [&]<typename T>(std::int64_t index,
                                     const std::vector<T>& samples,
                                     std::vector<T>& row,
                                     const ColumnTrace& origin) {
        if (!o.waterfall) {
            reducer.AddTrace(
                index, std::span<const T>(samples), h.delayRecordingTime, IntervalMs(h), origin);
            return;
        }
        const std::span<const T> pair(samples);
        const double left = LayOutPair(pair, PairDelayMs(h), IntervalMs(h), o.portFlipped, row);
        reducer.AddTrace(index, std::span<const T>(row), left, IntervalMs(h), origin);
        if (row.size() < pair.size())
            reducer.AddTrace(
                index, pair.subspan(row.size(), row.size()), PairDelayMs(h), IntervalMs(h), origin);
    };
    for (std::int64_t number = from; number <= to; number += o.traceStep) {
        std::span<const unsigned char> raw;
        if (ReadTaken(in, listed, number, number == from ? 0 : o.traceStep - 1, h, raw) !=
            RunEnd::Done)
            return RunEnd::ListStale;
        if (in.atEnd)
            break;
        const std::int64_t index = (number - o.firstTrace) / o.traceStep;
        if (cancel.load(std::memory_order_relaxed) ||
            (progress && index % kTracesPerProgress == 0 &&
             !progress(index, reducer.Frame().traceCount)))
            return RunEnd::Stopped;
        const auto n = static_cast<std::int64_t>(h.sampleCount);
        const ColumnTrace origin{number, SecondOfDay(h)};
        floats.resize(static_cast<std::size_t>(n));
        // Gained samples keep to doubles: a gained value that rounding made
        // equal to a cell's would be judged otherwise.
        if (!agc && DecodeSamplesToFloat(code, raw.data(), n, swap, floats.data())) {
            // Ignored on purpose: a trace FFTW cannot take shows as stored.
            if (processed)
                (void)processor.Process(std::span<float>(floats), IntervalMs(h));
            add(index, floats, floatRow, origin);
            continue;
        }
        doubles.resize(static_cast<std::size_t>(n));
        // The reader opens only files whose format it decodes.
        (void)DecodeSamples(code, raw.data(), n, swap, doubles.data());
        if (processed && ProcessIntoFloats(processor, doubles, IntervalMs(h), floats)) {
            add(index, floats, floatRow, origin);
            continue;
        }
        add(index, doubles, doubleRow, origin);
    }
    return RunEnd::Done;
}

/// Below this many samples in range a second reader is not worth its start.
constexpr std::int64_t kSamplesForTwoReaders = std::int64_t{1} << 22;

/// The traces in range into `reducer`: by `in` alone, or the later part by a
/// second reader of `path` on a thread of its own, its cells then taken in
/// after the first part's, which gives the same grid. `progress` is told by
/// the first reader; a stop from it stops the second too. `listed` as for
/// ReduceRun.
RunEnd ReduceTraces(const std::string& path,
                    CSegyFileIn& in,
                    const HeaderScan& scan,
                    std::span<const FileTrace> listed,
                    const SectionOptions& o,
                    const SectionProgress& progress,
                    CSectionReducer& reducer)
{
    std::atomic<bool> cancel{false};
    const auto finish = [&](RunEnd end) {
        if (end == RunEnd::Done && progress)
            (void)progress(reducer.Frame().traceCount,
                           reducer.Frame().traceCount); // done: nothing to stop
        return end;
    };
    const bool twoReaders =
        o.readers == 2 || (o.readers == 0 && scan.samples >= kSamplesForTwoReaders &&
                           std::thread::hardware_concurrency() >= 2);
    const TraceStart split = scan.starts.Nearest(scan.first.number + scan.inRange / 2);
    const std::int64_t last = scan.last.number;
    (void)in.SetPosition(scan.first.position); // cannot fail: open, position >= 0
    if (!twoReaders || split.number <= scan.first.number)
        return finish(ReduceRun(in, scan.first.number, last, listed, o, progress, cancel, reducer));
    CSectionReducer later(reducer.Frame());
    RunEnd laterEnd = RunEnd::Stopped;
    const auto readLater = [&] {
        // Whatever stops the second reader (the file gone, no memory), the
        // first one reads its part after its own.
        try {
            CSegyFileIn other;
            if (other.Open(path) && other.SetPosition(split.position))
                laterEnd = ReduceRun(other, split.number, last, listed, o, {}, cancel, later);
        } catch (const std::exception&) {
            laterEnd = RunEnd::Stopped;
        }
    };
    std::thread worker;
    try {
        worker = std::thread(readLater);
    } catch (const std::system_error&) {
        // No thread to be had: the one reader reads it all.
    }
    RunEnd firstEnd = RunEnd::Stopped;
    try {
        firstEnd = ReduceRun(
            in, scan.first.number, split.number - 1, listed, o, progress, cancel, reducer);
    } catch (...) {
        // A thread still running at its end would end the process.
        cancel = true;
        if (worker.joinable())
            worker.join();
        throw;
    }
    if (firstEnd != RunEnd::Done)
        cancel = true;
    if (worker.joinable())
        worker.join();
    if (firstEnd != RunEnd::Done || laterEnd == RunEnd::ListStale)
        return firstEnd != RunEnd::Done ? firstEnd : laterEnd;
    if (laterEnd == RunEnd::Done) {
        reducer.TakeLater(later);
        return finish(RunEnd::Done);
    }
    (void)in.SetPosition(split.position);
    return finish(ReduceRun(in, split.number, last, listed, o, progress, cancel, reducer));
}

/// BuildSection of the traces `listed` (may be empty: read the file's
/// headers). Empty when the list no longer fits the file.
std::optional<Section> BuildFrom(const std::string& path,
                                 const SectionOptions& options,
                                 std::span<const FileTrace> listed,
                                 const SectionProgress& progress)
{
    Section s;
    SectionOptions o = options;
    o.firstTrace = std::max<std::int64_t>(1, o.firstTrace);
    o.traceStep = std::max<std::int64_t>(1, o.traceStep);
    CSegyFileIn in;
    if (!in.Open(path)) {
        s.status = SectionStatus::CannotOpen;
        s.openError = in.OpenError();
        return s;
    }
    const std::optional<HeaderScan> scan =
        listed.empty() ? ScanHeaders(in, o, s) : ScanList(in, listed, o, s);
    if (!scan)
        return std::nullopt;
    s.fileTraces = scan->traces;
    s.firstTrace = o.firstTrace;
    s.lastTrace = scan->last.number;
    s.unpairedTrace = scan->unpaired;
    s.unpairedSamples = scan->unpairedSamples;
    s.nyquistHz = NyquistHz(*scan);
    o.waterfall = o.waterfall || (o.waterfallWhenMarked && scan->allMarkedPairs);
    s.waterfall = o.waterfall;
    s.status = ChooseFrame(*scan, o, s.frame);
    if (s.status != SectionStatus::Ok)
        return s;

    const SectionFrame reducerFrame = ReducerFrame(s.frame, o.waterfall);
    CSectionReducer reducer(reducerFrame);
    if (ReduceTraces(path, in, *scan, listed, o, progress, reducer) == RunEnd::ListStale)
        return std::nullopt;
    s.cells = reducer.TakeColumnMajorCells();
    s.columnTraces = reducer.Columns();
    s.soundSpeed = o.soundSpeed;
    s.clip = reducer.Magnitudes().Percentile(o.clipPercent);
    s.anyNegative = reducer.bAnyNegative();
    return s;
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
    // Without a list of the traces there is none to go stale.
    return *BuildFrom(path, options, {}, progress);
}

Section BuildSection(const std::string& path,
                     const SectionOptions& options,
                     std::span<const FileTrace> traces,
                     const SectionProgress& progress)
{
    if (!traces.empty()) {
        if (std::optional<Section> s = BuildFrom(path, options, traces, progress))
            return std::move(*s);
    }
    return BuildSection(path, options, progress);
}

std::vector<FileTrace> ReadFileTraces(CSegyFileIn& in, const TraceHeaderVisitor& visit)
{
    std::vector<FileTrace> traces;
    if (!in.isValid)
        return traces;
    in.Rewind();
    ForEachHeader(in, [&](std::int64_t offset, const SegyHeaderType& h) {
        traces.push_back(FileTraceOf(offset, h));
        return !visit || visit(offset, h);
    });
    return traces;
}

} // namespace tessara
