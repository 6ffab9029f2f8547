#include "tests/soak/FaultSoak.h"

#include "link/Link.h"
#include "link/SystemSerial.h"
#include "tests/support/ForwardingSerialPort.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimBus.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/DeviceRequests.h"
#include "device/ParameterReply.h"
#include "workers/StartWorker.h"
#include "workers/TLoadThread.h"
#include "workers/TMessageQueue.h"
#include "workers/TSaveThread.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <utility>

namespace {

// A late reply's last byte comes after the command time-out (100 ms below): the attempt
// fails, and the next one, sent into the pause, collides with the reply, goes unanswered and
// reads the stray last byte.
constexpr uint32_t LateMs = 150;
constexpr const char *CommandTimeout = "CmdTimeoutConstant=100";
constexpr auto WorkerTimeout = std::chrono::seconds(120);

struct TSoakParameter
{
    uint8_t Index = 0;
    bool Word = false;
    uint16_t Minimum = 0;
    uint16_t Maximum = 0;
    uint16_t Initial = 0;
};

struct TSoakDevice
{
    uint8_t Address = 0;
    uint8_t Type = 0;
    uint16_t Version = 0;
    std::vector<TSoakParameter> Parameters;
};

// The bus: limits and first values drawn from the seed, never reaching the undefined
// marker's low bits (0xFF, 0xFFFF), so a frame that carries them can only be the marker.
std::vector<TSoakDevice> MakeBus(const TFaultSoakOptions &options, std::mt19937 &random)
{
    std::vector<TSoakDevice> devices;
    for (int d = 0; d < options.Devices; ++d) {
        TSoakDevice device;
        device.Address = static_cast<uint8_t>(5 + 7 * d);
        device.Type = static_cast<uint8_t>(40 + d);
        device.Version = static_cast<uint16_t>(111 + d);
        for (int i = 1; i <= options.ParametersPerDevice; ++i) {
            TSoakParameter p;
            p.Index = static_cast<uint8_t>(i);
            p.Word = i % 2 == 0;
            const int top = p.Word ? 60000 : 250;
            p.Minimum = static_cast<uint16_t>(std::uniform_int_distribution<int>(0, 20)(random));
            p.Maximum = static_cast<uint16_t>(
                std::uniform_int_distribution<int>(p.Minimum + 1, top)(random));
            p.Initial = static_cast<uint16_t>(
                std::uniform_int_distribution<int>(p.Minimum, p.Maximum)(random));
            device.Parameters.push_back(p);
        }
        devices.push_back(device);
    }
    return devices;
}

// The catalogue of the bus, as params.cfg is written (Windows-1251).
std::string CatalogueText(const std::vector<TSoakDevice> &devices)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Каталог>\n";
    for (const TSoakDevice &device : devices) {
        text += "  <Прибор тип=\"" + std::to_string(device.Type) + "\" название=\"Прибор " +
                std::to_string(device.Type) + "\" версии=\"1.00-9.99\">\n";
        for (const TSoakParameter &p : device.Parameters) {
            text += "    <Параметр название=\"Параметр " + std::to_string(p.Index) + "\" тип=\"" +
                    (p.Word ? "слово" : "байт") + "\" индекс=\"" + std::to_string(p.Index) +
                    "\" делитель=\"10\" минимум=\"" + std::to_string(p.Minimum) + "\" максимум=\"" +
                    std::to_string(p.Maximum) + "\" стандартно=\"" + std::to_string(p.Initial) +
                    "\"/>\n";
        }
        text += "  </Прибор>\n";
    }
    return Utf8ToCp1251(text + "</Каталог>\n");
}

// The simulator's configuration: the devices, and every fault kind on every reply, on a
// converter that echoes what it sends. The first device has a twin at its address (two units
// left at the same address): both store every write, so their replies overlap cleanly until a
// fault strikes one of them, and then arrive garbled.
std::string SimConfigText(const std::vector<TSoakDevice> &devices, double percent)
{
    const std::string chance = std::to_string(percent);
    std::string text = "latency 2\necho\n";
    for (const char *kind : {"no-reply", "bad-crc", "truncate", "wrong-address", "noise", "long"})
        text += std::string("random-fault ") + kind + " " + chance + "\n";
    text += "random-fault late " + chance + " ms " + std::to_string(LateMs) + "\n";
    auto deviceText = [&text](const TSoakDevice &device, const char *shared) {
        text += "device " + std::to_string(device.Address) + " type " +
                std::to_string(device.Type) + " version " + std::to_string(device.Version) +
                shared + "\n";
        for (const TSoakParameter &p : device.Parameters) {
            text += "param " + std::to_string(p.Index) + (p.Word ? " word " : " byte ") +
                    std::to_string(p.Initial) + "\n";
        }
    };
    for (const TSoakDevice &device : devices)
        deviceText(device, "");
    if (!devices.empty())
        deviceText(devices.front(), " shared");
    return text;
}

