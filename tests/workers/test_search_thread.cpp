#include "tests/workers/WorkerTestSupport.h"

#include "workers/TSearchThread.h"
#include "workers/TSpeedSearchThread.h"
#include "workers/WorkerMessages.h"

namespace {

// Addresses of the frames with command `command`, one per transaction (attempts merged).
std::vector<uint8_t> Polled(const std::vector<std::vector<uint8_t>> &frames, uint8_t command)
{
    std::vector<uint8_t> addresses;
    const std::vector<uint8_t> *previous = nullptr;
    for (const auto &frame : frames) {
        if (frame[3] != command)
            continue;
        if (!previous || *previous != frame)
            addresses.push_back(frame[0]);
        previous = &frame;
    }
    return addresses;
}

using SearchTest = TWorkerOnFake;

} // namespace

TEST_F(SearchTest, SweepOrderAndProgressOfASilentBus)
{
    const std::pair<uint8_t, uint8_t> sweeps[] = {{1, 126}, {0, 126}, {1, 10}, {0, 0}};
    for (const auto &[start, last] : sweeps) {
        SCOPED_TRACE(std::to_string(start) + ".." + std::to_string(last));
        Fake.ClearCalls();
        ASSERT_TRUE(StartWorker<TSearchThread>(Handle, start, last));
        const auto messages = CollectUntil(WM_SEARCHDONE);
        Handle.Wait();

        std::vector<uint8_t> expected = {127};
        for (int a = start; a <= last; ++a)
            expected.push_back(static_cast<uint8_t>(a));
        EXPECT_EQ(Polled(Fake.Frames(), CMD_PING), expected);
        EXPECT_TRUE(Polled(Fake.Frames(), CMD_IDENTIFY).empty());
        // Every silent address costs the link's three attempts and nothing more.
        EXPECT_EQ(Fake.Frames().size(), 3 * expected.size());

        // After 127 the next address's share, after a the share of a + 1, after the last
        // address its own (99 for 126).
        std::vector<uint32_t> progress = {start * 100u / 127};
        for (int a = start; a < last; ++a)
            progress.push_back(static_cast<uint32_t>((a + 1) * 100 / 127));
        progress.push_back(last * 100u / 127);
        EXPECT_EQ(Params(messages, WM_PROGRESS), progress);
        if (last == 126) {
            EXPECT_EQ(progress.front(), 0u);
            EXPECT_EQ(progress.back(), 99u);
        }
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().Message, WM_SEARCHDONE);
        EXPECT_EQ(Params(messages, WM_SEARCHDONE).size(), 1u);
    }
}

TEST_F(SearchTest, DevicesAreReportedInAddressOrderWithTheirVersion)
{
    TScriptedDevice shortIdentify;
    shortIdentify.Type = 0x12;
    shortIdentify.Version = 0x6F; // L = 5: the version's low byte only
    shortIdentify.IdentifyLength = 5;
    TScriptedDevice longIdentify;
    longIdentify.Type = 0x12;
    longIdentify.Version = 0x016F;
    TScriptedDevice top;
    top.Type = 9;
    top.Version = 205;
    Bus.Add(5, shortIdentify);
    Bus.Add(7, longIdentify);
    Bus.Add(127, top);

    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    const auto messages = CollectUntil(WM_SEARCHDONE);

    std::vector<std::pair<uint32_t, uint32_t>> found;
    for (const auto &m : messages) {
        if (m.Message == WM_DEVICEFOUND)
            found.emplace_back(m.WParam, m.LParam);
    }
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {127 * 256 + 9, 205}, {0x0512, 111}, {0x0712, 367}};
    EXPECT_EQ(found, expected);

    // Each device comes right before the progress posted after its address.
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        if (messages[i].Message != WM_DEVICEFOUND)
            continue;
        const uint32_t address = messages[i].WParam >> 8;
        const uint32_t next = address == 127 ? 1 : address + 1;
        EXPECT_EQ(messages[i + 1].Message, WM_PROGRESS);
        EXPECT_EQ(messages[i + 1].WParam, next * 100 / 127);
    }
}

TEST_F(SearchTest, StrayAndHalfAnsweringDevicesAreNotReported)
{
    TScriptedDevice stray; // answers the ping of 7 as address 8
    stray.ReplyAddressOffset = 1;
    TScriptedDevice pingOnly;
    pingOnly.AnswersIdentify = false;
    Bus.Add(7, stray);
    Bus.Add(9, pingOnly);

    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    const auto messages = CollectUntil(WM_SEARCHDONE);

    EXPECT_TRUE(Params(messages, WM_DEVICEFOUND).empty());
    // The stray reply ends the address at once; the device that answers ping gets the
    // identify request (the link's three attempts), and nothing else does.
    EXPECT_EQ(Polled(Fake.Frames(), CMD_IDENTIFY), std::vector<uint8_t>{9});
    size_t identifyAttempts = 0;
    for (const auto &frame : Fake.Frames())
        identifyAttempts += frame[3] == CMD_IDENTIFY;
    EXPECT_EQ(identifyAttempts, 3u);
}

