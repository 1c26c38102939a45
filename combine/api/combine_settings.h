// Every user setting of the combine job, with its unit, default and range.
//
// The front ends fill one CombineSettings record; the job keeps a reference to
// it and reads each setting where it uses it, so a setting changed while a job
// runs takes effect from its next use: the size and duration limits at job
// start, file_gap at every input, everything else at every trace or output.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
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

/// The settings record. Defaults are the member initialisers; units,
/// ranges and what each front end calls a setting are in kCombineSettings,
/// and ValidateCombineSettings checks the ranges, not the record itself.
struct CombineSettings {
    /// The inputs in the order the user gave them.
    std::vector<std::string> input_files;

    int max_file_size = 2000;      ///< size limit of one output, units of 1 000 000 bytes
    int time_duration_limit = 24;  ///< time-span limit of one output
    int file_gap = 60;             ///< a longer gap between inputs ends the output
    bool make_null_traces = true;  ///< fill gaps shorter than file_gap
    bool demultiplex_only = false; ///< no ordering, gap fill or resampling; one output per input
    int timecorrection = 0;        ///< added to every trace time
    bool delayscan = true;         ///< remove traces with rare extreme delays from every output
    bool fixupknudsen = false;     ///< take the trace day (and year) from the file name
    KnudsenNameFormat knudsen_name_format = KnudsenNameFormat::YearDay;
    bool assign_sampling_frequency = false; ///< resample every trace to sampling_frequency
    double sampling_frequency = 12000.0;
    bool speed_correction = false; ///< equal trace spacing along the track
    int nav_average_fixes = 30;    ///< half-width of the navigation smoothing
    SpacingMode spacing_mode = SpacingMode::Median;
    double trace_spacing = 5.0;

    /// The ship's navigation logs (NMEA 0183 or CSV); when given, every trace
    /// takes its position from them.
    std::vector<std::string> navigation_files;
    double navigation_max_gap = 10.0;   ///< a trace further from every fix keeps its own position
    int navigation_epsg = 0;            ///< UTM zone of easting/northing columns; 0: none
    double antenna_offset_along = 0.0;  ///< sensor ahead of the GPS antenna (+ forward)
    double antenna_offset_across = 0.0; ///< sensor beside the GPS antenna (+ starboard)
    double layback = 0.0;               ///< towed body behind the antenna along the track

    std::string Expedition = "Choose Expedition"; ///< first element of every output name
    std::string data_type;                        ///< name element when longer than one character
    std::string instrument_type;                  ///< name element when longer than one character
    std::string xcdr; ///< transducer type; name element when longer than one character

    bool demultiplex_single_channel = false; ///< keep only channel_id
    int channel_field = 0;                   ///< header field of the channel
    int channel_id = 0;
    int channel_start = 0;             ///< first header byte of the user-defined field
    int channel_length = 0;            ///< 1, 2 and 4 are read; any other gives channel 0
    bool demultiplex_sidescan = false; ///< pair port and starboard traces
    int port_id = 0;
    int stbd_id = 1;
    bool flip_port = true; ///< reverse the port samples when pairing
};

/// Where a setting lives in the record; the alternative says what it holds.
using SettingMember = std::variant<int CombineSettings::*,
                                   double CombineSettings::*,
                                   bool CombineSettings::*,
                                   KnudsenNameFormat CombineSettings::*,
                                   SpacingMode CombineSettings::*,
                                   std::string CombineSettings::*>;

/// One setting as every front end knows it. Numbers have a range (both
/// limits allowed), the window's arrow step and the decimal places they
/// keep; the other settings leave those 0.
struct SettingRow {
    const char* field; ///< the member's name, as the job's own messages name it
    SettingMember member;
    /// The command-line option that sets it (several settings may share one:
    /// "--sidescan PORT,STBD" switches sidescan pairing on and sets both channels).
    const char* option;
    /// The window's caption of its control, "&" before the letter that Alt
    /// reaches it by; "" for a choice, whose buttons carry captions of their own.
    const char* caption;
    const char* unit = ""; ///< of a number; "" for a channel number or a header position
    double minimum = 0;
    double maximum = 0;
    double step = 0;
    int decimals = 0;

