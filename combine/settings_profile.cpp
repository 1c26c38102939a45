// The only file that compiles toml++: its header is heavy.
#include "combine/api/settings_profile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <toml++/toml.h>
#include <type_traits>
#include <utility>
#include <vector>

namespace tessara
{
namespace
{

/// The words of a choice in a profile. A choice type without them does not
/// compile: a new kind of setting cannot be left out of the profiles unseen.
template <typename T> struct ChoiceNames;

template <> struct ChoiceNames<KnudsenNameFormat> {
    static constexpr std::pair<KnudsenNameFormat, const char*> names[] = {
        {KnudsenNameFormat::YearDay, "YearDay"}, {KnudsenNameFormat::DayOnly, "DayOnly"}};
};

template <> struct ChoiceNames<SpacingMode> {
    static constexpr std::pair<SpacingMode, const char*> names[] = {{SpacingMode::Median, "median"},
                                                                    {SpacingMode::Fixed, "fixed"}};
};

template <typename T> std::string ChoiceList()
{
    std::string list;
    for (const auto& [value, name] : ChoiceNames<T>::names)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

/// `text` quoted and escaped as a TOML string, by the library's own writer.
std::string TomlString(const std::string& text)
{
    std::ostringstream out;
    out << toml::value<std::string>(text);
    return out.str();
}

/// The caption of `row` as a comment shows it: no mnemonic, no closing colon.
std::string CommentCaption(const SettingRow& row)
{
    std::string caption = row.caption;
    caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
    while (!caption.empty() && (caption.back() == ':' || caption.back() == ' '))
        caption.pop_back();
    return caption.empty() ? row.field : caption;
}

/// What a value of `row` may be, for its comment: "1..2000 MB", "true or false".
template <typename T> std::string ValueForm(const SettingRow& row)
{
    if constexpr (std::is_same_v<T, bool>)
        return "true or false";
    else if constexpr (std::is_same_v<T, std::string>)
        return "text";
    else if constexpr (std::is_enum_v<T>)
        return "one of " + ChoiceList<T>();
    else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, double>) {
        std::string form = RangeText(row);
        if (*row.unit != '\0')
            form += std::string(" ") + row.unit;
        if (row.decimals > 0)
            form +=
                ", " + std::to_string(row.decimals) + " decimal" + (row.decimals > 1 ? "s" : "");
        return form;
    } else
        static_assert(sizeof(T) == 0, "a setting of a type profiles cannot hold");
}

/// `value` as the right-hand side of its key.
template <typename T> std::string ValueText(const SettingRow& row, const T& value)
{
    if constexpr (std::is_same_v<T, bool>)
        return value ? "true" : "false";
    else if constexpr (std::is_same_v<T, int>)
        return std::to_string(value);
    else if constexpr (std::is_same_v<T, double>) {
        // Always with a decimal point, so that the key reads as decimal.
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", std::max(row.decimals, 1), value);
        return text;
    } else if constexpr (std::is_same_v<T, std::string>)
        return TomlString(value);
    else if constexpr (std::is_enum_v<T>) {
        for (const auto& [choice, name] : ChoiceNames<T>::names)
            if (choice == value)
                return TomlString(name);
        return TomlString("?");
    } else
        static_assert(sizeof(T) == 0, "a setting of a type profiles cannot hold");
}

/// Names a setting by its key, and its value as the file spells it.
class CProfileWords : public CSettingWords
{
public:
    explicit CProfileWords(std::string typed) : m_typed(std::move(typed)) {}
    [[nodiscard]] std::string Name(const SettingRow& setting) const override
    {
        return std::string(setting.field) + ":";
    }
    [[nodiscard]] std::string Value(const SettingRow& /*setting*/,
                                    const std::string& /*held*/) const override
    {
        return m_typed;
    }

private:
    std::string m_typed;
};

std::string WrongType(const SettingRow& row, const char* expected, const toml::node& node)
{
    std::ostringstream text;
    text << row.field << ": expected " << expected << ", found " << node.type();
    return text.str();
}

/// A number of `row` from `node`, spelt `typed` in the file, after its range
/// check; "KEY: problem" or "".
std::string ReadNumber(const SettingRow& row,
                       const toml::node& node,
                       const std::string& typed,
                       bool whole,
                       double& number)
{
    if (const auto* integer = node.as_integer())
        number = static_cast<double>(integer->get());
    else if (const auto* decimal = node.as_floating_point(); decimal != nullptr && !whole)
        number = WithSettingDecimals(row, decimal->get());
    else
        return WrongType(row, whole ? "a whole number" : "a number", node);
    return SettingRangeProblem(row, number, CProfileWords(typed));
}

/// Sets `value`, the setting of `row`, from `node`; "KEY: problem" or "".
template <typename T>
std::string
ReadValue(const SettingRow& row, const toml::node& node, const std::string& typed, T& value)
{
    if constexpr (std::is_same_v<T, bool>) {
        const auto* flag = node.as_boolean();
        if (flag == nullptr)
            return WrongType(row, "true or false", node);
        value = flag->get();
    } else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, double>) {
        double number = 0;
        if (std::string problem = ReadNumber(row, node, typed, std::is_same_v<T, int>, number);
            !problem.empty())
            return problem;
        value = static_cast<T>(number);
    } else if constexpr (std::is_same_v<T, std::string>) {
        const auto* text = node.as_string();
        if (text == nullptr)
            return WrongType(row, "text in quotes", node);
        value = text->get();
    } else if constexpr (std::is_enum_v<T>) {
        const auto* text = node.as_string();
        if (text == nullptr)
            return WrongType(row, ("one of " + ChoiceList<T>()).c_str(), node);
        for (const auto& [choice, name] : ChoiceNames<T>::names)
            if (text->get() == name) {
                value = choice;
                return {};
            }
        return std::string(row.field) + ": \"" + std::string(text->get()) + "\" not one of " +
               ChoiceList<T>();
    } else
        static_assert(sizeof(T) == 0, "a setting of a type profiles cannot hold");
    return {};
}

const SettingRow* RowOfKey(std::string_view key)
{
    for (const SettingRow& row : kCombineSettings)
        if (key == row.field)
            return &row;
    return nullptr;
}

/// Line `line` (from 1) of `text`.
std::string LineOf(const std::string& text, std::size_t line)
{
    std::istringstream lines(text);
    std::string content;
    for (std::size_t k = 0; k < line && std::getline(lines, content); ++k) {
    }
    return content;
}

/// What `region` of `text` spells, when it lies on one line.
std::string SpeltAs(const std::string& text, const toml::source_region& region)
{
    if (region.begin.line != region.end.line || region.end.column <= region.begin.column)
        return {};
    return LineOf(text, region.begin.line)
        .substr(region.begin.column - 1, region.end.column - region.begin.column);
}

/// The key on line `line` (from 1) of `text`, or "" when the line has none.
std::string KeyOnLine(const std::string& text, std::size_t line)
{
    const std::string content = LineOf(text, line);
    const std::size_t start = content.find_first_not_of(" \t");
    const std::size_t end = content.find_first_of(" \t=", start);
    if (start == std::string::npos || end == std::string::npos ||
        content.find('=', start) == std::string::npos)
        return {};
    const std::string key = content.substr(start, end - start);
    const bool bare = std::all_of(key.begin(), key.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
    return bare ? key : std::string();
}

struct ProfileKey {
    std::size_t line;
    std::string key;
    const toml::node* node;
    std::string typed; ///< the value as the file spells it
};

/// The keys of `table`, read from `text`, in the order of their lines.
std::vector<ProfileKey> KeysInFileOrder(const toml::table& table, const std::string& text)
{
    std::vector<ProfileKey> keys;
    for (const auto& [key, node] : table)
        keys.push_back(
            {key.source().begin.line, std::string(key.str()), &node, SpeltAs(text, node.source())});
    std::sort(keys.begin(), keys.end(), [](const ProfileKey& a, const ProfileKey& b) {
        return a.line < b.line;
    });
    return keys;
}

std::string AtKey(const std::string& path, std::size_t line, const std::string& key)
{
    return path + ":" + std::to_string(line) + ": " + (key.empty() ? "" : key + ": ");
}

/// Applies `keys` to `settings`; the first problem, with its place, or "".
std::string
ApplyKeys(const std::string& path, const std::vector<ProfileKey>& keys, CombineSettings& settings)
{
    // The key named for a combination the record refuses is the one that
    // made it refused for good: the last of those that completed it.
    const ProfileKey* completed = nullptr;
    bool valid = true;
    for (const ProfileKey& k : keys) {
        const SettingRow* row = RowOfKey(k.key);
        if (row == nullptr)
            return AtKey(path, k.line, k.key) + "unknown key";
        const std::string problem = std::visit(
            [&](auto member) { return ReadValue(*row, *k.node, k.typed, settings.*member); },
            row->member);
        if (!problem.empty())
            return AtKey(path, k.line, "") + problem;
        const bool nowValid = ValidateCombineSettings(settings).empty();
        if (valid && !nowValid)
            completed = &k;
        valid = nowValid;
    }
    if (const std::string problem = ValidateCombineSettings(settings); !problem.empty()) {
        // Only a record that was refused before any key, when the caller's was.
        if (completed == nullptr)
            return path + ": " + problem;
        return AtKey(path, completed->line, completed->key) + problem;
    }
    return {};
}

} // namespace

std::string SettingsProfileLibraryVersion()
{
    return std::to_string(TOML_LIB_MAJOR) + "." + std::to_string(TOML_LIB_MINOR) + "." +
           std::to_string(TOML_LIB_PATCH);
}

void CopySetting(const SettingRow& row, const CombineSettings& from, CombineSettings& to)
{
    std::visit([&](auto member) { to.*member = from.*member; }, row.member);
}

std::string SettingsProfileText(const CombineSettings& settings)
{
    std::string text = "# Tessara job profile: every setting of the combine job, not its input "
                       "files.\n"
                       "# A setting left out keeps its default; an unknown key is refused.\n";
    for (const SettingRow& row : kCombineSettings) {
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(settings.*member)>;
                text += "\n# " + CommentCaption(row) + ": " + ValueForm<T>(row) + "\n" + row.field +
                        " = " + ValueText(row, settings.*member) + "\n";
            },
            row.member);
    }
    return text;
}

