#include "tools/cli/CliRun.h"

#include "tools/cli/CliBus.h"
#include "tools/cli/CliCatalogueCommand.h"
#include "tools/cli/CliDiffCommand.h"
#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliHealth.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliPortsCommand.h"
#include "tools/cli/CliReadCommand.h"
#include "tools/cli/CliScanCommand.h"
#include "tools/cli/CliTrace.h"
#include "tools/cli/CliWatchCommand.h"
#include "tools/cli/CliWords.h"
#include "tools/cli/CliWriteCommand.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/Clock.h"
#include "link/Link.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>
#ifdef _WIN32
#include "link/WindowsApi.h"
#endif

namespace {

// The folder of the running executable, with a trailing slash; empty when unknown.
std::string ExecutableFolder()
{
    char path[4096];
#ifdef _WIN32
    const ssize_t length = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    const char separator = '\\';
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    const char separator = '/';
#endif
    if (length <= 0)
        return {};
    std::string text(path, static_cast<size_t>(length));
    const auto slash = text.rfind(separator);
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

// Loads the catalogue; false with the reason when it could not.
bool LoadCatalogue(const TCliOptions &options, std::string &error)
{
    const std::string path =
        options.Catalogue.empty() ? ExecutableFolder() + CatalogueFileName : options.Catalogue;
    error = CatalogueFaultText(::LoadCatalogue(path), path);
    return error.empty();
}

// Warns when the settings file could not be read: its ports would silently map to defaults.
void ReportSettingsFault()
{
    const TSettingsReadFault fault = SettingsReadFault();
    if (fault.Fault != TSettingsFault::None)
        ReportError("warning: " + SettingsFaultText(fault));
}

// The command on the open port.
int RunOnBus(const TCliOptions &options)
{
    switch (options.Command) {
    case TCliCommand::Scan:
        return RunScan(options);
    case TCliCommand::Read:
        return RunRead(options);
    case TCliCommand::Write:
        return RunWrite(options);
    case TCliCommand::Diff:
        return RunDiff(options);
    case TCliCommand::Watch:
        return RunWatch(options);
    default:
        return ExitUsage;
    }
}

} // namespace

int RunCli(const TCliOptions &options)
{
    CatchInterrupts();
#ifdef _WIN32
    // Sleeps and read time-outs keep to the millisecond while the bus is in use.
    const TTimerResolution timerResolution;
#endif
    // Ports are listed, not opened: neither the catalogue nor the link settings matter, but
    // the ports the settings file maps do.
    if (options.Command == TCliCommand::Ports) {
        ReadSettingsValues();
        ReportSettingsFault();
        return RunPorts(options);
    }
    // The record runs for every command on the bus: --stats and watch add it up, and --trace
    // prints it.
    if (options.Command != TCliCommand::Catalogue)
        StartTrace(options.Trace, options.Json);
    AddStatsToJson(options.Stats && options.Json);

    std::string error;
    const bool catalogueLoaded = LoadCatalogue(options, error);
    if (!catalogueLoaded) {
        // The sweep names devices without a catalogue (built-in names); nothing else can.
        if (options.Command != TCliCommand::Scan) {
            ReportError(error);
            return ExitCatalogue;
        }
        ReportError("warning: " + error);
    }
    if (options.Command == TCliCommand::Catalogue)
        return RunCatalogue(options);

    // The window keeps quiet about the settings; here a typo is worth a word.
    std::vector<std::string> warnings;
    LoadLinkSettings(&warnings);
    ReportSettingsFault();
    for (const std::string &warning : warnings)
        ReportError("warning: " + LinkSettingsPath() + ": " + warning);
    InitPerfFrequency();
    // One speed given replaces the settings' for this run; several are the search's to set.
    if (options.BaudRates.size() == 1)
        SetComState(options.BaudRates.front());
    bool refused = false;
    if (!OpenCliPort(options, error, refused)) {
        ReportError(error);
        if (refused)
            ReportError(PortAccessHint);
        return ExitPort;
    }
    const int status = RunOnBus(options);
    StopTrace();
    DrainTrace();
    // The table follows the command's own output (JSON carries it as "stats").
    if (options.Stats && !options.Json)
        std::cout << "\n" << HealthTable(RecordedHealth().Devices()) << std::flush;
    CloseComPort();
    if (InterruptRequested()) {
        ReportError("interrupted");
        return ExitInterrupted;
    }
    return status;
}
