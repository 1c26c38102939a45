#include "ui/section_loader.h"

#include "combine/api/combine_settings.h"
#include "nav/navigation.h"
#include "segy/io/segy_file_in.h"

#include <QPromise>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tessara
{
namespace
{

/// Headers read between two looks at the cancel flag.
constexpr std::int64_t kHeadersPerCancelCheck = 1024;

/// The file's trace table, what was read so far when `stop` says so, and
/// with `fixes` (may be null) the fix of every trace with a position, from
/// the same pass over the headers, not yet finished (FinishFixList).
std::vector<ViewerTrace>
ReadTraceTable(const std::string& path, const std::function<bool()>& stop, std::vector<llt>* fixes)
{
    CSegyFileIn in;
    if (!in.Open(path))
        return {};
    std::int64_t read = 0;
    return ReadFileTraces(in, [&](std::int64_t offset, const SegyHeaderType& header) {
        ++read;
        // Each trace's place among all stands in for a missing sequence
        // number, as in the track's own pass; a trace without a position
        // simply gives no fix.
        if (fixes != nullptr)
            (void)AddFixOfHeader(*fixes, header, offset, static_cast<std::int32_t>(read));
        return read % kHeadersPerCancelCheck != 0 || !stop();
    });
}

/// The Track step: the fixes found with the table, finished, or without
/// them (the table came with the request) a pass of its own.
SectionLoadStep TrackStep(const SectionRequest& request, std::optional<std::vector<llt>> fixes)
{
    SectionLoadStep track;
    track.kind = SectionLoadStep::Kind::Track;
    const int averaged = CombineSettings{}.nav_average_fixes;
    if (fixes) {
        track.fixes = std::move(*fixes);
        (void)FinishFixList(track.fixes, averaged); // the spikes repaired are not shown
        return track;
    }
    const FixListStats stats = ReadAndBufferTraceHeaderData(request.path, averaged, track.fixes);
    if (stats.traces < 0)
        track.fixes.clear();
    return track;
}

void Load(QPromise<SectionLoadStep>& promise, const SectionRequest& request)
{
    const auto stop = [&promise] { return promise.isCanceled(); };
    TraceTable traces = request.traces;
    std::optional<std::vector<llt>> fixes;
    if (!traces) {
        if (request.withTrack)
            fixes.emplace();
        traces = std::make_shared<const std::vector<ViewerTrace>>(
            ReadTraceTable(request.path, stop, fixes ? &*fixes : nullptr));
        if (stop())
            return;
        SectionLoadStep table;
        table.kind = SectionLoadStep::Kind::Table;
        table.traces = traces;
        promise.addResult(std::move(table));
    }
    SectionOptions options = request.options;
    // Both pictures share the whole file's time span unless a window is
    // asked for: the first look must not be cut to the traces it happened to read.
    const QRectF whole = WholeData(*traces);
    if (std::isnan(options.startMs) && !whole.isEmpty())
        options.startMs = whole.top();
    if (std::isnan(options.endMs) && !whole.isEmpty())
        options.endMs = whole.bottom();
    const auto count = static_cast<std::int64_t>(traces->size());
    const std::int64_t last = options.lastTrace > 0 ? std::min(options.lastTrace, count) : count;
    SectionOptions sparse = options;
    sparse.traceStep = PreviewStep(
        *traces, options.firstTrace, last, options.columns, request.previewAboveSamples);
    if (sparse.traceStep > 1) {
        SectionLoadStep preview;
        preview.kind = SectionLoadStep::Kind::Preview;
        preview.section = BuildSection(
            request.path, sparse, *traces, [&stop](std::int64_t, std::int64_t) { return !stop(); });
        if (stop())
            return;
        preview.options = options;
        promise.addResult(std::move(preview));
    }
    promise.setProgressRange(0, kLoadProgressEnd);
    SectionLoadStep picture;
    picture.kind = SectionLoadStep::Kind::Picture;
    picture.section = BuildSection(
        request.path, options, *traces, [&promise, &stop](std::int64_t done, std::int64_t all) {
            if (all > 0)
                promise.setProgressValue(static_cast<int>(done * kLoadProgressEnd / all));
            return !stop();
        });
    if (stop())
        return;
    picture.options = options;
    promise.addResult(std::move(picture));
    // The track's smoothing and distances come last: the section is what the
    // user waits for, and the reading threads had both cores until now.
    if (request.withTrack) {
        SectionLoadStep track = TrackStep(request, std::move(fixes));
        if (stop())
            return;
        promise.addResult(std::move(track));
    }
}

} // namespace

QRectF WholeData(const std::vector<ViewerTrace>& traces)
{
    double earliest = HUGE_VAL;
    double latest = -HUGE_VAL;
    for (const ViewerTrace& t : traces) {
        if (t.intervalMs <= 0 || t.sampleCount == 0)
            continue;
        earliest = std::min(earliest, t.delayMs);
        latest = std::max(latest, t.delayMs + t.sampleCount * t.intervalMs);
    }
    if (!(latest > earliest))
        return {};
    return {1.0, earliest, static_cast<double>(traces.size()), latest - earliest};
}

std::int64_t PreviewStep(const std::vector<ViewerTrace>& traces,
                         std::int64_t first,
                         std::int64_t last,
                         int columns,
                         std::int64_t aboveSamples)
{
    first = std::max<std::int64_t>(1, first);
    last = std::min(last, static_cast<std::int64_t>(traces.size()));
    if (last < first || columns < 1)
        return 1;
    std::int64_t samples = 0;
    for (std::int64_t n = first; n <= last; ++n)
        samples += traces[static_cast<std::size_t>(n - 1)].sampleCount;
    // About one trace a column: the first look has every column filled.
    const std::int64_t step = (last - first + 1) / columns;
    return samples > aboveSamples && step >= 2 ? step : 1;
}

QFuture<SectionLoadStep> StartSectionLoad(SectionRequest request)
{
    return QtConcurrent::run(
        [](QPromise<SectionLoadStep>& promise, const SectionRequest& r) { Load(promise, r); },
        std::move(request));
}

} // namespace tessara
