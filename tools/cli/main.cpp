// linvar-cli: the device search, parameter read and write, and the catalogue from the
// command line, over the same link, catalogue and workers as the window.

#include "CliOptions.h"
#include "CliRun.h"

#include <iostream>
#ifdef _WIN32
#include "WindowsApi.h"
#endif

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // The program's texts are UTF-8; the console shows them as such only when told.
    SetConsoleOutputCP(CP_UTF8);
#endif
    TCliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        ReportError(error);
        std::cerr << "Try 'linvar-cli --help'.\n";
        return ExitUsage;
    }
    if (options.Command == TCliCommand::Help) {
        std::cout << CliUsage();
        return ExitOk;
    }
    return RunCli(options);
}
