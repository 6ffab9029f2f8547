#pragma once
// The window's words for what the core reports as kinds: a verdict of the traffic record, a
// port refused for want of rights and what stands behind a port, the catalogue that does not
// load, a parameter-set file that is refused, a settings file that cannot be read, and a list of
// names that has to fit a box. linvar-cli words the same kinds in English (tools/cli/CliWords.h).

#include "catalogue/DeviceCatalogue.h"
#include "link/PortList.h"
#include "link/SettingsFile.h"
#include "link/Traffic.h"
#include "sets/ParameterSet.h"

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
