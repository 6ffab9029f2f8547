#pragma once
// The process-wide port state shared by the link's own sources.

#include <atomic>
#include <memory>

#include "Link.h"
#include "SerialPlatform.h"

// The one open port; empty while no port is open. Guarded by PortLock.
extern std::unique_ptr<ISerialPort> PortHandle;
// The line speed recorded by SetComState; nothing changes it from 9600.
extern std::atomic<uint32_t> BaudRate;
