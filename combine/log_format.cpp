#include "combine/api/log_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tessara
{

std::string FormatLogNumber(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0.0)
        return "0";

    // "%.14e" rounds to exactly 15 significant digits (correctly, by the C
    // library) and exposes them with their decimal exponent; the digits are
    // then placed by hand so that no exponent notation ever appears.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const char* p = buffer;
    std::string result;
    if (*p == '-') {
        result.push_back('-');
        ++p;
    }
    std::string digits;
    for (; *p != 'e'; ++p) {
        if (*p != '.')
            digits.push_back(*p);
    }
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const int count = static_cast<int>(digits.size());
    if (exponent < 0) {
        result += "0.";
        result.append(static_cast<std::size_t>(-exponent - 1), '0');
        result += digits;
    } else if (exponent + 1 >= count) {
        result += digits;
        result.append(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        result.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        result.push_back('.');
        result.append(digits, static_cast<std::size_t>(exponent + 1), std::string::npos);
    }
    return result;
}

std::string FormatSecondsOfYear(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return FormatLogNumber(seconds);
    // Round to whole milliseconds before splitting, so that 59.9996 s shows
    // as 00:01:00.000 and never as a 1000th millisecond.
    const auto ms = static_cast<long long>(std::llround(seconds * 1000.0));
    const long long totalSeconds = ms / 1000;
    const long long day = totalSeconds / 86400;
    const long long hour = totalSeconds / 3600 % 24;
    const long long minute = totalSeconds / 60 % 60;
    const long long second = totalSeconds % 60;
    char buffer[64];
    std::snprintf(buffer,
                  sizeof buffer,
                  "%03lld %02lld:%02lld:%02lld.%03lld",
                  day,
                  hour,
                  minute,
                  second,
                  ms % 1000);
    return buffer;
}

} // namespace tessara
