// The records of an output: counted while it is decided, written into the
// working output file once it is. The only code that writes into the
// working file.
#pragma once

#include "combine/delay_scan.h"
#include "combine/job_state.h"
#include "combine/speed_selection.h"
#include "combine/time_scale.h"
#include "combine/trace_positions.h"
#include "segy/io/segy_file_out.h"
#include "segy/io/segy_finishing_writer.h"
#include "trace/segy_trace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// What writing an output applies to its records as they stream to the
/// file: the speed-corrected selection, and the delays the delay scan
/// removes. Decided over the same records before the output is written.
struct OutputEdits {
    /// The selection when the output is speed corrected; its fixes must
    /// outlive the writing.
    const SpeedCorrectionPlan* correction = nullptr;
    DelayScanDecision delays;
};

/// The records an output takes, real and fill traces, and their
/// bookkeeping: the count, the bytes, the times of the first and the last
/// real trace, the template of fill traces. Deciding an output counts them
/// (COutputTally); writing it puts them into the working file (COutputFile).
/// The bookkeeping describes the records taken (the output as recorded)
/// either way.
class COutputRecords
{
public:
    explicit COutputRecords(std::string workingPath);
    virtual ~COutputRecords() = default;
    COutputRecords(const COutputRecords&) = delete;
    COutputRecords& operator=(const COutputRecords&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    /// Bytes of the records taken as recorded, file header included: the
    /// size the output's closing rules go by.
    [[nodiscard]] std::int64_t ByteCount() const { return m_state.bytes; }

    /// The job's time scale: the first trace time is on it, and fill traces
    /// get their headers' times from it.
    void SetTimeScale(const CJobTimeScale& scale) { m_state.scale = scale; }
    /// Fill traces take their positions from `positions` at their own times
    /// (none: they keep the last trace's); it must outlive their writing.
    void SetPositions(const CTracePositions* positions) { m_positions = positions; }

    /// Starts an input whose samples are in format `inputFormat`. The fill
    /// template keeps the header of the last trace written in the job, with
    /// zero samples for `samplesPerTrace`.
    void BeginInput(std::uint32_t samplesPerTrace, std::int32_t inputFormat);
    /// Takes a counted real trace and makes `time` the last trace time;
    /// `keepAsFillTemplate` makes fill traces carry its header from now on.
    /// False, with nothing recorded but the attempt, when the write failed.
    /// With `stored`, the trace's samples are those bytes of its input, not
    /// its `samples` (see CSegyFileOut::WriteStored).
    [[nodiscard]] bool WriteReal(const CSegyTrace& trace,
                                 double time,
                                 bool keepAsFillTemplate,
                                 const StoredSamples* stored = nullptr);
    /// The last trace time without a write (a trace counted but not written).
    void SetLastTraceTime(double time) { m_state.lastTraceTime = time; }

    /// Takes `count` fill traces `interval` seconds apart after the last
    /// trace time, each `fill` (its header's time set, its samples zero). A
    /// fill trace in a later year than the time scale's base year gets that
    /// year and its day in it; the others keep the template's year. The last
    /// trace time stays. False when a write failed; the filling then ends.
    [[nodiscard]] bool WriteFill(CSegyTrace& fill, std::int32_t count, double interval);
    /// The fill template of the plain and single-channel paths.
    [[nodiscard]] CSegyTrace& FillTemplate() { return m_nullTrace; }

    /// Time (on the job's scale) of the last real trace taken in the job.
    [[nodiscard]] double LastTraceTime() const { return m_state.lastTraceTime; }
    /// Records of the output, fill traces included.
    [[nodiscard]] std::int64_t Traces() const { return m_state.traces; }
    [[nodiscard]] std::int64_t FillTraces() const { return m_state.fillTraces; }
    /// Whether the output holds a real trace.
    [[nodiscard]] bool bHasRealTrace() const { return m_state.traces > m_state.fillTraces; }
    /// Time (on the job's scale) of the first real trace of the output.
    [[nodiscard]] double FirstTraceTime() const { return m_state.firstTraceTime; }

    /// Bytes a record with header `h` takes in the output.
    [[nodiscard]] std::int64_t RecordBytes(const SegyHeaderType& h) const;
    /// The output got its final name: its records no longer count as the
    /// working file's (the last trace time stays, for the next gap).
    void MarkCompleted();

    /// Since the object was made: records whose sample count differs from
    /// their file's header, and real traces converted with loss (a float
    /// input to an integer format, or an integer input to a narrower one).
    [[nodiscard]] std::int64_t OtherLengthRecords() const
    {
        return m_state.otherLength + m_state.otherLengthNow;
    }
    [[nodiscard]] std::int64_t LossyConversions() const { return m_state.lossy; }

protected:
    /// A new output like `input`, with `samplesPerTrace` in both count
    /// fields and, when given, the interval the traces will have after
    /// resampling (bytes 3217-3218, us); the counts of the previous output
    /// are cleared.
    void StartOutput(const CSegyFile& input,
                     std::uint16_t samplesPerTrace,
                     std::optional<std::uint16_t> sampleIntervalUs);
    /// The record of `trace`, number `record` of the output, of `bytes`
    /// bytes: counted or written. False when a write failed.
    [[nodiscard]] virtual bool Record(const CSegyTrace& trace,
                                      const StoredSamples* stored,
                                      std::int64_t record,
                                      std::int64_t bytes) = 0;
    /// Records of the open output whose sample count differs from its
    /// file header's.
    [[nodiscard]] std::int64_t OtherLengthNow() const { return m_state.otherLengthNow; }

    CSegyFinishingWriter m_file; // its writer lays out the records, and writes them
    CSegyFileOut& m_out = m_file.Out();

private:
    [[nodiscard]] bool
    WriteRecord(const CSegyTrace& trace, bool isFill, const StoredSamples* stored = nullptr);

    struct State {
        CJobTimeScale scale;
        std::int64_t traces = 0;
        std::int64_t fillTraces = 0;
        std::int64_t bytes = 0;
        double firstTraceTime = 0;
        double lastTraceTime = 0;
        bool lossyInput = false;         // the current input's samples lose in the output's format
        std::int64_t otherLength = 0;    // of the outputs before the open one
        std::int64_t otherLengthNow = 0; // of the open one
        std::int64_t lossy = 0;
    };

    std::string m_path;
    CSegyTrace m_nullTrace; // header of the last trace taken, zero samples
    State m_state;
    const CTracePositions* m_positions = nullptr;
};

/// Deciding an output: its records are counted, nothing is written. Their
/// delays and, when asked, their fixes are kept for the decisions that need
/// the whole output.
class COutputTally : public COutputRecords
{
public:
    using COutputRecords::COutputRecords;

