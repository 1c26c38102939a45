// Every user setting of the combine job, with its unit, default and range.
//
// The front ends fill one CombineSettings record; the job keeps a reference to
// it and reads each setting where it uses it, so a setting changed while a job
// runs takes effect from its next use: the size and duration limits at job
// start, file_gap at every input, everything else at every trace or output.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tessara
{

/// File-name layout read by the Knudsen day repair.
enum class KnudsenNameFormat {
    YearDay, ///< "0001_2003_255_1735": field 2 is the year, field 3 the day
    DayOnly, ///< "0001_255_1735": field 2 is the day
};

/// Trace spacing used by the speed correction.
enum class SpacingMode {
    Median, ///< the median measured spacing of the file
    Fixed,  ///< `trace_spacing`
};

/// The settings record. Defaults are the built-in values; ranges are checked
/// by ValidateCombineSettings, not by the record itself.
struct CombineSettings {
    /// The inputs in the order the user gave them.
    std::vector<std::string> input_files;

    int max_file_size = 2000;      ///< MBytes (1 000 000 bytes), 1..2000
    int time_duration_limit = 24;  ///< hours, 1..1000
    int file_gap = 60;             ///< minutes, 1..600
    bool make_null_traces = true;  ///< fill gaps shorter than file_gap
    bool demultiplex_only = false; ///< no ordering, gap fill or resampling; one output per input
    int timecorrection = 0;        ///< seconds added to every trace time, 0..1000000
    bool delayscan = true;         ///< remove traces with rare extreme delays from every output
    bool fixupknudsen = false;     ///< take the trace day (and year) from the file name
    KnudsenNameFormat knudsen_name_format = KnudsenNameFormat::YearDay;
    bool assign_sampling_frequency = false; ///< resample every trace to sampling_frequency
    double sampling_frequency = 12000.0;    ///< Hz, 0.1..20000, one decimal place
    bool speed_correction = false;          ///< equal trace spacing along the track
    int nav_average_fixes = 30;             ///< fixes, 2..100: half-width of the smoothing
    SpacingMode spacing_mode = SpacingMode::Median;
    double trace_spacing = 5.0; ///< metres, 2..100, two decimal places

    std::string Expedition = "Choose Expedition"; ///< first element of every output name
    std::string data_type;                        ///< name element when longer than one character
    std::string instrument_type;                  ///< name element when longer than one character
    std::string xcdr; ///< transducer type; name element when longer than one character

    bool demultiplex_single_channel = false; ///< keep only channel_id
    int channel_field = 0;                   ///< header field of the channel, 0..4
    int channel_id = 0;                      ///< -1000..1000
    int channel_start = 0;                   ///< first byte of the user-defined field, 0..239
    int channel_length = 0;                  ///< bytes of the user-defined field, 0..4
    bool demultiplex_sidescan = false;       ///< pair port and starboard traces
    int port_id = 0;                         ///< -1000..1000
    int stbd_id = 1;                         ///< -1000..1000
    bool flip_port = true;                   ///< reverse the port samples when pairing
};

/// Sample interval in whole microseconds that a sampling frequency in hertz
/// gives: 1000000 / f truncated toward zero (12000 Hz gives 83 us). Only
/// meaningful for the frequencies ValidateCombineSettings accepts.
[[nodiscard]] inline std::int32_t SampleIntervalOfFrequency(double frequencyHz)
{
    return static_cast<std::int32_t>(1000000.0 / frequencyHz);
}

namespace settings_detail
{

inline std::string RangeMessage(const char* name, long long value, long long lo, long long hi)
{
    return std::string(name) + " " + std::to_string(value) + " not in " + std::to_string(lo) +
           ".." + std::to_string(hi);
}

/// A decimal setting as the user would read it back: "0.05", "20000.5".
inline std::string DecimalText(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
    std::string text = std::to_string(value); // six decimals, always fixed-point
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

/// The problem NameTextProblem names for a control character.
constexpr const char* kControlCharacterProblem = "contains a control character";

/// Why `text` cannot be part of a file name: it holds a "/" or "\\" (a
/// directory separator here or on the machines the files go to) or a
/// control character. Empty when it can.
inline std::string NameTextProblem(const std::string& text)
{
    for (const char c : text) {
        if (c == '/' || c == '\\')
            return std::string("contains \"") + c + "\"";
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return kControlCharacterProblem;
    }
    return {};
}

/// `text` as one printable line: control characters spelled as C escapes
/// ("\\n", "\\x1b"), so that a message quoting it stays on one line.
inline std::string PrintableText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F) {
            const char* digits = "0123456789abcdef";
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else
            out += c;
    }
    return out;
}

/// Longest file name the file systems of the output directories take, bytes.
constexpr std::size_t kMaxFileNameBytes = 255;

} // namespace settings_detail

