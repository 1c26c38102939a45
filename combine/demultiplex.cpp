// Placeholder channel paths: every trace takes the plain path, whatever its
// channel, and outputs declare the inputs' own samples per trace.
#include "combine/demultiplex.h"

#include "combine/job_state.h"
#include "combine/output_files.h"

namespace tessara {

std::int32_t GetCurrent_trace_channel(const CombineSettings& /*settings*/,
                                      const CSegyTrace& /*trace*/)
{
    return 0;
}

std::uint32_t Output_Samples_Per_Trace(const JobContext& /*ctx*/, std::uint32_t inputSamples)
{
    return inputSamples;
}

double Write_Demultiplexed_Trace(const JobContext& ctx, CSegyTrace& trace, std::size_t input)
{
    return Write_Plain_Output_Trace(ctx, trace, input);
}

} // namespace tessara
