#include "tools/cli/CliRun.h"
#include "tools/cli/CliTrace.h"
#include "tools/cli/CliWords.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/Link.h"
#include "workers/TMessageQueue.h"
#include "workers/TThread.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <iostream>
#include <unistd.h>
#include <vector>
#ifdef _WIN32
#include "link/WindowsApi.h"
#endif

namespace {

std::atomic<bool> Interrupted{false};
// The port the command works on, as the messages name it.
std::string OpenedPort;
// The last progress printed as a line, -1 when none since the last EndProgress.
int LastProgressLine = -1;
// A progress line on the terminal still waits for its end.
bool ProgressLineOpen = false;

// Progress overwrites its line only where a person watches it.
bool ProgressOnTerminal()
{
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    return terminal;
}

void OnInterrupt(int signal)
{
#ifdef _WIN32
    // Windows puts the default handler back before calling this one; without it a second
    // Ctrl+C would end the program in the middle of a write.
    std::signal(signal, OnInterrupt);
#else
    (void)signal;
#endif
    Interrupted.store(true);
}

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

// Opens the port the options name, or the first of the probed ones that opens, as the window
// does. `refused` tells whether a port was refused for want of rights.
bool OpenPort(const TCliOptions &options, std::string &error, bool &refused)
{
    refused = false;
    if (!options.Device.empty()) {
        OpenedPort = options.Device;
        if (OpenComPortDevice(options.Device))
            return true;
        const TPortRefusal refusal = LastOpenRefusal();
        refused = refusal.Fault == TPortFault::AccessRefused;
        error = PortRefusalText(options.Device, refusal);
        return false;
    }
    if (options.Port) {
        const std::string path = ComPortPath(*options.Port);
        OpenedPort = "port " + std::to_string(*options.Port) +
                     (path.empty() ? std::string() : " (" + path + ")");
        if (OpenComPort(*options.Port))
            return true;
        const TPortRefusal refusal = LastOpenRefusal();
        refused = refusal.Fault == TPortFault::AccessRefused;
        error = PortRefusalText(OpenedPort, refusal);
        return false;
    }
    const TPortProbe probe = OpenFirstFreePort();
    if (probe.Fault == TPortFault::None) {
        OpenedPort =
            "port " + std::to_string(probe.Number) + " (" + ComPortPath(probe.Number) + ")";
        return true;
    }
    refused = probe.Fault == TPortFault::AccessRefused;
    error = NoFreePortText();
    return false;
}

} // namespace

bool InterruptRequested()
{
    return Interrupted.load();
}

void PrintJson(const TJson &json)
{
    DrainTrace();
    std::cout << JsonText(WithTrace(json)) << '\n';
}

void ReportError(const std::string &text)
{
    DrainTrace();
    BreakProgressLine();
    std::cerr << "linvar-cli: " << text << '\n';
}

void ReportProgress(const TCliOptions &options, const char *what, uint32_t percent)
{
    if (options.Quiet)
        return;
    if (ProgressOnTerminal()) {
        std::cerr << '\r' << what << ": " << percent << '%' << std::flush;
        ProgressLineOpen = true;
        return;
    }
    // A log gets whole lines, and not one per bus address.
    if (LastProgressLine >= 0 && static_cast<int>(percent) < LastProgressLine + 10)
        return;
    LastProgressLine = static_cast<int>(percent);
    std::cerr << what << ": " << percent << "%\n";
}

void EndProgress(const TCliOptions &)
{
    BreakProgressLine();
    LastProgressLine = -1;
}

void BreakProgressLine()
{
    if (ProgressLineOpen)
        std::cerr << '\n';
    ProgressLineOpen = false;
}

std::string PortLostText(const std::string &during)
{
    return "port lost during " + during + " (" + OpenedPort + ": " +
           std::strerror(PortLostError()) + "); check the converter and its cable";
}

bool RunWorker(const std::function<bool(TWorkerHandle &)> &start, uint32_t endMessage,
               const std::function<void(const TPostedMessage &)> &onMessage)
{
    TMessageQueue queue;
    SetMainWindowTarget(&queue);
    TWorkerHandle handle;
    const bool started = start(handle);
    bool stopAsked = false;
    if (started) {
        for (;;) {
            if (Interrupted.load() && !stopAsked) {
                handle.RequestStop();
                stopAsked = true;
            }
            TPostedMessage message;
            const bool received = queue.Next(message, std::chrono::milliseconds(100));
            // The trace is printed here, on this thread, while the worker goes on; the
            // attempts behind a message are recorded before it is posted, so they come first.
            DrainTrace();
            if (!received)
                continue;
            onMessage(message);
            if (message.Message == endMessage)
                break;
        }
        handle.Wait();
        DrainTrace();
    } else {
        ReportError("cannot start a worker thread");
    }
    SetMainWindowTarget(nullptr);
    return started && !stopAsked;
}

std::string PadRight(const std::string &text, size_t width)
{
    size_t characters = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++characters;
    }
    return characters >= width ? text : text + std::string(width - characters, ' ');
}

int RunCli(const TCliOptions &options)
{
#ifdef _WIN32
    // Ctrl+C reaches a console program as SIGINT; Windows has no sigaction.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    // Sleeps and read time-outs keep to the millisecond while the bus is in use.
    const TTimerResolution timerResolution;
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
    // Ports are listed, not opened: neither the catalogue nor the link settings matter.
    if (options.Command == TCliCommand::Ports)
        return RunPorts(options);
    if (options.Trace)
        StartTrace(options.Json);

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
    for (const std::string &warning : warnings)
        ReportError("warning: " + LinkSettingsPath() + ": " + warning);
    InitPerfFrequency();
    bool refused = false;
    if (!OpenPort(options, error, refused)) {
        ReportError(error);
        if (refused)
            ReportError(PortAccessHint);
        return ExitPort;
    }
    int status = ExitUsage;
    switch (options.Command) {
    case TCliCommand::Scan:
        status = RunScan(options);
        break;
    case TCliCommand::Read:
        status = RunRead(options);
        break;
    case TCliCommand::Write:
        status = options.SetFile.empty() ? RunWrite(options) : RunWriteFrom(options);
        break;
    case TCliCommand::Diff:
        status = RunDiff(options);
        break;
    default:
        break;
    }
    StopTrace();
    CloseComPort();
    if (Interrupted.load()) {
        ReportError("interrupted");
        return ExitInterrupted;
    }
    return status;
}
