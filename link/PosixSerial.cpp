#include "link/SystemSerial.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "link/Clock.h"
#include "link/NetSerialPort.h"
#include "link/SelfTimedPort.h"
#include "link/ThreadPriority.h"

namespace {

// Without a write time-out a write waits for the driver; a port that accepts nothing for
// this long (a converter unplugged mid-write) ends the write with what went out.
constexpr int64_t StalledWriteNs = 5'000'000'000;

// Real-time priority of the transmitter hold: above every ordinary thread, below the
// kernel's interrupt threads (50), which must still run to move our bytes.
constexpr int HoldPriority = 10;

// The scheduling a thread had before RaiseThreadPriority, and whether it may be raised at all.
struct TThreadPriority
{
    bool Refused = false; // asked once and refused: not asked again on this thread
    int Policy = SCHED_OTHER;
    sched_param Param{};
};

thread_local TThreadPriority ThreadPriority;

// The priority to ask for: HoldPriority, or less where the limits file allows only less.
int WantedPriority()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur > 0 && limit.rlim_cur < static_cast<rlim_t>(HoldPriority)) {
        return static_cast<int>(limit.rlim_cur);
    }
    return HoldPriority;
}

int64_t MsToNs(uint64_t ms)
{
    return static_cast<int64_t>(ms) * 1'000'000;
}

