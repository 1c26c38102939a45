// Placeholder: navigation is not read yet. Every input counts as having
// navigation and no output is rewritten; only the per-trace test, which
// needs nothing but the trace header, is in effect.
#include "combine/speed_correction.h"

#include "trace/segy_trace.h"

namespace tessara
{

bool CheckNav(const JobContext& /*ctx*/, const std::string& /*path*/)
{
    return true;
}

bool TraceHasNavigation(const CSegyTrace& trace)
{
    const SegyHeaderType& h = *trace.header;
    return h.sourceX != 0 && h.sourceY != 0 && h.coordinateUnits >= 1 && h.coordinateUnits <= 4;
}

bool CreatSpeedCorrectedSegy(const JobContext& /*ctx*/,
                             const std::string& /*path*/,
                             const std::string& /*displayName*/)
{
    return false;
}

} // namespace tessara
