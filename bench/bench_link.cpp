// Measures SendRequest against the bus simulator over a pseudo-terminal:
//   hold_p50_us / hold_p99_us  how late RTS is cleared after the computed hold of a 7-byte
//                              frame (wire time + TailinUS), busy-waiting as the link does
//   sleep_hold_p99_us          the same hold when sleeping instead, for comparison
//   silent_ratio               a transaction to a silent address / 3 x (pause + hold + time-out)
//   overhead_us                per answered transaction, time beyond pause + hold + the
//                              reply's arrival
//   hold_p99_loaded_us         hold_p99_us while two CPU-bound processes, started and stopped
//   sleep_hold_p99_loaded_us   by the benchmark itself, compete for the cores; the same for
//                              the sleeping hold
//   hold_p99_observed_us       hold_p99_us with a traffic record set, which takes every
//   overhead_observed_us       attempt; overhead_us likewise
//   record_ns                  what the traffic record costs each attempt now that it runs
//                              from the program's start: the two clock readings for the
//                              reply time and the copy into the record, after the hold,
//                              measured alone (without a record: one pointer load)
//   realtime                   1 when the hold ran at real-time priority, 0 when refused
// The last line carries the figures as key=value pairs. --no-realtime measures the hold as
// it runs where the system refuses real-time priority.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/HoldRecorder.h"
#include "link/Link.h"
#include "tests/support/SimulatorProcess.h"

