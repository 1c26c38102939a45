// Job profiles: every setting of the combine job but its inputs, kept in a
// TOML file that a surveyor can read and edit, one key per row of
// kCombineSettings, so that a survey's settings are set once and reused by
// the window and the command line alike.
#pragma once

#include "combine/api/combine_settings.h"

#include <string>

namespace tessara
{

/// The text of a profile of `settings`: a comment that says what the file
/// is, then for every row of kCombineSettings a comment with its caption,
/// unit and range (or its choices) and the line "field = value". The inputs
/// are no part of a profile.
[[nodiscard]] std::string SettingsProfileText(const CombineSettings& settings);

/// Writes SettingsProfileText(settings) to `path` through a working file
/// beside it, renamed over `path` once written whole. Returns "" on success,
/// else "Cannot write PATH: reason"; a failure leaves `path` as it was and
/// no working file behind.
[[nodiscard]] std::string SaveSettingsProfile(const CombineSettings& settings,
                                              const std::string& path);

/// Reads the profile at `path` over `settings`: every key sets its setting,
/// a setting without a key keeps the value `settings` holds (the caller's
/// defaults). Decimal settings are rounded to the decimals they keep. Returns
/// "" on success; else one message "PATH:LINE: KEY: problem" for the first
/// key that is unknown, of the wrong type, out of its range, or that makes
/// the record fail ValidateCombineSettings, or for bad TOML (KEY when the
/// line has one), and `settings` is left untouched. The inputs are kept.
[[nodiscard]] std::string LoadSettingsProfile(const std::string& path, CombineSettings& settings);

/// The version of the TOML library profiles are read with, "3.3.0".
[[nodiscard]] std::string SettingsProfileLibraryVersion();

/// Copies the setting of `row` from `from` into `to`.
void CopySetting(const SettingRow& row, const CombineSettings& from, CombineSettings& to);

} // namespace tessara
