#include "tools/cli/CliBus.h"

#include "tools/cli/CliOutput.h"
#include "tools/cli/CliWords.h"

#include "link/Link.h"
#include "link/LinkState.h"
#include "link/PortProbe.h"
#include "workers/TMessageQueue.h"
#include "workers/TThread.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

std::atomic<bool> Interrupted{false};
// The port the command works on, as the messages name it.
std::string OpenedPort;

void OnInterrupt(int signal)
{
#ifdef _WIN32
    // Windows puts the default handler back before calling this one; without it a second
    // Ctrl+C would end the program in the middle of a write.
    std::signal(signal, OnInterrupt);
#else
    (void)signal;
#endif
    Interrupted.store(true);
}

} // namespace

void CatchInterrupts()
{
#ifdef _WIN32
    // Ctrl+C reaches a console program as SIGINT; Windows has no sigaction.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

bool InterruptRequested()
{
    return Interrupted.load();
}

bool OpenCliPort(const TCliOptions &options, std::string &error, bool &refused)
{
    refused = false;
    if (!options.Device.empty()) {
        OpenedPort = options.Device;
        if (OpenComPortDevice(options.Device))
            return true;
        const TPortRefusal refusal = LastOpenRefusal();
        refused = refusal.Fault == TPortFault::AccessRefused;
        error = PortRefusalText(options.Device, refusal);
        return false;
    }
    if (options.Port) {
        const std::string path = ComPortPath(*options.Port);
        OpenedPort = "port " + std::to_string(*options.Port) +
                     (path.empty() ? std::string() : " (" + path + ")");
        if (OpenComPort(*options.Port))
            return true;
        const TPortRefusal refusal = LastOpenRefusal();
        refused = refusal.Fault == TPortFault::AccessRefused;
        error = PortRefusalText(OpenedPort, refusal);
        return false;
    }
    const TPortProbe probe = OpenFirstFreePort();
    if (probe.Fault == TPortFault::None) {
        OpenedPort =
            "port " + std::to_string(probe.Number) + " (" + ComPortPath(probe.Number) + ")";
        return true;
    }
    refused = probe.Fault == TPortFault::AccessRefused;
    error = NoFreePortText();
    return false;
}

std::string PortLostText(const std::string &during)
{
    return "port lost during " + during + " (" + OpenedPort + ": " + ErrnoText(PortLostError()) +
           "); check the converter and its cable";
}

bool RunWorker(const std::function<bool(TWorkerHandle &)> &start, uint32_t endMessage,
               const std::function<void(const TPostedMessage &)> &onMessage)
{
    TMessageQueue queue;
    SetMainWindowTarget(&queue);
    TWorkerHandle handle;
    const bool started = start(handle);
    bool stopAsked = false;
    if (started) {
        for (;;) {
            if (Interrupted.load() && !stopAsked) {
                handle.RequestStop();
                stopAsked = true;
            }
            TPostedMessage message;
            const bool received = queue.Next(message, std::chrono::milliseconds(100));
            // The trace is printed here, on this thread, while the worker goes on; the
            // attempts behind a message are recorded before it is posted, so they come first.
            DrainTrace();
            if (!received)
                continue;
            onMessage(message);
            if (message.Message == endMessage)
                break;
        }
        handle.Wait();
        DrainTrace();
    } else {
        ReportError("cannot start a worker thread");
    }
    SetMainWindowTarget(nullptr);
    return started && !stopAsked;
}
