// The workers over a pseudo-terminal against the bus simulator: real frames, real timing.

#include "tests/support/SimulatorProcess.h"
#include "tests/workers/WorkerTestSupport.h"

#include "device/DeviceRequests.h"
#include "link/SendRequest.h"
#include "link/Traffic.h"
#include "workers/GarbledAddress.h"
#include "workers/TLoadThread.h"
#include "workers/TSaveThread.h"
#include "workers/TSearchThread.h"

#include <fstream>
#include <iterator>
#include <memory>

namespace {

// The worker tests' quick link timings for the short bus of bus-workers.conf.
const std::vector<std::string> QuickSettings = {"StartTimeOut=0", "TimeoutConstant=30",
                                                "CmdTimeoutConstant=200", "USARTMode=1"};

class SimulatedBusTest : public TWorkerTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Plug(LINVAR_WORKERS_TEST_DIR "/bus-workers.conf", QuickSettings));
        TWorkerTest::SetUp();
        SetTrafficRecord(&Wire);
    }

    void TearDown() override
    {
        TWorkerTest::TearDown();
        SetTrafficRecord(nullptr);
        LinkSettings = TLinkSettings{};
    }

    // Attempts on the wire since the last call with `command` for parameter `index`.
    size_t Sent(uint8_t command, uint8_t index)
    {
        size_t count = 0;
        for (const TTrafficAttempt &attempt : Wire.Take())
            count += attempt.Request[3] == command && attempt.Request[4] == index;
        return count;
    }

    // (Re)starts the simulator on `configPath` with the link settings `settings` (the
    // defaults for the rest) and opens its port; false, with a failure added, otherwise.
    bool Plug(const std::string &configPath, const std::vector<std::string> &settings,
              const std::vector<std::string> &arguments = {})
    {
        CloseComPort();
        Sim.reset();
        TSimulatorProcess::TOptions options;
        options.Port = 9;
        options.SettingsLines = settings;
        options.Arguments = arguments;
        Sim = std::make_unique<TSimulatorProcess>(configPath, options);
        EXPECT_TRUE(Sim->Ready()) << Sim->Error();
        LinkSettings = TLinkSettings{};
        LoadLinkSettings();
        InitPerfFrequency();
        EXPECT_TRUE(OpenComPort(Sim->PortNumber()));
        return Sim->Ready() && PortIsOpen();
    }

    // Sweeps `first` to `last` (and 127), the fast way with `fast`, and returns (address * 256
    // + type, version) of each device found.
    std::vector<std::pair<uint32_t, uint32_t>> Sweep(uint8_t first, uint8_t last, bool fast = false)
    {
        std::vector<std::pair<uint32_t, uint32_t>> found;
        EXPECT_TRUE(StartWorker<TSearchThread>(Handle, first, last, fast));
        for (const TPostedMessage &message : CollectUntil(WM_SEARCHDONE)) {
            if (message.Message == WM_DEVICEFOUND)
                found.emplace_back(message.WParam, message.LParam);
        }
        Handle.Wait();
        return found;
    }

    TTempDir Dir;
    std::unique_ptr<TSimulatorProcess> Sim;
    // Every attempt the link makes: the frames on the wire, counted rather than timed.
    TTrafficRecord Wire;
};

} // namespace

