#pragma once
// The parameter set file of write --from and diff: read, and fitted to a device.

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTarget.h"

#include "sets/ParameterSet.h"

#include <string>

// Reads the options' set file; false after saying why.
bool ReadSet(const TCliOptions &options, TParameterSet &set);
// Checks the set against the target's list; false after saying why. Parameters the list
// lacks are pointed out, since the device keeps its own values for them.
bool PlanFor(const TCliOptions &options, const TParameterSet &set, const TTarget &target,
             const std::string &prefix, TSetPlan &plan);
