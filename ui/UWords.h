#pragma once
// The window's words for what the core reports as kinds: a verdict of the traffic record, a
// port refused for want of rights and what stands behind a port, the catalogue that does not
// load, a parameter-set file that is refused, a settings file that cannot be read, addresses
// that answered only garbled, a device that fell silent or refused a write, and a list of names
// that has to fit a box. linvar-cli words the same kinds in English (tools/cli/CliWords.h).

#include "catalogue/DeviceCatalogue.h"
#include "link/PortList.h"
#include "link/SettingsFile.h"
#include "link/Traffic.h"
#include "sets/ParameterSet.h"

#include <QList>
#include <QString>
#include <QStringList>

// A verdict of the traffic record: "принят", "нет ответа", ...
QString VerdictText(TAttemptVerdict verdict);
// The second line for a port that exists but that the user may not open: join "dialout".
QString PortAccessHint();
// What stands behind a port in one line: "/dev/ttyUSB0, USB 0403:6001, серийный номер A12345";
// the device a link resolves to follows the path in parentheses.
QString PortSummaryText(const TPortInfo &info);
// Why the catalogue did not load, its place on a line of its own; empty when it loaded.
QString CatalogueFaultText(const TCatalogueLoad &load);
// What is wrong with a refused set file: "нет поля parameters[0].index".
QString SetFaultText(const TSetError &error);
// Why the settings file was not read, and that the defaults apply; empty when it was.
QString SettingsFaultText(const TSettingsReadFault &fault);
// The system's reason for errno `error`.
QString SystemErrorText(int error);
// One name a line, each indented; after the first ten, "и ещё N" stands for the rest, so the
// box's button stays on the screen.
QString NameLines(const QStringList &names);
// Where the search heard bytes but no valid reply, and what to check: two devices at one
// address, another line speed, the wiring.
QString GarbledAddressesText(const QList<int> &addresses);
// A read that the device's silence ended, with the rows it did not reach (`names`) of `total`.
QString SilentReadText(const QStringList &names, int total);
// The warning after a write: how it ended (`done`, WM_SAVEDONE's wParam: the device fell
// silent, or was lost after taking a value, or took address `heldAddress`, which another
// device holds), the rows it did not confirm and those it refused; empty when all went well.
QString WriteProblemsText(uint32_t done, uint32_t heldAddress, const QStringList &unconfirmed,
                          const QStringList &refused);
// Where a write followed the device: its new address and line speed, each said only when it
// changed from `fromAddress` and `fromBaudRate`.
QString DeviceMovedText(uint8_t address, uint32_t baudRate, uint8_t fromAddress,
                        uint32_t fromBaudRate);
// The hint of a row whose value the device refused at the last write.
QString RefusedRowHint();
