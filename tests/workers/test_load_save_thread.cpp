#include "tests/workers/WorkerTestSupport.h"

#include "device/DeviceRequests.h"
#include "workers/TLoadThread.h"
#include "workers/TSaveThread.h"
#include "workers/TSearchThread.h"
#include "workers/WorkerMessages.h"

#include <cerrno>

namespace {

constexpr uint8_t Address = 12;

std::vector<std::vector<uint8_t>> FramesWithCommand(const TFakeSerialPlatform &platform,
                                                    uint8_t command)
{
    std::vector<std::vector<uint8_t>> frames;
    for (const auto &frame : platform.Frames()) {
        if (frame[3] == command)
            frames.push_back(frame);
    }
    return frames;
}

class ReadWriteTest : public TWorkerOnFake
{
protected:
    void Device(std::function<void(TScriptedDevice &)> edit)
    {
        TScriptedDevice device;
        edit(device);
        Bus.Add(Address, device);
    }
};

} // namespace

TEST_F(ReadWriteTest, ReadFramesAndReplyDecoding)
{
    Device([](TScriptedDevice &d) {
        d.Data[44] = {0x34, 0x12}; // two data bytes, low first
        d.Data[2] = {200};         // one data byte for a word entry
        d.Rejects.insert(3);
    });
    AddParameter(300, SizeWord); // only the low 8 bits go out: 44
    AddParameter(2, SizeWord);
    AddParameter(3, SizeByte);

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, Address));
    const auto messages = CollectUntil(WM_LOADDONE);

    EXPECT_EQ(DeviceParameters[0].Value, 4660);
    EXPECT_EQ(DeviceParameters[1].Value, 200);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);
    EXPECT_EQ(ReplyOf(DeviceParameters[1]), TParameterReply::Valid);
    EXPECT_EQ(ReplyOf(DeviceParameters[2]), TParameterReply::Rejected);
    EXPECT_EQ(Params(messages, WM_PROGRESS), (std::vector<uint32_t>{0, 33, 66}));
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages.back().Message, WM_LOADDONE);

    // One request per entry; a rejection is an answer and is not repeated.
    const std::vector<std::vector<uint8_t>> expected = {
        WithCheckByte({Address, 6, 0, CMD_READ_PARAM, 44, 0}),
        WithCheckByte({Address, 6, 0, CMD_READ_PARAM, 2, 0}),
        WithCheckByte({Address, 6, 0, CMD_READ_PARAM, 3, 0})};
    EXPECT_EQ(Fake.Frames(), expected);
}

TEST_F(ReadWriteTest, ReadRepeatsASilentEntryABoundedNumberOfTimes)
{
    // Entry 1 is answered once the first transaction (three attempts) has failed; entry 2
    // never gets an answer, so the read gives up on it and still ends normally.
    Device([](TScriptedDevice &d) {
        d.Data[1] = {7};
        d.SilentRequests = 3;
        d.Silent.insert(9);
    });
    AddParameter(1, SizeByte);
    AddParameter(9, SizeByte);

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, Address));
    const auto messages = CollectUntil(WM_LOADDONE);

    EXPECT_EQ(DeviceParameters[0].Value, 7);
    EXPECT_EQ(DeviceParameters[1].Value, VALUE_UNDEFINED);
    EXPECT_EQ(ReplyOf(DeviceParameters[0]), TParameterReply::Valid);
    EXPECT_EQ(ReplyOf(DeviceParameters[1]), TParameterReply::NoValidReply);
    EXPECT_EQ(Params(messages, WM_PROGRESS), (std::vector<uint32_t>{0, 50}));
    size_t first = 0, second = 0;
    for (const auto &frame : FramesWithCommand(Fake, CMD_READ_PARAM))
        (frame[4] == 1 ? first : second)++;
    EXPECT_EQ(first, size_t(MaxAttempts) + 1);
    EXPECT_EQ(second, size_t(RequestsPerParameter) * MaxAttempts);
}

TEST_F(ReadWriteTest, AReplyFromAnotherAddressIsNotTakenAsTheValue)
{
    Device([](TScriptedDevice &d) {
        d.ReplyAddressOffset = 1;
        d.Data[4] = {0x10, 0x00};
    });
    AddParameter(4, SizeWord);

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, Address));
    CollectUntil(WM_LOADDONE);

    EXPECT_EQ(DeviceParameters[0].Value, VALUE_UNDEFINED);
    EXPECT_EQ(FramesWithCommand(Fake, CMD_READ_PARAM).size(), size_t(RequestsPerParameter));
}

