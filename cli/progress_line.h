// The progress line that combine keeps on a terminal's last line.
#pragma once

#include "combine/api/job_host.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tessara::cli
{

/// "[ 37%] input 2 of 5, 0:42 elapsed, 1:10 left | STATUS": the share of the
/// input bytes read, the input in hand, the time since the job started and
/// the time left at the rate the bytes have been read so far. Parts that
/// are not known yet are left out: the percent without a byte total, the
/// input before the first, the time left before 3 % of the bytes are read
/// or while the inputs are scanned. The line fits in `columns` - 1 terminal
/// columns (the last one would wrap on some terminals); `status` is cut to
/// make room, the figures only when they alone are too wide. Times are
/// m:ss, or h:mm:ss from an hour on.
std::string ProgressLine(std::string_view status,
                         const JobProgress& progress,
                         std::chrono::milliseconds elapsed,
                         int columns);

} // namespace tessara::cli