TEST_F(SearchTest, StopDuringAnAddressFinishesItsExchangesThenEnds)
{
    TScriptedDevice device;
    device.Type = 3;
    device.Version = 100;
    Bus.Add(40, device);
    Bus.OnFrame([this](const std::vector<uint8_t> &frame) {
        if (frame[0] == 40 && frame[3] == CMD_PING)
            Handle.RequestStop();
    });

    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    const auto messages = CollectUntil(WM_SEARCHDONE);
    Handle.Wait();

    // Ping and identify of address 40 both went out; address 41 was never polled.
    const auto frames = Fake.Frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[frames.size() - 1][0], 40);
    EXPECT_EQ(frames[frames.size() - 1][3], CMD_IDENTIFY);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[messages.size() - 3].Message, WM_DEVICEFOUND);
    EXPECT_EQ(messages[messages.size() - 2].Message, WM_PROGRESS);
    EXPECT_EQ(messages[messages.size() - 2].WParam, 41u * 100 / 127);
    EXPECT_EQ(messages.back().Message, WM_SEARCHDONE);
}

TEST_F(SearchTest, ClosedPortPostsOnlyTheEndMessage)
{
    CloseComPort();
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 0));
    const auto messages = CollectUntil(WM_SEARCHDONE);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Fake.Frames().empty());
}

// The fast sweep on a silent bus: one ping per address, the last one's three attempts (no
// later probe would catch its late answer), in the standard order. A device whose first
// answer comes too late lands in the next address's ping and is then probed the standard
// way, listed in the sweep's order.
TEST_F(SearchTest, FastSweepPingsOnceAndCatchesALateAnswer)
{
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, uint8_t{1}, uint8_t{10}, true));
    CollectUntil(WM_SEARCHDONE);
    Handle.Wait();
    EXPECT_EQ(Polled(Fake.Frames(), CMD_PING),
              (std::vector<uint8_t>{127, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Fake.Frames().size(), 10u + 3u);

    TScriptedDevice slow;
    slow.Type = 9;
    slow.Version = 205;
    slow.SilentRequests = 1;
    Bus.Add(3, slow);
    TScriptedDevice prompt = slow;
    prompt.SilentRequests = 0;
    Bus.Add(6, prompt);
    bool injected = false;
    Bus.OnFrame([&](const std::vector<uint8_t> &frame) {
        if (frame[0] == 4 && !injected) {
            injected = true;
            Fake.InjectInput(WithCheckByte({3, 5, 0, CMD_PING, 0}));
        }
    });
    Fake.ClearCalls();
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, uint8_t{1}, uint8_t{10}, true));
    const auto messages = CollectUntil(WM_SEARCHDONE);
    Handle.Wait();
    EXPECT_EQ(Params(messages, WM_DEVICEFOUND), (std::vector<uint32_t>{3 * 256 + 9, 6 * 256 + 9}));
}

TEST_F(SearchTest, AcrossSpeedsEachDeviceIsReportedOnceAtItsFirstSpeed)
{
    // The scripted bus answers at every speed, as a device that follows the master's would.
    TScriptedDevice device;
    device.Type = 3;
    device.Version = 100;
    Bus.Add(2, device);
    Bus.Add(127, device);
    Fake.ClearCalls();
    ASSERT_TRUE(StartWorker<TSpeedSearchThread>(Handle, uint8_t(1), uint8_t(3),
                                                std::vector<uint32_t>{19200, 9600, 14400, 4800}));
    const auto messages = CollectUntil(WM_SEARCHDONE);
    Handle.Wait();

    std::vector<std::pair<uint32_t, uint32_t>> events;
    for (const auto &m : messages) {
        if (m.Message == WM_SEARCHSPEED || m.Message == WM_DEVICEFOUND ||
            m.Message == WM_DEVICEAGAIN)
            events.emplace_back(m.Message, m.Message == WM_SEARCHSPEED ? m.WParam : m.LParam);
    }
    // A speed off the list is passed over; its place in the list still counts.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {WM_SEARCHSPEED, 19200}, {WM_DEVICEFOUND, 100},  {WM_DEVICEFOUND, 100},
        {WM_SEARCHSPEED, 9600},  {WM_DEVICEAGAIN, 9600}, {WM_DEVICEAGAIN, 9600},
        {WM_SEARCHSPEED, 4800},  {WM_DEVICEAGAIN, 4800}, {WM_DEVICEAGAIN, 4800}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(Params(messages, WM_DEVICEAGAIN), (std::vector<uint32_t>{0, 1, 0, 1}));
    // Each sweep at its speed, then the speed in force before the search again.
    std::vector<std::string> lines;
    for (const std::string &call : Fake.Calls()) {
        if (call.rfind("set-line", 0) == 0)
            lines.push_back(call.substr(0, call.find(' ', 9)));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"set-line baud=19200", "set-line baud=9600",
                                               "set-line baud=4800", "set-line baud=9600"}));
    EXPECT_EQ(Polled(Fake.Frames(), CMD_PING).size(), 3 * 4u);
    // One progress from 0 to the end over all the sweeps, never going back.
    const auto progress = Params(messages, WM_PROGRESS);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), (300 + 3 * 100 / 127) / 4u);
}
