#pragma once
// The one way a test runs another program: started in a process group of its own, its output
// piped to the test, written to a file, dropped or inherited, waited for (a line that says it
// is ready, or its end) with a deadline, and stopped by its own id. Nothing it starts outlives
// the test runner: the child gets a signal when the runner's thread that started it ends, and
// a runner that is interrupted or aborts kills every group still running first. POSIX only.

#include <string>
#include <sys/types.h>
#include <vector>

// Where one output stream of a child goes.
enum class TChildOutput
{
    Inherit, // the test runner's own stream
    Null,    // /dev/null
    Pipe,    // collected by the test (Out, Err)
    File,    // TChildOptions::LogPath
};

// How to start a child.
struct TChildOptions
{
    std::vector<std::string> Environment; // "NAME=value" entries over the runner's own
    TChildOutput Stdout = TChildOutput::Inherit;
    TChildOutput Stderr = TChildOutput::Inherit;
    std::string LogPath; // the file of the streams sent to File, made anew
    int KeepFd = -1;     // a descriptor the child keeps open (Xvfb's -displayfd)
};

class TChildProcess
{
public:
    TChildProcess() = default;
    // Stops the child if it still runs.
    ~TChildProcess();
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    // Starts argv[0] with the arguments after it (stdin is /dev/null); false with Error set
    // when it could not start. A child still running from an earlier Start is stopped first.
    bool Start(const std::vector<std::string> &argv, const TChildOptions &options = {});
    // Why the last Start failed.
    const std::string &Error() const { return Failure; }
    // The child's process id (also its process group's), 0 before a start.
    pid_t Pid() const { return FPid; }
    // True while the child runs.
    bool Running();

    // Collects piped output until `text` shows in stdout (stderr with `fromStderr`); false
    // when that stream closed or `ms` passed first.
    bool WaitForOutput(const std::string &text, int ms, bool fromStderr = false);
    // What the child wrote to a piped stdout and stderr so far.
    const std::string &Out() const { return OutText; }
    const std::string &Err() const { return ErrText; }

    // Waits up to `ms` (-1: no limit) for the child to end by itself, collecting its piped
    // output to the end; true when it has ended.
    bool WaitExit(int ms = -1);
    // The exit status once the child ended by itself, -1 when a signal ended it or it runs.
    int ExitCode() const;
    // User and system time the child used, in seconds: so far while it runs (10 ms steps),
    // in all once it has ended.
    double CpuSeconds() const;
    // Stops the child's group: SIGTERM, SIGKILL for what is left after `deadlineMs`; reaps
    // the child and returns its ExitCode.
    int Stop(int deadlineMs = 5'000);

private:
    // Reads what the pipes hold, waiting up to `ms` for something; true when it read.
    bool Pump(int ms);
    // True once the child has ended; reaps it (after killing what is left of its group).
    bool Reap(bool block);
    void ClosePipes();

    pid_t FPid = 0;
    bool Ended = false;
    int WaitStatus = 0;
    double CpuUsed = 0;
    int OutFd = -1;
    int ErrFd = -1;
    std::string OutText;
    std::string ErrText;
    std::string Failure;
};
