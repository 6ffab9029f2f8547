#include "tools/cli/CliWatchCommand.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliHealth.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliTrace.h"

#include "device/DeviceRequests.h"
#include "link/LinkState.h"
#include "link/SendRequest.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr uint32_t DefaultIntervalMs = 1000;
// Interrupts are looked at this often during the pause between rounds.
constexpr uint32_t PauseStepMs = 20;

// Waits `ms`, ending early on an interrupt.
void Pause(uint32_t ms)
{
    for (uint32_t waited = 0; waited < ms && !InterruptRequested(); waited += PauseStepMs)
        SerialPlatform().SleepMs(std::min(PauseStepMs, ms - waited));
}

} // namespace

int RunWatch(const TCliOptions &options)
{
    const uint32_t intervalMs = options.IntervalMs.value_or(DefaultIntervalMs);
    uint64_t round = 0;
    // The poll runs on this thread: there is no window to keep responsive, and the trace
    // is taken between the transactions as it is between a worker's messages.
    while (!InterruptRequested() && !PortLost() && (!options.Count || round < *options.Count)) {
        if (round != 0)
            Pause(intervalMs);
        if (InterruptRequested())
            break;
        ++round;
        for (const uint8_t address : options.Addresses) {
            const auto request =
                options.Index ? ReadRequest(address, *options.Index) : IdentifyRequest(address);
            std::vector<uint8_t> reply;
            SendRequest(request.data(), request.size(), reply);
            DrainTrace();
            if (PortLost() || InterruptRequested())
                break;
        }
        const std::vector<TDeviceHealth> devices = RecordedHealth().Devices();
        if (options.Json) {
            TJson json{{"round", round}, {"stats", HealthJson(devices, RecordDropped())}};
            std::cout << JsonText(json) << '\n';
        } else {
            std::cout << HealthRoundLine(round, options.Addresses, devices) << '\n';
        }
        std::cout << std::flush;
    }
    if (PortLost()) {
        ReportError(PortLostText("watch in round " + std::to_string(round)));
        return ExitPortLost;
    }
    return ExitOk;
}
