#include "tools/cli/CliHealth.h"

#include "tools/cli/CliOutput.h"

#include <algorithm>
#include <cstdio>

namespace {

// A reply time in ms, to a tenth.
std::string Ms(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", ms);
    return text;
}

// A count in a column of `width`, right-aligned.
std::string Column(uint64_t n, size_t width)
{
    const std::string text = std::to_string(n);
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

std::string Column(const std::string &text, size_t width)
{
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

// Rounds a share to three decimals, as JSON shows it.
double Share(double share)
{
    return static_cast<double>(static_cast<int64_t>(share * 1000 + 0.5)) / 1000;
}

} // namespace

std::string HealthTable(const std::vector<TDeviceHealth> &devices)
{
    std::string table = "Address  Attempts  Transactions  Valid  Retries  Time-outs  Bad check"
                        "  Echoes  Refusals  Median ms  P99 ms  Max ms\n";
    for (const TDeviceHealth &d : devices) {
        table += PadRight(std::to_string(d.Address), 7) + Column(d.Attempts, 10) +
                 Column(d.Transactions, 14) + Column(d.Valid, 7) + Column(d.Retries, 9) +
                 Column(d.TimeOuts, 11) + Column(d.WrongCheck, 11) + Column(d.Echoes, 8) +
                 Column(d.Refusals, 10) + Column(Ms(d.MedianMs), 11) + Column(Ms(d.P99Ms), 8) +
                 Column(Ms(d.MaxMs), 8) + (d.Troubled() ? "  !" : "") + '\n';
    }
    if (devices.empty())
        table += "(no attempts on the bus)\n";
    return table;
}

TJson HealthJson(const std::vector<TDeviceHealth> &devices, uint64_t dropped)
{
    TJson list = TJson::array();
    for (const TDeviceHealth &d : devices) {
        list.push_back({{"address", d.Address},
                        {"attempts", d.Attempts},
                        {"transactions", d.Transactions},
                        {"valid", d.Valid},
                        {"retries", d.Retries},
                        {"timeouts", d.TimeOuts},
                        {"wrong_check", d.WrongCheck},
                        {"echoes", d.Echoes},
                        {"refusals", d.Refusals},
                        {"reply_ms", {{"median", d.MedianMs}, {"p99", d.P99Ms}, {"max", d.MaxMs}}},
                        {"error_share", Share(d.ErrorShare())},
                        {"troubled", d.Troubled()}});
    }
    TJson stats{{"devices", std::move(list)}};
    if (dropped != 0)
        stats["attempts_dropped"] = dropped;
    return stats;
}

std::string HealthRoundLine(uint64_t round, const std::vector<uint8_t> &addresses,
                            const std::vector<TDeviceHealth> &devices)
{
    std::string line = "round " + std::to_string(round);
    for (size_t i = 0; i < addresses.size(); ++i) {
        line += i == 0 ? "  " : " | ";
        line += std::to_string(addresses[i]) + ": ";
        const auto it = std::ranges::find(devices, addresses[i], &TDeviceHealth::Address);
        if (it == devices.end()) {
            line += "-";
            continue;
        }
        line += std::to_string(it->Valid) + "/" + std::to_string(it->Attempts) + " valid, " +
                std::to_string(it->TimeOuts) + " time-outs, " + std::to_string(it->WrongCheck) +
                " bad check, " + Ms(it->MedianMs) + "/" + Ms(it->P99Ms) + "/" + Ms(it->MaxMs) +
                " ms" + (it->Troubled() ? " !" : "");
    }
    return line;
}
