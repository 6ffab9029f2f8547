#pragma once
// The loop that a parameter read and a parameter write share: one exchange per entry of
// DeviceParameters, in order, with progress, until the list ends, a stop, a lost port or a
// device that has fallen silent.

#include "catalogue/DeviceCatalogue.h"

#include <atomic>
#include <cstddef>
#include <functional>

// How one entry's exchange went, as far as the loop is concerned.
enum class TEntryExchange
{
    Skipped, // nothing was sent for the entry
    Heard,   // some attempt got bytes back, valid or not
    Silent,  // every attempt went without a byte back
    Ended,   // the device is out of reach for good: the loop ends after this entry
};

// Entries in a row without a byte back after which the device counts as gone. A silent entry
// costs RequestsPerParameter transactions of three attempts (about 3.7 s at the default
// timings), so a device that was unplugged or lost its power would keep the operator waiting
// minutes on a long list; one silent entry alone may be a parameter the device ignores, two
// in a row are the device.
constexpr int SilentEntriesToStop = 2;

// How the loop ended.
struct TExchangeEnd
{
    size_t Done = 0;           // entries finished; those from Done on were not reached
    bool DeviceSilent = false; // ended early, after SilentEntriesToStop silent entries in a row
    bool Ended = false;        // ended early, by an exchange that said so
};

// Runs `exchange` on each entry of DeviceParameters while the port is open and not lost,
// `stop` is clear and the device has not fallen silent, posting WM_PROGRESS and calling
// `between` (may be empty) after each. An entry whose exchange met a lost port is not counted
// as done. Skipped entries neither make nor break a run of silent ones.
TExchangeEnd
ExchangeEntries(const std::atomic<bool> &stop,
                const std::function<TEntryExchange(ParameterDescription &entry)> &exchange,
                const std::function<void()> &between = {});