TEST_F(SimulatedBusTest, SearchReportsDevicesThatAnswerBothRequestsAndAddressesThatGarble)
{
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    std::vector<std::pair<uint32_t, uint32_t>> found;
    std::vector<TGarbledAddress> garbled;
    std::vector<uint32_t> progress;
    TPostedMessage message;
    while (Queue.Next(message, std::chrono::seconds(30))) {
        if (message.Message == WM_DEVICEFOUND)
            found.emplace_back(message.WParam, message.LParam);
        if (message.Message == WM_GARBLED)
            garbled.push_back(TGarbledAddress::FromMessage(message.WParam, message.LParam));
        if (message.Message == WM_PROGRESS) {
            progress.push_back(message.WParam);
            // Past the faulty devices at 3 to 5 and the one at 6 the sweep adds nothing.
            if (message.WParam == 7 * 100 / 127)
                Handle.RequestStop();
        }
        if (message.Message == WM_SEARCHDONE)
            break;
    }
    ASSERT_EQ(message.Message, WM_SEARCHDONE);
    Handle.Wait();

    // The two devices at 5 hide each other, not the device after them.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {1 * 256 + 18, 111}, {2 * 256 + 9, 205}, {6 * 256 + 24, 340}};
    EXPECT_EQ(found, expected);
    // Only 5 garbled: 3 says nothing to identify, and 4's stray reply is a valid frame.
    ASSERT_EQ(garbled.size(), 1u);
    EXPECT_EQ(garbled[0].Address, 5);
    // Their colliding replies bring bytes that never make a valid reply; which verdicts they
    // get depends on the bits that win.
    EXPECT_FALSE(garbled[0].Verdicts.empty());
    for (const TAttemptVerdict verdict : garbled[0].Verdicts)
        EXPECT_TRUE(BroughtBytes(verdict)) << VerdictName(verdict);
    // 127, then 1, 2, ... in order, as far as the sweep went before the stop.
    ASSERT_GE(progress.size(), 7u);
    EXPECT_EQ(progress[0], 0u);
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_EQ(progress[i], (i + 1) * 100 / 127) << i;
}

TEST_F(SimulatedBusTest, ReadWriteAndReadBack)
{
    AddParameter(1, SizeByte, VALUE_UNDEFINED);
    AddParameter(4, SizeWord, VALUE_UNDEFINED);
    AddParameter(7, SizeWord, VALUE_UNDEFINED); // the device rejects it
    AddParameter(8, SizeWord, VALUE_UNDEFINED); // the device refuses writes to it

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    auto messages = CollectUntil(WM_LOADDONE);
    // The first read transaction went unanswered; its repeat got the value.
    EXPECT_EQ(DeviceParameters[0].Value, 2);
    EXPECT_EQ(DeviceParameters[1].Value, 250);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);
    EXPECT_EQ(DeviceParameters[3].Value, 700);

    DeviceParameters[0].Value = 300; // a byte: the low 8 bits go out and come back
    DeviceParameters[1].Value = 4660;
    DeviceParameters[3].Value = 5; // the device refuses it
    Handle.Wait();
    Wire.Take();
    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, 2, TDeviceIdentity{9, 205}));
    messages = CollectUntil(WM_SAVEDONE);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].WParam, 100u);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
    // The refusal is an answer, sent once; the operator's value stays, and the next write
    // sends it again.
    EXPECT_EQ(Sent(CMD_WRITE_PARAM, 8), 1u);
    for (int write = 0; write < 2; ++write) {
        EXPECT_EQ(DeviceParameters[3].Value, 5);
        EXPECT_EQ(ReplyOf(DeviceParameters[3]), TParameterReply::WriteRefused);
        if (write == 0) {
            Handle.Wait();
            ASSERT_TRUE(StartWorker<TSaveThread>(Handle, 2, TDeviceIdentity{9, 205}));
            CollectUntil(WM_SAVEDONE);
            EXPECT_EQ(Sent(CMD_WRITE_PARAM, 8), 1u);
        }
    }

    for (auto &entry : DeviceParameters)
        entry.Value = VALUE_UNDEFINED;
    Handle.Wait();
    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    CollectUntil(WM_LOADDONE);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
    EXPECT_EQ(DeviceParameters[3].Value, 700); // the device kept its own
}

