#include "trace/fftw_planner.h"

namespace tessara
{

std::mutex& FftwPlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace tessara
