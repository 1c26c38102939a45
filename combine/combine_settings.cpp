#include "combine/api/combine_settings.h"

#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

/// A decimal setting as the user would read it back: "0.05", "20000.5".
std::string DecimalText(double value)
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
std::string NameTextProblem(const std::string& text)
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
std::string PrintableText(const std::string& text)
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

/// Why the texts that become part of every output name cannot: a separator
/// would put the output outside the output directory, and a name the file
/// system cannot hold would fail only when the first output is complete.
std::string NameTextsProblem(const CombineSettings& s, const CSettingWords& words)
{
    struct NameText {
        const SettingRow& setting;
        const std::string& text;
        bool always; ///< part of the name whatever its length
    };
    const NameText texts[] = {
        {SettingOf(&CombineSettings::Expedition), s.Expedition, true},
        {SettingOf(&CombineSettings::data_type), s.data_type, false},
        {SettingOf(&CombineSettings::instrument_type), s.instrument_type, false},
        {SettingOf(&CombineSettings::xcdr), s.xcdr, false}};
    // "_DDD_HHMM_to_DDD_HHMM", "_SC100.0m", a "_99" for a name given twice, ".sgy".
    std::size_t nameBytes = 21 + (s.speed_correction ? 9 : 0) + 3 + 4;
    for (const NameText& t : texts) {
        // A control character is refused even where the text is no part of
        // the name: it would break every log line and message that quotes it.
        const bool inName = t.always || t.text.size() > 1;
        const std::string problem = NameTextProblem(t.text);
        if (!problem.empty() && (inName || problem == kControlCharacterProblem))
            return words.Name(t.setting) + " \"" + PrintableText(t.text) +
                   "\" cannot be part of a file name: it " + problem;
        if (inName)
            nameBytes += t.text.size() + (t.always ? 0 : 1);
    }
    if (nameBytes > kMaxFileNameBytes)
        return "output names would be " + std::to_string(nameBytes) +
               " bytes long, more than the " + std::to_string(kMaxFileNameBytes) +
               " a file name may have: shorten " + words.Name(texts[0].setting) + ", " +
               words.Name(texts[1].setting) + ", " + words.Name(texts[2].setting) + " or " +
               words.Name(texts[3].setting);
    return {};
}

} // namespace

double SettingRow::Number(const CombineSettings& s) const
{
    if (const auto* whole = std::get_if<int CombineSettings::*>(&member))
        return s.**whole;
    if (const auto* decimal = std::get_if<double CombineSettings::*>(&member))
        return s.**decimal;
    return std::numeric_limits<double>::quiet_NaN();
}

double WithSettingDecimals(const SettingRow& setting, double value)
{
    double scale = 1.0;
    for (int k = 0; k < setting.decimals; ++k)
        scale *= 10.0;
    return std::round(value * scale) / scale;
}

std::string RangeText(const SettingRow& setting)
{
    return DecimalText(setting.minimum) + ".." + DecimalText(setting.maximum);
}

std::string CSettingWords::Name(const SettingRow& setting) const
{
    return setting.field;
}

std::string CSettingWords::Value(const SettingRow& /*setting*/, const std::string& held) const
{
    return held;
}

std::string SettingRangeProblem(const SettingRow& setting, double value, const CSettingWords& words)
{
    // NaN fails both comparisons: it lies in no range.
    if (value >= setting.minimum && value <= setting.maximum)
        return {};
    const std::string held = std::holds_alternative<int CombineSettings::*>(setting.member)
                                 ? std::to_string(static_cast<long long>(value))
                                 : DecimalText(value);
    return words.Name(setting) + " " + words.Value(setting, held) + " not in " + RangeText(setting);
}

std::string ValidateCombineSettings(const CombineSettings& s, const CSettingWords& words)
{
    for (const SettingRow& setting : kCombineSettings) {
        if (!setting.bIsNumber())
            continue;
        if (std::string problem = SettingRangeProblem(setting, setting.Number(s), words);
            !problem.empty())
            return problem;
    }
    if (s.assign_sampling_frequency) {
        const double intervalUs = std::trunc(1000000.0 / s.sampling_frequency);
        if (intervalUs < 1.0 || intervalUs > 32767.0) {
            const SettingRow& frequency = SettingOf(&CombineSettings::sampling_frequency);
            return words.Name(frequency) + " " +
                   words.Value(frequency, DecimalText(s.sampling_frequency)) +
                   " Hz gives a sample interval of " + DecimalText(intervalUs) +
                   " us, not in 1..32767";
        }
    }
    // Only UTM zones are read: another projection would need its own
    // parameters, and a guess would put every fix in the wrong place.
    if (const int e = s.navigation_epsg;
        e != 0 && !((e >= 32601 && e <= 32660) || (e >= 32701 && e <= 32760))) {
        const SettingRow& epsg = SettingOf(&CombineSettings::navigation_epsg);
        return words.Name(epsg) + " " + words.Value(epsg, std::to_string(e)) +
               " is not a UTM zone (32601..32660 north, 32701..32760 south)";
    }
    if (s.demultiplex_single_channel && s.demultiplex_sidescan)
        return words.Name(SettingOf(&CombineSettings::demultiplex_single_channel)) + " and " +
               words.Name(SettingOf(&CombineSettings::demultiplex_sidescan)) + " cannot both be on";
    return NameTextsProblem(s, words);
}

} // namespace tessara
