// The SEG-Y files themselves, as the front ends show them: what the reader
// makes of a file, its trace headers, and a trace-by-trace copy. The texts
// returned are for the user, one line without the file's path.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessara
{

/// A trace's time stamp as recorded (after the reader's repairs).
struct TraceTimeStamp {
    int year = 0;
    int dayOfYear = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// What the reader makes of a SEG-Y file.
struct SegyFileDescription {
    bool bigEndian = false;
    int format = 0;
    int bytesPerSample = 0;
    std::uint32_t samplesPerTrace = 0;
    int sampleIntervalUs = 0;
    std::int64_t traceCount = 0; ///< complete traces, read one by one
    bool constantLength = false;
    bool textIsEbcdic = false;
    std::int64_t fileBytes = 0;
    /// Where samplesPerTrace comes from and why, one phrase.
    std::string samplesPerTraceSource;
    std::int64_t firstTraceOffset = 0; ///< bytes: the file header and any extended ones
    /// Why the first trace is taken at firstTraceOffset, one phrase.
    std::string firstTraceSource;
    std::optional<TraceTimeStamp> firstTime; ///< empty without traces
    std::optional<TraceTimeStamp> lastTime;
};

/// The trace-header fields the job interprets, as the reader delivers them.
struct TraceHeaderFields {
    std::int32_t traceSequenceLine = 0; ///< bytes 0-3
    std::int32_t traceSequenceFile = 0; ///< bytes 4-7
    std::int32_t traceInEnsemble = 0;   ///< bytes 24-27
    int traceIdCode = 0;                ///< bytes 28-29
    int digitizerChannel = 0;           ///< byte 180, signed
    TraceTimeStamp time;                ///< bytes 156-167
    int delayMs = 0;                    ///< bytes 108-109
    unsigned sampleCount = 0;           ///< bytes 114-115
    int sampleIntervalUs = 0;           ///< bytes 116-117
    std::int32_t sourceX = 0;           ///< bytes 72-75
    std::int32_t sourceY = 0;           ///< bytes 76-79
    int coordinateUnits = 0;            ///< bytes 88-89
    int coordinateScalar = 0;           ///< bytes 70-71
};

/// Reads the whole file at `path` and describes it. Empty when it cannot be
/// opened as SEG-Y; `why` then says why.
[[nodiscard]] std::optional<SegyFileDescription> DescribeSegyFile(const std::string& path,
                                                                  std::string& why);

/// Calls `opened` once the file at `path` is open, then `each` with the
/// index (from 0) and the header fields of its first `count` traces (every
/// trace when `count` is negative). False, with `why` set and neither called,
/// when the file cannot be opened.
[[nodiscard]] bool
ForEachTraceHeader(const std::string& path,
                   std::int64_t count,
                   const std::function<void()>& opened,
                   const std::function<void(std::int64_t, const TraceHeaderFields&)>& each,
                   std::string& why);

/// What a copy did.
struct SegyCopyResult {
    bool ok = false;
    bool inputAtFault = false; ///< !ok: the input (or what it was asked), not the output
    std::string why;           ///< !ok: the reason, one line
    std::int64_t copied = 0;   ///< traces written
    std::int64_t dropped = 0;  ///< traces that could not be resampled
};

/// Rewrites `input` trace by trace as a big-endian SEG-Y file at `output`,
/// every trace resampled to `sampleIntervalUs` (1..32767) when it is given.
/// The copy is written to a temporary file beside `output`, whose path goes
/// to `temporaryCreated` (when given) as soon as it exists, so that a front
/// end can remove it when the process is stopped; it takes the name
/// `output` only when complete. Refused (inputAtFault), with nothing
/// written: a resampled trace length the file header's 16-bit count cannot
/// state, and a resampling that no trace of the input survives ("no trace
/// could be resampled"). A copy that fails, or throws std::bad_alloc, leaves
/// no file at `output` and no temporary file. SIGINT and SIGTERM are held
/// back while the temporary file is created and `temporaryCreated` runs.
[[nodiscard]] SegyCopyResult
CopySegyFile(const std::string& input,
             const std::string& output,
             std::optional<int> sampleIntervalUs,
             const std::function<void(const std::string&)>& temporaryCreated = {});

/// The same copy written into `fd` (a pipe, a terminal, a device, standard
/// output), which it takes and closes: front to back as the traces come,
/// nothing renamed. What reached the stream before a failure stays there;
/// nothing does when the input is at fault.
[[nodiscard]] SegyCopyResult
CopySegyFileInto(const std::string& input, int fd, std::optional<int> sampleIntervalUs);

/// Why the SEG-Y file at `path` cannot be opened, one line without the path;
/// empty when it can.
[[nodiscard]] std::string SegyOpenFailure(const std::string& path);

} // namespace tessara