// One attempt as the wire saw it: the request frame and every byte read for its reply.
struct TAttempt
{
    std::vector<uint8_t> Request;
    std::vector<uint8_t> Reply;
};

// The POSIX platform, with a record of the attempts. Timed sending writes each request
// frame in one call, which is how an attempt is told from the next.
class TRecordingPlatform : public TSystemSerialPlatform
{
public:
    class TPort : public TOwnedForwardingPort<TRecordingPlatform>
    {
    public:
        using TOwnedForwardingPort::TOwnedForwardingPort;

        size_t Write(const uint8_t *bytes, size_t count) override
        {
            {
                std::lock_guard<std::mutex> guard(Owner.Lock);
                Owner.Attempts.push_back({std::vector<uint8_t>(bytes, bytes + count), {}});
            }
            return TForwardingSerialPort::Write(bytes, count);
        }
        size_t Read(uint8_t *bytes, size_t count) override
        {
            const size_t got = TForwardingSerialPort::Read(bytes, count);
            std::lock_guard<std::mutex> guard(Owner.Lock);
            if (!Owner.Attempts.empty())
                Owner.Attempts.back().Reply.insert(Owner.Attempts.back().Reply.end(), bytes,
                                                   bytes + got);
            return got;
        }
    };

    std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) override
    {
        auto inner = TSystemSerialPlatform::Open(path, error);
        return inner ? std::make_unique<TPort>(*this, std::move(inner)) : nullptr;
    }

    // The attempts since the last call, in order.
    std::vector<TAttempt> TakeAttempts()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return std::exchange(Attempts, {});
    }

private:
    std::mutex Lock;
    std::vector<TAttempt> Attempts;
};

// The value a write frame carries: one byte (L = 6) or a word, low byte first (L = 7).
uint16_t WrittenValue(const std::vector<uint8_t> &frame)
{
    return frame[1] >= 7 ? static_cast<uint16_t>(frame[5] | frame[6] << 8) : frame[5];
}

class TSoak
{
public:
    TSoak(const TFaultSoakOptions &options, TFaultSoakResult &result)
        : Options(options), Result(result), Random(options.Seed)
    {
    }

    bool Run()
    {
        Devices = MakeBus(Options, Random);
        const std::string catalogue = Dir.Write("params.cfg", CatalogueText(Devices));
        const std::string config =
            Dir.Write("soak.conf", SimConfigText(Devices, Options.FaultPercent));
        StatePath = Dir.File("state");
        if (LoadParams(catalogue).Fault != TCatalogueFault::None)
            return Fail("the soak catalogue does not load");

        TSimulatorProcess::TOptions simOptions;
        simOptions.SettingsLines = {CommandTimeout};
        simOptions.Arguments = {"--seed", std::to_string(Options.Seed), "--state", StatePath};
        SetSerialPlatform(&Platform);
        SetMainWindowTarget(&Queue);
        Sim = std::make_unique<TSimulatorProcess>(config, simOptions);
        bool ran = Sim->Ready() || Fail(Sim->Error());
        while (ran && Result.Transactions < Options.Transactions)
            ran = Session();
        CloseComPort();
        Sim.reset();
        SetMainWindowTarget(nullptr);
        SetSerialPlatform(nullptr);
        ClearDeviceParams();
        LinkSettings = TLinkSettings();
        return ran;
    }

private:
    // The tool's view of one device: its parameter list as the last worker left it.
    struct TView
    {
        std::vector<ParameterDescription> Parameters;
        std::map<uint8_t, uint16_t> Held;     // what the device holds, from the frames sent
        std::map<uint8_t, int32_t> Confirmed; // values the last write of each entry confirmed
    };

