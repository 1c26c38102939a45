// The section of one SEG-Y file: its traces read once, placed at true
// two-way time, gained and reduced into a grid of the picture's size.
#pragma once

#include "section/section_grid.h"
#include "section/trace_processing.h"
#include "segy/io/segy_file_in.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessara
{

enum class SectionGain {
    None,
    Agc, ///< automatic gain control over SectionOptions::agcWindowMs
};

/// What to show and in how many cells.
struct SectionOptions {
    int columns = 1000; ///< cells across (traces; waterfall: samples), >= 1
    int rows = 600;     ///< cells down (time; waterfall: pairs), >= 1
    SectionGain gain = SectionGain::None;
    double agcWindowMs = 0.0; ///< ms, > 0 with SectionGain::Agc
    /// DC removal and band-pass before the gain (its agcWindowMs is not read:
    /// gain and agcWindowMs above say whether and how).
    TraceProcessing processing;
    double clipPercent = 99.0;   ///< (0, 100]: magnitudes clipped at this percentile
    std::int64_t firstTrace = 1; ///< 1-based, inclusive
    std::int64_t lastTrace = 0;  ///< 1-based, inclusive; 0: the file's last trace
    double startMs = std::numeric_limits<double>::quiet_NaN(); ///< NaN: earliest delay
    double endMs = std::numeric_limits<double>::quiet_NaN();   ///< NaN: latest trace end
    /// Sidescan pairs (a port trace and a starboard trace of equal length
    /// joined into one, port first, as the combine job writes them with any
    /// channel field) as a waterfall: one pair per row, pings down, slant
    /// range across with nadir in the middle, port on the left. A trace of an
    /// odd sample count is no pair and refuses the waterfall.
    bool waterfall = false;
    /// The waterfall for a file whose every trace in range is marked a pair
    /// (trace identification code 25 and an even sample count), the section
    /// otherwise. Pairs made on another channel field than the digitizer
    /// channel carry the port trace's header unmarked: only the settings of
    /// the job that wrote them tell (waterfall).
    bool waterfallWhenMarked = false;
    /// The port half runs from far range in to nadir (the job's default);
    /// false: as recorded, nadir first, and the waterfall turns it round.
    bool portFlipped = true;
    /// m/s, > 0: turns the waterfall's two-way time into slant range.
    double soundSpeed = 1500.0;
    /// Only every n-th trace of the range, from firstTrace on (>= 1; less
    /// counts as 1): a first look at a large file reads a bounded number of
    /// traces. The section then spans the traces taken.
    std::int64_t traceStep = 1;
    /// Readers of the file at once, each on a thread of its own: 1 or 2; 0
    /// chooses 2 for files of millions of samples on a machine of more than
    /// one core. The grid is the same whatever the count.
    int readers = 0;
};

/// The recording time of a trace as its header states it.
struct SectionTime {
    int year = 0;
    int day = 0; ///< day of the year
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Why BuildSection made no section.
enum class SectionStatus {
    Ok,
    CannotOpen,       ///< Open failed: see openError
    NoTraces,         ///< the file holds no complete trace
    TracesOutOfRange, ///< firstTrace lies past the last trace
    NoSampleInterval, ///< no trace in range has a positive sample interval
    EmptyTimeWindow,  ///< the time window holds no sample of any trace
    NotSidescanPairs, ///< waterfall asked for, a trace in range has an odd sample count
    BandPastNyquist,  ///< the band-pass's lower corner is not below any trace's Nyquist
};

/// The processing each trace of a section gets: `options`' own with the AGC
/// window filled in from the gain.
[[nodiscard]] TraceProcessing ProcessingOf(const SectionOptions& options);

/// One sample of a trace, as stored in the file and as the picture shows it
/// after processing (in the picture's units: before the clip level).
struct SampleValue {
    double storedValue = 0.0;
    double shownValue = 0.0;
};

/// The sample of the trace whose header starts at byte `offset` of the file
/// at `path` nearest two-way time `ms`, the trace processed as `options`
/// say. Nothing when the file cannot be read there or `ms` lies outside
/// the trace. Reads that one trace.
[[nodiscard]] std::optional<SampleValue> ReadSampleAt(const std::string& path,
                                                      std::int64_t offset,
                                                      double ms,
                                                      const SectionOptions& options);

/// A section ready to paint.
struct Section {
    SectionStatus status = SectionStatus::Ok;
    SegyOpenError openError;           ///< with CannotOpen
    std::int64_t unpairedTrace = 0;    ///< with NotSidescanPairs: the first trace of an odd count
    std::uint32_t unpairedSamples = 0; ///< its sample count
    double nyquistHz = 0.0;            ///< with BandPastNyquist: the highest of the traces
    std::int64_t fileTraces = 0;       ///< complete traces in the file
    std::int64_t firstTrace = 0;       ///< 1-based, the first trace shown
    std::int64_t lastTrace = 0;        ///< 1-based, the last trace shown
    SectionTime firstTime;             ///< of firstTrace
    SectionTime lastTime;              ///< of lastTrace
    bool waterfall = false;            ///< drawn as a waterfall (asked for, or chosen by the marks)
    /// Not waterfall: two-way time (ms) down. Waterfall: columns across two-way
    /// time to each side of nadir, startMs (< 0) the port's far range and
    /// endMs (= -startMs) the starboard's; rows are pairs.
    SectionFrame frame;
    /// Values after gain, NaN where no sample fell, as the reducer keeps
    /// them: the cells of one trace column together (the waterfall: of one
    /// pair's row). Read them by Cell.
    std::vector<float> cells;
    /// The first trace of each column (the waterfall: of each row).
    std::vector<ColumnTrace> columnTraces;
    double soundSpeed = 1500.0; ///< m/s, as asked for
    double clip = 0.0;          ///< magnitude shown at full colour, >= 0
    bool anyNegative = false;   ///< some sample shown is below zero

    /// The cell at `column` (0..frame.columns-1) and `row` (0..frame.rows-1).
    [[nodiscard]] float Cell(int column, int row) const
    {
        const auto c = static_cast<std::size_t>(column);
        const auto r = static_cast<std::size_t>(row);
        return waterfall ? cells[r * static_cast<std::size_t>(frame.columns) + c]
                         : cells[c * static_cast<std::size_t>(frame.rows) + r];
    }
};

/// One complete trace of a file as its header states it, with the repairs of
/// reading: where it lies and what a section's frame and its viewer need of
/// it, learnt without reading its samples. 40 bytes: a file of a million
/// traces lists in 40 MB.
struct FileTrace {
    std::int64_t offset = 0;       ///< bytes: where its header starts
    double delayMs = 0.0;          ///< delayRecordingTime (byte 108)
    std::int32_t channel = 0;      ///< digitizerChannel (byte 180)
    std::uint32_t sampleCount = 0; ///< byte 114
    double intervalMs = 0.0;       ///< sampleInterval (byte 116), as reading repairs it
    std::int16_t traceIdCode = 0;  ///< byte 28
};

/// Sees each header ReadFileTraces meets, with the byte offset where its trace
/// starts; false stops the reading after that trace.
using TraceHeaderVisitor = std::function<bool(std::int64_t offset, const SegyHeaderType& header)>;

/// Every complete trace of the file open in `in`, from its first trace on,
/// in file order, reading the headers alone. `visit` (may be empty) sees
/// each header as it is read, so that one pass over the headers serves its
/// caller too. Empty when `in` is not open; the reader is left after the
/// last trace read.
[[nodiscard]] std::vector<FileTrace> ReadFileTraces(CSegyFileIn& in,
                                                    const TraceHeaderVisitor& visit = {});

/// Reads the SEG-Y file at `path` (either byte order, every format the
/// reader takes, traces of any length) in two sequential passes: the trace
/// headers alone to learn the count and the time span, then the traces
/// in range, each gained and reduced as it is read, with the clip level
/// estimated in that same pass; the second pass may split the traces
/// between two readers (SectionOptions::readers). Memory holds a grid, a
/// histogram and a few traces per reader, whatever the file's size (two
/// grids while two readers run). On failure `status` says why and the grid
/// is empty. Throws std::bad_alloc when the grid does not fit in memory.
[[nodiscard]] Section BuildSection(const std::string& path, const SectionOptions& options);

/// Told now and then while the traces are reduced: traces taken so far and
/// in all. Returning false stops the reading; the section then holds what
/// was reduced so far, and only its caller knows it is incomplete.
using SectionProgress = std::function<bool(std::int64_t tracesDone, std::int64_t tracesInAll)>;

/// BuildSection telling `progress` (may be empty) how far it has come.
[[nodiscard]] Section BuildSection(const std::string& path,
                                   const SectionOptions& options,
                                   const SectionProgress& progress);

/// BuildSection of a file whose traces `traces` lists (ReadFileTraces of
/// the same file): the header pass is left out, and traces that a traceStep
/// passes over are not read at all. The section is the one reading the file
/// gives while the file is as the list found it (the list's traces are the
/// file's, however long the file has grown since). A list that no longer
/// fits the file, a trace read whose header says another length, delay or
/// interval than the list, is put aside and the file read as BuildSection
/// reads it; so is an empty list.
[[nodiscard]] Section BuildSection(const std::string& path,
                                   const SectionOptions& options,
                                   std::span<const FileTrace> traces,
                                   const SectionProgress& progress);

} // namespace tessara
