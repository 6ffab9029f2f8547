#pragma once
// The loop that a parameter read and a parameter write share: one exchange per entry of
// DeviceParameters, in order, with progress, until the list ends, a stop or a lost port.

#include "catalogue/DeviceCatalogue.h"

#include <atomic>
#include <cstddef>
#include <functional>

// Runs `exchange` on each entry of DeviceParameters while the port is open and not lost and
// `stop` is clear, posting WM_PROGRESS and calling `between` (may be empty) after each; returns
// how many entries it finished. An entry whose exchange met a lost port is not counted; the
// entries from the returned index on were not reached.
size_t ExchangeEntries(const std::atomic<bool> &stop,
                       const std::function<void(ParameterDescription &entry)> &exchange,
                       const std::function<void()> &between = {});
