// Reader throughput against pugixml on a generated catalogue of about 10 MB; the time of one
// FormDeviceParam for the last device of a catalogue of 1,000 entries x 64 parameters and of
// one GoDeviceParams for a type that catalogue lacks; and LoadTypeNames with GoDeviceParams on
// a catalogue of 16,000 elements none of which is a device entry.
// Last line: parse_mb_s pugixml_mb_s parse_ratio form_us miss_us nomatch_ms.

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/SyntheticCatalogue.h"
#include "catalogue/USimpleXMLParser.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::string MakeCatalogue(int devices, int params)
{
    return MakeSyntheticCatalogue({.Devices = devices, .Parameters = params});
}

const std::string &LargeDocument()
{
    static const std::string doc = [] {
        std::string d;
        int devices = 100;
        while (true) {
            d = MakeCatalogue(devices, 40);
            if (d.size() >= 10u * 1000 * 1000) {
                return d;
            }
            devices = static_cast<int>(devices * (10.2e6 / static_cast<double>(d.size()))) + 1;
        }
    }();
    return doc;
}

void BM_Parse(benchmark::State &state)
{
    const std::string &doc = LargeDocument();
    for (auto _ : state) {
        // A fresh parser each time, as pugixml gets a fresh document: both pay for their
        // allocations, as a program that loads its catalogue once does.
        TSimpleXMLParser parser;
        const bool ok = parser.Parse(doc);
        benchmark::DoNotOptimize(ok);
        if (!ok) {
            state.SkipWithError("the reader rejected the generated catalogue");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_ParsePugixml(benchmark::State &state)
{
    const std::string &doc = LargeDocument();
    for (auto _ : state) {
        pugi::xml_document xml;
        const pugi::xml_parse_result result =
            xml.load_buffer(doc.data(), doc.size(), pugi::parse_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
        if (!result) {
            state.SkipWithError("pugixml rejected the generated catalogue");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_FormDeviceParam(benchmark::State &state)
{
    constexpr int devices = 1000;
    if (!CatalogueParser().Parse(MakeCatalogue(devices, 64))) {
        state.SkipWithError("the reader rejected the generated catalogue");
        return;
    }
    for (auto _ : state) {
        FormDeviceParam(devices - 1, 150);
        benchmark::DoNotOptimize(DeviceParameters.data());
    }
    state.counters["rows"] = static_cast<double>(DeviceParameters.size());
}

void BM_GoDeviceParamsMiss(benchmark::State &state)
{
    constexpr int devices = 1000;
    if (!CatalogueParser().Parse(MakeCatalogue(devices, 64))) {
        state.SkipWithError("the reader rejected the generated catalogue");
        return;
    }
    for (auto _ : state) {
        const bool offered = GoDeviceParams(devices, 150);
        benchmark::DoNotOptimize(offered);
    }
}

void BM_NoMatch(benchmark::State &state)
{
    // Wrong-case entries: as many elements as a large file, not one of them a device entry.
    static const std::string doc =
        MakeSyntheticCatalogue({.Devices = 16000, .Parameters = 0, .Misnamed = true});
    for (auto _ : state) {
        // A fresh document each time: the navigator remembers what a lookup learnt, and the
        // program asks these questions of a document it has just read.
        state.PauseTiming();
        const bool parsed = CatalogueParser().Parse(doc);
        state.ResumeTiming();
        if (!parsed) {
            state.SkipWithError("the reader rejected the generated catalogue");
            break;
        }
        LoadTypeNames();
        const bool offered = GoDeviceParams(9, 150);
        benchmark::DoNotOptimize(offered);
    }
}

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ParsePugixml)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FormDeviceParam)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_GoDeviceParamsMiss)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_NoMatch)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps the console output and remembers each run's time per iteration in seconds.
class TRecorder : public benchmark::ConsoleReporter
{
public:
    // Plain output: colour codes would leak into the figures line that follows.
    TRecorder() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                seconds[run.run_name.function_name] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::printf("document: %.1f MB\n", static_cast<double>(LargeDocument().size()) / 1e6);
    TRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    const double mb = static_cast<double>(LargeDocument().size()) / 1e6;
    auto rate = [&](const char *name) {
        const auto it = recorder.seconds.find(name);
        return it == recorder.seconds.end() || it->second <= 0 ? 0.0 : mb / it->second;
    };
    const double own = rate("BM_Parse");
    const double pugi = rate("BM_ParsePugixml");
    auto seconds = [&](const char *name) {
        const auto it = recorder.seconds.find(name);
        return it == recorder.seconds.end() ? 0.0 : it->second;
    };
    std::printf("parse_mb_s=%.1f pugixml_mb_s=%.1f parse_ratio=%.2f form_us=%.1f miss_us=%.1f "
                "nomatch_ms=%.2f\n",
                own, pugi, pugi > 0 ? own / pugi : 0.0, seconds("BM_FormDeviceParam") * 1e6,
                seconds("BM_GoDeviceParamsMiss") * 1e6, seconds("BM_NoMatch") * 1e3);
    return 0;
}
