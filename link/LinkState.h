#pragma once
// The process-wide port state: the one serial port of the program, the lock around it, its
// line speed and the counter frequency; opening, configuring and closing the port.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/SerialPlatform.h"
#include "link/SettingsFile.h"

// Ticks per second of the monotonic high-resolution counter; 0 means none (untimed sending).
extern int64_t PerfFrequency;
// Re-entrant lock around every use of the port: open, configure, close, each transaction.
extern std::recursive_mutex PortLock;
// The one open port; empty while no port is open. Guarded by PortLock.
extern std::unique_ptr<ISerialPort> PortHandle;
// The line speed in force: the open port's, and the one the next opening sets. Only
// SetComState changes it (LoadLinkSettings through it: the settings' BaudRate, 9600 unless set).
extern std::atomic<uint32_t> BaudRate;

// Closes any open port, then opens and configures port `number`; true when it is open.
bool OpenComPort(uint8_t number);
// Like OpenComPort, for a device given by its path (command-line use).
bool OpenComPortDevice(const std::string &path);
// Makes `baudRate` the line speed in force: applies the line format with it to the open port,
// if any, and records it for the next opening. False, and nothing changed, for a speed that
// is not one of StandardBaudRates (LineSpeed.h).
bool SetComState(uint32_t baudRate);
// Closes the open port, if any.
void CloseComPort();
// True while a port is open (a lost port too, until it is closed).
bool PortIsOpen();
// Path of the open port; empty while none is open. Guarded by PortLock.
const std::string &OpenPortPath();
// True once a transaction found the open port gone (the converter unplugged, the line hung
// up); nothing more can pass through it. Cleared when a port is closed or opened, so read it
// before closing the lost port.
bool PortLost();
// errno of that loss (EIO for a hang-up, ENXIO or ENODEV for a device that went away); 0
// while the port is not lost.
int PortLostError();
// Marks the open port lost with `error` (not 0); SendRequest calls it.
void MarkPortLost(int error);
// errno of the last failed opening (EACCES, EBUSY, ENOENT...), 0 after a successful one.
int LastOpenError();
// Reads the monotonic counter's frequency into PerfFrequency.
void InitPerfFrequency();
