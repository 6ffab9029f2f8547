#pragma once
// Process-wide link state and the frame exchange: the one serial port of the program,
// its timing settings and the request/reply transaction over it.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Timing and line options, read once at start; nothing in the program writes them.
struct TLinkSettings
{
    uint32_t IntervalTimeout = 0;      // ms, read interval time-out for pings
    uint32_t TimeoutMultiplier = 0;    // ms per byte, pings
    uint32_t TimeoutConstant = 30;     // ms, pings
    uint32_t CmdIntervalTimeout = 0;   // ms, all other commands and at opening
    uint32_t CmdTimeoutMultiplier = 0; // ms per byte, other commands
    uint32_t CmdTimeoutConstant = 600; // ms, other commands
    uint32_t StartTimeOut = 4;         // ms of pause before every attempt
    uint32_t TailinUS = 400;           // µs the transmitter stays on after the frame
    uint32_t StopBits = 0;             // 0 one, 1 one and a half, 2 two
    bool SmartPI = false;              // converter switches direction by itself
    bool USARTMode = false;            // send untimed: request and check byte as two writes
};

// The link settings in force.
extern TLinkSettings LinkSettings;
// Ticks per second of the monotonic high-resolution counter; 0 means none (untimed sending).
extern int64_t PerfFrequency;
// Re-entrant lock around every use of the port: open, configure, close, each transaction.
extern std::recursive_mutex PortLock;

// Reads LinkSettings from the settings store; missing values keep their defaults.
void LoadLinkSettings();
// Closes any open port, then opens and configures port `number`; true when it is open.
bool OpenComPort(uint8_t number);
// Applies the line format to the open port and records the baud rate; always true.
bool SetComState(uint32_t baudRate);
// Closes the open port, if any.
void CloseComPort();
// True while a port is open.
bool PortIsOpen();
// Reads the monotonic counter's frequency into PerfFrequency.
void InitPerfFrequency();

// The settings file in use: $LINVAR_SETTINGS when set, else /etc/linvar/rs485.conf.
std::string LinkSettingsPath();
// The device path behind port `number` (the settings file's "COM<n>" entry, else the
// default rule); empty when the number names no device.
std::string ComPortPath(uint8_t number);
// Like OpenComPort, for a device given by its path (command-line use).
bool OpenComPortDevice(const std::string &path);
// errno of the last failed opening (EACCES, EBUSY, ENOENT...), 0 after a successful one.
int LastOpenError();

// Frame commands and the accepted reply status.
constexpr uint8_t CMD_PING = 0x01;
constexpr uint8_t CMD_IDENTIFY = 0x0D;
constexpr uint8_t CMD_READ_PARAM = 0x3F;
constexpr uint8_t CMD_WRITE_PARAM = 0x3D;
constexpr uint8_t REPLY_ACCEPTED = 0x3E;

// The check byte table: CRC-8 of x^8+x^5+x^4+1 (reflected 0x8C), except entry 0xF9 = 0xFC.
extern const uint8_t Crc8Table[256];
// Check byte over the first `count` bytes.
uint8_t Crc8(const uint8_t *bytes, size_t count);
// Attempts per transaction, the first one included.
constexpr int MaxAttempts = 3;
// Largest frame on the wire, check byte included.
constexpr size_t MaxFrameSize = 255;
// Time of one character on the wire in µs, integer arithmetic as the devices expect.
int64_t CharacterTimeUs(uint32_t baudRate, uint32_t stopBits);

// One transaction: sends request bytes 1..L (the check byte is added here) and receives
// the reply frame into `reply` (resized to the bytes received, check byte included).
// True when a well-formed reply arrived within three attempts; false at once when no
// port is open or the request is not 1..254 bytes. On failure `reply` holds what the last
// attempt received (possibly nothing).
bool SendRequest(const uint8_t *request, size_t count, std::vector<uint8_t> &reply);
