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

bool ReadFirstTrace(const std::string& path,
                    const FirstTraceCorrection& correct,
                    SegyHeaderType& first)
{
    CSegyTrace trace;
    bool known = false;
    {
        CSegyFileIn in;
        if (in.Open(path)) {
            trace.SetN(in.GetSamples());
            in.Read(trace, -1);
            known = !in.atEnd;
        }
    }
    if (!trace.header)
        trace.SetN(0);
    correct(path, trace);
    first = *trace.header;
    return known;
}

void SetStartTime(InputEntry& input, const CJobTimeScale& scale, const SegyHeaderType& first)
{
    const double start = scale.Seconds(first);
    input.start_time = start;
    input.file_time = WholeSeconds(start);
}

CJobTimeScale Scan_and_Sort_Input_files(const JobContext& ctx,
                                        std::vector<InputEntry>& inputs,
                                        const FirstTraceCorrection& correct,
                                        bool& yearsUncertain)
{
    // The scale depends on every input's first trace, so the times are
    // taken once all of them are known.
    std::vector<SegyHeaderType> firsts(inputs.size());
    std::vector<SegyHeaderType> readable;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        InputEntry& input = inputs[k];
        const bool known = ReadFirstTrace(input.path, correct, firsts[k]);
        input.start_known = known;
        if (known)
            readable.push_back(firsts[k]);

        JobProgress progress;
        progress.phase = JobProgress::Phase::Scanning;
        progress.input = static_cast<int>(k) + 1;
        progress.inputCount = static_cast<int>(inputs.size());
        ctx.host.Progress(progress);
        ctx.host.SetStatus("Scanning input file = " + FileNameOf(input.path) + " : start times = " +
                           std::to_string(WholeSeconds(SecondsOfYear(firsts[k]))));
        ctx.host.PumpEvents();
    }

    const CJobTimeScale scale = CJobTimeScale::ForFirstTraces(readable, yearsUncertain);
    for (std::size_t k = 0; k < inputs.size(); ++k)
        SetStartTime(inputs[k], scale, firsts[k]);

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
    return scale;
}

} // namespace tessara
