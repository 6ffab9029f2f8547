#include "tests/cli/CliTestSupport.h"

#include <csignal>

TCliProcess::TCliProcess(const std::vector<std::string> &arguments)
{
    std::vector<std::string> argv = {LINVAR_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    TChildOptions options;
    options.Stdout = TChildOutput::Pipe;
    options.Stderr = TChildOutput::Pipe;
    Child.Start(argv, options);
}

TCliProcess::~TCliProcess()
{
    if (!Finished)
        Finish();
}

bool TCliProcess::WaitForErr(const std::string &text, std::chrono::milliseconds timeout)
{
    return Child.WaitForOutput(text, static_cast<int>(timeout.count()), true);
}

void TCliProcess::Interrupt()
{
    kill(Child.Pid(), SIGTERM);
}

double TCliProcess::CpuSeconds() const
{
    return Child.CpuSeconds();
}

TCliRun TCliProcess::Finish()
{
    Finished = true;
    Child.WaitExit();
    Run.Status = Child.ExitCode();
    Run.Out = Child.Out();
    Run.Err = Child.Err();
    Run.CpuSeconds = Child.CpuSeconds();
    return Run;
}

TCliRun RunCli(const std::vector<std::string> &arguments)
{
    return TCliProcess(arguments).Finish();
}

nlohmann::json ParseJson(const std::string &text)
{
    return nlohmann::json::parse(text, nullptr, false);
}

TSimulatorProcess::TOptions QuickBus()
{
    // Untimed sending needs no hold of the line.
    TSimulatorProcess::TOptions options;
    options.Port = 7;
    options.SettingsLines = {"StartTimeOut=0", "TimeoutConstant=30", "CmdTimeoutConstant=200",
                             "USARTMode=1"};
    return options;
}
