#include "tests/workers/WorkerTestSupport.h"

void TScriptedBus::Add(uint8_t address, const TScriptedDevice &device)
{
    std::lock_guard<std::mutex> guard(Lock);
    Devices[address] = device;
}

void TScriptedBus::OnFrame(std::function<void(const std::vector<uint8_t> &)> hook)
{
    std::lock_guard<std::mutex> guard(Lock);
    Hook = std::move(hook);
}

TFakeSerialPlatform::TResponder TScriptedBus::Responder()
{
    return [this](const std::vector<uint8_t> &frame) { return Answer(frame); };
}

std::vector<uint8_t> TScriptedBus::Answer(const std::vector<uint8_t> &frame)
{
    std::function<void(const std::vector<uint8_t> &)> hook;
    {
        std::lock_guard<std::mutex> guard(Lock);
        hook = Hook;
    }
    if (hook)
        hook(frame);

    std::lock_guard<std::mutex> guard(Lock);
    if (frame.size() < 6)
        return {};
    const uint8_t address = frame[0];
    const auto it = Devices.find(address);
    if (it == Devices.end())
        return {};
    TScriptedDevice &device = it->second;
    if (device.SilentRequests > 0) {
        --device.SilentRequests;
        return {};
    }
    const auto from = static_cast<uint8_t>(address + device.ReplyAddressOffset);
    const uint8_t command = frame[3];
    const uint8_t index = frame[4];
    if ((command == CMD_READ_PARAM || command == CMD_WRITE_PARAM) && device.Silent.count(index))
        return {};
    switch (command) {
    case CMD_PING:
        return WithCheckByte({from, 5, 0x00, 0x00, 0x00});
    case CMD_IDENTIFY:
        if (!device.AnswersIdentify)
            return {};
        if (device.IdentifyLength == 5)
            return WithCheckByte({from, 5, 0x00, device.Type, uint8_t(device.Version & 0xFF)});
        return WithCheckByte({from, 6, 0x00, device.Type, uint8_t(device.Version & 0xFF),
                              uint8_t(device.Version >> 8)});
    case CMD_WRITE_PARAM:
        if (!device.Rejects.count(index)) {
            // The device stores what it was sent and echoes it in the same form.
            device.Data[index].assign(frame.begin() + 5, frame.end() - 1);
            if (device.ShortEcho.count(index))
                device.Data[index].resize(1);
        }
        [[fallthrough]];
    case CMD_READ_PARAM: {
        if (device.Rejects.count(index) || !device.Data.count(index))
            return WithCheckByte({from, 5, 0x21, command, 0x00});
        std::vector<uint8_t> reply = {from, 0, REPLY_ACCEPTED, command};
        for (uint8_t b : device.Data[index])
            reply.push_back(b);
        reply[1] = static_cast<uint8_t>(reply.size());
        return WithCheckByte(reply);
    }
    default:
        return {};
    }
}

void TWorkerTest::SetUp()
{
    SetMainWindowTarget(&Queue);
    DeviceParameters.clear();
}

void TWorkerTest::TearDown()
{
    // No worker may outlive the platform or the queue.
    StopAllWorkers();
    WaitAllWorkers();
    SetMainWindowTarget(nullptr);
    CloseComPort();
    DeviceParameters.clear();
}

std::vector<TPostedMessage> TWorkerTest::CollectUntil(uint32_t endMessage)
{
    std::vector<TPostedMessage> messages;
    TPostedMessage message;
    while (Queue.Next(message, std::chrono::seconds(30))) {
        messages.push_back(message);
        if (message.Message == endMessage)
            return messages;
    }
    ADD_FAILURE() << "no end message " << endMessage;
    return messages;
}

std::vector<uint32_t> TWorkerTest::Params(const std::vector<TPostedMessage> &messages,
                                          uint32_t message)
{
    std::vector<uint32_t> params;
    for (const auto &m : messages) {
        if (m.Message == message)
            params.push_back(m.WParam);
    }
    return params;
}

void TWorkerTest::AddParameter(int32_t index, const std::string &size, int32_t value)
{
    ParameterDescription entry;
    entry.Index = index;
    entry.Size = size;
    entry.Divisor = 1;
    entry.Maximum = 65535;
    entry.Value = value;
    DeviceParameters.push_back(entry);
}

void TWorkerOnFake::SetUp()
{
    Fake.SetResponder(Bus.Responder());
    TWorkerTest::SetUp();
    ASSERT_TRUE(OpenComPortDevice("/dev/ttyFAKE0"));
}
