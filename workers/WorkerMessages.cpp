#include "workers/WorkerMessages.h"

#include <mutex>
#include <shared_mutex>

namespace {

// Posting holds the lock shared; replacing the target holds it exclusively, so a target is
// never called after SetMainWindowTarget has replaced it and returned.
std::shared_mutex TargetLock;
IMessageTarget *MainWindow = nullptr;

} // namespace

void SetMainWindowTarget(IMessageTarget *target)
{
    std::unique_lock<std::shared_mutex> guard(TargetLock);
    MainWindow = target;
}

void PostToMainWindow(uint32_t message, uint32_t wParam, uint32_t lParam)
{
    std::shared_lock<std::shared_mutex> guard(TargetLock);
    if (MainWindow)
        MainWindow->PostMessage(message, wParam, lParam);
}