TEST_F(ReadWriteTest, ReadStopsAfterTheEntryInProgress)
{
    Device([](TScriptedDevice &d) {
        d.Data[1] = {1};
        d.Data[2] = {2};
        d.Data[3] = {3};
    });
    AddParameter(1, SizeByte);
    AddParameter(2, SizeByte);
    AddParameter(3, SizeByte);
    Bus.OnFrame([this](const std::vector<uint8_t> &frame) {
        if (frame[4] == 2)
            Handle.RequestStop();
    });

    ASSERT_TRUE(StartWorker<TLoadThread>(Handle, Address));
    const auto messages = CollectUntil(WM_LOADDONE);

    EXPECT_EQ(Params(messages, WM_PROGRESS), (std::vector<uint32_t>{0, 33}));
    EXPECT_EQ(DeviceParameters[1].Value, 2);
    EXPECT_EQ(DeviceParameters[2].Value, VALUE_UNDEFINED);
    EXPECT_EQ(ReplyOf(DeviceParameters[2]), TParameterReply::NoValidReply);
    EXPECT_EQ(FramesWithCommand(Fake, CMD_READ_PARAM).size(), 2u);
}

TEST_F(ReadWriteTest, WriteFramesEchoesAndProgress)
{
    Device([](TScriptedDevice &d) {
        d.Data[8] = {0, 0};
        d.Data[44] = {0};
    });
    AddParameter(8, SizeWord, 4660);
    AddParameter(300, SizeByte, 300);        // low 8 bits of index and value: 44 and 44
    AddParameter(10, "\xF4\xEB\xE0\xE3", 1); // "флаг": shown, never written
    AddParameter(11, SizeByte);              // never read: nothing to send

    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{}));
    const auto messages = CollectUntil(WM_SAVEDONE);

    // After each new value it took, one ping tells that the device answers where it was.
    const std::vector<uint8_t> ping = WithCheckByte({Address, 6, 0, CMD_PING, 0, 0});
    const std::vector<std::vector<uint8_t>> expected = {
        WithCheckByte({Address, 7, 0, CMD_WRITE_PARAM, 8, 0x34, 0x12}), ping,
        WithCheckByte({Address, 6, 0, CMD_WRITE_PARAM, 44, 44}), ping};
    EXPECT_EQ(Fake.Frames(), expected);
    EXPECT_EQ(DeviceParameters[0].Value, 4660);
    EXPECT_EQ(DeviceParameters[1].Value, 44); // what the device echoed
    EXPECT_EQ(DeviceParameters[2].Value, 1);
    EXPECT_EQ(DeviceParameters[3].Value, VALUE_UNDEFINED);
    EXPECT_EQ(Params(messages, WM_PROGRESS), (std::vector<uint32_t>{0, 25, 50, 75, 100}));
    EXPECT_EQ(messages.back().Message, WM_SAVEDONE);
    // The closing pause of one second runs on the link's clock.
    EXPECT_GE(Fake.NowUs(), 1'000'000);
}

TEST_F(ReadWriteTest, UnconfirmedAndRefusedWritesKeepTheValueGivenAndGoOutAgain)
{
    Device([](TScriptedDevice &d) {
        d.Rejects.insert(1);
        d.Silent.insert(3);
        d.Data[2] = {0, 0};
        d.Data[5] = {0, 0};
        d.ShortEcho.insert(5);
    });
    AddParameter(1, SizeByte, 5);      // refused: an answer, so not repeated
    AddParameter(3, SizeWord, 17);     // never answered: repeated, then given up
    AddParameter(2, SizeWord, 10000);  // confirmed
    AddParameter(5, SizeWord, 0x0203); // echoed as one byte: that byte is the value
    AddParameter(6, SizeWord);         // no value: not sent, its mark left alone

    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{}));
    CollectUntil(WM_SAVEDONE);

    const std::vector<std::pair<int32_t, TParameterReply>> expected = {
        {5, TParameterReply::WriteRefused},  // the operator's value survives, refused
        {17, TParameterReply::NoValidReply}, // the operator's value survives, unconfirmed
        {10000, TParameterReply::Valid},          {3, TParameterReply::Valid},
        {VALUE_UNDEFINED, TParameterReply::None},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(DeviceParameters[i].Value, expected[i].first) << i;
        EXPECT_EQ(ReplyOf(DeviceParameters[i]), expected[i].second) << i;
    }
    std::map<uint8_t, size_t> sent;
    for (const auto &frame : Fake.Frames())
        ++sent[frame[4]];
    EXPECT_EQ(sent[1], 1u);
    EXPECT_EQ(sent[3], size_t(RequestsPerParameter) * MaxAttempts);
    EXPECT_EQ(sent[2], 1u);
    EXPECT_EQ(sent.count(6), 0u);

    // Written again once the device answers and takes them: the kept values go out and are
    // confirmed.
    Device([](TScriptedDevice &d) {
        d.Data[1] = {0};
        d.Data[3] = {0, 0};
    });
    Fake.ClearCalls();
    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{}));
    CollectUntil(WM_SAVEDONE);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(DeviceParameters[i].Value, expected[i].first) << i;
        EXPECT_EQ(ReplyOf(DeviceParameters[i]), TParameterReply::Valid) << i;
    }
}

