#include "WorkerTestSupport.h"

void TScriptedBus::Add(uint8_t address, const TScriptedDevice &device)
{
    std::lock_guard<std::mutex> guard(lock_);
    devices_[address] = device;
}

void TScriptedBus::OnFrame(std::function<void(const std::vector<uint8_t> &)> hook)
{
    std::lock_guard<std::mutex> guard(lock_);
    hook_ = std::move(hook);
}

TFakeSerialPlatform::TResponder TScriptedBus::Responder()
{
    return [this](const std::vector<uint8_t> &frame) { return Answer(frame); };
}

std::map<uint8_t, std::vector<uint8_t>> TScriptedBus::Written(uint8_t address) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = written_.find(address);
    return it == written_.end() ? std::map<uint8_t, std::vector<uint8_t>>{} : it->second;
}

std::vector<uint8_t> TScriptedBus::Answer(const std::vector<uint8_t> &frame)
{
    std::function<void(const std::vector<uint8_t> &)> hook;
    {
        std::lock_guard<std::mutex> guard(lock_);
        hook = hook_;
    }
    if (hook)
        hook(frame);

    std::lock_guard<std::mutex> guard(lock_);
    if (frame.size() < 6)
        return {};
    const uint8_t address = frame[0];
    const auto it = devices_.find(address);
    if (it == devices_.end())
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
            written_[address][index] = device.Data[index];
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

void WorkerTest::SetUp()
{
    fake.SetResponder(bus.Responder());
    SetMainWindowTarget(&queue);
    DeviceParameters.clear();
    ASSERT_TRUE(OpenComPortDevice("/dev/ttyFAKE0"));
}

void WorkerTest::TearDown()
{
    // No worker may outlive the fake platform or the queue.
    StopAllWorkers();
    WaitAllWorkers();
    SetMainWindowTarget(nullptr);
    CloseComPort();
    DeviceParameters.clear();
}

std::vector<TPostedMessage> WorkerTest::CollectUntil(uint32_t endMessage)
{
    std::vector<TPostedMessage> messages;
    TPostedMessage message;
    while (queue.Next(message, std::chrono::seconds(20))) {
        messages.push_back(message);
        if (message.Message == endMessage)
            return messages;
    }
    ADD_FAILURE() << "no end message " << endMessage;
    return messages;
}

std::vector<uint32_t> WorkerTest::Params(const std::vector<TPostedMessage> &messages,
                                         uint32_t message)
{
    std::vector<uint32_t> params;
    for (const auto &m : messages) {
        if (m.Message == message)
            params.push_back(m.WParam);
    }
    return params;
}

void WorkerTest::AddParameter(int32_t index, const std::string &size, int32_t value)
{
    ParameterDescription entry;
    entry.Index = index;
    entry.Size = size;
    entry.Divisor = 1;
    entry.Maximum = 65535;
    entry.Value = value;
    DeviceParameters.push_back(entry);
}
