#pragma once
// The device link, as the rest of the program uses it: the link settings and their file
// (SettingsFile.h), the one serial port and its state (LinkState.h), the serial services
// behind it (SerialPlatform.h), the frame layout, building and hex text and the check byte
// (Frame.h, Crc8.h), the request/reply transaction (SendRequest.h), the record of its
// attempts (Traffic.h), the monotonic clock (Clock.h), what stands behind each port number
// (PortList.h), why a port did not open and the start-up probe (PortProbe.h), and the file
// written whole or not at all (FileWrite.h).

#include "link/Clock.h"
#include "link/Crc8.h"
#include "link/FileWrite.h"
#include "link/Frame.h"
#include "link/LinkState.h"
#include "link/PortList.h"
#include "link/PortProbe.h"
#include "link/SendRequest.h"
#include "link/SerialPlatform.h"
#include "link/SettingsFile.h"
#include "link/Traffic.h"
