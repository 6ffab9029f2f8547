#include "workers/TMessageQueue.h"

void TMessageQueue::PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam)
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Queue.push_back({message, wParam, lParam});
    }
    Posted.notify_one();
}

bool TMessageQueue::Next(TPostedMessage &message, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(Lock);
    if (!Posted.wait_for(guard, timeout, [this] { return !Queue.empty(); }))
        return false;
    message = Queue.front();
    Queue.pop_front();
    return true;
}

size_t TMessageQueue::Size() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return Queue.size();
}