TEST_F(SimulatedBusTest, ADeviceFallenSilentEndsTheReadAndIsReadWholeOnceItAnswers)
{
    // Thirty parameters; the device answers two of them, then falls silent for a while.
    for (int32_t index = 1; index <= 30; ++index)
        AddParameter(index, SizeByte);
    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 20));
    auto messages = CollectUntil(WM_LOADDONE);
    EXPECT_EQ(messages.back().WParam, DONE_DEVICE_SILENT);
    // Two answered reads, then every transaction of two silent entries, and nothing after.
    EXPECT_EQ(Wire.Take().size(), 2u + 2 * RequestsPerParameter * MaxAttempts);
    EXPECT_EQ(Params(messages, WM_PROGRESS).size(), 4u);
    EXPECT_EQ(DeviceParameters[1].Value, 2);
    EXPECT_EQ(ReplyOf(DeviceParameters[1]), TParameterReply::Valid);
    for (size_t i = 2; i < DeviceParameters.size(); ++i)
        EXPECT_EQ(ReplyOf(DeviceParameters[i]), TParameterReply::NoValidReply) << i;

    // Answering again, it is read whole: one attempt per entry, each answered (it holds two
    // of the parameters and rejects the rest).
    Handle.Wait();
    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 20));
    messages = CollectUntil(WM_LOADDONE);
    EXPECT_EQ(messages.back().WParam, 0u);
    EXPECT_EQ(Wire.Take().size(), 30u);
    for (size_t i = 0; i < DeviceParameters.size(); ++i) {
        EXPECT_EQ(ReplyOf(DeviceParameters[i]),
                  i < 2 ? TParameterReply::Valid : TParameterReply::Rejected)
            << i;
    }
}

// A two-wire converter hands back every request before the reply. The search lists exactly
// the devices there, and a read, a write and a read back give the same values and put the
// same frames on the wire as without the echo; only the record tells the echo.
TEST_F(SimulatedBusTest, AnEchoingConverterChangesNothingButTheRecord)
{
    std::ifstream in(LINVAR_WORKERS_TEST_DIR "/bus-workers.conf");
    const std::string bus((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    struct TRun
    {
        std::vector<std::pair<uint32_t, uint32_t>> Found;
        std::vector<int32_t> Values;
        std::vector<std::string> Wire; // each attempt: request, reply, verdict
        size_t Echoes = 0;
    };
    auto run = [&](const std::string &converter) {
        TRun result;
        if (!Plug(Dir.Write("bus.conf", converter + bus), QuickSettings))
            return result;
        TTrafficRecord record;
        SetTrafficRecord(&record);
        result.Found = Sweep(1, 6);
        DeviceParameters.clear();
        AddParameter(1, SizeByte);
        AddParameter(4, SizeWord);
        AddParameter(7, SizeWord); // rejected
        EXPECT_TRUE(StartWorker<TLoadThread>(Handle, 2));
        CollectUntil(WM_LOADDONE);
        Handle.Wait();
        DeviceParameters[0].Value = 300;
        DeviceParameters[1].Value = 4660;
        EXPECT_TRUE(StartWorker<TSaveThread>(Handle, 2, TDeviceIdentity{9, 205}));
        CollectUntil(WM_SAVEDONE);
        Handle.Wait();
        EXPECT_TRUE(StartWorker<TLoadThread>(Handle, 2));
        CollectUntil(WM_LOADDONE);
        Handle.Wait();
        SetTrafficRecord(nullptr);
        for (const ParameterDescription &entry : DeviceParameters)
            result.Values.push_back(entry.Value);
        for (const TTrafficAttempt &attempt : record.Take()) {
            result.Wire.push_back(HexText(attempt.Request.data(), attempt.Request.size()) + " < " +
                                  HexText(attempt.Reply.data(), attempt.Reply.size()) + " " +
                                  VerdictName(attempt.Verdict));
            result.Echoes += attempt.Echo;
        }
        return result;
    };
    const TRun plain = run("");
    const TRun echoed = run("echo\n");
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {1 * 256 + 18, 111}, {2 * 256 + 9, 205}, {6 * 256 + 24, 340}};
    EXPECT_EQ(plain.Found, expected);
    EXPECT_EQ(echoed.Found, expected);
    EXPECT_EQ(plain.Values, (std::vector<int32_t>{44, 4660, VALUE_UNDEFINED}));
    EXPECT_EQ(echoed.Values, plain.Values);
    EXPECT_EQ(echoed.Wire, plain.Wire);
    EXPECT_EQ(plain.Echoes, 0u);
    EXPECT_EQ(echoed.Echoes, echoed.Wire.size());
    EXPECT_GT(echoed.Wire.size(), 20u);
}

// A USB converter hands over what it receives on its latency timer's ticks (16 ms on common
// chips), so the echo and the reply arrive together or split anyhow: with the default
// timings at 9600 baud every sweep still finds every device.
TEST_F(SimulatedBusTest, SweepsBehindUsbBatchesFindEveryDevice)
{
    ASSERT_TRUE(Plug(Dir.Write("usb.conf", "echo\nusb-latency 16\n"
                                           "device 1 type 18 version 1.11 identify 5\n"
                                           "device 4 type 9 version 2.05\n"
                                           "device 6 type 24 version 3.40\n"),
                     {}));
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {1 * 256 + 18, 111}, {4 * 256 + 9, 205}, {6 * 256 + 24, 340}};
    for (int sweep = 0; sweep < 3; ++sweep)
        EXPECT_EQ(Sweep(1, 7), expected) << "sweep " << sweep;
}

