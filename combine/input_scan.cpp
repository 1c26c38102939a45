#include "combine/input_scan.h"

#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{

namespace
{

// Whole seconds of a start time, as the 32-bit sort key. Headers with
// absurd fields (day and hour near 32767) give times beyond 32 bits: such a
// start is clamped rather than converted out of range.
std::int32_t WholeSeconds(double seconds)
{
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::trunc(seconds), lo, hi));
}

} // namespace

void Scan_and_Sort_Input_files(const JobContext& ctx,
                               std::vector<InputEntry>& inputs,
                               const FirstTraceCorrection& correct)
{
    for (InputEntry& input : inputs) {
        CSegyTrace first;
        bool known = false;
        {
            CSegyFileIn in;
            if (in.Open(input.path)) {
                first.SetN(in.GetSamples());
                in.Read(first, -1);
                known = !in.atEnd;
            }
        }
        if (!first.header)
            first.SetN(0);
        correct(input.path, first);
        const double start = SecondsOfYear(*first.header);
        input.start_time = start;
        input.file_time = WholeSeconds(start);
        input.start_known = known;

        ctx.host.SetStatus("Scanning input file = " + FileNameOf(input.path) +
                           " : start times = " + std::to_string(input.file_time));
        ctx.host.PumpEvents();
    }

    // The key is the whole second only: inputs that start in the same second
    // keep their list order, whatever their milliseconds.
    std::stable_sort(inputs.begin(), inputs.end(), [](const InputEntry& a, const InputEntry& b) {
        return a.file_time < b.file_time;
    });
    std::vector<std::string> paths;
    paths.reserve(inputs.size());
    for (const InputEntry& input : inputs)
        paths.push_back(input.path);
    ctx.host.SetInputOrder(paths);
}

} // namespace tessara
