// The combine job's only way to its front end (window, command line, test).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessara
{

/// Where a running job stands, for a progress display.
struct JobProgress {
    enum class Phase {
        Scanning,        ///< reading every input's first trace to order them
        Deciding,        ///< reading an output's trace headers to decide what it holds
        Reading,         ///< streaming the inputs' traces into outputs
        SpeedCorrection, ///< re-spacing a finished output
        DelayScan,       ///< cleaning a finished output of abnormal delays
    };
    Phase phase = Phase::Reading;
    int input = 0;      ///< the input in hand, 1..inputCount; 0 before the first
    int inputCount = 0; ///< inputs of the job
    /// Input bytes gone through so far (inputs finished or skipped count
    /// whole), and of all inputs together: every input is gone through twice,
    /// once to decide its output and once to write it, so bytesTotal is
    /// twice the inputs' size. bytesDone never goes back nor exceeds
    /// bytesTotal.
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
};

/// What the job needs from the front end that runs it. The job is
/// synchronous: it calls these on the thread that called its Run. No call
/// may throw.
class IJobHost
{
public:
    virtual ~IJobHost() = default;

    /// Empties the processing log.
    virtual void ClearLog() = 0;
    /// Appends `text` to the log exactly as given; lines end in CR LF.
    virtual void AppendLog(std::string_view text) = 0;
    /// Whether the user can see the log now; some log lines are written only then.
    [[nodiscard]] virtual bool IsLogVisible() const = 0;

    /// Replaces the one-line status text.
    virtual void SetStatus(std::string_view text) = 0;

    /// Lets the front end handle what is pending (repaints, clicks). Called at
    /// the job's progress points; the settings may change inside this call.
    virtual void PumpEvents() = 0;

    /// Where the job stands; called at its progress points, before
    /// PumpEvents. A host without a progress display ignores it.
    virtual void Progress(const JobProgress& /*progress*/) {}

    /// Tells the user something that needs attention; the job goes on unless
    /// its own rules stop it.
    virtual void ShowMessage(std::string_view text) = 0;

    /// Whether the user asked the job to stop. Asked at the job's progress
    /// points, after PumpEvents: the job then finishes the output it is
    /// writing with the traces written so far and processes no further input.
    [[nodiscard]] virtual bool StopRequested() const { return false; }

    /// The job has reordered its inputs: `paths` is the new order, to be shown
    /// in place of the list the job started with.
    virtual void SetInputOrder(const std::vector<std::string>& paths) = 0;

    // A followed job (CCombineJob::Follow) tells these as it goes.

    /// An output has been written under its final name `path`.
    virtual void OutputCompleted(const std::string& /*path*/) {}
    /// Whether the front end shows the open output while it grows: the job
    /// then writes it, as it stands, after each input it takes (which reads
    /// its inputs again each time).
    [[nodiscard]] virtual bool WantsOpenOutput() const { return false; }
    /// The open output, as it stands, is at `path` (the same each time,
    /// replaced); empty once no output is open and the file has gone.
    virtual void OpenOutputChanged(const std::string& /*path*/) {}

    // Chart of a speed-corrected file, for the speed-correction step. Times
    // are 100-nanosecond ticks since 0001-01-01 00:00:00 (no time zone), speeds
    // in m/s, spacings in metres (projection units for projected positions).
    // A host without a chart ignores them.

    /// Starts a new chart: clears the speed, spacing and reference series.
    virtual void ChartBegin(std::string_view /*title*/) {}
    /// One fix: its speed and its spacing to the neighbouring fixes.
    virtual void ChartAddFix(std::int64_t /*ticks*/, double /*speedMps*/, double /*spacingM*/) {}
    /// The chosen spacing as a line from `fromTicks` to `toTicks`, and the
    /// text to append to the title.
    virtual void ChartSetSpacing(std::int64_t /*fromTicks*/,
                                 std::int64_t /*toTicks*/,
                                 double /*spacingM*/,
                                 std::string_view /*titleSuffix*/)
    {
    }
    /// The chart is complete and may be drawn.
    virtual void ChartEnd() {}
};

} // namespace tessara
