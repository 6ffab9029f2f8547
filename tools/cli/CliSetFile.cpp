#include "tools/cli/CliSetFile.h"

#include "tools/cli/CliOutput.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"

bool ReadSet(const TCliOptions &options, TParameterSet &set)
{
    TSetError fault;
    if (ReadParameterSetFile(options.SetFile, set, fault))
        return true;
    ReportError(options.SetFile + ": " + SetFaultText(fault));
    return false;
}

bool PlanFor(const TCliOptions &options, const TParameterSet &set, const TTarget &target,
             const std::string &prefix, TSetPlan &plan)
{
    TSetError fault;
    if (!PlanParameterSet(set, target.Identity.Type, DeviceParameters, plan, fault)) {
        ReportError(prefix + options.SetFile + ": " + SetFaultText(fault));
        return false;
    }
    if (!plan.Skipped.empty()) {
        std::string names;
        for (const std::string &name : plan.Skipped)
            names += (names.empty() ? "'" : ", '") + name + "'";
        ReportError("warning: " + prefix + "the device (firmware " +
                    FormatVersion(target.Identity.Version) + ") has no parameter " + names +
                    " of the set (firmware " + FormatVersion(set.Device.Version) + "); skipped");
    }
    return true;
}
