// Small text helpers shared by the subcommands.
#pragma once

#include "segy/tools/segy_file_tools.h"

#include <string>

namespace tessara::cli
{

/// Trace time stamp as "year day hh:mm:ss.mmm", e.g. "2003 255 17:35:00.250".
std::string FormatTraceTime(const TraceTimeStamp& time);

/// A JSON string literal with quotes and escapes.
std::string JsonString(const std::string& text);

/// Prints "tessara-cli: <path>: <what>" on stderr.
void PrintError(const std::string& path, const std::string& what);

} // namespace tessara::cli
