#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>

namespace tessara::cli
{
namespace
{

std::string Clock(std::chrono::milliseconds time)
{
    const long long s = std::max<long long>(0, time.count() / 1000);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

// Bytes of `text` that fill at most `columns` columns, one per character:
// a UTF-8 character is never cut.
std::size_t BytesForColumns(std::string_view text, std::size_t columns)
{
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && used++ == columns)
            return i;
    }
    return text.size();
}

} // namespace

std::string ProgressLine(std::string_view status,
                         const JobProgress& progress,
                         std::chrono::milliseconds elapsed,
                         int columns)
{
    std::string line;
    const std::int64_t total = progress.bytesTotal;
    const std::int64_t done =
        std::clamp<std::int64_t>(progress.bytesDone, 0, std::max<std::int64_t>(total, 0));
    if (total > 0) {
        char percent[16];
        // Whole percent, rounded down: 100 % only once every byte is read.
        std::snprintf(percent, sizeof percent, "[%3d%%] ", static_cast<int>(done * 100 / total));
        line += percent;
    }
    if (progress.input > 0 && progress.inputCount > 0)
        line += "input " + std::to_string(progress.input) + " of " +
                std::to_string(progress.inputCount) + ", ";
    line += Clock(elapsed) + " elapsed";
    // The rate of the first bytes read says little about the rest; scanning
    // reads the start times only and no bytes count.
    if (total > 0 && done * 100 >= total * 3 && progress.phase != JobProgress::Phase::Scanning) {
        const double left = static_cast<double>(elapsed.count()) *
                            static_cast<double>(total - done) / static_cast<double>(done);
        line += ", " + Clock(std::chrono::milliseconds(static_cast<long long>(left))) + " left";
    }
    const std::size_t room = static_cast<std::size_t>(std::max(columns - 1, 0));
    if (line.size() >= room)
        return line.substr(0, room);
    const std::string_view separator = " | ";
    if (status.empty() || room - line.size() <= separator.size())
        return line;
    line += separator;
    line += status.substr(0, BytesForColumns(status, room - line.size()));
    return line;
}

} // namespace tessara::cli