std::string SaveSettingsProfile(const CombineSettings& settings, const std::string& path)
{
    const std::string text = SettingsProfileText(settings);
    const std::string working = path + ".part";
    std::FILE* file = std::fopen(working.c_str(), "wb");
    if (file == nullptr)
        return "Cannot write " + path + ": " + std::strerror(errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    std::error_code renamed;
    if (written && error == 0)
        std::filesystem::rename(working, path, renamed);
    if (!written || error != 0 || renamed) {
        std::error_code ignored; // the working file may be gone already
        (void)std::filesystem::remove(working, ignored);
        return "Cannot write " + path + ": " +
               (renamed ? renamed.message() : std::string(std::strerror(error)));
    }
    return {};
}

std::string LoadSettingsProfile(const std::string& path, CombineSettings& settings)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "Cannot read " + path + ": " + std::strerror(errno);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (in.bad())
        return "Cannot read " + path + ": " + std::strerror(errno);
    toml::table table;
    try {
        table = toml::parse(text, path);
    } catch (const toml::parse_error& error) {
        const std::size_t line = error.source().begin.line;
        return AtKey(path, line, KeyOnLine(text, line)) + std::string(error.description());
    }
    CombineSettings loaded = settings;
    if (std::string problem = ApplyKeys(path, KeysInFileOrder(table, text), loaded);
        !problem.empty())
        return problem;
    settings = std::move(loaded);
    return {};
}

} // namespace tessara