    bool Fail(const std::string &why)
    {
        Result.Error = why;
        return false;
    }

    // One session: the bus from its configured values, rounds of writes and reads, then the
    // devices' state against what the tool shows.
    bool Session()
    {
        if (!Sim->Ready() && !Sim->Restart())
            return Fail(Sim->Error());
        LoadLinkSettings();
        InitPerfFrequency();
        if (!OpenComPort(Sim->PortNumber()))
            return Fail("the simulated bus does not open");
        std::vector<TView> views(Devices.size());
        for (size_t d = 0; d < Devices.size(); ++d) {
            FormDeviceParam(Devices[d].Type, Devices[d].Version);
            views[d].Parameters = DeviceParameters;
            for (const TSoakParameter &p : Devices[d].Parameters)
                views[d].Held[p.Index] = p.Initial;
        }
        for (int round = 0; round <= Options.RoundsPerSession; ++round) {
            for (size_t d = 0; d < Devices.size(); ++d) {
                DeviceParameters = views[d].Parameters;
                // The first round only reads what the devices were configured with.
                if (round > 0 && !Write(Devices[d], views[d]))
                    return false;
                if (!Read(Devices[d], views[d]))
                    return false;
                views[d].Parameters = DeviceParameters;
            }
        }
        CloseComPort();
        Sim->Stop();
        return CompareWithState(views);
    }

    bool RunWorker(bool write, const TSoakDevice &device)
    {
        TWorkerHandle handle;
        const bool started =
            write ? StartWorker<TSaveThread>(handle, device.Address,
                                             TDeviceIdentity{device.Type, device.Version})
                  : StartWorker<TLoadThread>(handle, device.Address);
        if (!started)
            return Fail("a worker did not start");
        const uint32_t end = write ? WM_SAVEDONE : WM_LOADDONE;
        TPostedMessage message;
        while (Queue.Next(message, WorkerTimeout)) {
            if (message.Message == end) {
                handle.Wait();
                return true;
            }
        }
        return Fail("a worker did not end");
    }

    // The frame of the last attempt for `index`: the one whose reply the worker took.
    static std::string LastReplyFor(const std::vector<TAttempt> &attempts, uint8_t index)
    {
        for (auto it = attempts.rbegin(); it != attempts.rend(); ++it) {
            if (it->Request.size() > 4 && it->Request[4] == index)
                return HexText(it->Reply.data(), it->Reply.size());
        }
        return "(none)";
    }

    // The entries a run sent requests for; each is one transaction, however many attempts.
    std::set<uint8_t> Count(const std::vector<TAttempt> &attempts)
    {
        std::set<uint8_t> asked;
        for (const TAttempt &attempt : attempts) {
            if (attempt.Request.size() > 4)
                asked.insert(attempt.Request[4]);
        }
        Result.Attempts += attempts.size();
        Result.Transactions += asked.size();
        return asked;
    }

    // An accepted reply must carry what the device holds: a device of this bus rejects
    // nothing, so a rejection taken is as false as a wrong value.
    void CheckAccepted(const char *what, const TSoakDevice &device,
                       const std::vector<TAttempt> &attempts, const std::set<uint8_t> &asked,
                       const std::map<uint8_t, uint16_t> &held)
    {
        for (const ParameterDescription &entry : DeviceParameters) {
            const auto index = static_cast<uint8_t>(entry.Index);
            if (!asked.count(index))
                continue;
            const TParameterReply reply = ReplyOf(entry);
            const int32_t shown = entry.Value;
            const bool wrong = reply == TParameterReply::Rejected ||
                               reply == TParameterReply::WriteRefused ||
                               (reply == TParameterReply::Valid && shown != held.at(index));
            if (!wrong)
                continue;
            ++Result.FalseAccepts;
            Result.Incidents.push_back(
                std::string("false accept: ") + what + " of " + std::to_string(device.Address) +
                "/" + std::to_string(index) + ": the device holds " +
                std::to_string(held.at(index)) + ", taken " + std::to_string(shown) + " from " +
                LastReplyFor(attempts, index));
        }
    }

