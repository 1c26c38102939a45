// Synthetic marine survey generator: writes sets of SEG-Y files that look like
// a shipboard recorder's output (recorder-style names, pings at a fixed rate,
// a navigation track, interleaved channels) with the faults such files carry
// in practice (delay glitches, zero header fields, a truncated last trace,
// gaps between files). Everything is deterministic from the seed.
//
// The files are assembled byte by byte here, in either byte order, so that
// they do not depend on the project's own SEG-Y writer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessara::synth
{

/// Recorder file-name layouts: "0001_2003_255_1735.sgy" (sequence, year, day
/// of year, HHMM of the first trace) and "0001_255_1735.sgy" (no year).
enum class NameLayout { YearDay, DayOnly };

/// Trace header field that carries the channel number of interleaved channels.
enum class ChannelField {
    None,              ///< single channel: no field is overwritten
    TraceSequenceFile, ///< bytes 4-7
    TraceInEnsemble,   ///< bytes 24-27
    TraceIdCode,       ///< bytes 28-29
    DigitizerChannel,  ///< byte 180
    UserBytes,         ///< `channelByteOffset`, `channelByteWidth` bytes, file byte order
};

/// Which files end in an incomplete trace record.
enum class Truncation { None, LastFile, EveryFile };

/// Units of sourceX / sourceY (trace header bytes 88-89).
enum class CoordinateUnits : std::int16_t {
    Metres = 1,     ///< projected easting / northing
    ArcSeconds = 2, ///< seconds of arc
    Degrees = 3,    ///< decimal degrees
    Dddmmss = 4,    ///< degrees, minutes, seconds packed as DDDMMSS.ss
};

/// From `atSeconds` after the first ping on, the ship runs at `speedMps`.
struct SpeedChange {
    double atSeconds = 0.0;
    double speedMps = 0.0;
};

struct SurveyOptions {
    std::filesystem::path outDir;
    int fileCount = 6;
    /// Complete traces per file (all channels counted); a truncated record,
    /// when asked for, comes in addition.
    int tracesPerFile = 200;
    int firstSequence = 1;
    NameLayout nameLayout = NameLayout::YearDay;
    std::string extension = ".sgy";

    bool bigEndian = true;
    int formatCode = 1; ///< 1 IBM, 2 int32, 3 int16, 5 IEEE, 8 int8
    bool ebcdicText = true;
    int samplesPerTrace = 1000;
    int sampleIntervalUs = 50;
    double pingIntervalS = 0.25; ///< time between pings; channels of a ping share it

    /// Time stamp of the first ping (trace header bytes 156-167).
    int year = 2003;
    int dayOfYear = 255;
    int hour = 17;
    int minute = 35;
    int second = 0;
    int millisecond = 0;

    /// Navigation: straight track with a slight cross-track wobble.
    CoordinateUnits coordinateUnits = CoordinateUnits::ArcSeconds;
    /// Scalar at bytes 70-71; unset picks a sensible one for the units
    /// (-100 for metres, arc seconds and DDDMMSS, -10000 for degrees).
    std::optional<std::int16_t> coordinateScalar;
    double startLatitude = 54.5;      ///< degrees
    double startLongitude = 10.25;    ///< degrees
    double startEasting = 500000.0;   ///< metres, used with Metres
    double startNorthing = 6040000.0; ///< metres, used with Metres
    double headingDegrees = 60.0;     ///< clockwise from north
    double speedMps = 2.5;
    /// Speed changes along the track, in ascending time; before the first
    /// one the ship runs at speedMps.
    std::vector<SpeedChange> speedChanges;
    double missingNavRate = 0.0; ///< fraction of pings with sourceX = sourceY = 0
    bool headerPositions = true; ///< false: no trace carries a position (a recorder without GPS)
    /// One position off the track: the trace numbered spikeTrace through the
    /// survey (bytes 0-3, from 1; 0 none) lies spikeMetres north of it.
    std::int64_t spikeTrace = 0;
    double spikeMetres = 0.0;
    /// One slipped coordinate scalar: the trace numbered scalarSlipTrace (as
    /// above) carries slipScalar at bytes 70-71 while its coordinates stay
    /// stored for the survey's scalar.
    std::int64_t scalarSlipTrace = 0;
    std::int16_t slipScalar = 10;

    /// Interleaved channels: trace k of a file belongs to ping k / channelCount
    /// and carries channel firstChannel + k % channelCount.
    int channelCount = 1;
    int firstChannel = 1;
    ChannelField channelField = ChannelField::None;
    int channelByteOffset = 232; ///< UserBytes: 0..239
    int channelByteWidth = 2;    ///< UserBytes: 1, 2 or 4

    int delayMs = 0;               ///< delayRecordingTime of normal traces
    double delayGlitchRate = 0.0;  ///< fraction of traces with a glitch delay
    int glitchDelayMs = 5000;      ///< delayRecordingTime of a glitch trace
    double zeroCountRate = 0.0;    ///< fraction of trace headers with sampleCount 0
    double zeroIntervalRate = 0.0; ///< fraction of trace headers with sampleInterval 0
    Truncation truncation = Truncation::None;

    /// Recorder quirks around the date.
    int headerDayShift = 0;       ///< added to dayOfYear in the trace headers only
    int zeroDayLeadingTraces = 0; ///< first traces of each file carry dayOfYear 0
    bool twoDigitYear = false;    ///< year written as year % 100
    /// A clock glitch: trace `clockGlitchTrace` (0-based) of file
    /// `clockGlitchFile` (0-based, time order; -1 for none) carries its hour
    /// plus `clockGlitchHours`, modulo 24; every other field stays.
    int clockGlitchFile = -1;
    int clockGlitchTrace = 1;
    int clockGlitchHours = 5;

    /// Time between the last ping of a file and the first of the next, beyond
    /// one ping interval. Every longGapEvery-th boundary (1-based) gets the
    /// long gap instead of the short one; 0 disables long gaps.
    double shortGapS = 0.0;
    double longGapS = 0.0;
    int longGapEvery = 0;

    bool shuffleList = false; ///< return the files in a seeded random order
    std::uint64_t seed = 1;
};

/// One file written.
struct SynthFile {
    std::filesystem::path path;
    int sequence = 0;        ///< number in the name
    int timeOrder = 0;       ///< 0-based position in time order
    std::int64_t traces = 0; ///< complete traces
    bool truncated = false;  ///< ends in an incomplete record
    std::int64_t bytes = 0;
};

struct SurveyResult {
    bool ok = false;
    std::string error;            ///< one line naming the value and the limit, when !ok
    std::vector<SynthFile> files; ///< in list order (shuffled when asked)
};

/// A trace time stamp as written (before any header quirk is applied).
struct TraceTime {
    int year = 0;
    int dayOfYear = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Empty when the options can be written, else why not. The functions below
/// that take options expect options that pass this check.
[[nodiscard]] std::string CheckOptions(const SurveyOptions& options);

/// Writes the survey into options.outDir (created when missing).
[[nodiscard]] SurveyResult WriteSurvey(const SurveyOptions& options);

/// Benchmark preset: 24 little-endian IEEE files of 5000 samples whose total
/// size is about `totalBytes` (never more than one trace per file off).
[[nodiscard]] SurveyOptions BigSurveyOptions(const std::filesystem::path& outDir,
                                             std::int64_t totalBytes = 1'000'000'000);

/// Demo preset: 6 big-endian IBM files of 240 traces listed out of time
/// order, 20 s between files except a 2-hour gap after the third, a few zero
/// sample counts and an incomplete last trace.
[[nodiscard]] SurveyOptions DemoSurveyOptions(const std::filesystem::path& outDir);

/// Size in bytes of one file of the survey, without a truncated record.
[[nodiscard]] std::int64_t FileBytes(const SurveyOptions& options);

/// Time of the first ping of file `fileIndex` (0-based, time order).
[[nodiscard]] TraceTime FileStartTime(const SurveyOptions& options, int fileIndex);
/// Time of trace `traceIndex` (0-based) of file `fileIndex`.
[[nodiscard]] TraceTime TraceTimeOf(const SurveyOptions& options, int fileIndex, int traceIndex);

/// Distance in metres along the track (without the cross-track wobble)
/// `seconds` after the first ping.
[[nodiscard]] double AlongTrackMetres(const SurveyOptions& options, double seconds);

/// An NMEA 0183 sentence: "$" + body + "*" + two upper-case hex digits of
/// the XOR of the body's bytes (no line end).
[[nodiscard]] std::string NmeaSentence(const std::string& body);

/// Writes the ship's track as a GPS logs it: one GGA sentence a second
/// (positions to 1e-6 minute, about 2 mm), with a ZDA giving the date at
/// the start and at every whole minute, from a few seconds before the first
/// ping to a few seconds after the last. Geographic units only. "" or what
/// failed.
[[nodiscard]] std::string WriteNmeaLog(const SurveyOptions& options,
                                       const std::filesystem::path& path);

/// File name (without directory) of file `fileIndex` in time order.
[[nodiscard]] std::string FileName(const SurveyOptions& options, int fileIndex);

/// Sample values of one trace before encoding: integral and inside the
/// format's range for the integer formats.
void TraceSamples(const SurveyOptions& options,
                  int fileIndex,
                  int traceIndex,
                  std::vector<double>& out);

} // namespace tessara::synth
