// The workers over a pseudo-terminal against the bus simulator: real frames, real timing.

#include "tests/support/SimulatorProcess.h"
#include "tests/workers/WorkerTestSupport.h"

#include "device/DeviceRequests.h"
#include "workers/TLoadThread.h"
#include "workers/TSaveThread.h"
#include "workers/TSearchThread.h"

#include <memory>

namespace {

class SimulatedBusTest : public TWorkerTest
{
protected:
    void SetUp() override
    {
        TSimulatorProcess::TOptions options;
        options.Port = 9;
        options.SettingsLines = {"StartTimeOut=0", "TimeoutConstant=30", "CmdTimeoutConstant=200",
                                 "USARTMode=1"};
        Sim = std::make_unique<TSimulatorProcess>(LINVAR_WORKERS_TEST_DIR "/bus-workers.conf",
                                                  options);
        ASSERT_TRUE(Sim->Ready()) << Sim->Error();
        LoadLinkSettings();
        InitPerfFrequency();
        ASSERT_TRUE(OpenComPort(Sim->PortNumber()));
        TWorkerTest::SetUp();
    }

    void TearDown() override
    {
        TWorkerTest::TearDown();
        LinkSettings = TLinkSettings{};
    }

    std::unique_ptr<TSimulatorProcess> Sim;
};

} // namespace

TEST_F(SimulatedBusTest, SearchReportsOnlyDevicesThatAnswerBothRequests)
{
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    std::vector<std::pair<uint32_t, uint32_t>> found;
    std::vector<uint32_t> progress;
    TPostedMessage message;
    while (Queue.Next(message, std::chrono::seconds(30))) {
        if (message.Message == WM_DEVICEFOUND)
            found.emplace_back(message.WParam, message.LParam);
        if (message.Message == WM_PROGRESS) {
            progress.push_back(message.WParam);
            // Past the faulty devices at 3 and 4 the rest of the sweep adds nothing.
            if (message.WParam == 6 * 100 / 127)
                Handle.RequestStop();
        }
        if (message.Message == WM_SEARCHDONE)
            break;
    }
    ASSERT_EQ(message.Message, WM_SEARCHDONE);
    Handle.Wait();

    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{1 * 256 + 18, 111},
                                                                 {2 * 256 + 9, 205}};
    EXPECT_EQ(found, expected);
    // 127, then 1, 2, ... in order, as far as the sweep went before the stop.
    ASSERT_GE(progress.size(), 6u);
    EXPECT_EQ(progress[0], 0u);
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_EQ(progress[i], (i + 1) * 100 / 127) << i;
}

TEST_F(SimulatedBusTest, ReadWriteAndReadBack)
{
    AddParameter(1, SizeByte, VALUE_UNDEFINED);
    AddParameter(4, SizeWord, VALUE_UNDEFINED);
    AddParameter(7, SizeWord, VALUE_UNDEFINED); // the device rejects it

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    auto messages = CollectUntil(WM_LOADDONE);
    // The first read transaction went unanswered; its repeat got the value.
    EXPECT_EQ(DeviceParameters[0].Value, 2);
    EXPECT_EQ(DeviceParameters[1].Value, 250);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);

    DeviceParameters[0].Value = 300; // a byte: the low 8 bits go out and come back
    DeviceParameters[1].Value = 4660;
    Handle.Wait();
    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, 2));
    messages = CollectUntil(WM_SAVEDONE);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].WParam, 100u);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);

    for (auto &entry : DeviceParameters)
        entry.Value = VALUE_UNDEFINED;
    Handle.Wait();
    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    CollectUntil(WM_LOADDONE);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
}
