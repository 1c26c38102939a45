// The speed correction of an output as a selection of its records: which
// record is written how many times, and with which header, so that the
// written traces follow each other at one distance along the ship's track.
// It is decided from the headers of the whole output before a byte of it is
// written, and applied while the output streams to its file.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/job_host.h"
#include "combine/job_state.h"
#include "nav/llt.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessara
{

/// What the speed correction decided for one output. Either every record is
/// selected as the corrected track asks (Corrected) or the output is written
/// as it is.
struct SpeedCorrectionPlan {
    enum class Status {
        Corrected,          ///< selected at spacingMetres
        NoNavigation,       ///< no record carries navigation; the message was shown
        TooFewFixes,        ///< fewer than two fixes; logged
        PositionsUnusable,  ///< a position is not a number after repair and smoothing; logged
        SpacingNotPositive, ///< the chosen spacing is not above 0; logged
        NoTrackLength,      ///< the track has no length; logged
        TooManyTraces,      ///< more than kMaxTracesPerFix times the fixes; logged
    };
    Status status = Status::NoNavigation;
    double spacingMetres = 0.0;    ///< the spacing used (Corrected), m
    std::int64_t tracesBefore = 0; ///< records of the output as recorded
    std::int64_t tracesAfter = 0;  ///< traces the selection writes (Corrected)
    /// The finished fix list; each fix's `position` is its record's number
    /// in the output, from 0.
    std::vector<llt> fixes;
    /// Corrected: how many selected traces carry each delay.
    DelayHistogram delays;
};

/// Decides the correction of an output of `records` records whose fixes
/// (AddFixOfHeader, positions being record numbers) are `fixes` and whose
/// record k carries delay `delays[k]`. Reads nav_average_fixes, spacing_mode
/// and trace_spacing. Tells the host what the correction found, in this
/// order: without navigation the message "Input file " + displayName + " does
/// not contain navigation : cannot output equally spaced shots"; the spikes
/// repaired (a log line); then the chart (title, fixes, spacing line); every
/// case that leaves the output uncorrected logs one line ("\tNot speed
/// corrected: ..." + CR LF).
[[nodiscard]] SpeedCorrectionPlan PlanSpeedCorrection(const CombineSettings& settings,
                                                      IJobHost& host,
                                                      std::vector<llt> fixes,
                                                      std::int64_t records,
                                                      const std::vector<std::int16_t>& delays,
                                                      const std::string& displayName);

/// The traces of a corrected output in order: for every distance 0,
/// spacing, 2 spacing, ... below the last fix's distance, the record nearest
/// to it, and where the distance falls well between two fixes (fraction
/// 0.001..0.999) the two fixes to interpolate its header from. Records come
/// in non-decreasing order.
class CCorrectedSelection
{
public:
    struct Entry {
        std::int64_t record = 0;
        bool between = false;
        const llt* a = nullptr; ///< between: the fixes and the fraction
        const llt* b = nullptr;
        double f = 0.0;
    };

    CCorrectedSelection() = default;
    /// Over `fixes` (at least two, a track of positive length) at `spacing`;
    /// the fixes must outlive the selection.
    CCorrectedSelection(const std::vector<llt>& fixes, double spacing);

    /// The next entry; false when the selection is done.
    [[nodiscard]] bool Peek(Entry& entry) const;
    void Advance() { m_distance += m_spacing; }

private:
    const std::vector<llt>* m_fixes = nullptr;
    double m_spacing = 0.0;
    double m_distance = 0.0;
    double m_end = 0.0;
    mutable std::size_t m_k = 1;
};

} // namespace tessara
