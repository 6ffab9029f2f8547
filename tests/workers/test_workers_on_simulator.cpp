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
    EXPECT_EQ(garbled[0].Verdicts,
              std::vector<TAttemptVerdict>(MaxAttempts, TAttemptVerdict::WrongCheckByte));
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

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    auto messages = CollectUntil(WM_LOADDONE);
    // The first read transaction went unanswered; its repeat got the value.
    EXPECT_EQ(DeviceParameters[0].Value, 2);
    EXPECT_EQ(DeviceParameters[1].Value, 250);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);

    DeviceParameters[0].Value = 300; // a byte: the low 8 bits go out and come back
    DeviceParameters[1].Value = 4660;
    DeviceParameters[2].Value = 5; // the device refuses it
    Handle.Wait();
    Wire.Take();
    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, 2));
    messages = CollectUntil(WM_SAVEDONE);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].WParam, 100u);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
    // The refusal is an answer, sent once; the operator's value stays, and the next write
    // sends it again.
    EXPECT_EQ(Sent(CMD_WRITE_PARAM, 7), 1u);
    for (int write = 0; write < 2; ++write) {
        EXPECT_EQ(DeviceParameters[2].Value, 5);
        EXPECT_EQ(ReplyOf(DeviceParameters[2]), TParameterReply::WriteRefused);
        if (write == 0) {
            Handle.Wait();
            ASSERT_TRUE(StartWorker<TSaveThread>(Handle, 2));
            CollectUntil(WM_SAVEDONE);
            EXPECT_EQ(Sent(CMD_WRITE_PARAM, 7), 1u);
        }
    }

    for (auto &entry : DeviceParameters)
        entry.Value = VALUE_UNDEFINED;
    Handle.Wait();
    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, 2));
    CollectUntil(WM_LOADDONE);
    EXPECT_EQ(DeviceParameters[0].Value, 44);
    EXPECT_EQ(DeviceParameters[1].Value, 4660);
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
