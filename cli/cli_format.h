// Small text helpers shared by the subcommands.
#pragma once

#include "segy/format/segy_headers.h"
#include "segy/io/segy_file_in.h"

#include <string>

namespace tessara::cli
{

/// Trace time stamp as "year day hh:mm:ss.mmm", e.g. "2003 255 17:35:00.250".
std::string FormatTraceTime(const SegyHeaderType& header);

/// A JSON string literal with quotes and escapes.
std::string JsonString(const std::string& text);

/// Why `path` could not be opened by `reader` (whose Open returned false),
/// as one line of text without the path.
std::string OpenFailureReason(const std::string& path, const CSegyFileIn& reader);

/// Prints "tessara-cli: <path>: <what>" on stderr.
void PrintError(const std::string& path, const std::string& what);

} // namespace tessara::cli
