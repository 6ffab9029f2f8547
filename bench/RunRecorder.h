#pragma once
// A console reporter that also keeps each run's time, for the key=value line a benchmark
// prints last.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TRunRecorder : public benchmark::ConsoleReporter
{
public:
    // Plain text: colour codes would end up in front of the summary line.
    TRunRecorder() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // The mean and median of repetitions would overwrite the last repetition's time.
            if (run.error_occurred || run.iterations <= 0 || run.run_type == Run::RT_Aggregate)
                continue;
            const std::string &args = run.run_name.args;
            const std::string name = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            Seconds[name] = {run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
        }
    }

    // Wall-clock seconds per iteration of benchmark `name` ("Function" or "Function/argument");
    // 0 when it did not run or failed.
    double RealSeconds(const std::string &name) const { return Find(name).Real; }
    // Processor seconds per iteration of benchmark `name`, likewise.
    double CpuSeconds(const std::string &name) const { return Find(name).Cpu; }

private:
    struct TTimes
    {
        double Real = 0;
        double Cpu = 0;
    };

    TTimes Find(const std::string &name) const
    {
        const auto it = Seconds.find(name);
        return it == Seconds.end() ? TTimes() : it->second;
    }

    std::map<std::string, TTimes> Seconds;
};