TEST_F(ReadWriteTest, ALostPortEndsEachWorkerAfterTheEntryInProgress)
{
    Device([](TScriptedDevice &d) {
        d.Data[1] = {1};
        d.Data[2] = {2};
        d.Data[3] = {3};
    });
    // The converter is pulled out as the request for index 2 goes out.
    Bus.OnFrame([this](const std::vector<uint8_t> &frame) {
        if (frame[4] == 2)
            Fake.LosePort(EIO);
    });
    for (const bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        CloseComPort();
        ASSERT_TRUE(OpenComPortDevice("/dev/ttyFAKE0"));
        Fake.ClearCalls();
        DeviceParameters.clear();
        for (int32_t index = 1; index <= 3; ++index)
            AddParameter(index, SizeByte, write ? 10 * index : VALUE_UNDEFINED);

        ASSERT_TRUE(write ? StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{})
                          : StartWorker<TLoadThread>(Handle, Address));
        const auto messages = CollectUntil(write ? WM_SAVEDONE : WM_LOADDONE);

        EXPECT_TRUE(PortLost());
        // One transaction for the entry that met the loss, none for the rest (a write first
        // pings the addresses its values name: 10, 20, 30).
        EXPECT_EQ(FramesWithCommand(Fake, write ? CMD_WRITE_PARAM : CMD_READ_PARAM).size(), 2u);
        EXPECT_EQ(Params(messages, WM_PROGRESS),
                  (write ? std::vector<uint32_t>{0, 100} : std::vector<uint32_t>{0}));
        EXPECT_EQ(DeviceParameters[0].Value, write ? 10 : 1);
        EXPECT_EQ(ReplyOf(DeviceParameters[0]), TParameterReply::Valid);
        for (size_t i = 1; i < 3; ++i) {
            // A read leaves the value it had; a write the one it was to send.
            EXPECT_EQ(DeviceParameters[i].Value, write ? int32_t(10 * (i + 1)) : VALUE_UNDEFINED);
            EXPECT_EQ(ReplyOf(DeviceParameters[i]), TParameterReply::NoValidReply);
        }
    }
    // No closing pause after a lost write: the operator hears of it at once.
    EXPECT_LT(Fake.NowUs(), 1'000'000);

    // A sweep ends after the address that met the loss, without its progress.
    Bus.OnFrame([this](const std::vector<uint8_t> &frame) {
        if (frame[0] == 4)
            Fake.LosePort(EIO);
    });
    CloseComPort();
    ASSERT_TRUE(OpenComPortDevice("/dev/ttyFAKE0"));
    Fake.ClearCalls();
    ASSERT_TRUE(StartWorker<TSearchThread>(Handle, 1));
    const auto messages = CollectUntil(WM_SEARCHDONE);
    EXPECT_EQ(Params(messages, WM_PROGRESS).size(), 4u); // 127, 1, 2, 3
    EXPECT_EQ(Fake.Frames().back()[0], 4);
    EXPECT_EQ(Fake.Frames().size(), 3u * 4 + 1);
}

TEST_F(ReadWriteTest, NothingToDoStillEndsWithTheEndMessages)
{
    struct TCase
    {
        const char *Name;
        bool PortOpen;
        bool WithEntries;
    };
    for (const TCase &c : {TCase{"closed port", false, true}, TCase{"empty list", true, false}}) {
        SCOPED_TRACE(c.Name);
        DeviceParameters.clear();
        if (c.WithEntries)
            AddParameter(1, SizeByte, 3);
        if (!c.PortOpen)
            CloseComPort();

        ASSERT_TRUE(StartWorker<TLoadThread>(Handle, Address));
        const auto read = CollectUntil(WM_LOADDONE);
        ASSERT_EQ(read.size(), 1u);

        ASSERT_TRUE(StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{}));
        const auto write = CollectUntil(WM_SAVEDONE);
        ASSERT_EQ(write.size(), 2u);
        EXPECT_EQ(write[0].Message, WM_PROGRESS);
        EXPECT_EQ(write[0].WParam, 100u);
        EXPECT_TRUE(Fake.Frames().empty());
        if (c.WithEntries) {
            EXPECT_EQ(DeviceParameters[0].Value, 3);
        }
    }
}

TEST_F(ReadWriteTest, StoppedWriteEndsPromptly)
{
    Device([](TScriptedDevice &d) {
        d.Data[1] = {0};
        d.Data[2] = {0};
    });
    AddParameter(1, SizeByte, 1);
    AddParameter(2, SizeByte, 2);
    Bus.OnFrame([this](const std::vector<uint8_t> &frame) {
        if (frame[3] == CMD_WRITE_PARAM)
            Handle.RequestStop();
    });

    ASSERT_TRUE(StartWorker<TSaveThread>(Handle, Address, TDeviceIdentity{}));
    const auto messages = CollectUntil(WM_SAVEDONE);

    EXPECT_EQ(FramesWithCommand(Fake, CMD_WRITE_PARAM).size(), 1u);
    EXPECT_EQ(Params(messages, WM_PROGRESS), (std::vector<uint32_t>{0, 100}));
    // The closing pause is cut short by the stop request.
    EXPECT_LT(Fake.NowUs(), 1'000'000);
}
