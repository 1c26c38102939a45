// A console reporter that also prints time ratios between pairs of benchmarks
// run in the same process, so a comparison against a reference (a plain file
// copy, another library's conversion) is measured under the same conditions.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessara::bench
{

/// A ratio that a benchmark measured itself and reports as a counter.
struct CounterLimit {
    std::string benchmark; ///< benchmark name with arguments, without run options
    std::string counter;
    std::string label;
    double limit = 0; ///< largest acceptable value; 0 = report only
};

struct RatioPair {
    std::string ours;      ///< benchmark name, as printed
    std::string reference; ///< benchmark name of the reference doing the same work
    std::string label;
    double limit = 0; ///< largest acceptable time ratio; 0 = report only
};

class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    /// `useCpuTime`: compare CPU time rather than wall time, which other
    /// processes on a shared machine disturb less.
    explicit CRatioReporter(bool useCpuTime)
        : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular),
          m_useCpuTime(useCpuTime)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // With repetitions, the median stands for the benchmark.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            // Keyed by name and arguments only, without the run options
            // (min_time, real_time) that the printed name carries.
            std::string key = run.run_name.function_name;
            if (!run.run_name.args.empty())
                key += "/" + run.run_name.args;
            m_times[key] = {run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
            for (const auto& [name, counter] : run.counters)
                m_counters[key][name] = counter.value;
        }
    }

    /// Prints the wall and CPU time ratios of every pair measured; returns
    /// false when a pair with a limit exceeded it.
    bool PrintRatios(const std::vector<RatioPair>& pairs) const
    {
        bool withinLimits = true;
        bool header = false;
        for (const RatioPair& p : pairs) {
            const auto a = m_times.find(p.ours);
            const auto b = m_times.find(p.reference);
            if (a == m_times.end() || b == m_times.end() || b->second.wall <= 0 ||
                b->second.cpu <= 0)
                continue;
            if (!header) {
                std::printf("\nTime ratios, ours / reference (same work, same run); limits "
                            "apply to %s time:\n",
                            m_useCpuTime ? "CPU" : "wall");
                std::printf("  %-40s %8s %8s\n", "", "wall", "CPU");
                header = true;
            }
            const double wall = a->second.wall / b->second.wall;
            const double cpu = a->second.cpu / b->second.cpu;
            const double ratio = m_useCpuTime ? cpu : wall;
            const bool ok = p.limit <= 0 || ratio <= p.limit;
            withinLimits = withinLimits && ok;
            std::printf("  %-40s %7.3fx %7.3fx", p.label.c_str(), wall, cpu);
            if (p.limit > 0)
                std::printf("  (limit %.2fx: %s)", p.limit, ok ? "met" : "NOT MET");
            std::printf("\n");
        }
        return withinLimits;
    }

    /// Prints the counters named in `limits`; returns false when one exceeds
    /// its limit.
    bool PrintCounterLimits(const std::string& title, const std::vector<CounterLimit>& limits) const
    {
        bool withinLimits = true;
        std::printf("\n%s\n", title.c_str());
        for (const CounterLimit& c : limits) {
            const auto b = m_counters.find(c.benchmark);
            if (b == m_counters.end() || b->second.count(c.counter) == 0)
                continue;
            const double v = b->second.at(c.counter);
            const bool ok = c.limit <= 0 || v <= c.limit;
            withinLimits = withinLimits && ok;
            std::printf("  %-40s %7.3f", c.label.c_str(), v);
            if (c.limit > 0)
                std::printf("  (limit %.2f: %s)", c.limit, ok ? "met" : "NOT MET");
            std::printf("\n");
        }
        return withinLimits;
    }

private:
    struct Times {
        double wall = 0; ///< seconds per iteration
        double cpu = 0;
    };
    bool m_useCpuTime;
    std::map<std::string, Times> m_times;
    std::map<std::string, std::map<std::string, double>> m_counters;
};

} // namespace tessara::bench