// The fast sweep at the default timings and 9600 baud finds what the standard one finds: on
// the demo bus, behind an echoing converter, behind a USB chip's 16 ms batches (with its
// echo), and with stray bytes before 2 % of the replies, sweep after sweep. A garbled or a
// late first answer (the first sweep on the last bus) still finds its device: any byte that
// comes gets the standard probe.
TEST_F(SimulatedBusTest, FastSweepFindsWhatTheStandardOneFinds)
{
    std::ifstream demoFile(LINVAR_WORKERS_TEST_DIR "/../../tools/sim/demo.conf");
    const std::string demo((std::istreambuf_iterator<char>(demoFile)),
                           std::istreambuf_iterator<char>());
    ASSERT_FALSE(demo.empty());
    ASSERT_TRUE(Plug(Dir.Write("demo.conf", demo), {}));
    const auto standard = Sweep(1, 33);
    ASSERT_EQ(standard.size(), 3u);
    EXPECT_EQ(Sweep(1, 33, true), standard);

    const std::string devices = "device 1 type 18 version 1.11 identify 5\n"
                                "device 4 type 9 version 2.05\n"
                                "device 6 type 24 version 3.40\n";
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {1 * 256 + 18, 111}, {4 * 256 + 9, 205}, {6 * 256 + 24, 340}};
    const std::string firstPingsSpoilt = "device 2 type 7 version 1.00\n"
                                         "fault noise on ping count 1\n"
                                         "device 3 type 7 version 1.00\n"
                                         "fault late ms 60 on ping count 1\n";
    for (const char *converter : {"echo\n", "echo\nusb-latency 16\n", "random-fault noise 2\n"}) {
        SCOPED_TRACE(converter);
        const bool spoilt = converter[0] == 'r';
        auto wanted = expected;
        if (spoilt)
            wanted.insert(wanted.begin() + 1, {{2 * 256 + 7, 100}, {3 * 256 + 7, 100}});
        ASSERT_TRUE(Plug(Dir.Write("bus.conf", std::string(converter) + devices +
                                                   (spoilt ? firstPingsSpoilt : "")),
                         {}));
        for (int sweep = 0; sweep < 4; ++sweep)
            EXPECT_EQ(Sweep(1, 7, true), wanted) << "sweep " << sweep;
    }
}

