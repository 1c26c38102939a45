// FFTW's planner is shared by the whole process and only fftw_execute may run
// concurrently: every FFTW user of the program makes and destroys its plans
// under this one lock, so that a resampling job and a section picture built
// on another thread never plan at once.
#pragma once

#include <mutex>

namespace tessara
{

/// The lock held while an FFTW plan is made or destroyed.
[[nodiscard]] std::mutex& FftwPlannerMutex();

} // namespace tessara