    bool Write(const TSoakDevice &device, TView &view)
    {
        // An operator's edit: some values changed, the rest written as shown.
        for (size_t i = 0; i < DeviceParameters.size(); ++i) {
            ParameterDescription &entry = DeviceParameters[i];
            if (Random() % 2 == 0) {
                entry.Value =
                    std::uniform_int_distribution<int>(entry.Minimum, entry.Maximum)(Random);
            }
        }
        if (!RunWorker(true, device))
            return false;
        const auto attempts = Platform.TakeAttempts();
        const std::set<uint8_t> asked = Count(attempts);
        for (const TAttempt &attempt : attempts) {
            if (attempt.Request.size() < 7 || attempt.Request[3] != CMD_WRITE_PARAM)
                continue;
            const uint16_t value = WrittenValue(attempt.Request);
            // Requests are never hurt on their way, so the device stores each one it is sent.
            view.Held[attempt.Request[4]] = value;
            const uint16_t marker = attempt.Request[1] >= 7 ? 0xFFFF : 0xFF;
            if (value == (VALUE_UNDEFINED & marker)) {
                ++Result.UndefinedWritten;
                Result.Incidents.push_back("undefined written: " +
                                           HexText(attempt.Request.data(), attempt.Request.size()));
            }
        }
        CheckAccepted("write", device, attempts, asked, view.Held);
        for (const ParameterDescription &entry : DeviceParameters) {
            if (!asked.count(static_cast<uint8_t>(entry.Index)))
                continue;
            if (ReplyOf(entry) == TParameterReply::Valid)
                view.Confirmed[static_cast<uint8_t>(entry.Index)] = entry.Value;
            else
                view.Confirmed.erase(static_cast<uint8_t>(entry.Index));
        }
        return true;
    }

    bool Read(const TSoakDevice &device, const TView &view)
    {
        if (!RunWorker(false, device))
            return false;
        const auto attempts = Platform.TakeAttempts();
        CheckAccepted("read", device, attempts, Count(attempts), view.Held);
        return true;
    }

    // What the tool shows as read (the last read's valid entries) or as confirmed (the last
    // write's) against what the simulator says its devices hold.
    bool CompareWithState(const std::vector<TView> &views)
    {
        std::ifstream in(StatePath);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        TSimState state;
        if (!ParseSimState(text, state) || state.empty())
            return Fail("the simulator left no state");
        for (size_t d = 0; d < Devices.size(); ++d) {
            const uint8_t address = Devices[d].Address;
            auto mismatch = [&](const char *what, uint8_t index, int32_t shown) {
                const auto it = state.find({address, index});
                if (it != state.end() && it->second == shown)
                    return;
                ++Result.Mismatches;
                Result.Incidents.push_back(
                    std::string("mismatch: ") + what + " " + std::to_string(address) + "/" +
                    std::to_string(index) + " shows " + std::to_string(shown) + ", the device " +
                    (it == state.end() ? std::string("has no such parameter")
                                       : "holds " + std::to_string(it->second)));
            };
            for (const ParameterDescription &entry : views[d].Parameters) {
                if (ReplyOf(entry) == TParameterReply::Valid)
                    mismatch("read", static_cast<uint8_t>(entry.Index), entry.Value);
            }
            for (const auto &[index, value] : views[d].Confirmed)
                mismatch("confirmed write", index, value);
        }
        return true;
    }

    const TFaultSoakOptions &Options;
    TFaultSoakResult &Result;
    std::mt19937 Random;
    std::vector<TSoakDevice> Devices;
    TTempDir Dir{"linvar-soak-"};
    std::string StatePath;
    TRecordingPlatform Platform;
    TMessageQueue Queue;
    std::unique_ptr<TSimulatorProcess> Sim;
};

} // namespace

double TFaultSoakResult::RetryRatio() const
{
    return Transactions == 0
               ? 0
               : static_cast<double>(Attempts - Transactions) / static_cast<double>(Transactions);
}

std::string TFaultSoakResult::Summary() const
{
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.4f", RetryRatio());
    return "transactions=" + std::to_string(Transactions) +
           " false_accepts=" + std::to_string(FalseAccepts) +
           " mismatches=" + std::to_string(Mismatches) +
           " undefined_written=" + std::to_string(UndefinedWritten) + " retry_ratio=" + ratio;
}

bool RunFaultSoak(const TFaultSoakOptions &options, TFaultSoakResult &result)
{
    result = TFaultSoakResult();
    TSoak soak(options, result);
    return soak.Run();
}
