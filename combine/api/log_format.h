// Number formats of the processing log.
#pragma once

#include <string>

namespace tessara
{

/// A double as the log writes it: rounded to 15 significant digits, plain
/// positional notation (never an exponent), no trailing zeros and no
/// trailing decimal point: 3660 -> "3660", 0.25 -> "0.25", 1.0/3 ->
/// "0.333333333333333", 1e-7 -> "0.0000001", -0.0 -> "0". NaN and the
/// infinities give "NaN", "Infinity", "-Infinity".
[[nodiscard]] std::string FormatLogNumber(double value);

/// A time in seconds of year as "DDD HH:MM:SS.mmm" (day of year, clock time,
/// milliseconds), for reports to the user. Negative or non-finite times are
/// given as FormatLogNumber gives them.
[[nodiscard]] std::string FormatSecondsOfYear(double seconds);

} // namespace tessara
