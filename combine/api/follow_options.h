// What a followed job watches: folders a recorder writes into, and when a
// file there counts as complete.
#pragma once

#include <string>
#include <vector>

namespace tessara
{

/// The clock a followed job goes by: the wall clock, or a test's own.
class IFollowClock
{
public:
    virtual ~IFollowClock() = default;
    /// Seconds from a fixed origin; never goes back.
    [[nodiscard]] virtual double Now() = 0;
    /// Lets `seconds` (> 0) pass.
    virtual void Wait(double seconds) = 0;
};

/// The settle time's range, s.
constexpr double kMinSettleSeconds = 0.1;
constexpr double kMaxSettleSeconds = 3600;

/// Name of the open output's copy in the output directory while it grows,
/// written only for a front end that asks for it (IJobHost::WantsOpenOutput).
constexpr const char* kOpenOutputFileName = "open.sgy";

struct FollowOptions {
    /// Folders whose SEG-Y files (.sgy, .segy, .seg in any case) are taken;
    /// their subfolders are not looked into.
    std::vector<std::string> folders;
    /// A file is complete once its size and modification time have not
    /// changed for this long (s), or once a newer file is in its folder.
    double settleSeconds = 10;
    /// The wall clock when null; must outlive the job.
    IFollowClock* clock = nullptr;
};

/// Why `options` cannot be followed into `outputDirectory`, in the user's
/// words ("Folder to follow DIR is not a folder", ...); empty when they can.
[[nodiscard]] std::string FollowProblem(const FollowOptions& options,
                                        const std::string& outputDirectory);

} // namespace tessara
