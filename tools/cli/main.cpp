// linvar-cli: the device search, parameter read and write, and the catalogue from the
// command line, over the same link, catalogue and workers as the window.

#include "tools/cli/CliExitStatus.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliOutput.h"
#include "tools/cli/CliRun.h"

#include <iostream>
#ifdef _WIN32
#include "link/WindowsApi.h"
#endif

#ifdef _WIN32
namespace {

// The program's texts are UTF-8; the console shows them as such only when told. The code
// page belongs to the console, not to the program, so the one found is put back at the end.
class TUtf8Console
{
public:
    TUtf8Console() : Saved(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
    ~TUtf8Console()
    {
        if (Saved != 0)
            SetConsoleOutputCP(Saved);
    }
    TUtf8Console(const TUtf8Console &) = delete;
    TUtf8Console &operator=(const TUtf8Console &) = delete;

private:
    const UINT Saved;
};

} // namespace
#endif

int main(int argc, char *argv[])
{
#ifdef _WIN32
    const TUtf8Console console;
#endif
    TCliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        ReportError(error);
        std::cerr << "Try 'linvar-cli --help'.\n";
        return ExitUsage;
    }
    if (options.Command == TCliCommand::Help) {
        std::cout << options.Help;
        return ExitOk;
    }
    return RunCli(options);
}
