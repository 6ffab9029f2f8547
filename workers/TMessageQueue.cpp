#include "workers/TMessageQueue.h"

void TMessageQueue::PostMessage(uint32_t message, uint32_t wParam, uint32_t lParam)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back({message, wParam, lParam});
    }
    posted_.notify_one();
}

bool TMessageQueue::Next(TPostedMessage &message, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (!posted_.wait_for(guard, timeout, [this] { return !queue_.empty(); }))
        return false;
    message = queue_.front();
    queue_.pop_front();
    return true;
}

size_t TMessageQueue::Size() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return queue_.size();
}
