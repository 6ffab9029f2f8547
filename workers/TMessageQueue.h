#pragma once
// A message target that queues what the workers post, for a thread that waits for it (the
// command-line front end, tests, benchmarks); the window has its own event-based target.

#include "workers/WorkerMessages.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

// One posted message.
struct TPostedMessage
{
    uint32_t Message = 0;
    uint32_t WParam = 0;
    uint32_t LParam = 0;
};

// Thread-safe first-in first-out queue of posted messages.
class TMessageQueue final : public IMessageTarget
{
public:
    // Queues one message and wakes a waiting reader.
    void PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam) override;
    // Takes the oldest message, waiting up to `timeout`; false when none came.
    bool Next(TPostedMessage &message, std::chrono::milliseconds timeout);
    // Number of messages queued.
    size_t Size() const;

private:
    mutable std::mutex Lock;
    std::condition_variable Posted;
    std::deque<TPostedMessage> Queue;
};
