// linvar-sim: devices on an RS-485 bus, answering over a pseudo-terminal that the program
// opens as if it were a serial port. Usage and configuration: tools/sim/README.md.

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "link/Clock.h"
#include "link/FileWrite.h"
#include "link/Frame.h"
#include "link/NumberText.h"
#include "tools/sim/SimBus.h"
#include "tools/sim/SimDelivery.h"

namespace {

volatile sig_atomic_t StopRequested = 0;

// A pause this long on the wire ends a partial frame, as the devices' receivers do.
constexpr int64_t FrameGapNs = 20'000'000;

void OnStopSignal(int)
{
    StopRequested = 1;
}

// Sleeps until the MonotonicNs() time `when`; false when a stop was requested meanwhile.
bool SleepUntil(int64_t when)
{
    timespec ts{static_cast<time_t>(when / 1'000'000'000), static_cast<long>(when % 1'000'000'000)};
    while (!StopRequested) {
        const int rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        if (rc == 0) {
            return true;
        }
        if (rc != EINTR) {
            return false;
        }
    }
    return false;
}

// Drops what the client sent while a device was sending: on the half-duplex bus it would
// have collided with the reply, and a device that sends does not listen.
void DropCollided(int master, bool verbose)
{
    uint8_t buffer[512];
    ssize_t got = 0;
    while ((got = read(master, buffer, sizeof buffer)) > 0) {
        if (verbose) {
            std::fprintf(stderr, "linvar-sim: lost in a collision %s\n",
                         HexText(buffer, size_t(got)).c_str());
        }
    }
}

// Carries out a delivery plan: each write at its time, what the program sent into a reply
// dropped as a collision. Returns when the last byte has left the wire or a stop came.
void Deliver(int master, const TSimDeliveryPlan &plan, bool verbose)
{
    for (const TSimWrite &write : plan.Writes) {
        if (!SleepUntil(write.AtNs)) {
            return;
        }
        // A pseudo-terminal delivers each byte at once, a character time before the wire
        // would, so what comes after the last byte is written is the client's proper next
        // request; what came earlier was sent into the reply.
        if (write.AfterReplyStart) {
            DropCollided(master, verbose);
        }
        // A byte the client's side cannot take is lost, as on a real line.
        if (::write(master, write.Bytes.data(), write.Bytes.size()) < 0 && errno != EAGAIN) {
            return;
        }
    }
    // The last byte has left only when its character time is over.
    SleepUntil(plan.EndNs);
}

// The line speed the client set on its side of the pseudo-terminal (the master reads the
// slave's terminal settings); 0 for a speed off the standard list, which no device hears.
uint32_t LineSpeed(int master)
{
    static const struct
    {
        speed_t Code;
        uint32_t BaudRate;
    } codes[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                 {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios t{};
    if (tcgetattr(master, &t) != 0) {
        return 0;
    }
    const speed_t speed = cfgetospeed(&t);
    for (const auto &code : codes) {
        if (code.Code == speed) {
            return code.BaudRate;
        }
    }
    return 0;
}

void Usage()
{
    std::fprintf(stderr,
                 "usage: linvar-sim --config FILE --link PATH [--seed N] [--state FILE]\n"
                 "                  [--verbose]\n"
                 "  Simulates devices on an RS-485 bus behind a pseudo-terminal reachable\n"
                 "  as PATH. Prints \"ready PATH PTY\" when it answers; stops on SIGTERM or\n"
                 "  SIGINT and removes PATH. --state writes every device's parameter values\n"
                 "  to FILE when it stops.\n");
}

// Opens the pseudo-terminal in raw mode; returns the master, the slave's path in `pty`
// and a descriptor of the slave that we keep open (`keep`).
int OpenPty(std::string &pty, int &keep)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        return -1;
    }
    char name[PATH_MAX];
    if (ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        return -1;
    }
    pty = name;
    // While no client has the slave open, the master would report a hang-up on every
    // poll; holding the slave open ourselves keeps the master quiet between clients.
    keep = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    // The line starts raw so nothing we send comes back as an echo before the client has
    // configured the port itself.
    // It starts at 9600 baud too, the speed of a converter fresh from its box, so a client
    // that never sets a speed reaches the devices at the default speed (a new pseudo-terminal
    // says 38400).
    termios t{};
    if (tcgetattr(master, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(master, TCSANOW, &t);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}

// Makes `link` point at `pty`, replacing an old link but never another kind of file.
bool MakeLink(const std::string &link, const std::string &pty)
{
    struct stat st
    {
    };
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "linvar-sim: %s exists and is not a symbolic link\n",
                         link.c_str());
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(pty.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "linvar-sim: cannot create %s: %s\n", link.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Removes the link if it still points at our pseudo-terminal.
void RemoveLink(const std::string &link, const std::string &pty)
{
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0) {
        target[n] = '\0';
        if (pty == target) {
            unlink(link.c_str());
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::string configPath;
    std::string link;
    std::string statePath;
    bool verbose = false;
    bool haveSeed = false;
    uint32_t seed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--config" || arg == "--link" || arg == "--seed" || arg == "--state") &&
            i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--config") {
                configPath = value;
            } else if (arg == "--link") {
                link = value;
            } else if (arg == "--state") {
                statePath = value;
            } else {
                // The same reading as the configuration's numbers: "010" is ten, not eight.
                int64_t n = 0;
                if (!ParseNumber(value, 0, 0xFFFFFFFF, n)) {
                    std::fprintf(stderr, "linvar-sim: bad seed '%s'\n", value.c_str());
                    return 2;
                }
                seed = static_cast<uint32_t>(n);
                haveSeed = true;
            }
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            Usage();
            return 2;
        }
    }
    if (configPath.empty() || link.empty()) {
        Usage();
        return 2;
    }
    TSimConfig config;
    std::string error;
    if (!LoadSimConfig(configPath, config, error)) {
        std::fprintf(stderr, "linvar-sim: %s\n", error.c_str());
        return 2;
    }
    if (haveSeed) {
        config.Seed = seed;
    }

    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::string pty;
    int keep = -1;
    const int master = OpenPty(pty, keep);
    if (master < 0) {
        std::fprintf(stderr, "linvar-sim: cannot open a pseudo-terminal: %s\n",
                     std::strerror(errno));
        return 1;
    }
    if (!MakeLink(link, pty)) {
        return 1;
    }
    std::printf("ready %s %s\n", link.c_str(), pty.c_str());
    std::fflush(stdout);

    TSimBus bus(config);
    TSimConverter converter{config.CharUs, config.Echo, config.UsbMs};
    int64_t lastByte = 0;
    while (!StopRequested) {
        pollfd p{master, POLLIN, 0};
        const int n = poll(&p, 1, 50);
        if (n < 0 && errno != EINTR) {
            break;
        }
        if (n <= 0 || (p.revents & POLLIN) == 0) {
            if (bus.Pending() != 0 && MonotonicNs() - lastByte > FrameGapNs) {
                bus.Idle();
            }
            if (n > 0 && (p.revents & (POLLHUP | POLLERR))) {
                // Nobody holds the slave (should not happen while we keep it): wait.
                SleepUntil(MonotonicNs() + 10'000'000);
            }
            continue;
        }
        uint8_t buffer[512];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) {
            continue;
        }
        const int64_t now = MonotonicNs();
        if (bus.Pending() != 0 && now - lastByte > FrameGapNs) {
            bus.Idle();
        }
        lastByte = now;
        if (verbose) {
            std::fprintf(stderr, "linvar-sim: rx %s\n", HexText(buffer, size_t(got)).c_str());
        }
        // The speed in force when the bytes came: the client sets it before it writes.
        bus.SetLineSpeed(LineSpeed(master));
        converter.CharUs = bus.CharUs();
        const std::vector<uint8_t> sent(buffer, buffer + got);
        const std::vector<TSimReply> replies = bus.Feed(buffer, static_cast<size_t>(got));
        Deliver(master, PlanDelivery(now, sent, replies, converter), verbose);
        if (verbose) {
            for (const TSimReply &reply : replies) {
                std::fprintf(stderr, "linvar-sim: tx %s\n",
                             HexText(reply.Bytes.data(), reply.Bytes.size()).c_str());
            }
        }
    }
    RemoveLink(link, pty);
    if (keep >= 0) {
        close(keep);
    }
    close(master);
    int writeError = 0;
    if (!statePath.empty() && !WriteFileWhole(statePath, bus.StateText(), writeError)) {
        std::fprintf(stderr, "linvar-sim: cannot write %s: %s\n", statePath.c_str(),
                     std::strerror(writeError));
        return 1;
    }
    return 0;
}