// Waits for `events` on fd until the monotonic deadline; true when they are signalled.
bool WaitFor(int fd, short events, int64_t deadlineNs, short &revents)
{
    for (;;) {
        const int64_t left = deadlineNs - MonotonicNs();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        timespec ts{static_cast<time_t>(left / 1'000'000'000),
                    static_cast<long>(left % 1'000'000'000)};
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0) {
            revents = p.revents;
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

speed_t SpeedOf(uint32_t baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}

uint32_t BaudOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

// The errors of a read or write that mean the device itself is gone.
bool DeviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

class TPosixSerialPort : public TSelfTimedPort
{
public:
    // `found` is the line as the port was before we touched it (nullptr: unknown);
    // `exclusiveSet` says whether we made the device exclusive.
    TPosixSerialPort(int fd, const termios *found, bool exclusiveSet)
        : Fd(fd), HaveFoundLine(found != nullptr), ExclusiveSet(exclusiveSet)
    {
        if (found != nullptr) {
            FoundLine = *found;
        }
    }
    ~TPosixSerialPort() override
    {
        // Leave the device as it was found, for the next program: its line settings, the
        // kernel's RS-485 mode and its exclusive flag. A lost device refuses all of it,
        // harmlessly.
        if (Rs485Changed) {
            ioctl(Fd, TIOCSRS485, &SavedRs485);
        }
        SetLowLatency(false);
        if (HaveFoundLine) {
            tcsetattr(Fd, TCSANOW, &FoundLine);
        }
        // The exclusive flag belongs to the device, not to our descriptor: where someone
        // else keeps the device open (a pseudo-terminal's owner), it would outlive us and
        // lock out the next opening, ours included. A flag someone else set is theirs.
        if (ExclusiveSet) {
            ioctl(Fd, TIOCNXCL);
        }
        flock(Fd, LOCK_UN);
        close(Fd);
    }

    bool SetupQueues(uint32_t, uint32_t) override
    {
        // The tty layer sizes its own buffers; there is nothing to request.
        return true;
    }

    bool GetLineSettings(TLineSettings &settings) override
    {
        termios t{};
        if (tcgetattr(Fd, &t) != 0) {
            return false;
        }
        settings.BaudRate = BaudOf(cfgetospeed(&t));
        switch (t.c_cflag & CSIZE) {
        case CS5:
            settings.DataBits = 5;
            break;
        case CS6:
            settings.DataBits = 6;
            break;
        case CS7:
            settings.DataBits = 7;
            break;
        default:
            settings.DataBits = 8;
            break;
        }
        settings.Parity = (t.c_cflag & PARENB) != 0;
        settings.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
        settings.DtrControl = false;
        settings.RtsToggle = Rs485Changed;
        settings.AbortOnError = false;
        return true;
    }

    bool SetLineSettings(const TLineSettings &settings) override
    {
        termios t{};
        if (tcgetattr(Fd, &t) != 0) {
            return false;
        }
        // A serial device opens in the terminal's cooked mode; the bus carries binary
        // frames, so every byte must pass untouched (no echo, no line editing, no
        // translation), as a comm port on other systems always does.
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        switch (settings.DataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
        }
        if (settings.Parity) {
            t.c_cflag |= PARENB;
        }
        // One and a half stop bits have no termios setting. Two is the nearest safe
        // choice: a receiver expecting 1.5 accepts the longer idle, and the frames are
        // never shorter than the devices expect.
        if (settings.StopBits != 0) {
            t.c_cflag |= CSTOPB;
        }
        // DTR stays where explicit set and clear put it: no drop on close.
        t.c_cflag &= ~HUPCL;
        // Reads are driven by poll() with our own time-outs.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        // A speed without a termios code is refused rather than left at the old speed,
        // which would talk past the devices while the link counts out the new one.
        const speed_t speed = SpeedOf(settings.BaudRate);
        if (speed == B0) {
            return false;
        }
        // A pseudo-terminal keeps the speed too: the bus simulator reads it on its side.
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        const bool applied = tcsetattr(Fd, TCSANOW, &t) == 0;
        ApplyRtsToggle(settings.RtsToggle);
        return applied;
    }

    bool Purge(TPurge what) override
    {
        // Reads and writes are synchronous, so nothing is pending to abort beyond what
        // the driver buffers: both kinds flush the driver's queue of that direction.
        const int queue =
            (what == TPurge::TxClear || what == TPurge::TxAbort) ? TCOFLUSH : TCIFLUSH;
        return tcflush(Fd, queue) == 0;
    }

    bool SetRts(bool on) override { return ModemLine(TIOCM_RTS, on); }
    bool SetDtr(bool on) override { return ModemLine(TIOCM_DTR, on); }

    bool SetLowLatency(bool on) override
    {
        // A USB serial chip holds what it receives until its buffer fills or its latency
        // timer runs out (16 ms on common chips), which a 6-byte reply never does; the
        // driver's low-latency flag shortens that timer where the driver supports it. Only
        // the flag is put back, and only if we set it: other fields may have changed since.
        if (!on && !LowLatencySet) {
            return true;
        }
        serial_struct serial{};
        if (ioctl(Fd, TIOCGSERIAL, &serial) != 0) {
            return false;
        }
        if (!on) {
            LowLatencySet = false;
            serial.flags &= ~ASYNC_LOW_LATENCY;
            return ioctl(Fd, TIOCSSERIAL, &serial) == 0;
        }
        if ((serial.flags & ASYNC_LOW_LATENCY) != 0) {
            return true; // someone else's setting: theirs to keep
        }
        serial.flags |= ASYNC_LOW_LATENCY;
        LowLatencySet = ioctl(Fd, TIOCSSERIAL, &serial) == 0;
        return LowLatencySet;
    }

    size_t Read(uint8_t *buffer, size_t count) override
    {
        if (count == 0 || Lost != 0) {
            return 0;
        }
        const int64_t start = MonotonicNs();
        size_t got = 0;
        int64_t lastByte = 0;
        bool signalled = false; // poll reported data waiting
        for (;;) {
            const ssize_t n = read(Fd, buffer + got, count - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
                lastByte = MonotonicNs();
                signalled = false;
                if (got == count) {
                    return got;
                }
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN) {
                // A hung-up pseudo-terminal or an unplugged adapter; other errors end the
                // read as well, but leave the port in use.
                NoteFailure(errno);
                return got;
            }
            // In raw mode with VMIN = VTIME = 0 a read with nothing waiting returns 0; after
            // poll reported data it is the end of the line: the device hung up. Waiting on
            // would spin until the time-out, as poll keeps reporting it.
            if (n == 0 && signalled) {
                NoteFailure(EIO);
                return got;
            }
            const int64_t deadline = ReadDeadline(start, count, got, lastByte);
            short revents = 0;
            if (!WaitFor(Fd, POLLIN, deadline, revents)) {
                return got;
            }
            // Bytes that came before a hang-up are still taken; the read after them tells.
            if ((revents & POLLIN) != 0) {
                signalled = true;
                continue;
            }
            NoteFailure(EIO); // POLLHUP, POLLERR or POLLNVAL without data
            return got;
        }
    }

    size_t Write(const uint8_t *buffer, size_t count) override
    {
        if (Lost != 0) {
            return 0;
        }
        const uint64_t totalMs =
            static_cast<uint64_t>(Timeouts.WriteMultiplier) * count + Timeouts.WriteConstant;
        const bool bounded = totalMs != 0;
        const int64_t totalDeadline = MonotonicNs() + MsToNs(totalMs);
        size_t done = 0;
        while (done < count) {
            const ssize_t n = write(Fd, buffer + done, count - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN) {
                NoteFailure(errno);
                break;
            }
            const int64_t deadline = bounded ? totalDeadline : MonotonicNs() + StalledWriteNs;
            short revents = 0;
            if (!WaitFor(Fd, POLLOUT, deadline, revents)) {
                break;
            }
            if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                NoteFailure(EIO);
                break;
            }
            if ((revents & POLLOUT) == 0) {
                break;
            }
        }
        return done;
    }

    int LostError() const override { return Lost; }

private:
    // Marks the device lost when `error` says it is gone; the first reason stays.
    void NoteFailure(int error)
    {
        if (Lost == 0 && DeviceGone(error)) {
            Lost = error;
        }
    }

    bool ModemLine(int line, bool on)
    {
        // Pseudo-terminals and some adapters have no modem lines; the call then fails and
        // the caller ignores it.
        return ioctl(Fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
    }

    void ApplyRtsToggle(bool on)
    {
        // Toggle mode maps to the kernel's RS-485 mode: the driver raises RTS while it
        // sends. Most drivers (and every pseudo-terminal) refuse it; that is ignored.
        serial_rs485 current{};
        if (ioctl(Fd, TIOCGRS485, &current) != 0) {
            return;
        }
        if (!Rs485Changed) {
            SavedRs485 = current;
        }
        serial_rs485 wanted = current;
        if (on) {
            wanted.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
            wanted.flags &= ~SER_RS485_RTS_AFTER_SEND;
        } else {
            wanted.flags &= ~SER_RS485_ENABLED;
        }
        if (ioctl(Fd, TIOCSRS485, &wanted) == 0) {
            Rs485Changed = true;
        }
    }

    int Fd;
    serial_rs485 SavedRs485{};
    bool Rs485Changed = false;
    bool LowLatencySet = false; // we set the driver's low-latency flag
    termios FoundLine{};
    bool HaveFoundLine = false;
    bool ExclusiveSet = false;
    int Lost = 0;
};

} // namespace

std::unique_ptr<ISerialPort> TSystemSerialPlatform::Open(const std::string &path, int &error)
{
    if (IsNetPath(path)) {
        return OpenNetPort(path, error);
    }
    error = 0;
    // O_NONBLOCK: opening must not wait for a carrier, and reads are driven by poll().
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    if (!isatty(fd)) {
        close(fd);
        error = ENOTTY;
        return nullptr;
    }
    // Exclusive use: an advisory lock keeps out every program that asks for one, TIOCEXCL
    // keeps out later opens of the device by anyone without elevated rights.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        return nullptr;
    }
    termios found{};
    const bool haveFound = tcgetattr(fd, &found) == 0;
    int exclusive = 0;
    const bool wasExclusive = ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const bool exclusiveSet = !wasExclusive && ioctl(fd, TIOCEXCL) == 0;
    return std::make_unique<TPosixSerialPort>(fd, haveFound ? &found : nullptr, exclusiveSet);
}

void TSystemSerialPlatform::SleepMs(uint32_t ms)
{
    // The kernel may stretch a sleep by the thread's timer slack (50 µs by default) to
    // batch wake-ups; every attempt starts with a pause, so keep the slack small for the
    // threads that talk to the bus.
    thread_local bool slackSet = false;
    if (!slackSet) {
        prctl(PR_SET_TIMERSLACK, 1000UL);
        slackSet = true;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int64_t TSystemSerialPlatform::Counter()
{
    return MonotonicNs();
}

int64_t TSystemSerialPlatform::CounterFrequency()
{
    return 1'000'000'000;
}

bool RaiseThreadPriority()
{
    TThreadPriority &saved = ThreadPriority;
    if (saved.Refused) {
        return false;
    }
    if (pthread_getschedparam(pthread_self(), &saved.Policy, &saved.Param) != 0) {
        return false;
    }
    // A thread that already runs in real time keeps what it was given.
    if (saved.Policy != SCHED_OTHER && saved.Policy != SCHED_BATCH) {
        return false;
    }
    sched_param wanted{};
    wanted.sched_priority = WantedPriority();
    // Real-time scheduling needs CAP_SYS_NICE or an rtprio limit (link/SETTINGS.md);
    // without either, the hold simply runs at the ordinary priority.
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &wanted) != 0) {
        saved.Refused = true;
        return false;
    }
    return true;
}

void RestoreThreadPriority()
{
    const TThreadPriority &saved = ThreadPriority;
    pthread_setschedparam(pthread_self(), saved.Policy, &saved.Param);
}
