// Reader throughput against pugixml on a generated catalogue of about 10 MB, and the time
// of one FormDeviceParam for the last device of a catalogue of 1,000 entries x 64 parameters.
// Last line: parse_mb_s pugixml_mb_s parse_ratio form_us.

#include "DeviceCatalogue.h"
#include "USimpleXMLParser.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// A catalogue of `devices` entries with `params` parameters each, with a comment up front
// and a little element text, as a real file has.
std::string MakeCatalogue(int devices, int params)
{
    const std::string device = Utf8ToCp1251("Прибор");
    const std::string parameter = Utf8ToCp1251("Параметр");
    const std::string note = Utf8ToCp1251("Интерфейсный блок, параметры линии связи.");
    const std::string byteSize = Utf8ToCp1251("байт");
    const std::string wordSize = Utf8ToCp1251("слово");
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n";
    out += Utf8ToCp1251("<!-- Сгенерированный каталог для замеров. -->\n<Каталог>\n");
    for (int d = 0; d < devices; ++d) {
        out += "  <" + device + Utf8ToCp1251(" тип=\"") + std::to_string(d) +
               Utf8ToCp1251("\" название=\"Прибор типа ") + std::to_string(d) +
               Utf8ToCp1251("\" версии=\"1.00-1.99,2.05\">\n    ") + note + "\n";
        for (int p = 0; p < params; ++p) {
            out += "    <" + parameter + Utf8ToCp1251(" название=\"Параметр номер ") +
                   std::to_string(p) + Utf8ToCp1251("\" тип=\"") + (p % 2 ? wordSize : byteSize) +
                   Utf8ToCp1251("\" индекс=\"") + std::to_string(p + 1) +
                   Utf8ToCp1251("\" делитель=\"") +
                   (p % 3 == 0   ? "1"
                    : p % 3 == 1 ? "10"
                                 : "100") +
                   Utf8ToCp1251("\" минимум=\"0\" максимум=\"1000\" стандартно=\"10\"") +
                   (p % 5 == 4 ? Utf8ToCp1251(" версии=\"1.50-1.99\"") : std::string()) +
                   (p % 8 == 0
                        ? ">" + Utf8ToCp1251("Значение &amp; пояснение") + "</" + parameter + ">\n"
                        : "/>\n");
        }
        out += "  </" + device + ">\n";
    }
    out += Utf8ToCp1251("</Каталог>\n");
    return out;
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

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ParsePugixml)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FormDeviceParam)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

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
    const auto form = recorder.seconds.find("BM_FormDeviceParam");
    std::printf("parse_mb_s=%.1f pugixml_mb_s=%.1f parse_ratio=%.2f form_us=%.1f\n", own, pugi,
                pugi > 0 ? own / pugi : 0.0,
                form == recorder.seconds.end() ? 0.0 : form->second * 1e6);
    return 0;
}
