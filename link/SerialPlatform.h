#pragma once
// The operating system's serial services behind one small interface, so the link code is
// written once and tests can put a recording fake in place of the real ports.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Line format of a port. Only the fields the link touches are kept; a platform keeps the
// rest of its own settings as the driver reports them.
struct TLineSettings
{
    uint32_t BaudRate = 9600;
    uint8_t DataBits = 8;
    bool Parity = false;       // false: no parity
    uint32_t StopBits = 0;     // 0 one, 1 one and a half, 2 two
    bool DtrControl = false;   // false: DTR driven only by explicit set and clear
    bool RtsToggle = false;    // true: the driver raises RTS while it has bytes to send
    bool AbortOnError = false; // true: an error aborts pending reads and writes
};

// Read and write time-outs in milliseconds. A read of N bytes ends when N bytes arrived,
// when the gap between two bytes exceeds ReadInterval (if not 0), or when
// ReadMultiplier * N + ReadConstant ms have passed since the read began.
struct TSerialTimeouts
{
    uint32_t ReadInterval = 0;
    uint32_t ReadMultiplier = 0;
    uint32_t ReadConstant = 0;
    uint32_t WriteMultiplier = 0;
    uint32_t WriteConstant = 0;

    bool operator==(const TSerialTimeouts &) const = default;
};

// What one purge call discards.
enum class TPurge
{
    TxClear, // discard the output buffer
    TxAbort, // abort pending output
    RxClear, // discard the input buffer
    RxAbort  // abort pending input
};

// One open serial device. Configuration calls report success; the link ignores most of it.
class ISerialPort
{
public:
    virtual ~ISerialPort() = default;
    // Requests driver queue sizes in bytes (0: driver default).
    virtual bool SetupQueues(uint32_t inputSize, uint32_t outputSize) = 0;
    // Reads the current line format.
    virtual bool GetLineSettings(TLineSettings &settings) = 0;
    // Applies a line format.
    virtual bool SetLineSettings(const TLineSettings &settings) = 0;
    // Reads the current time-outs.
    virtual bool GetTimeouts(TSerialTimeouts &timeouts) = 0;
    // Applies time-outs to later reads and writes.
    virtual bool SetTimeouts(const TSerialTimeouts &timeouts) = 0;
    // Discards or aborts one kind of pending data.
    virtual bool Purge(TPurge what) = 0;
    // Sets (true) or clears (false) the RTS line.
    virtual bool SetRts(bool on) = 0;
    // Sets (true) or clears (false) the DTR line.
    virtual bool SetDtr(bool on) = 0;
    // true: asks the driver to hand over received bytes at once rather than on a USB chip's
    // latency timer, remembering what it had; false: puts that back. False where the driver
    // has no such setting or refuses it (pseudo-terminals, Windows, most built-in UARTs).
    virtual bool SetLowLatency(bool on) = 0;
    // Blocking read under the time-outs; returns the count received.
    virtual size_t Read(uint8_t *buffer, size_t count) = 0;
    // Blocking write; returns the count written.
    virtual size_t Write(const uint8_t *buffer, size_t count) = 0;
    // 0 while the device works; once a read or write found it gone (hung up, unplugged),
    // the errno that tells why (EIO, ENXIO, ENODEV), for good: a lost device never comes
    // back on the same handle.
    virtual int LostError() const = 0;
    // True where the far end turns the bus around by itself (a network serial server's
    // converter): no transmitter hold to count and no RTS/DTR keying, as with SmartPI.
    virtual bool SwitchesDirection() const { return false; }
    // Milliseconds a reply needs beyond the line's own time (a network's round trip), added
    // to every reply time-out; 0 for a local port.
    virtual uint32_t ExtraReplyMs() const { return 0; }
};

// The platform: opening ports, sleeping and the monotonic high-resolution counter.
class ISerialPlatform
{
public:
    virtual ~ISerialPlatform() = default;
    // Opens a serial device exclusively for synchronous use; nullptr and an errno value in
    // `error` when it does not exist, is in use or may not be opened.
    virtual std::unique_ptr<ISerialPort> Open(const std::string &path, int &error) = 0;
    // Sleeps the calling thread for `ms` milliseconds.
    virtual void SleepMs(uint32_t ms) = 0;
    // Current value of the monotonic high-resolution counter.
    virtual int64_t Counter() = 0;
    // Ticks per second of Counter(); 0 when there is no such counter.
    virtual int64_t CounterFrequency() = 0;
    // Gives the calling thread real-time priority for a moment that must not be cut short by
    // the scheduler; false (and nothing changed) where the system does not allow it.
    virtual bool RaisePriority() = 0;
    // Puts back the priority that RaisePriority replaced; nothing after a false RaisePriority.
    virtual void RestorePriority() = 0;
};

// The platform the link uses: the one installed, or the system's (POSIX or Win32).
ISerialPlatform &SerialPlatform();
// Installs another platform (tests); nullptr puts the system's back. Not thread-safe: call
// it while no port is open and no transaction runs.
void SetSerialPlatform(ISerialPlatform *platform);
