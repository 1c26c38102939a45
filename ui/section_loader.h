// Reading for the viewer, off the window's thread: a file's trace table and
// track, and its section for one view, a quick sparse picture first when the
// view holds many traces.
#pragma once

// Kept from moc, which cannot parse the standard library's concepts they
// pull in; it needs none of their names.
#ifndef Q_MOC_RUN
#include "nav/llt.h"
#include "section/section_file.h"
#endif

#include <QFuture>
#include <QRectF>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessara
{

/// What the viewer says of one trace of the file shown: the table read once
/// serves the views' limits, the hover, the first look and the pictures.
using ViewerTrace = FileTrace;
using TraceTable = std::shared_ptr<const std::vector<ViewerTrace>>;

/// The whole file's data as the viewer's views measure it: trace n spans
/// [n, n+1) across, two-way time in ms from the earliest delay to the latest
/// trace end down. Empty when no trace has samples.
[[nodiscard]] QRectF WholeData(const std::vector<ViewerTrace>& traces);

/// Below this many samples in view the whole picture comes quickly enough
/// (a few tens of megabytes): a first look would only show twice.
constexpr std::int64_t kPreviewAboveSamples = 8'000'000;

/// One file's section for one view.
struct SectionRequest {
    std::string path;
    /// Size, gain, clip, trace range and time window; a time window left NaN
    /// is the whole file's.
    SectionOptions options;
    TraceTable traces;      ///< the file's, when known: else read first
    bool withTrack = false; ///< read the track as well
    /// A first look is taken when the view holds more samples than this.
    std::int64_t previewAboveSamples = kPreviewAboveSamples;
};

/// One result of a load, handed out as soon as it is ready, in this order:
/// Table (when the request had none), Preview (when the view holds many more
/// traces than columns), Picture, Track (when asked for: its smoothing comes
/// after the section, which the user waits for). The file's headers
/// are read once, for the table (and the track with it when both are
/// asked for); the first look and the picture then read only the traces
/// they show, where the table puts them.
struct SectionLoadStep {
    enum class Kind { Table, Preview, Track, Picture };
    Kind kind = Kind::Picture;
    TraceTable traces;      ///< Table
    std::vector<llt> fixes; ///< Track; empty when the file has no navigation
    Section section;        ///< Preview, Picture
    SectionOptions options; ///< Preview, Picture: what was asked for, time window set
};

/// Reads as `request` asks on a pool thread. Cancelling the future stops the
/// reading at its next batch of traces and hands out nothing more; progress
/// runs over 0..kLoadProgressEnd while the full picture is reduced.
[[nodiscard]] QFuture<SectionLoadStep> StartSectionLoad(SectionRequest request);
constexpr int kLoadProgressEnd = 1000;

/// Every n-th trace for a first look at the traces `first`..`last`
/// (1-based) of `traces` in `columns` columns: 1 (no first look) unless they
/// hold at least twice as many traces as columns and more than
/// `aboveSamples` samples.
[[nodiscard]] std::int64_t PreviewStep(const std::vector<ViewerTrace>& traces,
                                       std::int64_t first,
                                       std::int64_t last,
                                       int columns,
                                       std::int64_t aboveSamples);

} // namespace tessara
