#include "combine/speed_selection.h"

#include "nav/navigation.h"
#include "nav/speed_correction.h"

#include <cmath>
#include <optional>
#include <utility>

namespace tessara
{

namespace
{

using Status = SpeedCorrectionPlan::Status;

SpeedCorrectionPlan
GiveUp(IJobHost& host, SpeedCorrectionPlan plan, Status status, const std::string& why)
{
    host.AppendLog("\tNot speed corrected: " + why + "\r\n");
    plan.status = status;
    return plan;
}

/// Fixes whose position is not a number. What the repairs leave of one is
/// spread by the smoothing over its neighbours; a track through them would
/// lose the traces of the stretch without a word.
std::int64_t UnusablePositions(const std::vector<llt>& fixes)
{
    std::int64_t count = 0;
    for (const llt& f : fixes)
        if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.lat) ||
            !std::isfinite(f.lon))
            ++count;
    return count;
}

} // namespace

SpeedCorrectionPlan PlanSpeedCorrection(const CombineSettings& settings,
                                        IJobHost& host,
                                        std::vector<llt> fixes,
                                        std::int64_t records,
                                        const std::vector<std::int16_t>& delays,
                                        const std::string& displayName)
{
    SpeedCorrectionPlan plan;
    plan.tracesBefore = records;
    if (fixes.empty()) {
        host.ShowMessage("Input file " + displayName +
                         " does not contain navigation : cannot output equally spaced shots");
        plan.status = Status::NoNavigation;
        return plan;
    }
    const std::int64_t spikes = FinishFixList(fixes, settings.nav_average_fixes);
    plan.fixes = std::move(fixes);
    const std::vector<llt>& f = plan.fixes;
    if (spikes > 0)
        host.AppendLog("\tNavigation spikes repaired: " + std::to_string(spikes) + "\r\n");
    host.PumpEvents();
    if (f.size() < 2)
        return GiveUp(
            host, std::move(plan), Status::TooFewFixes, "fewer than two navigation fixes");
    if (const std::int64_t unusable = UnusablePositions(f); unusable > 0)
        return GiveUp(host,
                      std::move(plan),
                      Status::PositionsUnusable,
                      std::to_string(unusable) + " positions could not be used");

    host.ChartBegin(ChartTitle(f));
    for (const llt& fix : f)
        host.ChartAddFix(fix.t.GetTicks(), fix.speed, fix.deltap);
    host.ChartEnd();

    const double spacing = ChooseSpacing(f,
                                         settings.spacing_mode == SpacingMode::Fixed
                                             ? std::optional<double>(settings.trace_spacing)
                                             : std::nullopt);
    if (!(spacing > 0.0)) // also NaN: the selection would never end
        return GiveUp(host,
                      std::move(plan),
                      Status::SpacingNotPositive,
                      "median trace spacing is not above 0");
    host.ChartSetSpacing(f.front().t.GetTicks(),
                         f.back().t.GetTicks(),
                         spacing,
                         " shot spacing = " + SpacingText(spacing) + " m");
    host.PumpEvents();
    if (!(f.back().cummulativeDistance > 0.0))
        return GiveUp(host, std::move(plan), Status::NoTrackLength, "the track has no length");
    // Decided before a byte is written: an output never grows past this.
    const std::int64_t planned = CorrectedTraceCount(f, spacing);
    const auto fixCount = static_cast<std::int64_t>(f.size());
    if (planned > kMaxTracesPerFix * fixCount) {
        const std::string why = "the corrected file would hold " + std::to_string(planned) +
                                " traces from " + std::to_string(fixCount) +
                                ", more than ten times as many";
        return GiveUp(host, std::move(plan), Status::TooManyTraces, why);
    }

    plan.status = Status::Corrected;
    plan.spacingMetres = spacing;
    CCorrectedSelection selection(plan.fixes, spacing);
    for (CCorrectedSelection::Entry e; selection.Peek(e); selection.Advance()) {
        ++plan.tracesAfter;
        if (e.record >= 0 && static_cast<std::size_t>(e.record) < delays.size())
            ++plan.delays[delays[static_cast<std::size_t>(e.record)]];
    }
    return plan;
}

CCorrectedSelection::CCorrectedSelection(const std::vector<llt>& fixes, double spacing)
    : m_fixes(&fixes), m_spacing(spacing), m_distance(fixes.front().cummulativeDistance),
      m_end(fixes.back().cummulativeDistance)
{
}

bool CCorrectedSelection::Peek(Entry& entry) const
{
    if (m_fixes == nullptr || !(m_distance < m_end))
        return false;
    const std::vector<llt>& fixes = *m_fixes;
    const std::size_t n = fixes.size();
    while (m_distance > fixes[m_k].cummulativeDistance && m_k < n - 1)
        ++m_k;
    const llt& A = fixes[m_k - 1];
    const llt& B = fixes[m_k];
    const double f =
        (m_distance - A.cummulativeDistance) / (B.cummulativeDistance - A.cummulativeDistance);
    // The nearest recorded trace; a zero-length step (f NaN) takes B's.
    entry.record = (f < 0.5 ? A : B).position;
    entry.between = f >= 0.001 && f <= 0.999;
    entry.a = &A;
    entry.b = &B;
    entry.f = f;
    return true;
}

} // namespace tessara
