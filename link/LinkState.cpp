#include "link/LinkState.h"

#include <cerrno>

#include "link/LineSpeed.h"

int64_t PerfFrequency = 0;
std::recursive_mutex PortLock;
std::unique_ptr<ISerialPort> PortHandle;
std::atomic<uint32_t> BaudRate{DefaultBaudRate};

namespace {

// Driver queue sizes requested at opening: a reply never exceeds 255 bytes.
constexpr uint32_t InputQueueSize = 300;
constexpr uint32_t OutputQueueSize = 0;

std::atomic<int> OpenError{0};
// errno of the open port's loss; 0 while it is not lost. Read without the lock by the window
// and the workers, which must not wait for a running transaction.
std::atomic<int> LostError{0};
// Mirrors PortHandle for the tests made without the lock (a worker's start, the window).
std::atomic<bool> PortOpen{false};
// Path of the open port, for the traffic record; guarded by PortLock.
std::string PortPath;

// Opens the device at `path` and configures it; the lock is held by the caller.
bool OpenAndConfigure(const std::string &path)
{
    int error = ENOENT;
    std::unique_ptr<ISerialPort> port;
    if (!path.empty()) {
        port = SerialPlatform().Open(path, error);
    }
    OpenError = port ? 0 : error;
    if (!port) {
        return false;
    }
    PortHandle = std::move(port);
    PortPath = path;
    LostError = 0;
    PortOpen = true;
    SetComState(BaudRate);
    PortHandle->SetupQueues(InputQueueSize, OutputQueueSize);
    PortHandle->SetLowLatency(true); // a USB adapter's latency timer would delay each reply
    TSerialTimeouts timeouts;
    PortHandle->GetTimeouts(timeouts);
    timeouts.ReadInterval = LinkSettings.CmdIntervalTimeout;
    timeouts.ReadMultiplier = LinkSettings.CmdTimeoutMultiplier;
    timeouts.ReadConstant = LinkSettings.CmdTimeoutConstant;
    timeouts.WriteMultiplier = 0;
    timeouts.WriteConstant = 0;
    PortHandle->SetTimeouts(timeouts);
    return true;
}

} // namespace

bool OpenComPort(uint8_t number)
{
    return OpenComPortDevice(ComPortPath(number));
}

bool OpenComPortDevice(const std::string &path)
{
    std::lock_guard<std::recursive_mutex> lock(PortLock);
    // Opening always closes first: a failed opening leaves no port open at all.
    CloseComPort();
    if (PortHandle) {
        return false;
    }
    return OpenAndConfigure(path);
}

bool SetComState(uint32_t baudRate)
{
    // A speed off the list would be set on no port at all (POSIX has no code for it) or
    // talk past every device; the speed in force stays.
    if (!IsStandardBaudRate(baudRate)) {
        return false;
    }
    std::lock_guard<std::recursive_mutex> lock(PortLock);
    BaudRate = baudRate;
    if (!PortHandle) {
        return true;
    }
    TLineSettings line;
    PortHandle->GetLineSettings(line);
    line.BaudRate = baudRate;
    line.DataBits = 8;
    line.Parity = false;
    line.StopBits = LinkSettings.StopBits;
    line.DtrControl = false;
    line.RtsToggle = true;
    line.AbortOnError = false;
    PortHandle->SetLineSettings(line);
    return true;
}

void CloseComPort()
{
    std::lock_guard<std::recursive_mutex> lock(PortLock);
    PortOpen = false;
    LostError = 0;
    if (PortHandle) {
        PortHandle->SetLowLatency(false); // the driver's setting as it was found
    }
    PortHandle.reset();
    PortPath.clear();
}

const std::string &OpenPortPath()
{
    return PortPath;
}

bool PortIsOpen()
{
    return PortOpen;
}

bool PortLost()
{
    return LostError != 0;
}

int PortLostError()
{
    return LostError;
}

void MarkPortLost(int error)
{
    int none = 0;
    LostError.compare_exchange_strong(none, error);
}

void InitPerfFrequency()
{
    PerfFrequency = SerialPlatform().CounterFrequency();
}

int LastOpenError()
{
    return OpenError;
}