/// Checks every setting against its range. Returns "" when all are in range,
/// otherwise one message naming the first offending setting, its value and
/// its range, e.g. "max_file_size 0 not in 1..2000". Also refused: both
/// demultiplex modes on, and, with assign_sampling_frequency on, a
/// frequency whose sample interval 1000000 / f (truncated) lies outside
/// 1..32767 us, the range of the 16-bit signed header field.
[[nodiscard]] inline std::string ValidateCombineSettings(const CombineSettings& s)
{
    using settings_detail::DecimalText;
    using settings_detail::RangeMessage;
    struct IntRange {
        const char* name;
        int value;
        int lo;
        int hi;
    };
    const IntRange ints[] = {
        {"max_file_size", s.max_file_size, 1, 2000},
        {"time_duration_limit", s.time_duration_limit, 1, 1000},
        {"file_gap", s.file_gap, 1, 600},
        {"timecorrection", s.timecorrection, 0, 1000000},
        {"nav_average_fixes", s.nav_average_fixes, 2, 100},
        {"channel_field", s.channel_field, 0, 4},
        {"channel_id", s.channel_id, -1000, 1000},
        {"channel_start", s.channel_start, 0, 239},
        {"channel_length", s.channel_length, 0, 4},
        {"port_id", s.port_id, -1000, 1000},
        {"stbd_id", s.stbd_id, -1000, 1000},
    };
    for (const IntRange& r : ints) {
        if (r.value < r.lo || r.value > r.hi)
            return RangeMessage(r.name, r.value, r.lo, r.hi);
    }
    // Written as !(in range) so that NaN is refused too.
    if (!(s.sampling_frequency >= 0.1 && s.sampling_frequency <= 20000.0))
        return "sampling_frequency " + DecimalText(s.sampling_frequency) + " not in 0.1..20000";
    if (!(s.trace_spacing >= 2.0 && s.trace_spacing <= 100.0))
        return "trace_spacing " + DecimalText(s.trace_spacing) + " not in 2..100";
    if (s.assign_sampling_frequency) {
        const double intervalUs = std::trunc(1000000.0 / s.sampling_frequency);
        if (intervalUs < 1.0 || intervalUs > 32767.0)
            return "sampling_frequency " + DecimalText(s.sampling_frequency) +
                   " Hz gives a sample interval of " + DecimalText(intervalUs) +
                   " us, not in 1..32767";
    }
    if (s.demultiplex_single_channel && s.demultiplex_sidescan)
        return "demultiplex_single_channel and demultiplex_sidescan cannot both be on";

    // The texts become part of every output name: a separator would put the
    // output outside the output directory, and a name the file system cannot
    // hold would fail only when the first output is complete.
    struct NameText {
        const char* name;
        const std::string* text;
        bool always; ///< part of the name whatever its length
    };
    const NameText texts[] = {{"Expedition", &s.Expedition, true},
                              {"data_type", &s.data_type, false},
                              {"instrument_type", &s.instrument_type, false},
                              {"xcdr", &s.xcdr, false}};
    // "_DDD_HHMM_to_DDD_HHMM", "_SC100.0m", a "_99" for a name given twice, ".sgy".
    std::size_t nameBytes = 21 + (s.speed_correction ? 9 : 0) + 3 + 4;
    for (const NameText& t : texts) {
        // A control character is refused even where the text is no part of
        // the name: it would break every log line and message that quotes it.
        const bool inName = t.always || t.text->size() > 1;
        const std::string problem = settings_detail::NameTextProblem(*t.text);
        if (!problem.empty() && (inName || problem == settings_detail::kControlCharacterProblem))
            return std::string(t.name) + " \"" + settings_detail::PrintableText(*t.text) +
                   "\" cannot be part of a file name: it " + problem;
        if (inName)
            nameBytes += t.text->size() + (t.always ? 0 : 1);
    }
    if (nameBytes > settings_detail::kMaxFileNameBytes)
        return "output names would be " + std::to_string(nameBytes) +
               " bytes long, more than the " + std::to_string(settings_detail::kMaxFileNameBytes) +
               " a file name may have: shorten Expedition, data_type, instrument_type or xcdr";
    return {};
}

} // namespace tessara
