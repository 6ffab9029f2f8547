#include "link/Win32Serial.h"
#include "link/SystemSerial.h"

#include <cerrno>

#include "link/NetSerialPort.h"
#include "link/ThreadPriority.h"

namespace {

// The priority a thread had before RaiseThreadPriority.
thread_local int SavedPriority = THREAD_PRIORITY_NORMAL;

class TWin32SerialPort : public ISerialPort
{
public:
    explicit TWin32SerialPort(HANDLE handle) : Handle(handle) {}
    ~TWin32SerialPort() override { CloseHandle(Handle); }

    bool SetupQueues(uint32_t inputSize, uint32_t outputSize) override
    {
        return SetupComm(Handle, inputSize, outputSize) != 0;
    }

    bool GetLineSettings(TLineSettings &settings) override
    {
        DCB dcb;
        if (!ReadDcb(dcb)) {
            return false;
        }
        settings = LineSettingsOfDcb(dcb);
        return true;
    }

    bool SetLineSettings(const TLineSettings &settings) override
    {
        DCB found;
        if (!ReadDcb(found)) {
            return false;
        }
        DCB wanted = DcbWithLineSettings(found, settings);
        if (SetCommState(Handle, &wanted)) {
            return true;
        }
        // Drivers accept one and a half stop bits only with five data bits and refuse the
        // whole format otherwise, which would leave the line as the last program set it.
        // Two is the nearest setting that devices expecting 1.5 still accept.
        if (wanted.StopBits != ONE5STOPBITS) {
            return false;
        }
        wanted.StopBits = TWOSTOPBITS;
        return SetCommState(Handle, &wanted) != 0;
    }

    bool GetTimeouts(TSerialTimeouts &timeouts) override
    {
        COMMTIMEOUTS comm{};
        if (!GetCommTimeouts(Handle, &comm)) {
            return false;
        }
        timeouts = TimeoutsOfComm(comm);
        return true;
    }

    bool SetTimeouts(const TSerialTimeouts &timeouts) override
    {
        COMMTIMEOUTS comm = CommTimeoutsOf(timeouts);
        return SetCommTimeouts(Handle, &comm) != 0;
    }

    bool Purge(TPurge what) override
    {
        DWORD flags = 0;
        switch (what) {
        case TPurge::TxClear:
            flags = PURGE_TXCLEAR;
            break;
        case TPurge::TxAbort:
            flags = PURGE_TXABORT;
            break;
        case TPurge::RxClear:
            flags = PURGE_RXCLEAR;
            break;
        case TPurge::RxAbort:
            flags = PURGE_RXABORT;
            break;
        }
        return PurgeComm(Handle, flags) != 0;
    }

    // With RTS in toggle mode many drivers refuse SETRTS and CLRRTS (the driver owns the
    // line then); the caller ignores the result either way.
    bool SetRts(bool on) override { return EscapeCommFunction(Handle, on ? SETRTS : CLRRTS); }
    bool SetDtr(bool on) override { return EscapeCommFunction(Handle, on ? SETDTR : CLRDTR); }
    // The latency timer of a USB adapter is a setting of its driver here (the port's
    // advanced settings in the Device Manager), out of a program's reach.
    bool SetLowLatency(bool) override { return false; }

    size_t Read(uint8_t *buffer, size_t count) override
    {
        if (count == 0 || Lost != 0) {
            return 0;
        }
        DWORD got = 0;
        if (!ReadFile(Handle, buffer, static_cast<DWORD>(count), &got, nullptr)) {
            NoteFailure(GetLastError());
            return got;
        }
        // Some USB converter drivers end reads at once with nothing, and no error, after the
        // converter was pulled out; only the error query then tells a silent bus from a
        // missing device.
        if (got < count) {
            CheckDevice();
        }
        return got;
    }

    size_t Write(const uint8_t *buffer, size_t count) override
    {
        if (count == 0 || Lost != 0) {
            return 0;
        }
        DWORD done = 0;
        if (!WriteFile(Handle, buffer, static_cast<DWORD>(count), &done, nullptr)) {
            NoteFailure(GetLastError());
        }
        return done;
    }

    int LostError() const override { return Lost; }

private:
    // The driver's line format; false when it does not tell.
    bool ReadDcb(DCB &dcb)
    {
        dcb = {};
        dcb.DCBlength = sizeof dcb; // GetCommState wants the size of the struct it fills
        return GetCommState(Handle, &dcb) != 0;
    }

    void CheckDevice()
    {
        DWORD errors = 0;
        if (!ClearCommError(Handle, &errors, nullptr)) {
            NoteFailure(GetLastError());
        }
    }

    // Marks the device lost when `error` says it is gone; the first reason stays.
    void NoteFailure(DWORD error)
    {
        if (Lost != 0) {
            return;
        }
        const int lost = LostErrnoOf(error);
        // An aborted transfer is also what one garbled byte gives where the driver still
        // aborts on line errors (it refused our line format); when the error query answers,
        // the device is there, and the query has cleared the error, so the port goes on.
        DWORD errors = 0;
        if (lost == EIO && ClearCommError(Handle, &errors, nullptr)) {
            return;
        }
        Lost = lost;
    }

    HANDLE Handle;
    int Lost = 0;
};

} // namespace

