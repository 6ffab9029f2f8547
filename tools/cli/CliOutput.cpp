#include "tools/cli/CliOutput.h"

#include "tools/cli/CliHealth.h"
#include "tools/cli/CliTrace.h"

#include <iostream>
#include <unistd.h>

namespace {

// The last progress printed as a line, -1 when none since the last EndProgress.
int LastProgressLine = -1;
// A progress line on the terminal still waits for its end.
bool ProgressLineOpen = false;
// --stats --json: the health joins the output.
bool StatsInJson = false;

// Progress overwrites its line only where a person watches it.
bool ProgressOnTerminal()
{
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    return terminal;
}

// Ends a progress line left open on a terminal, so that the next line of stderr starts afresh.
void BreakProgressLine()
{
    if (ProgressLineOpen)
        std::cerr << '\n';
    ProgressLineOpen = false;
}

} // namespace

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

void EndProgress()
{
    BreakProgressLine();
    LastProgressLine = -1;
}

void DrainTrace()
{
    const std::vector<std::string> lines = TakeTraceLines();
    if (lines.empty())
        return;
    BreakProgressLine();
    for (const std::string &line : lines)
        std::cerr << line << '\n';
    std::cerr << std::flush;
}

void PrintJson(const TJson &json)
{
    DrainTrace();
    TJson out = WithTrace(json);
    if (StatsInJson && out.is_object())
        out["stats"] = HealthJson(RecordedHealth().Devices(), RecordDropped());
    std::cout << JsonText(out) << '\n';
}

void AddStatsToJson(bool add)
{
    StatsInJson = add;
}

TJson Completion(const std::string &error)
{
    TJson json;
    json["complete"] = error.empty();
    if (!error.empty())
        json["error"] = error;
    return json;
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