namespace {

int64_t HoldNs()
{
    return (CharacterTimeUs(9600, LinkSettings.StopBits) * 7 + LinkSettings.TailinUS) * 1000;
}

// Processes that keep one core each busy until stopped, as other work on the machine does.
class TCpuLoad
{
public:
    explicit TCpuLoad(int processes)
    {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                volatile uint64_t spin = 0;
                for (;;) {
                    spin = spin + 1;
                }
            }
            if (pid > 0) {
                Pids.push_back(pid);
            }
        }
        // Let the scheduler see them as the CPU-bound processes they are.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~TCpuLoad()
    {
        for (const pid_t pid : Pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    TCpuLoad(const TCpuLoad &) = delete;
    TCpuLoad &operator=(const TCpuLoad &) = delete;

    size_t Count() const { return Pids.size(); }

private:
    std::vector<pid_t> Pids;
};

} // namespace

int main(int argc, char **argv)
{
    THoldRecorder platform;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-realtime") == 0) {
            platform.AllowRealtime = false;
        } else {
            std::fprintf(stderr, "usage: bench_link [--no-realtime]\n");
            return 2;
        }
    }
    SetSerialPlatform(&platform);
    TSimulatorProcess sim(LINVAR_TEST_DATA "/sim-bench.conf");
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_link: %s\n", sim.Error().c_str());
        return 1;
    }
    LoadLinkSettings();
    InitPerfFrequency();
    if (!OpenComPort(sim.PortNumber())) {
        std::fprintf(stderr, "bench_link: cannot open the simulated bus\n");
        return 1;
    }
    const TLinkSettings defaults = LinkSettings;
    const uint8_t answered[] = {5, 6, 0, CMD_PING, 0, 0};
    const uint8_t silent[] = {99, 6, 0, CMD_PING, 0, 0};
    std::vector<uint8_t> reply;
    std::vector<double> overshootUs;
    auto collectHolds = [&] {
        for (int64_t hold : platform.Holds) {
            overshootUs.push_back(static_cast<double>(hold - HoldNs()) / 1000.0);
        }
        platform.Holds.clear();
    };

    // Answered transactions with the default settings.
    auto answeredOverheads = [&] {
        std::vector<double> us;
        for (int i = 0; i < 100; ++i) {
            const int64_t start = MonotonicNs();
            const bool ok = SendRequest(answered, sizeof answered, reply);
            const int64_t end = MonotonicNs();
            if (!ok || platform.Holds.size() != 1) {
                platform.Holds.clear();
                continue;
            }
            const int64_t arrival = platform.LastArrival - platform.RtsCleared;
            const int64_t beyond =
                (end - start) - int64_t(defaults.StartTimeOut) * 1'000'000 - HoldNs() - arrival;
            us.push_back(static_cast<double>(beyond) / 1000.0);
            collectHolds();
        }
        return us;
    };
    const std::vector<double> overheadUs = answeredOverheads();

    // More holds, cheaply: a silent address with a 1 ms reply time-out and no pause.
    auto silentHolds = [&](int transactions) {
        LinkSettings.TimeoutConstant = 1;
        LinkSettings.StartTimeOut = 0;
        for (int i = 0; i < transactions; ++i) {
            SendRequest(silent, sizeof silent, reply);
            collectHolds();
        }
        LinkSettings = defaults;
    };
    silentHolds(70);

    // A silent address with the defaults against its budget.
    std::vector<double> ratios;
    const double budgetNs = 3.0 * (defaults.StartTimeOut * 1e6 + static_cast<double>(HoldNs()) +
                                   defaults.TimeoutConstant * 1e6);
    for (int i = 0; i < 5; ++i) {
        const int64_t start = MonotonicNs();
        SendRequest(silent, sizeof silent, reply);
        ratios.push_back(static_cast<double>(MonotonicNs() - start) / budgetNs);
        collectHolds();
    }

    // The same hold done with a sleep, as serial libraries commonly do.
    auto sleepHolds = [&](int holds) {
        std::vector<double> us;
        std::lock_guard<std::recursive_mutex> lock(PortLock);
        const std::vector<uint8_t> frame = WithCheckByte({99, 6, 0, CMD_PING, 0, 0});
        for (int i = 0; i < holds; ++i) {
            const int64_t t0 = MonotonicNs();
            platform.Port->Raw().Write(frame.data(), frame.size());
            std::this_thread::sleep_for(std::chrono::nanoseconds(HoldNs()));
            const int64_t t1 = MonotonicNs();
            us.push_back(static_cast<double>(t1 - t0 - HoldNs()) / 1000.0);
            platform.Port->Raw().Purge(TPurge::TxClear);
        }
        return us;
    };
    const std::vector<double> sleepUs = sleepHolds(300);
    const std::vector<double> quietUs = overshootUs;

    // The same with a traffic record taking every attempt.
    overshootUs.clear();
    TTrafficRecord record;
    SetTrafficRecord(&record);
    const std::vector<double> overheadObservedUs = answeredOverheads();
    silentHolds(70);
    SetTrafficRecord(nullptr);
    const std::vector<double> observedUs = overshootUs;
    const size_t recorded = record.Take().size();

    // The record's own cost per attempt, as SendRequest pays it with a record set: two clock
    // readings and the attempt copied in (a seven-byte request, a six-byte reply). The record
    // is kept full, as it is when nobody takes from it, so the drop of the oldest counts too.
    double recordNs = 0;
    {
        TTrafficRecord full(10000);
        const std::vector<uint8_t> request = {5, 6, 0, 0x3F, 1, 0, 0x5A};
        const std::vector<uint8_t> reply = {5, 5, 0x3E, 0x3F, 2, 0x17};
        const std::string port = "/dev/ttyUSB0";
        constexpr int Adds = 200000;
        const int64_t t0 = MonotonicNs();
        for (int i = 0; i < Adds; ++i) {
            TTrafficAttempt entry;
            entry.RequestEndNs = MonotonicNs();
            entry.ReplyEndNs = MonotonicNs();
            entry.TimeNs = entry.ReplyEndNs;
            entry.Port = port;
            entry.Attempt = 1;
            entry.Request = request;
            entry.Reply = reply;
            full.Add(std::move(entry));
        }
        recordNs = static_cast<double>(MonotonicNs() - t0) / Adds;
    }

    // Both again with two CPU-bound processes beside us on the two cores.
    overshootUs.clear();
    std::vector<double> sleepLoadedUs;
    size_t hogs = 0;
    {
        TCpuLoad load(2);
        hogs = load.Count();
        silentHolds(170);
        sleepLoadedUs = sleepHolds(300);
    }
    const std::vector<double> loadedUs = overshootUs;
    overshootUs = quietUs;
    CloseComPort();
    SetSerialPlatform(nullptr);

    auto mean = [](const std::vector<double> &values) {
        double sum = 0;
        for (double v : values) {
            sum += v;
        }
        return values.empty() ? 0 : sum / static_cast<double>(values.size());
    };
    const double overhead = mean(overheadUs);
    const double overheadObserved = mean(overheadObservedUs);
    std::printf("holds measured: %zu (busy-wait), %zu (sleep)\n", overshootUs.size(),
                sleepUs.size());
    std::printf("answered transactions: %zu of 100\n", overheadUs.size());
    std::printf(
        "hold overshoot busy-wait: min %.1f p10 %.1f p50 %.1f p90 %.1f p99 %.1f max %.1f us\n",
        Percentile(overshootUs, 0), Percentile(overshootUs, 0.1), Percentile(overshootUs, 0.5),
        Percentile(overshootUs, 0.9), Percentile(overshootUs, 0.99), Percentile(overshootUs, 1.0));
    std::printf("hold overshoot sleeping:  p50 %.1f us, p99 %.1f us\n", Percentile(sleepUs, 0.5),
                Percentile(sleepUs, 0.99));
    std::printf("under load (%zu CPU-bound processes): busy-wait p50 %.1f p99 %.1f max %.1f us "
                "(%zu holds), sleeping p50 %.1f p99 %.1f us\n",
                hogs, Percentile(loadedUs, 0.5), Percentile(loadedUs, 0.99),
                Percentile(loadedUs, 1.0), loadedUs.size(), Percentile(sleepLoadedUs, 0.5),
                Percentile(sleepLoadedUs, 0.99));
    std::printf("with a traffic record (%zu attempts recorded): hold p99 %.1f us, overhead "
                "%.1f us (without: %.1f us)\n",
                recorded, Percentile(observedUs, 0.99), overheadObserved, overhead);
    std::printf("traffic record per attempt: %.0f ns (clock readings and copy, after the hold)\n",
                recordNs);
    std::printf("real-time priority for the hold: %s\n",
                platform.Realtime ? "granted" : "not granted (ordinary priority)");
    // Busy-waiting and sleeping both suffer when the cores are shared: note the load.
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average (1 min): %.2f on %u cores\n", load[0],
                std::thread::hardware_concurrency());
    std::printf("hold_p50_us=%.1f hold_p99_us=%.1f silent_ratio=%.4f overhead_us=%.1f "
                "sleep_hold_p99_us=%.1f hold_p99_loaded_us=%.1f sleep_hold_p99_loaded_us=%.1f "
                "hold_p99_observed_us=%.1f overhead_observed_us=%.1f record_ns=%.0f "
                "realtime=%d\n",
                Percentile(overshootUs, 0.5), Percentile(overshootUs, 0.99),
                Percentile(ratios, 0.5), overhead, Percentile(sleepUs, 0.99),
                Percentile(loadedUs, 0.99), Percentile(sleepLoadedUs, 0.99),
                Percentile(observedUs, 0.99), overheadObserved, recordNs,
                platform.Realtime ? 1 : 0);
    return 0;
}
