#pragma once
// Shared pieces of the worker tests: a bus of scripted devices behind the recording serial
// fake, a fixture that collects what the workers post, and one that adds the fake's open port.

#include "link/Link.h"
#include "tests/support/FakeSerialPlatform.h"

#include "catalogue/DeviceCatalogue.h"
#include "device/ParameterReply.h"
#include "workers/StartWorker.h"
#include "workers/TMessageQueue.h"
#include "workers/TThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

// One scripted device: what it answers to ping, identify, read and write.
struct TScriptedDevice
{
    uint8_t Type = 0;
    uint16_t Version = 0;
    uint8_t IdentifyLength = 6;                   // L of the identify reply: 5 or 6
    bool AnswersIdentify = true;                  // false: answers ping only
    int ReplyAddressOffset = 0;                   // answers with address + offset (a stray reply)
    std::map<uint8_t, std::vector<uint8_t>> Data; // index -> data bytes of read/write replies
    std::set<uint8_t> Rejects;                    // indexes answered with a rejecting status
    std::set<uint8_t> Silent;                     // indexes never answered
    std::set<uint8_t> ShortEcho;                  // writes echoed with the low byte only
    int SilentRequests = 0;                       // the first N requests get no reply
};

// Devices on a scripted bus; its Responder answers the fake's frames as they would.
class TScriptedBus
{
public:
    // Adds (or replaces) the device at `address`.
    void Add(uint8_t address, const TScriptedDevice &device);
    // Called for every frame before it is answered (for example to request a stop).
    void OnFrame(std::function<void(const std::vector<uint8_t> &)> hook);
    // The responder for TFakeSerialPlatform::SetResponder.
    TFakeSerialPlatform::TResponder Responder();

private:
    std::vector<uint8_t> Answer(const std::vector<uint8_t> &frame);
    mutable std::mutex Lock;
    std::map<uint8_t, TScriptedDevice> Devices;
    std::function<void(const std::vector<uint8_t> &)> Hook;
};

// Fixture: a queue as the main window and an empty DeviceParameters; no worker outlives
// the test, and the port is closed after it.
class TWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Takes posted messages until `endMessage` (included); fails the test after 30 s.
    std::vector<TPostedMessage> CollectUntil(uint32_t endMessage);
    // WParam of every message numbered `message`, in order.
    static std::vector<uint32_t> Params(const std::vector<TPostedMessage> &messages,
                                        uint32_t message);
    // Appends a catalogue entry to DeviceParameters.
    static void AddParameter(int32_t index, const std::string &size,
                             int32_t value = VALUE_UNDEFINED);

    TMessageQueue Queue;
    TWorkerHandle Handle;
};

// Fixture: the workers on the recording fake, its port open and answered by a scripted bus.
class TWorkerOnFake : public TWorkerTest
{
protected:
    void SetUp() override;

    TFakeSerialPlatform Fake;
    TScriptedBus Bus;
};
