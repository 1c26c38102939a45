// Small text helpers shared by the subcommands.
#pragma once

#include "combine/api/combine_settings.h"
#include "segy/tools/segy_file_tools.h"

#include <CLI/CLI.hpp>
#include <string>

namespace tessara::cli
{

/// Trace time stamp as "year day hh:mm:ss.mmm", e.g. "2003 255 17:35:00.250".
std::string FormatTraceTime(const TraceTimeStamp& time);

/// Prints "tessara-cli: <path>: <what>" on stderr.
void PrintError(const std::string& path, const std::string& what);

/// Settings in the words of a command's user: each named by its option, its
/// value as typed after that option ("0.04" rather than the 0 it rounds to,
/// "0,1001" for a channel given with another).
class CCliSettingWords : public CSettingWords
{
public:
    explicit CCliSettingWords(const CLI::App& command) : m_command(command) {}
    [[nodiscard]] std::string Name(const SettingRow& setting) const override;
    [[nodiscard]] std::string Value(const SettingRow& setting,
                                    const std::string& held) const override;

private:
    const CLI::App& m_command;
};

/// "OPTION VALUE not in LO..HI", the value as typed after `option` in
/// `command`, when `value` lies outside LO..HI; empty otherwise. The one
/// wording of a range error in every command, settings or not.
[[nodiscard]] std::string OptionRangeProblem(const CLI::App& command,
                                             const std::string& option,
                                             long long value,
                                             long long lo,
                                             long long hi);
/// The same for a real number, its limits written as short as they read
/// ("--settle 0.05 not in 0.1..3600").
[[nodiscard]] std::string OptionRealRangeProblem(
    const CLI::App& command, const std::string& option, double value, double lo, double hi);

/// The help of a setting's option: `description`, then the setting's range
/// and unit, and the decimals it keeps ("... (0.1..20000 Hz, one decimal)").
std::string SettingHelp(const std::string& description, const SettingRow& setting);

/// Adds the option of `setting` to `command`, bound to `value`, with its
/// help. Its range is checked after parsing (SettingRangeProblem or
/// ValidateCombineSettings with CCliSettingWords), so that every command
/// words a value out of range alike.
template <typename T>
CLI::Option* AddSettingOption(CLI::App& command,
                              const SettingRow& setting,
                              T& value,
                              const std::string& description)
{
    return command.add_option(setting.option, value, SettingHelp(description, setting));
}

} // namespace tessara::cli