// A write that gives a device a new address or line speed follows it there and lands every
// value at its new place; one that would move it onto another device's address stops there,
// and nothing is ever written to that other device.
TEST_F(SimulatedBusTest, AWriteFollowsADeviceItMovesAndNeverWritesToAnother)
{
    const std::string bus = "latency 1\nchar-us 100\n"
                            "device 5 type 18 version 1.11\n"
                            "param 1 byte 5 address\n"
                            "param 2 word 96 baud 96=9600,192=19200\n"
                            "param 7 word 20\n"
                            "device 6 type 18 version 1.11\n"
                            "param 1 byte 6 address at-once\n"
                            "param 7 word 20\n"
                            "device 7 type 18 version 1.11\n"
                            "param 1 byte 7\n"
                            "param 2 word 96 baud 96=9600,192=19200\n"
                            "param 7 word 20\n"
                            "device 9 type 18 version 1.11\n"
                            "param 1 byte 9 address\n"
                            "param 7 word 20\n";
    struct TCase
    {
        const char *Name;
        uint8_t Address;
        int32_t NewAddress, Speed; // values of parameters 1 and 2 (none: VALUE_UNDEFINED)
        uint32_t Done;             // WM_SAVEDONE's wParam
        std::vector<std::pair<uint32_t, uint32_t>> Moves; // WM_DEVICEMOVED (address, baud)
        uint8_t EndsAt;                                   // where parameter 7 lands, 0: nowhere
        uint16_t Version = 111;                           // the firmware the write expects
    };
    const int32_t none = VALUE_UNDEFINED;
    for (const TCase &c : {
             TCase{"address, applied after the reply", 5, 8, none, 0, {{8, 9600}}, 8},
             TCase{"address, the reply from it", 6, 10, none, 0, {{10, 9600}}, 10},
             TCase{"line speed", 5, 5, 192, 0, {{5, 19200}}, 5},
             TCase{"address and speed", 5, 8, 192, 0, {{8, 9600}, {8, 19200}}, 8},
             TCase{"an address another device holds", 5, 9, none, DONE_ADDRESS_HELD, {}, 0},
             // At 19200 a device answers that is not the one written to: not followed.
             TCase{"another firmware at the new speed", 5, 5, 192, DONE_DEVICE_LOST, {}, 0, 112},
             // Its parameter 1 is no address: 9 (held) stays where nobody followed it to.
             TCase{"lost after a value that named a held address",
                   7,
                   9,
                   192,
                   DONE_DEVICE_LOST,
                   {},
                   0,
                   112},
         }) {
        SCOPED_TRACE(c.Name);
        const std::string statePath = Dir.Path + "/state";
        ASSERT_TRUE(Plug(Dir.Write("moves.conf", bus), QuickSettings, {"--state", statePath}));
        DeviceParameters.clear();
        AddParameter(1, SizeByte, c.NewAddress);
        AddParameter(2, SizeWord, c.Speed);
        AddParameter(7, SizeWord, 77);
        ASSERT_TRUE(StartWorker<TSaveThread>(Handle, c.Address, TDeviceIdentity{18, c.Version}));
        std::vector<std::pair<uint32_t, uint32_t>> moves;
        const auto messages = CollectUntil(WM_SAVEDONE);
        for (const TPostedMessage &message : messages) {
            if (message.Message == WM_DEVICEMOVED)
                moves.emplace_back(message.WParam, message.LParam);
        }
        Handle.Wait();
        EXPECT_EQ(messages.back().WParam, c.Done);
        EXPECT_EQ(moves, c.Moves);
        const bool landed = c.EndsAt != 0;
        EXPECT_EQ(ReplyOf(DeviceParameters[2]),
                  landed ? TParameterReply::Valid : TParameterReply::NoValidReply);
        // Not one write went to an address other than the device's own, old or new.
        for (const TTrafficAttempt &attempt : Wire.Take()) {
            if (attempt.Request[3] == CMD_WRITE_PARAM) {
                EXPECT_TRUE(attempt.Request[0] == c.Address || attempt.Request[0] == c.EndsAt)
                    << int(attempt.Request[0]);
            }
        }
        if (c.Done == DONE_ADDRESS_HELD) {
            EXPECT_EQ(messages.back().LParam, 9u);
        }
        CloseComPort();
        Sim->Stop();
        // The devices' values as the simulator left them: "ADDRESS INDEX VALUE" lines.
        std::map<std::pair<int, int>, int> state;
        std::ifstream stateFile(statePath);
        for (int address, index, value; stateFile >> address >> index >> value;)
            state[{address, index}] = value;
        if (landed) {
            EXPECT_EQ(state[std::make_pair(int(c.EndsAt), 7)], 77);
            EXPECT_EQ(state[std::make_pair(int(c.EndsAt), 1)], c.EndsAt);
        }
        EXPECT_EQ(state[std::make_pair(9, 7)], 20); // the device that was at 9 from the start
    }
}
