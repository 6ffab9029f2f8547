#pragma once
// linvar-cli's words for what the core reports as kinds: a port that does not open, the
// catalogue that does not load, a parameter-set file that is refused, a settings file that cannot
// be read, what stands behind a port, an address that answered only garbled, and a device that
// fell silent. The window words the same kinds in Russian (ui/UWords.h).

#include "catalogue/DeviceCatalogue.h"
#include "link/PortList.h"
#include "link/PortProbe.h"
#include "link/SettingsFile.h"
#include "sets/ParameterSet.h"
#include "workers/GarbledAddress.h"

#include <string>

// The hint for a port refused for want of rights: join the "dialout" group.
extern const char *const PortAccessHint;

// Why the port `what` ("port 3 (/dev/ttyS2)", a device path) did not open: "cannot open
// <what>: <the system's reason>".
std::string PortRefusalText(const std::string &what, const TPortRefusal &refusal);
// An errno in words; the network's failures worded alike on every system (the Windows C
// library knows them only as "Unknown error").
std::string ErrnoText(int error);
// Why the start-up probe found no port.
std::string NoFreePortText();
// Why the catalogue at `path` did not load: "no catalogue file: <path>", or "malformed
// catalogue file <path>: line L, column C"; empty when it loaded.
std::string CatalogueFaultText(const TCatalogueLoad &load, const std::string &path);
// What is wrong with a set file: "parameters[2].raw: a number from 0 to 65535 is needed, not
// 70000".
std::string SetFaultText(const TSetError &error);
// Why the settings file was not read, as a warning that the defaults apply: "cannot read the
// settings file <path>: Permission denied; the defaults apply".
std::string SettingsFaultText(const TSettingsReadFault &fault);
// What stands behind a port in one line: "/dev/ttyUSB0, USB 0403:6001, serial A12345"; the
// device a link resolves to follows the path in parentheses.
std::string PortSummary(const TPortInfo &info);
// The verdicts of a garbled address as a list: "wrong check byte, too short".
std::string VerdictsText(const std::vector<TAttemptVerdict> &verdicts);
// The warning for an address that brought bytes but never a valid reply: "address 5 brought
// garbled replies only (...); two devices at one address, ...?".
std::string GarbledText(const TGarbledAddress &garbled);
// The warning for a device that fell silent during a read or write (`what`): "the device
// stopped answering; the read ended after 2 of 30 parameters".
std::string DeviceSilentText(const char *what, size_t done, size_t total);
// The warning for a write that ended because the device was lost after taking a value: "the
// device stopped answering after a value was written and was found at no new address or
// line speed; it may now answer at another address or speed", or, `held`, "the device took
// address 9, which another device answered at before the write; ...".
std::string DeviceLostText(bool held, uint32_t address);
// Where a write followed the device: "the device answers at its new address 9" and/or "at
// its new line speed 19200 baud", each said only when it changed.
std::string DeviceMovedText(uint8_t address, uint32_t baudRate, uint8_t fromAddress,
                            uint32_t fromBaudRate);