    /// Whether the fixes of the records are kept for the speed correction.
    void KeepFixes(bool keep) { m_keepFixes = keep; }
    /// Starts counting an output like `input` (see COutputFile::Open).
    void Open(const CSegyFile& input,
              std::uint16_t samplesPerTrace,
              std::optional<std::uint16_t> sampleIntervalUs);
    /// Whether an output is being counted, from Open to Close.
    [[nodiscard]] bool bIsOpen() const { return m_open; }
    void Close() { m_open = false; }

    /// The kept fixes (positions are record numbers), moved out.
    [[nodiscard]] std::vector<llt> TakeFixes() { return std::move(m_fixes); }
    /// With fixes kept: the delay of each record.
    [[nodiscard]] const std::vector<std::int16_t>& RecordDelays() const { return m_recordDelays; }
    /// How many records of each delay were taken.
    [[nodiscard]] const DelayHistogram& Delays() const { return m_delays; }
    /// The bytes of the file the records taken make once `edits` apply to
    /// them, the file header included.
    [[nodiscard]] std::int64_t DecidedBytes(const OutputEdits& edits) const;

private:
    [[nodiscard]] bool Record(const CSegyTrace& trace,
                              const StoredSamples* stored,
                              std::int64_t record,
                              std::int64_t bytes) override;

    bool m_open = false;
    bool m_keepFixes = false;
    std::vector<llt> m_fixes;
    // Per delay, the records and their bytes; with fixes kept, the delay
    // and bytes of every record, which the speed-corrected selection takes
    // by number.
    DelayHistogram m_delays;
    DelayHistogram m_bytesByDelay;
    std::vector<std::int16_t> m_recordDelays;
    std::vector<std::int64_t> m_recordSizes;
};

/// Owner of the working output file ("SegyOut.sgy" in the output directory)
/// while an output is written: each record goes to it as the output's edits
/// say (repeated, with a header of its own, or left out). The only code that
/// writes into the working file. Every failure is kept: bHasFailed tells
/// whether anything since Open did not reach the file.
class COutputFile : public COutputRecords
{
public:
    using COutputRecords::COutputRecords;

    [[nodiscard]] bool bIsOpen() const { return m_out.bIsOpen(); }
    [[nodiscard]] bool bHasFailed() const { return m_out.bHasFailed(); }
    /// The edits of the output opened next (kept until then).
    void SetEdits(const OutputEdits& edits) { m_edits = edits; }

    /// Creates the working file and writes its file header: `input`'s, with
    /// `samplesPerTrace` in both count fields and, when given, the interval
    /// the traces will have after resampling (bytes 3217-3218, us). The
    /// counts of the previous output are cleared. False when the file cannot
    /// be created or the header not written.
    [[nodiscard]] bool Open(const CSegyFile& input,
                            std::uint16_t samplesPerTrace,
                            std::optional<std::uint16_t> sampleIntervalUs);
    /// Closes the file; false when it could not be written completely.
    [[nodiscard]] bool Close();
    /// Closes the file and removes it: an output without a trace.
    void Discard();
    /// Gives the closed, completely written file its final name `path` in one
    /// step, replacing a file there; false, with the working file kept, when
    /// anything of it was not written or the rename failed.
    [[nodiscard]] bool Finish(const std::string& path);
    /// Traces that reached the file, and traces the delay scan left out,
    /// since Open.
    [[nodiscard]] std::int64_t TracesWritten() const { return m_written; }
    [[nodiscard]] std::int64_t TracesRemoved() const { return m_removed; }

private:
    [[nodiscard]] bool Record(const CSegyTrace& trace,
                              const StoredSamples* stored,
                              std::int64_t record,
                              std::int64_t bytes) override;

    /// The record of `trace`, number `record` of the output, as the edits say.
    void Emit(const CSegyTrace& trace, const StoredSamples* stored, std::int64_t record);

    OutputEdits m_edits;
    CCorrectedSelection m_selection;
    std::int64_t m_written = 0;
    std::int64_t m_removed = 0;
};

} // namespace tessara
