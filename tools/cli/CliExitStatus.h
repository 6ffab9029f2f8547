#pragma once
// linvar-cli's exit statuses; scripts rely on them.

constexpr int ExitOk = 0;
constexpr int ExitDeviceFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitPort = 3;
constexpr int ExitCatalogue = 4;
constexpr int ExitPortLost = 5; // the port went away (converter unplugged) during the command
constexpr int ExitUnread = 6;   // diff: the device could not be read, so sameness is unknown
constexpr int ExitInterrupted = 130;
