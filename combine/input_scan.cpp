// Start times of the inputs. The inputs keep the order they were given in:
// time ordering is not in effect yet.
#include "combine/input_scan.h"

#include "combine/job_state.h"
#include "combine/output_files.h"
#include "segy/segy_file_in.h"

#include <cmath>
#include <numeric>

namespace tessara {

void Scan_and_Sort_Input_files(const JobContext& ctx)
{
    CombineJobState& state = ctx.state;
    const std::size_t n = state.input_files.size();
    state.start_times.assign(n, 0.0);
    state.file_times.assign(n, 0);
    state.start_known.assign(n, false);
    state.file_order.resize(n);
    std::iota(state.file_order.begin(), state.file_order.end(), 0);

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
        if (ctx.settings.fixupknudsen)
            Apply_Knudsen_Day_From_File_Name(ctx, path, first);
        AddTimeCorrectionToTraceHeader(ctx, first);
        const double start = SecondsOfYear(*first.header);
        state.start_times[i] = start;
        state.file_times[i] = static_cast<std::int32_t>(std::trunc(start));
        state.start_known[i] = known;

        ctx.host.SetStatus("Scanning input file = " + FileNameOf(path) +
                           " : start times = " + std::to_string(state.file_times[i]));
        ctx.host.PumpEvents();
    }
}

} // namespace tessara
