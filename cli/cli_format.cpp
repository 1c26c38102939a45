#include "cli/cli_format.h"

#include <cstdio>
#include <iostream>
#include <sstream>

namespace tessara::cli
{

std::string FormatTraceTime(const TraceTimeStamp& h)
{
    char text[64];
    std::snprintf(text,
                  sizeof text,
                  "%d %03d %02d:%02d:%02d.%03d",
                  h.year,
                  h.dayOfYear,
                  h.hour,
                  h.minute,
                  h.second,
                  h.millisecond);
    return text;
}

void PrintError(const std::string& path, const std::string& what)
{
    std::cerr << "tessara-cli: " << path << ": " << what << '\n';
}

std::string CCliSettingWords::Name(const SettingRow& setting) const
{
    return setting.option;
}

std::string CCliSettingWords::Value(const SettingRow& setting, const std::string& held) const
{
    const CLI::Option* option = m_command.get_option_no_throw(setting.option);
    // The last of an option given twice is the one in force.
    return option != nullptr && !option->results().empty() ? option->results().back() : held;
}

namespace
{

/// "OPTION TYPED not in LO..HI": the value as typed after `option`, else
/// `value` as written here.
std::string RangeWords(const CLI::App& command,
                       const std::string& option,
                       const std::string& value,
                       const std::string& lo,
                       const std::string& hi)
{
    const CLI::Option* given = command.get_option_no_throw(option);
    // The last of an option given twice is the one in force.
    const std::string typed =
        given != nullptr && !given->results().empty() ? given->results().back() : value;
    return option + " " + typed + " not in " + lo + ".." + hi;
}

std::string Shortest(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

} // namespace

std::string OptionRangeProblem(
    const CLI::App& command, const std::string& option, long long value, long long lo, long long hi)
{
    if (value >= lo && value <= hi)
        return {};
    return RangeWords(
        command, option, std::to_string(value), std::to_string(lo), std::to_string(hi));
}

std::string OptionRealRangeProblem(
    const CLI::App& command, const std::string& option, double value, double lo, double hi)
{
    if (value >= lo && value <= hi)
        return {};
    return RangeWords(command, option, Shortest(value), Shortest(lo), Shortest(hi));
}

std::string SettingHelp(const std::string& description, const SettingRow& setting)
{
    std::string help = description + " (" + RangeText(setting);
    if (*setting.unit != '\0')
        help += std::string(" ") + setting.unit;
    if (setting.decimals == 1)
        help += ", one decimal";
    else if (setting.decimals == 2)
        help += ", two decimals";
    else if (setting.decimals > 2)
        help += ", " + std::to_string(setting.decimals) + " decimals";
    return help + ")";
}

} // namespace tessara::cli
