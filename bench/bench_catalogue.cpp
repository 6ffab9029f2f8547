// Reader throughput against pugixml on a generated catalogue of about 10 MB; the time of one
// FormDeviceParam for the last device of a catalogue of 1,000 entries x 64 parameters and of
// one GoDeviceParams for a type that catalogue lacks; and LoadTypeNames with GoDeviceParams on
// a catalogue of 16,000 elements none of which is a device entry.
// Last line: parse_mb_s pugixml_mb_s parse_ratio form_us miss_us nomatch_ms.

#include "catalogue/DeviceCatalogue.h"
#include "catalogue/SyntheticCatalogue.h"
#include "catalogue/USimpleXMLParser.h"

#include "bench/RunRecorder.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
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

// Entries of the catalogue the lookups search, 64 parameters each.
constexpr int LookupDevices = 1000;

// Reads the lookups' catalogue into the program's parser; false, and the run skipped, when
// the reader refuses it.
bool ReadLookupCatalogue(benchmark::State &state)
{
    if (CatalogueParser().Parse(MakeCatalogue(LookupDevices, 64)))
        return true;
    state.SkipWithError("the reader rejected the generated catalogue");
    return false;
}

void BM_FormDeviceParam(benchmark::State &state)
{
    if (!ReadLookupCatalogue(state))
        return;
    for (auto _ : state) {
        FormDeviceParam(LookupDevices - 1, 150);
        benchmark::DoNotOptimize(DeviceParameters.data());
    }
    state.counters["rows"] = static_cast<double>(DeviceParameters.size());
}

void BM_GoDeviceParamsMiss(benchmark::State &state)
{
    if (!ReadLookupCatalogue(state))
        return;
    for (auto _ : state) {
        const bool offered = GoDeviceParams(LookupDevices, 150);
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

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::printf("document: %.1f MB\n", static_cast<double>(LargeDocument().size()) / 1e6);
    TRunRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    const double mb = static_cast<double>(LargeDocument().size()) / 1e6;
    auto rate = [&](const char *name) {
        const double seconds = recorder.RealSeconds(name);
        return seconds <= 0 ? 0.0 : mb / seconds;
    };
    const double own = rate("BM_Parse");
    const double pugi = rate("BM_ParsePugixml");
    auto seconds = [&](const char *name) { return recorder.RealSeconds(name); };
    std::printf("parse_mb_s=%.1f pugixml_mb_s=%.1f parse_ratio=%.2f form_us=%.1f miss_us=%.1f "
                "nomatch_ms=%.2f\n",
                own, pugi, pugi > 0 ? own / pugi : 0.0, seconds("BM_FormDeviceParam") * 1e6,
                seconds("BM_GoDeviceParamsMiss") * 1e6, seconds("BM_NoMatch") * 1e3);
    return 0;
}
