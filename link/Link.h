#pragma once
// The device link, as the rest of the program uses it: the link settings and their file
// (SettingsFile.h), the one serial port and its state (LinkState.h), the serial services
// behind it (SerialPlatform.h), the frame layout, building and hex text and the check byte
// (Frame.h, Crc8.h), the request/reply transaction (SendRequest.h), the record of its
// attempts (Traffic.h), the monotonic clock (Clock.h), and what stands behind each port
// number with its wording (PortList.h, PortText.h).

#include "Clock.h"
#include "Crc8.h"
#include "Frame.h"
#include "LinkState.h"
#include "PortList.h"
#include "PortText.h"
#include "SendRequest.h"
#include "SerialPlatform.h"
#include "SettingsFile.h"
#include "Traffic.h"
