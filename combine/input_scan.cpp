#include "combine/input_scan.h"

#include "combine/job_state.h"
#include "combine/output_files.h"
#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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

template <typename T>
std::vector<T> Permuted(const std::vector<T>& values, const std::vector<std::size_t>& order)
{
    std::vector<T> result;
    result.reserve(order.size());
    for (std::size_t from : order)
        result.push_back(values[from]);
    return result;
}

} // namespace

void Scan_and_Sort_Input_files(const JobContext& ctx)
{
    CombineJobState& state = ctx.state;
    const std::size_t n = state.input_files.size();
    state.start_times.assign(n, 0.0);
    state.file_times.assign(n, 0);
    state.start_known.assign(n, false);
    if (state.file_order.size() != n) {
        state.file_order.resize(n);
        std::iota(state.file_order.begin(), state.file_order.end(), 0);
    }

    for (std::size_t i = 0; i < n; ++i) {
        const std::string& path = state.input_files[i];
        CSegyTrace first;
        bool known = false;
        {
            CSegyFileIn in;
            if (in.Open(path)) {
                first.SetN(in.GetSamples());
                in.Read(first, -1);
                known = !in.atEnd;
            }
        }
        if (!first.header)
            first.SetN(0);
        // The same day and correction the job gives this input's reference
        // trace, so that start times and trace times share one scale.
        if (ctx.settings.fixupknudsen)
            Apply_Knudsen_Day_From_File_Name(ctx, path, first);
        AddTimeCorrectionToTraceHeader(ctx, first);
        const double start = SecondsOfYear(*first.header);
        state.start_times[i] = start;
        state.file_times[i] = WholeSeconds(start);
        state.start_known[i] = known;

        ctx.host.SetStatus("Scanning input file = " + FileNameOf(path) +
                           " : start times = " + std::to_string(state.file_times[i]));
        ctx.host.PumpEvents();
    }

    // The key is the whole second only: inputs that start in the same second
    // keep their list order, whatever their milliseconds.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&state](std::size_t a, std::size_t b) {
        return state.file_times[a] < state.file_times[b];
    });

    state.input_files = Permuted(state.input_files, order);
    state.start_times = Permuted(state.start_times, order);
    state.file_times = Permuted(state.file_times, order);
    state.start_known = Permuted(state.start_known, order);
    state.file_order = Permuted(state.file_order, order);
    ctx.host.SetInputOrder(state.input_files);
}

} // namespace tessara