TLineSettings LineSettingsOfDcb(const DCB &dcb)
{
    TLineSettings settings;
    settings.BaudRate = dcb.BaudRate;
    settings.DataBits = dcb.ByteSize;
    settings.Parity = dcb.Parity != NOPARITY;
    // The driver's codes are the link's: 0 one, 1 one and a half, 2 two stop bits.
    settings.StopBits = dcb.StopBits;
    settings.DtrControl = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    settings.RtsToggle = dcb.fRtsControl == RTS_CONTROL_TOGGLE;
    settings.AbortOnError = dcb.fAbortOnError != 0;
    return settings;
}

DCB DcbWithLineSettings(const DCB &dcb, const TLineSettings &settings)
{
    DCB wanted = dcb;
    wanted.BaudRate = settings.BaudRate;
    wanted.ByteSize = settings.DataBits;
    wanted.Parity = settings.Parity ? EVENPARITY : NOPARITY;
    wanted.fParity = settings.Parity ? TRUE : FALSE;
    wanted.StopBits = settings.StopBits == 1   ? ONE5STOPBITS
                      : settings.StopBits == 2 ? TWOSTOPBITS
                                               : ONESTOPBIT;
    wanted.fDtrControl = settings.DtrControl ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    // Toggle: the driver raises RTS while it has bytes to send, which keys the converter's
    // transmitter for exactly the frame.
    wanted.fRtsControl = settings.RtsToggle ? RTS_CONTROL_TOGGLE : RTS_CONTROL_DISABLE;
    wanted.fAbortOnError = settings.AbortOnError ? TRUE : FALSE;
    return wanted;
}

COMMTIMEOUTS CommTimeoutsOf(const TSerialTimeouts &timeouts)
{
    COMMTIMEOUTS comm{};
    comm.ReadIntervalTimeout = timeouts.ReadInterval;
    comm.ReadTotalTimeoutMultiplier = timeouts.ReadMultiplier;
    comm.ReadTotalTimeoutConstant = timeouts.ReadConstant;
    comm.WriteTotalTimeoutMultiplier = timeouts.WriteMultiplier;
    comm.WriteTotalTimeoutConstant = timeouts.WriteConstant;
    // To the driver, all-zero read time-outs mean "wait until every byte came", which on a
    // silent bus is forever, with the port lock held. The link's model means "return at
    // once with what has arrived"; the driver spells that MAXDWORD, 0, 0.
    if (timeouts.ReadMultiplier == 0 && timeouts.ReadConstant == 0) {
        comm.ReadIntervalTimeout = MAXDWORD;
    }
    return comm;
}

TSerialTimeouts TimeoutsOfComm(const COMMTIMEOUTS &comm)
{
    TSerialTimeouts timeouts;
    timeouts.ReadInterval = comm.ReadIntervalTimeout;
    timeouts.ReadMultiplier = comm.ReadTotalTimeoutMultiplier;
    timeouts.ReadConstant = comm.ReadTotalTimeoutConstant;
    timeouts.WriteMultiplier = comm.WriteTotalTimeoutMultiplier;
    timeouts.WriteConstant = comm.WriteTotalTimeoutConstant;
    if (comm.ReadIntervalTimeout == MAXDWORD && comm.ReadTotalTimeoutMultiplier == 0 &&
        comm.ReadTotalTimeoutConstant == 0) {
        timeouts.ReadInterval = 0;
    }
    return timeouts;
}

int OpenErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    // A port another program holds open answers "access denied" on Windows.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EBUSY;
    default:
        return EIO;
    }
}

int LostErrnoOf(DWORD error)
{
    // What a USB converter's driver answers once the converter was pulled out, depending on
    // the driver and on how far its removal has gone.
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_FILE_NOT_FOUND:
        return ENODEV;
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
        return EIO;
    default:
        return 0;
    }
}

std::unique_ptr<ISerialPort> TSystemSerialPlatform::Open(const std::string &path, int &error)
{
    if (IsNetPath(path)) {
        return OpenNetPort(path, error);
    }
    error = 0;
    // Exclusive (no sharing), only an existing device, synchronous reads and writes.
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = OpenErrnoOf(GetLastError());
        return nullptr;
    }
    return std::make_unique<TWin32SerialPort>(handle);
}

void TSystemSerialPlatform::SleepMs(uint32_t ms)
{
    // Keeps to the millisecond while the timer resolution is raised (TTimerResolution).
    Sleep(ms);
}

int64_t TSystemSerialPlatform::Counter()
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

int64_t TSystemSerialPlatform::CounterFrequency()
{
    LARGE_INTEGER frequency{};
    return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

bool RaiseThreadPriority()
{
    const HANDLE thread = GetCurrentThread();
    const int current = GetThreadPriority(thread);
    if (current == THREAD_PRIORITY_ERROR_RETURN || current >= THREAD_PRIORITY_TIME_CRITICAL) {
        return false;
    }
    // Time-critical is the top of the process's priority class and needs no rights; where
    // it is refused all the same, the hold runs at the ordinary priority.
    if (!SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL)) {
        return false;
    }
    SavedPriority = current;
    return true;
}

void RestoreThreadPriority()
{
    SetThreadPriority(GetCurrentThread(), SavedPriority);
}
