// A console reporter that also prints time ratios between pairs of benchmarks
// run in the same process, so a comparison against a reference (a plain file
// copy, another library's conversion) is measured under the same conditions.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tessara::bench {

struct RatioPair {
    std::string ours;      ///< benchmark name, as printed
    std::string reference; ///< benchmark name of the reference doing the same work
    std::string label;
    double limit = 0; ///< largest acceptable time ratio; 0 = report only
};

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // With repetitions, the median stands for the benchmark.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            m_seconds[run.run_name.str()] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    /// Prints "label: ours / reference = r x" for every pair measured; returns
    /// false when a pair with a limit exceeded it.
    bool PrintRatios(const std::vector<RatioPair>& pairs) const
    {
        bool withinLimits = true;
        bool header = false;
        for (const RatioPair& p : pairs) {
            const auto a = m_seconds.find(p.ours);
            const auto b = m_seconds.find(p.reference);
            if (a == m_seconds.end() || b == m_seconds.end() || b->second <= 0)
                continue;
            if (!header) {
                std::printf("\nTime ratios (ours / reference, same work, same run):\n");
                header = true;
            }
            const double ratio = a->second / b->second;
            const bool ok = p.limit <= 0 || ratio <= p.limit;
            withinLimits = withinLimits && ok;
            if (p.limit > 0)
                std::printf("  %-52s %6.3f x  (limit %.2f x: %s)\n", p.label.c_str(), ratio,
                            p.limit, ok ? "met" : "NOT MET");
            else
                std::printf("  %-52s %6.3f x\n", p.label.c_str(), ratio);
        }
        return withinLimits;
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace tessara::bench