    [[nodiscard]] constexpr bool bIsNumber() const
    {
        return std::holds_alternative<int CombineSettings::*>(member) ||
               std::holds_alternative<double CombineSettings::*>(member);
    }
    /// The number the record holds; NaN when the setting is no number.
    [[nodiscard]] double Number(const CombineSettings& s) const;
    /// The number of a default record.
    [[nodiscard]] double DefaultNumber() const { return Number(CombineSettings{}); }
};

// The caption of the sampling frequency's check box names its spin box too.
inline constexpr const char* kSamplingFrequencyCaption = "Assign Sampling Fre&quency (hz)";

/// Every setting of the job but the inputs, in the order the main window
/// shows them, then the demultiplex options.
// clang-format off
inline constexpr SettingRow kCombineSettings[] = {
    // field, member, option,
    //  caption, unit, minimum, maximum, step, decimals
    {"max_file_size", &CombineSettings::max_file_size, "--max-file-size",
     "Maximum Combined File Si&ze (MBytes)", "MB", 1, 2000, 1},
    {"time_duration_limit", &CombineSettings::time_duration_limit, "--time-duration-limit",
     "Maximum Combined Time D&uration (hr)", "hours", 1, 1000, 1},
    {"make_null_traces", &CombineSettings::make_null_traces, "--no-null-traces",
     "Make &null traces to fill file gaps"},
    {"file_gap", &CombineSettings::file_gap, "--file-gap", "&Maximum File Gap (min)", "minutes", 1,
     600, 1},
    {"demultiplex_only", &CombineSettings::demultiplex_only, "--demultiplex-only",
     "&Demultiplex Only"},
    {"timecorrection", &CombineSettings::timecorrection, "--time-correction",
     "&Correction Added to Trace Time (sec)", "seconds", 0, 1000000, 1},
    {"delayscan", &CombineSettings::delayscan, "--no-delay-scan",
     "Scan &for Abnormal Delay Changes"},
    {"fixupknudsen", &CombineSettings::fixupknudsen, "--fix-knudsen",
     "Fix Up &Knudsen Day in SEGY hdr"},
    {"knudsen_name_format", &CombineSettings::knudsen_name_format, "--fix-knudsen", ""},
    {"assign_sampling_frequency", &CombineSettings::assign_sampling_frequency,
     "--sampling-frequency", kSamplingFrequencyCaption},
    {"sampling_frequency", &CombineSettings::sampling_frequency, "--sampling-frequency",
     kSamplingFrequencyCaption, "Hz", 0.1, 20000, 0.1, 1},
    {"speed_correction", &CombineSettings::speed_correction, "--speed-correction",
     "Create Speed Corrected SE&GY"},
    {"nav_average_fixes", &CombineSettings::nav_average_fixes, "--nav-average-fixes",
     "Nav A&ve +/- Fixes", "fixes", 2, 100, 1},
    {"spacing_mode", &CombineSettings::spacing_mode, "--trace-spacing", ""},
    {"trace_spacing", &CombineSettings::trace_spacing, "--trace-spacing", "Trace Spacing (m)", "m",
     2, 100, 1, 2},
    {"navigation_max_gap", &CombineSettings::navigation_max_gap, "--navigation-max-gap",
     "Navigation Max Gap (sec)", "seconds", 0, 3600, 1, 1},
    {"navigation_epsg", &CombineSettings::navigation_epsg, "--navigation-epsg",
     "Navigation EPSG (UTM, 0 none)", "", 0, 32760, 1},
    {"antenna_offset_along", &CombineSettings::antenna_offset_along, "--antenna-offset",
     "Antenna Offset Forward (m)", "m", -500, 500, 0.1, 2},
    {"antenna_offset_across", &CombineSettings::antenna_offset_across, "--antenna-offset",
     "Antenna Offset Starboard (m)", "m", -500, 500, 0.1, 2},
    {"layback", &CombineSettings::layback, "--layback", "Layback (m)", "m", 0, 2000, 1, 1},
    {"Expedition", &CombineSettings::Expedition, "--expedition", "E&xpedition ID"},
    {"data_type", &CombineSettings::data_type, "--data-type", "Data T&ype"},
    {"instrument_type", &CombineSettings::instrument_type, "--instrument-type", "&Instrument Type"},
    {"xcdr", &CombineSettings::xcdr, "--transducer", "T&ransducer Type"},
    {"demultiplex_single_channel", &CombineSettings::demultiplex_single_channel,
     "--single-channel", "Demultiplex 1  Channel :"},
    {"channel_field", &CombineSettings::channel_field, "--channel-field",
     "Channel Field ( col 0 to 4)", "", 0, 4, 1},
    {"channel_id", &CombineSettings::channel_id, "--single-channel", "Channel Number", "", -1000,
     1000, 1},
    {"channel_start", &CombineSettings::channel_start, "--channel-start",
     "User Defined Field : start position of field (0-239)", "", 0, 239, 1},
    {"channel_length", &CombineSettings::channel_length, "--channel-length",
     "length of field (bytes)", "bytes", 0, 4, 1},
    {"demultiplex_sidescan", &CombineSettings::demultiplex_sidescan, "--sidescan",
     "Demultiplex Sidescan :"},
    {"port_id", &CombineSettings::port_id, "--sidescan", "Port #", "", -1000, 1000, 1},
    {"stbd_id", &CombineSettings::stbd_id, "--sidescan", "Stdb #", "", -1000, 1000, 1},
    {"flip_port", &CombineSettings::flip_port, "--no-flip-port", "Flip Port"},
};
// clang-format on

