// The working output file of a job and everything counted while it is
// written. The only code that writes into the working file.
#pragma once

#include "combine/job_state.h"
#include "combine/time_scale.h"
#include "segy/io/segy_file_out.h"
#include "trace/segy_trace.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessara
{

/// Owner of the working output file ("SegyOut.sgy" in the output directory).
/// It writes real and fill traces and keeps their bookkeeping: the records
/// written, the time of the last real trace, the trace count and mean trace
/// interval of the current input, the template of fill traces, and the
/// histogram of delays the delay scan uses. Every failure is kept: bHasFailed
/// tells whether anything since Open did not reach the file.
class COutputFile
{
public:
    explicit COutputFile(std::string workingPath);

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] bool bIsOpen() const { return m_out.bIsOpen(); }
    [[nodiscard]] bool bHasFailed() const { return m_out.bHasFailed(); }
    /// Bytes written to the open file, file header included.
    [[nodiscard]] std::int64_t ByteCount() const { return m_out.byteCount; }

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

    /// The job's time scale: the first trace time is on it, and fill traces
    /// get their headers' times from it.
    void SetTimeScale(const CJobTimeScale& scale) { m_scale = scale; }

    /// Starts the bookkeeping of an input whose samples are in format
    /// `inputFormat`: no trace counted yet, mean interval 1 s. The fill
    /// template keeps the header of the last trace written in the job, with
    /// zero samples for `samplesPerTrace`.
    void BeginInput(std::uint32_t samplesPerTrace, std::int32_t inputFormat);

    /// Counts a trace of the current input at `time` (seconds of year): from
    /// the third trace on, the mean interval is measured from `inputStart`
    /// (seconds of year). Every trace that gives the job its time counts,
    /// written or not.
    void CountTrace(double time, double inputStart);
    /// Writes a counted real trace and makes `time` the last trace time;
    /// `keepAsFillTemplate` makes fill traces carry its header from now on.
    /// False, with nothing recorded but the attempt, when the write failed.
    /// With `stored`, the trace's samples are those bytes of its input, not
    /// its `samples` (see CSegyFileOut::WriteStored).
    [[nodiscard]] bool WriteReal(const CSegyTrace& trace,
                                 double time,
                                 bool keepAsFillTemplate,
                                 const StoredSamples* stored = nullptr);
    /// The last trace time without a write (a trace counted but not written).
    void SetLastTraceTime(double time) { m_lastTraceTime = time; }

    /// Writes `count` fill traces `average interval` apart after the last
    /// trace time, each `fill` (its header's time set, its samples zero) and
    /// counted in the current input. A fill trace in a later year than the
    /// time scale's base year gets that year and its day in it; the others
    /// keep the template's year. The last trace time stays. False when a
    /// write failed; the filling then ends.
    [[nodiscard]] bool WriteFill(CSegyTrace& fill, std::int32_t count);
    /// The fill template of the plain and single-channel paths.
    [[nodiscard]] CSegyTrace& FillTemplate() { return m_nullTrace; }

    /// Traces counted in the current input, fill traces included.
    [[nodiscard]] std::int32_t TraceCount() const { return m_traceCount; }
    /// Mean trace interval of the current input, s.
    [[nodiscard]] double AverageInterval() const { return m_averageInterval; }
    /// Time (on the job's scale) of the last real trace written in the job.
    [[nodiscard]] double LastTraceTime() const { return m_lastTraceTime; }
    /// Records in the working file, fill traces included.
    [[nodiscard]] std::int64_t Traces() const { return m_traces; }
    [[nodiscard]] std::int64_t FillTraces() const { return m_fillTraces; }
    /// Whether the working file holds a real trace.
    [[nodiscard]] bool bHasRealTrace() const { return m_traces > m_fillTraces; }
    /// Time (on the job's scale) of the first real trace in the working file.
    [[nodiscard]] double FirstTraceTime() const { return m_firstTraceTime; }

    /// Bytes a record with header `h` takes in the open file.
    [[nodiscard]] std::int64_t RecordBytes(const SegyHeaderType& h) const;
    /// The output got its final name: its records no longer count as the
    /// working file's (the last trace time stays, for the next gap).
    void MarkCompleted();

    /// Since the object was made: records whose sample count differs from
    /// their file's header, and real traces converted with loss (a float
    /// input to an integer format, or an integer input to a narrower one).
    [[nodiscard]] std::int64_t OtherLengthRecords() const
    {
        return m_otherLength + m_out.TracesOfOtherLength();
    }
    [[nodiscard]] std::int64_t LossyConversions() const { return m_lossy; }

    /// The delays of every record written, when they describe the closed
    /// file at Path() as it is now: no record was written that reads back
    /// otherwise, and the file has the identity and the size it had when
    /// written (no other step has replaced it). Empty otherwise.
    [[nodiscard]] std::optional<DelayHistogram> TakeDelayHistogram();

private:
    [[nodiscard]] bool
    WriteRecord(const CSegyTrace& trace, bool isFill, const StoredSamples* stored = nullptr);
    void CountDelay(const SegyHeaderType& h);

    std::string m_path;
    CSegyFileOut m_out;     // one writer for every output of the job
    CSegyTrace m_nullTrace; // header of the last trace written, zero samples
    CJobTimeScale m_scale;
    std::int64_t m_traces = 0;
    std::int64_t m_fillTraces = 0;
    double m_firstTraceTime = 0;
    double m_lastTraceTime = 0;
    std::int32_t m_traceCount = 0;
    double m_averageInterval = 1.0;
    bool m_lossyInput = false;      // the current input's samples lose in the output's format
    std::int64_t m_otherLength = 0; // of the files written before the open one
    std::int64_t m_lossy = 0;

    DelayHistogram m_delays;
    std::int64_t m_delayBytes = 0; // file size the counted records make
    std::uint64_t m_device = 0;    // identity of the working file when opened
    std::uint64_t m_inode = 0;
    bool m_delaysExact = false;
};

} // namespace tessara
