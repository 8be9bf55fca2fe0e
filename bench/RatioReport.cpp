#include "RatioReport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {
struct RatioLine {
    std::string label, numerator, denominator;
};

std::vector<RatioLine>& Lines()
{
    static std::vector<RatioLine> lines;
    return lines;
}

std::map<std::string, std::string>& Waits()
{
    static std::map<std::string, std::string> waits;
    return waits;
}

double Micros(double value, benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond: return value / 1000.0;
    case benchmark::kMicrosecond: return value;
    case benchmark::kMillisecond: return value * 1000.0;
    case benchmark::kSecond: return value * 1e6;
    }
    return value;
}

struct Figure {
    double realUs = 0;    // median
    double cpuUs = 0;     // median CPU time of the calling thread: the path's own cost, waits left out
    double minUs = 0;     // fastest repetition (0: none); steadier on a loaded machine
    double idealUs = 0;   // 0: none
    double waitUs = 0;    // 0: none
    std::string function;
};

// Keeps the median of repeated runs (or the single run) of every benchmark.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred)
                continue;
            const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            const bool fastest = r.run_type == Run::RT_Aggregate && r.aggregate_name == "min";
            if (!single && !median && !fastest)
                continue;
            std::string name = r.run_name.function_name;
            if (!r.run_name.args.empty())
                name += "/" + r.run_name.args;
            if (fastest) {
                m_figures[name].minUs = Micros(r.GetAdjustedRealTime(), r.time_unit);
                continue;
            }
            Figure& f = m_figures[name];
            f.realUs = Micros(r.GetAdjustedRealTime(), r.time_unit);
            f.cpuUs = Micros(r.GetAdjustedCPUTime(), r.time_unit);
            if (const auto it = r.counters.find("ideal_us"); it != r.counters.end())
                f.idealUs = it->second.value;
            if (const auto it = r.counters.find("wait_us"); it != r.counters.end())
                f.waitUs = it->second.value;
            f.function = r.run_name.function_name;
            m_order.push_back(name);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-44s %12s %12s %8s %10s %10s\n", "ratio (median real time)", "time us", "against us",
                    "ratio", "fastest", "cpu time");
        for (const RatioLine& l : Lines()) {
            const auto n = m_figures.find(l.numerator), d = m_figures.find(l.denominator);
            if (n == m_figures.end() || d == m_figures.end() || d->second.realUs <= 0)
                continue;
            const Figure &a = n->second, &b = d->second;
            std::printf("%-44s %12.2f %12.2f %7.2fx", l.label.c_str(), a.realUs, b.realUs, a.realUs / b.realUs);
            if (a.minUs > 0 && b.minUs > 0)
                std::printf(" %9.2fx", a.minUs / b.minUs);
            else
                std::printf(" %10s", "");
            if (a.cpuUs > 0 && b.cpuUs > 0)
                std::printf(" %9.2fx", a.cpuUs / b.cpuUs);
            std::printf("\n");
        }
        std::map<std::string, bool> waitsShown;
        for (const std::string& name : m_order) {
            const Figure& f = m_figures[name];
            if (f.idealUs <= 0)
                continue;
            std::printf("%-44s %12.0f %12.0f %7.2fx", (name + " / wire time").c_str(), f.realUs, f.idealUs,
                        f.realUs / f.idealUs);
            if (f.minUs > 0)
                std::printf(" %9.2fx", f.minUs / f.idealUs);
            std::printf("\n");
            if (f.waitUs > 0) {
                // The wait of the median repetition stands for the fastest one's too.
                std::printf("%-44s %12.0f %12.0f %7.2fx", (name + " / wire time, wait out").c_str(), f.realUs - f.waitUs,
                            f.idealUs, (f.realUs - f.waitUs) / f.idealUs);
                if (f.minUs > f.waitUs)
                    std::printf(" %9.2fx", (f.minUs - f.waitUs) / f.idealUs);
                std::printf("   wait %.0f us\n", f.waitUs);
                waitsShown[f.function] = true;
            }
        }
        for (const auto& [function, text] : Waits())
            if (waitsShown.count(function))
                std::printf("%s, the wait taken out: %s\n", function.c_str(), text.c_str());
        std::fflush(stdout);
    }

private:
    std::map<std::string, Figure> m_figures;
    std::vector<std::string> m_order;
};
}  // namespace

void AddRatio(const std::string& label, const std::string& numerator, const std::string& denominator)
{
    Lines().push_back({label, numerator, denominator});
}

void DescribeWait(const std::string& function, const std::string& text)
{
    Waits()[function] = text;
}

int RunWithRatios(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