/// The row of a member of the record. Evaluated while compiling, so a
/// member without a row does not compile.
template <typename T>
[[nodiscard]] consteval const SettingRow& SettingOf(T CombineSettings::*member)
{
    // By the alternative's index, not get_if: the sanitizers' null checks
    // on its pointer are not constant expressions.
    for (const SettingRow& row : kCombineSettings) {
        if (std::holds_alternative<T CombineSettings::*>(row.member) &&
            std::get<T CombineSettings::*>(row.member) == member)
            return row;
    }
    throw "a member of CombineSettings without a row in kCombineSettings";
}

/// `value` with the decimal places of `setting` (a number), as its control
/// would hold it: 0.04 Hz becomes 0, 1.994 m becomes 1.99.
[[nodiscard]] double WithSettingDecimals(const SettingRow& setting, double value);

/// The range of a number as messages and help texts give it: "0.1..20000".
[[nodiscard]] std::string RangeText(const SettingRow& setting);

/// The words a message about the settings uses for a setting and its value.
/// These are the record's: the field name and the value it holds. A front
/// end names the setting as its user knows it, and the value as typed.
class CSettingWords
{
public:
    virtual ~CSettingWords() = default;
    [[nodiscard]] virtual std::string Name(const SettingRow& setting) const;
    /// `held` is the value as the record holds it ("0.05", "-1").
    [[nodiscard]] virtual std::string Value(const SettingRow& setting,
                                            const std::string& held) const;
};

/// The one wording of a number outside its range, "max_file_size 0 not in
/// 1..2000" (or "--channel-length 5 not in 0..4" in a front end's words);
/// "" when `value` lies in the range of `setting`. NaN lies in no range.
[[nodiscard]] std::string SettingRangeProblem(const SettingRow& setting,
                                              double value,
                                              const CSettingWords& words = CSettingWords());

/// Sample interval in whole microseconds that a sampling frequency in hertz
/// gives: 1000000 / f truncated toward zero (12000 Hz gives 83 us). Only
/// meaningful for the frequencies ValidateCombineSettings accepts.
[[nodiscard]] inline std::int32_t SampleIntervalOfFrequency(double frequencyHz)
{
    return static_cast<std::int32_t>(1000000.0 / frequencyHz);
}

/// Checks every setting against its range. Returns "" when all are in range,
/// otherwise one message naming the first offending setting (in the order of
/// kCombineSettings), its value and its range, e.g. "max_file_size 0 not in
/// 1..2000", in `words`. Also refused: both demultiplex modes on; with
/// assign_sampling_frequency on, a frequency whose sample interval 1000000 /
/// f (truncated) lies outside 1..32767 us, the range of the 16-bit signed
/// header field; a name text that cannot be part of a file name, and output
/// names longer than a file system takes.
[[nodiscard]] std::string ValidateCombineSettings(const CombineSettings& s,
                                                  const CSettingWords& words = CSettingWords());

} // namespace tessara
